#pragma once
// What a wrong command line is told, in Russian: CLI11's own texts are English, and a slip in a
// command or option word is answered with the closest one taken.
#include <CLI/CLI.hpp>

#include <optional>
#include <string>

namespace wqtcli {

std::string russianParseError(const CLI::ParseError& e);

// A misspelt option on a command line the parse refused, whatever it refused first (a required
// option a slip left out is missed before the slip is seen): the message naming the closest
// option taken, when it is a slip as unknownCommand counts one.
std::optional<std::string> optionSlip(int argc, char** argv, const CLI::App& app);

// The command word of the command line (the first argument that is not an option or --map's
// value) when it names no command: the message naming the closest command when it is a slip
// (at most a third of its letters wrong), else every command.
std::optional<std::string> unknownCommand(int argc, char** argv, const CLI::App& app);

}  // namespace wqtcli
