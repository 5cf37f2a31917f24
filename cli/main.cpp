// orvalen-wqt: the editor's command-line twin. Inspects, checks, unpacks, packs and changes WQT
// themes with the editor's own rules and texts.
#include <CLI/CLI.hpp>

#include <clocale>
#include <cstdio>

#include "base/core_error.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/parse_messages.h"
#include "cli/russian_text.h"

namespace {

// CLI11's headings in Russian; its option lists keep their layout. Value names stay as the
// usage line writes them (FILE, TEXT).
void russianHelp(CLI::App& app) {
  auto formatter = app.get_formatter();
  formatter->label("Usage", "Использование");
  formatter->label("OPTIONS", "ПАРАМЕТРЫ");
  formatter->label("SUBCOMMAND", "КОМАНДА");
  formatter->label("SUBCOMMANDS", "КОМАНДЫ");
  formatter->label("Positionals", "Аргументы");
  // Every argument is required (the usage line shows them without brackets), and CLI11 aligns
  // columns by bytes, which Cyrillic labels would upset.
  formatter->label("REQUIRED", "");
  formatter->column_width(34);
  app.option_defaults()->group("Параметры");
}

constexpr const char* kFooter =
    "ENTRY — номер файла в карте темы (с 0) или путь из подписей дерева через «/»,\n"
    "например \"Меню/Иконки меню/Камера\".\n"
    "Карта темы — --map FILE, иначе та же, что у редактора: theme.rxt рядом с программой,\n"
    "затем в $XDG_CONFIG_HOME/orvalen-wqt-manager/, $XDG_DATA_HOME/orvalen-wqt-manager/,\n"
    "в папках $XDG_DATA_DIRS, наконец в ../share/orvalen-wqt-manager/ от папки программы.\n"
    "Код выхода: 0 — всё в порядке, 1 — в теме есть проблемы, 2 — ошибка в командной строке\n"
    "или входной файл не читается.";

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  wqtcli::ProgramOptions program;
  CLI::App app("orvalen-wqt — командная строка редактора тем WQT Orvalen WQT Manager.",
               "orvalen-wqt");
  russianHelp(app);
  app.set_help_flag("-h,--help", "Показать справку и выйти");
  app.set_version_flag("--version", "orvalen-wqt (Orvalen WQT Manager) 1.0",
                       "Показать версию и выйти");
  app.footer(kFooter);
  app.require_subcommand(1);
  app.fallthrough();
  app.add_option("--map", program.map, "Файл карты темы")->type_name("FILE");
  using namespace wqtcli;
  const Command commands[] = {
      setupInfo(app, program),      setupList(app, program),      setupCheck(app, program),
      setupExtract(app, program),   setupUnpack(app, program),    setupPack(app, program),
      setupReplace(app, program),   setupSet(app, program),       setupFit(app, program),
      setupCatalogue(app, program), setupThumbnail(app, program), setupPort(app, program)};

  std::optional<std::string> wrong = unknownCommand(argc, argv, app);
  try {
    if (!wrong) app.parse(argc, argv);
  } catch (const CLI::Success& e) {  // --help, --version
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    wrong = optionSlip(argc, argv, app);
    if (!wrong) wrong = russianParseError(e);
  }
  if (wrong) {
    printMessage(*wrong);
    std::fputs("Справка: orvalen-wqt --help\n", stderr);
    return kExitUsage;
  }

  try {
    for (const Command& command : commands)
      if (command.sub->parsed()) return command.run();
  } catch (const Failure& failure) {
    printMessage(failure.what());
    return failure.status;
  } catch (const wqt::Error& e) {
    printMessage(russianError(e));
  } catch (const std::filesystem::filesystem_error& e) {
    printMessage(russianError(e));
  }
  return kExitUsage;
}
