#pragma once
// The fitting options a command takes (--fit, --gravity, --background, --dither, --quality):
// declared on a command in one call, turned into the core's FitOptions in another.
#include <optional>
#include <string>

#include "ops/entry_fit.h"

namespace CLI {
class App;
}

namespace wqtcli {

// The options as given; unset ones take the core's defaults.
struct FitArguments {
  std::optional<std::string> mode;  // crop, inside, stretch
  std::optional<std::string> gravity;
  std::optional<std::string> background;  // RRGGBB
  std::optional<std::string> dither;
  std::optional<std::string> quality;  // 1..95 or auto
};

// pack and replace store exact files as they are; --fit is what makes them fit the others.
inline constexpr const char* kFitFooter =
    "С --fit рисунок JPEG, PNG, WebP, GIF, BMP, TIFF, HEIC или AVIF, который не подходит файлу\n"
    "JPG или RAW как есть (другой размер, PNG для JPG, JPEG для RAW), подгоняется к нему; точный\n"
    "файл берётся как есть.\n"
    "--gravity, --background, --dither и --quality действуют только вместе с --fit.";

// Declares the options on the command, each checked as the command line is parsed. fit takes
// --fit as a choice of mode; a command that also stores exact files as they are fits only when
// --fit is given.
void addFitOptions(CLI::App* command, FitArguments& arguments);

// The core's options. Throws Failure (status 2) for a value the parse did not check.
wqt::FitOptions fitOptions(const FitArguments& arguments);

// For a command that fits only when --fit is given: the core's options then, nullopt without
// --fit. Another fitting option without --fit throws Failure (status 2) rather than being ignored.
std::optional<wqt::FitOptions> requestedFit(const FitArguments& arguments);

}  // namespace wqtcli
