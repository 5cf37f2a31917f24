#pragma once
// The arguments several commands take, declared alike on each.
#include <CLI/CLI.hpp>

#include <optional>
#include <string>

namespace wqtcli {

// The command's subcommand, listed among the commands with its help among its options.
inline CLI::App* addCommand(CLI::App& app, const char* name, const char* description) {
  CLI::App* sub = app.add_subcommand(name, description);
  sub->group("Команды");
  sub->get_help_ptr()->group("Параметры");
  return sub;
}

// A required argument, shown by its name alone.
template <typename Value>
CLI::Option* addPositional(CLI::App* sub, const char* name, Value& value, const char* description) {
  return sub->add_option(name, value, description)->required()->type_name("");
}

inline void addTheme(CLI::App* sub, std::string& theme) {
  addPositional(sub, "THEME", theme, "Файл темы (.wqt)");
}

inline void addEntry(CLI::App* sub, std::string& entry) {
  addPositional(sub, "ENTRY", entry, "Номер файла или путь из подписей");
}

inline CLI::Option* addOutput(CLI::App* sub, std::optional<std::string>& output,
                              const char* description) {
  return sub->add_option("-o", output, description)->type_name("FILE");
}

inline void addPng(CLI::App* sub, bool& png) {
  sub->add_flag("--png", png, "RAW-изображения как 8-битные RGB PNG");
}

}  // namespace wqtcli
