#include "cli/parse_messages.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace wqtcli {

namespace {

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

}  // namespace

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

std::optional<std::string> optionSlip(int argc, char** argv, const CLI::App& app) {
  std::vector<std::string> names;
  const auto addNames = [&names](const CLI::App& from) {
    for (const CLI::Option* option : from.get_options()) {
      for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    }
  };
  addNames(app);
  for (const CLI::App* sub : app.get_subcommands()) addNames(*sub);
  for (int i = 1; i < argc && !names.empty(); ++i) {
    const std::string_view arg = argv[i];
    if (!arg.starts_with("--")) continue;
    const std::string_view name = arg.substr(0, arg.find('='));
    if (std::find(names.begin(), names.end(), name) != names.end()) continue;
    const auto closest = std::min_element(names.begin(), names.end(), [&](auto& x, auto& y) {
      return editDistance(name, x) < editDistance(name, y);
    });
    if (editDistance(name, *closest) <= std::max<std::size_t>(1, closest->size() / 3)) {
      return "Неизвестный параметр «" + std::string(name) + "». Может быть, " + *closest + "?";
    }
  }
  return std::nullopt;
}

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

}  // namespace wqtcli
