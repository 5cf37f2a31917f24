#pragma once
// The commands of orvalen-wqt, each set up on the program in the order its help lists them. A
// command prints its data on stdout and its messages on stderr.
#include "cli/command.h"

namespace wqtcli {

Command setupInfo(CLI::App& app, const ProgramOptions& program);
Command setupList(CLI::App& app, const ProgramOptions& program);
Command setupCheck(CLI::App& app, const ProgramOptions& program);
Command setupExtract(CLI::App& app, const ProgramOptions& program);
Command setupUnpack(CLI::App& app, const ProgramOptions& program);
Command setupPack(CLI::App& app, const ProgramOptions& program);
Command setupReplace(CLI::App& app, const ProgramOptions& program);
Command setupSet(CLI::App& app, const ProgramOptions& program);
Command setupFit(CLI::App& app, const ProgramOptions& program);
Command setupCatalogue(CLI::App& app, const ProgramOptions& program);
Command setupThumbnail(CLI::App& app, const ProgramOptions& program);
Command setupPort(CLI::App& app, const ProgramOptions& program);

}  // namespace wqtcli
