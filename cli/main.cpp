// orvalen-wqt: the editor's command-line twin. Inspects, checks, unpacks, packs and changes WQT
// themes with the editor's own rules and texts.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>

#include "base/core_error.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/russian_text.h"

namespace {

using wqtcli::Options;

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

// A wrong command line, said in Russian: CLI11's own texts are English.
std::string russianParseError(const CLI::ParseError& e) {
  const std::string what = e.what();
  const std::size_t colon = what.rfind(": ");
  const std::string detail = colon == std::string::npos ? "" : what.substr(colon + 2);
  if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) {
    return what.find("subcommand") != std::string::npos
               ? "Не указана команда или она неизвестна."
               : "Не хватает обязательного аргумента: " + what.substr(0, what.find(' ')) + ".";
  }
  if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr)
    return "Лишние аргументы: " + detail + ".";
  if (dynamic_cast<const CLI::ValidationError*>(&e) != nullptr ||
      dynamic_cast<const CLI::ConversionError*>(&e) != nullptr) {
    return "Недопустимое значение параметра " + what + ".";
  }
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr) {
    return "Не хватает значения параметра: " + what.substr(0, what.find(':')) + ".";
  }
  return "Неверная командная строка: " + what + ".";
}

// Edits (insertions, deletions, substitutions of characters) between two UTF-8 texts' bytes.
std::size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1] ? 1 : 0)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// A misspelt option of the command given (or of the program): the message naming the closest
// one it takes, when it is a slip as unknownCommand counts one.
std::optional<std::string> optionSlip(const CLI::ParseError& e, const CLI::App& app) {
  if (dynamic_cast<const CLI::ExtrasError*>(&e) == nullptr) return std::nullopt;
  std::vector<std::string> names;
  const auto addNames = [&names](const CLI::App& from) {
    for (const CLI::Option* option : from.get_options()) {
      for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    }
  };
  addNames(app);
  for (const CLI::App* sub : app.get_subcommands()) addNames(*sub);
  const std::string what = e.what();
  const std::size_t colon = what.rfind(": ");
  std::string_view extras =
      colon == std::string::npos ? "" : std::string_view(what).substr(colon + 2);
  while (!extras.empty()) {
    const std::size_t space = extras.find(' ');
    const std::string_view arg = extras.substr(0, space);
    extras = space == std::string_view::npos ? "" : extras.substr(space + 1);
    if (!arg.starts_with("--") || names.empty()) continue;
    const std::string_view name = arg.substr(0, arg.find('='));
    const auto closest = std::min_element(names.begin(), names.end(), [&](auto& x, auto& y) {
      return editDistance(name, x) < editDistance(name, y);
    });
    if (editDistance(name, *closest) <= std::max<std::size_t>(1, closest->size() / 3)) {
      return "Неизвестный параметр «" + std::string(name) + "». Может быть, " + *closest + "?";
    }
  }
  return std::nullopt;
}

// The command word of the command line (the first argument that is not an option or --map's
// value) when it names no command: the message naming the closest command when it is a slip
// (at most a third of its letters wrong), else every command.
std::optional<std::string> unknownCommand(int argc, char** argv, const CLI::App& app) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--map") {
      ++i;
      continue;
    }
    if (arg.starts_with("-")) continue;
    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands({})) names.push_back(sub->get_name());
    if (std::find(names.begin(), names.end(), arg) != names.end()) return std::nullopt;
    const auto closest = std::min_element(names.begin(), names.end(), [&](auto& x, auto& y) {
      return editDistance(arg, x) < editDistance(arg, y);
    });
    const std::string unknown = "Неизвестная команда «" + std::string(arg) + "». ";
    if (editDistance(arg, *closest) <= std::max<std::size_t>(1, closest->size() / 3)) {
      return unknown + "Может быть, «" + *closest + "»?";
    }
    std::string all;
    for (const std::string& name : names) all += (all.empty() ? "" : ", ") + name;
    return unknown + "Команды: " + all + ".";
  }
  return std::nullopt;
}

