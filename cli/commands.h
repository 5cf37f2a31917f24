#pragma once
// The commands of orvalen-wqt. Each returns the exit status, prints its data on stdout and its
// messages on stderr, and throws Failure for what ends it early.
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/fit_arguments.h"

namespace wqtcli {

struct Options {
  std::optional<std::filesystem::path> map;
  std::vector<std::string> themes;  // check
  std::string theme;
  std::string entry;
  std::string file;    // replace: the file to load
  std::string folder;  // unpack, pack
  std::optional<std::string> output;
  bool json = false;
  bool png = false;
  std::array<std::optional<std::string>, 3> fields;  // set: in the order of wqt::kNamedFields
  std::optional<std::string> type;                   // "black" or "white"
  std::string fitSize;                               // fit: WxH
  std::string fitKind;                               // fit: jpg or raw
  FitArguments fit;
  std::string picture;  // thumbnail: the PNG file to write
  int size = 256;       // thumbnail: the square it fits inside
};

int runInfo(const Options& options);
int runList(const Options& options);
int runCheck(const Options& options);
int runExtract(const Options& options);
int runUnpack(const Options& options);
int runPack(const Options& options);
int runReplace(const Options& options);
int runSet(const Options& options);
int runFit(const Options& options);
int runCatalogue(const Options& options);
int runThumbnail(const Options& options);

Command setupPort(CLI::App& app, const ProgramOptions& program);

// fit's own options: --size, --kind, the fitting options and -o.
void addFitCommandOptions(CLI::App* command, Options& options);

}  // namespace wqtcli
