#include "cli/fit_arguments.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <span>
#include <string_view>

#include "cli/cli_support.h"

namespace wqtcli {

namespace {

template <typename Value>
struct Named {
  std::string_view name;
  Value value;
};

constexpr Named<wqt::FitMode> kModes[] = {{"crop", wqt::FitMode::Crop},
                                          {"inside", wqt::FitMode::Inside},
                                          {"stretch", wqt::FitMode::Stretch}};
constexpr Named<wqt::Gravity> kGravities[] = {{"center", wqt::Gravity::Center},
                                              {"top", wqt::Gravity::Top},
                                              {"bottom", wqt::Gravity::Bottom},
                                              {"left", wqt::Gravity::Left},
                                              {"right", wqt::Gravity::Right}};
constexpr Named<wqt::Dither> kDithers[] = {{"none", wqt::Dither::None},
                                           {"ordered", wqt::Dither::Ordered},
                                           {"diffusion", wqt::Dither::Diffusion}};

// "ожидается a, b или c"
template <typename Value>
std::string expected(std::span<const Named<Value>> names) {
  std::string text = "ожидается ";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " или " : ", ";
    text += names[i].name;
  }
  return text;
}

template <typename Value>
std::optional<Value> lookUp(std::span<const Named<Value>> names, std::string_view text) {
  for (const auto& n : names) {
    if (n.name == text) return n.value;
  }
  return std::nullopt;
}

std::optional<int> wholeNumber(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<wqt::Rgb> colour(std::string_view text) {
  if (text.size() != 6) return std::nullopt;
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return wqt::Rgb{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                  static_cast<std::uint8_t>(value)};
}

// A quality, 0 for "auto"; nullopt for a number out of range or no number.
std::optional<int> quality(std::string_view text) {
  if (text == "auto") return 0;
  const auto n = wholeNumber(text);
  if (!n || *n < 1 || *n > wqt::kMaxAutoQuality) return std::nullopt;
  return n;
}

const std::string kQualityExpected =
    "ожидается число от 1 до " + std::to_string(wqt::kMaxAutoQuality) + " или auto";
constexpr const char* kColourExpected = "ожидается цвет RRGGBB, например FFFFFF";

template <typename Value>
CLI::Validator namedCheck(std::span<const Named<Value>> names) {
  return CLI::Validator(
      [names](const std::string& value) {
        return lookUp(names, value) ? std::string() : expected(names);
      },
      "");
}

// A value that passed the parse's check but not ours: the command line's own failure.
[[noreturn]] void refuse(const char* option, const std::string& why) {
  throw Failure(kExitUsage,
                std::string("Недопустимое значение параметра ") + option + ": " + why + ".");
}

// The value of a named option when it was given; a name the parse did not check is refused.
template <typename Value>
std::optional<Value> given(std::span<const Named<Value>> names,
                           const std::optional<std::string>& text, const char* option) {
  if (!text) return std::nullopt;
  const auto value = lookUp(names, *text);
  if (!value) refuse(option, expected(names));
  return value;
}

}  // namespace

void addFitOptions(CLI::App* command, FitArguments& arguments) {
  command
      ->add_option("--fit", arguments.mode,
                   "Подгонка: crop (обрезать), inside (вписать с полями), stretch (растянуть)")
      ->check(namedCheck<wqt::FitMode>(kModes))
      ->type_name("MODE");
  command
      ->add_option("--gravity", arguments.gravity,
                   "Где окно обрезки: center, top, bottom, left, right")
      ->check(namedCheck<wqt::Gravity>(kGravities))
      ->type_name("SIDE");
  command->add_option("--background", arguments.background, "Цвет полей и прозрачных мест, RRGGBB")
      ->check(CLI::Validator(
          [](const std::string& v) { return colour(v) ? std::string() : kColourExpected; }, ""))
      ->type_name("RRGGBB");
  command->add_option("--dither", arguments.dither, "RAW: none, ordered, diffusion (по умолчанию)")
      ->check(namedCheck<wqt::Dither>(kDithers))
      ->type_name("KIND");
  command->add_option("--quality", arguments.quality, "JPG: качество 1..95 или auto (по умолчанию)")
      ->check(CLI::Validator(
          [](const std::string& v) { return quality(v) ? std::string() : kQualityExpected; }, ""))
      ->type_name("N|auto");
}

wqt::FitOptions fitOptions(const FitArguments& arguments) {
  wqt::FitOptions options;
  if (const auto mode = given<wqt::FitMode>(kModes, arguments.mode, "--fit")) options.mode = *mode;
  if (const auto gravity = given<wqt::Gravity>(kGravities, arguments.gravity, "--gravity")) {
    wqt::applyGravity(options, *gravity);
  }
  if (arguments.background) {
    const auto rgb = colour(*arguments.background);
    if (!rgb) refuse("--background", kColourExpected);
    options.background = *rgb;
  }
  if (const auto dither = given<wqt::Dither>(kDithers, arguments.dither, "--dither")) {
    options.dither = *dither;
  }
  if (arguments.quality) {
    const auto q = quality(*arguments.quality);
    if (!q) refuse("--quality", kQualityExpected);
    if (*q != 0) options.quality = *q;
  }
  return options;
}

std::optional<wqt::FitOptions> requestedFit(const FitArguments& arguments) {
  if (arguments.mode) return fitOptions(arguments);
  if (arguments.gravity || arguments.background || arguments.dither || arguments.quality) {
    throw Failure(kExitUsage,
                  "Параметры --gravity, --background, --dither и --quality действуют только "
                  "вместе с --fit.");
  }
  return std::nullopt;
}

}  // namespace wqtcli