// pack and replace store exact files as they are; --fit is what makes them fit the others.
constexpr const char* kFitFooter =
    "С --fit рисунок JPEG, PNG, WebP, GIF, BMP, TIFF, HEIC или AVIF, который не подходит файлу\n"
    "JPG или RAW как есть (другой размер, PNG для JPG, JPEG для RAW), подгоняется к нему; точный\n"
    "файл берётся как есть.\n"
    "--gravity, --background, --dither и --quality действуют только вместе с --fit.";

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
  Options options;
  CLI::App app("orvalen-wqt — командная строка редактора тем WQT Orvalen WQT Manager.",
               "orvalen-wqt");
  russianHelp(app);
  app.set_help_flag("-h,--help", "Показать справку и выйти");
  app.set_version_flag("--version", "orvalen-wqt (Orvalen WQT Manager) 1.0",
                       "Показать версию и выйти");
  app.footer(kFooter);
  app.require_subcommand(1);
  app.fallthrough();
  app.add_option("--map", options.map, "Файл карты темы")->type_name("FILE");

  std::map<CLI::App*, std::function<int(const Options&)>> run;
  const auto command = [&](const char* name, const char* description,
                           std::function<int(const Options&)> body) {
    CLI::App* sub = app.add_subcommand(name, description);
    sub->group("Команды");
    sub->get_help_ptr()->group("Параметры");
    run[sub] = std::move(body);
    return sub;
  };
  // A required argument, shown by its name alone.
  const auto positional = [](CLI::App* sub, const char* name, auto& value,
                             const char* description) {
    return sub->add_option(name, value, description)->required()->type_name("");
  };
  const auto theme = [&](CLI::App* sub) {
    positional(sub, "THEME", options.theme, "Файл темы (.wqt)");
    return sub;
  };
  const auto entry = [&](CLI::App* sub) {
    positional(sub, "ENTRY", options.entry, "Номер файла или путь из подписей");
    return sub;
  };
  const auto output = [&](CLI::App* sub, const char* description) {
    return sub->add_option("-o", options.output, description)->type_name("FILE");
  };
  const auto png = [&](CLI::App* sub) {
    sub->add_flag("--png", options.png, "RAW-изображения как 8-битные RGB PNG");
  };

  theme(command("info", "Поля заголовка, тип темы, число файлов", wqtcli::runInfo));
  CLI::App* list = theme(command("list", "Список файлов темы", wqtcli::runList));
  list->add_flag("--json", options.json, "Вывести список одним документом JSON");
  command("check", "Проверить темы правилами редактора", wqtcli::runCheck)
      ->add_option("THEME", options.themes, "Файлы тем (.wqt)")
      ->required()
      ->type_name("");
  CLI::App* extract =
      entry(theme(command("extract", "Сохранить один файл темы", wqtcli::runExtract)));
  output(extract, "Куда сохранить (по умолчанию — имя по подписи)");
  png(extract);
  CLI::App* unpack =
      theme(command("unpack", "Распаковать все файлы темы в папку", wqtcli::runUnpack));
  positional(unpack, "DIR", options.folder, "Новая или пустая папка");
  png(unpack);
  CLI::App* pack = command("pack", "Собрать тему из распакованной папки", wqtcli::runPack);
  positional(pack, "DIR", options.folder, "Папка с theme.json");
  positional(pack, "THEME", options.theme, "Файл темы, который записать");
  wqtcli::addFitOptions(pack, options.fit);
  pack->footer(kFitFooter);
  CLI::App* replace =
      entry(theme(command("replace", "Заменить один файл темы", wqtcli::runReplace)));
  positional(replace, "FILE", options.file, "Новый файл (.png для RAW-изображения)");
  output(replace, "Записать тему в другой файл");
  wqtcli::addFitOptions(replace, options.fit);
  replace->footer(kFitFooter);
  CLI::App* set = theme(command("set", "Изменить поля заголовка или тип темы", wqtcli::runSet));
  for (std::size_t i = 0; i < wqt::kNamedFields.size(); ++i) {
    const wqt::NamedField& named = wqt::kNamedFields[i];
    set->add_option(std::string("--") + named.key, options.fields[i], named.label);
  }
  set->add_option("--type", options.type, "Тип темы: black (черная) или white (белая)")
      ->check(
          [](const std::string& value) {
            return wqt::themeTypeOfKey(value) ? "" : "ожидается black или white";
          },
          "")
      ->type_name("black|white");
  output(set, "Записать тему в другой файл");
  CLI::App* fit = command("fit", "Подогнать рисунок к файлу JPG или RAW без темы", wqtcli::runFit);
  positional(fit, "PICTURE", options.file,
             "Рисунок JPEG, PNG, WebP, GIF, BMP, TIFF, HEIC или AVIF");
  wqtcli::addFitCommandOptions(fit, options);
  CLI::App* catalogue =
      theme(command("catalogue", "Страница HTML со всеми файлами темы", wqtcli::runCatalogue));
  output(catalogue, "Файл страницы (.html; «-» — в стандартный вывод)")->required();
  CLI::App* thumbnail =
      command("thumbnail", "Миниатюра темы в PNG для файловых менеджеров", wqtcli::runThumbnail);
  thumbnail->add_option("-s", options.size, "Наибольшая сторона миниатюры (по умолчанию 256)")
      ->check(
          [](const std::string& value) {
            int size = 0;
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), size);
            return error == std::errc() && end == value.data() + value.size() && size >= 1 &&
                           size <= 4096
                       ? ""
                       : "ожидается число от 1 до 4096";
          },
          "")
      ->type_name("SIZE");
  theme(thumbnail);
  positional(thumbnail, "OUT", options.picture, "Файл PNG, который записать");

  std::optional<std::string> wrong = unknownCommand(argc, argv, app);
  try {
    if (!wrong) app.parse(argc, argv);
  } catch (const CLI::Success& e) {  // --help, --version
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    wrong = optionSlip(e, app);
    if (!wrong) wrong = russianParseError(e);
  }
  if (wrong) {
    wqtcli::printMessage(*wrong);
    std::fputs("Справка: orvalen-wqt --help\n", stderr);
    return wqtcli::kExitUsage;
  }

  try {
    for (const auto& [sub, body] : run)
      if (sub->parsed()) return body(options);
  } catch (const wqtcli::Failure& failure) {
    wqtcli::printMessage(failure.what());
    return failure.status;
  } catch (const wqt::Error& e) {
    wqtcli::printMessage(wqtcli::russianError(e));
  } catch (const std::filesystem::filesystem_error& e) {
    wqtcli::printMessage(wqtcli::russianError(e));
  }
  return wqtcli::kExitUsage;
}
