#pragma once
// A command of orvalen-wqt: its subcommand, holding its own options, and what runs it.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>
#include <optional>
namespace wqtcli {
// What the program takes before the command word.
struct ProgramOptions {
  std::optional<std::filesystem::path> map;
};
struct Command {
  CLI::App* sub;
  std::function<int()> run;  // the exit status; throws Failure to end early
};
}  // namespace wqtcli
