// info: a theme's header fields, its type and how many of its files it holds.
#include "base/shown_text.h"
#include "cli/cli_support.h"
#include "cli/command_arguments.h"
#include "cli/commands.h"

namespace wqtcli {

namespace {

struct InfoOptions {
  std::string theme;
};

int run(const InfoOptions& options, const ProgramOptions& program) {
  const wqt::ThemeMap map = loadMap(program.map);
  const wqt::MapSettings& settings = map.settings();
  const wqt::ThemeFileSlots file = openEntries(options.theme, map);
  const wqt::HeaderView header = wqt::viewHeader(file.image(), settings);
  std::size_t present = 0;
  for (std::size_t e = 0; e < file.entryCount(); ++e)
    present += file.entrySize(static_cast<std::int32_t>(e)) != 0 ? 1 : 0;

  std::string out;
  for (std::size_t i = 0; i < wqt::kNamedFields.size(); ++i)
    out += std::string(wqt::kNamedFields[i].label) + ": " + wqt::escapeControls(header.fields[i]) +
           "\n";
  if (header.type.shown) {
    out += "Тип темы: " +
           (header.type.type ? std::string(wqt::themeTypeName(*header.type.type))
                             : "не задан (байт " + std::to_string(header.type.byte) + ")") +
           "\n";
  }
  out += "Файлов: " + std::to_string(file.entryCount()) + "\n";
  out += "Присутствует: " + std::to_string(present) + "\n";
  out += "Отсутствует: " + std::to_string(file.entryCount() - present) + "\n";
  printData(out);
  return kExitOk;
}

}  // namespace

Command setupInfo(CLI::App& app, const ProgramOptions& program) {
  const auto options = std::make_shared<InfoOptions>();
  CLI::App* sub = addCommand(app, "info", "Поля заголовка, тип темы, число файлов");
  addTheme(sub, options->theme);
  return {sub, [options, &program] { return run(*options, program); }};
}

}  // namespace wqtcli
