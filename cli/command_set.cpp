// set: header fields and the theme type changed as the editor changes them, then saved.
#include <array>

#include "cli/cli_support.h"
#include "cli/command_arguments.h"
#include "cli/commands.h"

namespace wqtcli {

namespace {

struct SetOptions {
  std::string theme;
  std::array<std::optional<std::string>, 3> fields;  // in the order of wqt::kNamedFields
  std::optional<std::string> type;                   // "black" or "white"
  std::optional<std::string> output;
};

int run(const SetOptions& options, const ProgramOptions& program) {
  const wqt::ThemeMap map = loadMap(program.map);
  const wqt::MapSettings& settings = map.settings();
  if (options.type && !settings.hasTypeByte()) {
    throw Failure(kExitUsage, "Карта темы не задаёт тип темы: --type неприменим.");
  }
  wqt::ThemeDocument doc = openDocument(options.theme, map);
  for (std::size_t i = 0; i < wqt::kNamedFields.size(); ++i) {
    if (!options.fields[i]) continue;
    const wqt::NamedField& named = wqt::kNamedFields[i];
    const wqt::FieldOutcome stored = wqt::setFieldUtf8(doc, named.field, *options.fields[i]);
    if (!stored.stored) {
      throw Failure(kExitUsage,
                    std::string(named.label) + ": " + wqt::fieldRefusalText(stored, named.field));
    }
  }
  if (options.type) wqt::setThemeType(doc, settings, *wqt::themeTypeOfKey(*options.type));
  return saveDocument(doc, settings, options.theme, options.output);
}

}  // namespace

Command setupSet(CLI::App& app, const ProgramOptions& program) {
  const auto options = std::make_shared<SetOptions>();
  CLI::App* sub = addCommand(app, "set", "Изменить поля заголовка или тип темы");
  addTheme(sub, options->theme);
  for (std::size_t i = 0; i < wqt::kNamedFields.size(); ++i) {
    const wqt::NamedField& named = wqt::kNamedFields[i];
    sub->add_option(std::string("--") + named.key, options->fields[i], named.label);
  }
  sub->add_option("--type", options->type, "Тип темы: black (черная) или white (белая)")
      ->check(
          [](const std::string& value) {
            return wqt::themeTypeOfKey(value) ? "" : "ожидается black или white";
          },
          "")
      ->type_name("black|white");
  addOutput(sub, options->output, "Записать тему в другой файл");
  return {sub, [options, &program] { return run(*options, program); }};
}

}  // namespace wqtcli
