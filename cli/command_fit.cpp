// fit: one picture made into the bytes of a JPG or RAW file of a given size, without a theme.
#include <CLI/CLI.hpp>

#include <charconv>
#include <string_view>

#include "base/file_io.h"
#include "cli/cli_support.h"
#include "cli/command_arguments.h"
#include "cli/commands.h"
#include "cli/fit_arguments.h"
#include "cli/interrupt.h"
#include "ops/entry_fit.h"

namespace wqtcli {

namespace {

namespace fs = std::filesystem;

struct FitCommandOptions {
  std::string file;
  std::string size;  // WxH
  std::string kind;  // jpg or raw
  FitArguments fit;
  std::optional<std::string> output;
};

constexpr const char* kSizeExpected = "ожидается ШИРИНАxВЫСОТА, например 240x320";
constexpr const char* kSizeRange = "ширина и высота — от 1 до 65535";
constexpr const char* kKindExpected = "ожидается jpg или raw";

// "240x320": both sides from 1 to 65535, the largest picture an entry describes. Digits out of
// that range are told apart from a text of another form, so the refusal can name the limits.
struct SizeText {
  std::optional<std::pair<int, int>> size;
  bool outOfRange = false;
};

SizeText readSize(std::string_view text) {
  const std::size_t x = text.find('x');
  if (x == std::string_view::npos) return {};
  const auto side = [](std::string_view digits) -> std::optional<long long> {
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
      return std::nullopt;
    }
    if (digits.size() > 9) return 1LL << 40;  // past any side, whatever its digits
    long long value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
  };
  const auto width = side(text.substr(0, x)), height = side(text.substr(x + 1));
  if (!width || !height) return {};
  const auto inRange = [](long long v) { return v >= 1 && v <= 65535; };
  if (!inRange(*width) || !inRange(*height)) return {std::nullopt, true};
  return {std::pair(int(*width), int(*height)), false};
}

std::optional<std::pair<int, int>> pictureSize(std::string_view text) {
  return readSize(text).size;
}

std::string sizeRefusal(std::string_view text) {
  return readSize(text).outOfRange ? kSizeRange : kSizeExpected;
}

std::optional<wqt::FileKind> fitKind(std::string_view text) {
  if (text == "jpg") return wqt::FileKind::Jpg;
  if (text == "raw") return wqt::FileKind::Raw;
  return std::nullopt;
}

wqt::FitTarget fitTargetOf(const FitCommandOptions& options) {
  const auto size = pictureSize(options.size);
  const auto kind = fitKind(options.kind);
  if (!size)
    throw Failure(kExitUsage,
                  "Недопустимое значение параметра --size: " + sizeRefusal(options.size) + ".");
  if (!kind)
    throw Failure(kExitUsage,
                  std::string("Недопустимое значение параметра --kind: ") + kKindExpected + ".");
  return {*kind, size->first, size->second};
}

int run(const FitCommandOptions& options) {
  const wqt::FitTarget target = fitTargetOf(options);
  const wqt::FitOptions fit = fitOptions(options.fit);
  const bool toStdout = *options.output == "-";
  const fs::path output = toStdout ? fs::path() : targetPath(*options.output, "файл для -o");

  if (!wqt::slotCanHold(target)) {
    printProblem(options.file, wqt::kTooLargeMessage);
    return kExitProblems;
  }
  const wqt::SourcePicture source = wqt::readPictureToFit(options.file, target, fit);
  const wqt::FitResult result = wqt::fitPicture(source, target, fit);
  if (result.refusal) {
    printProblem(options.file, *result.refusal);
    return kExitProblems;
  }
  if (toStdout) {
    printData(
        std::string_view(reinterpret_cast<const char*>(result.bytes.data()), result.bytes.size()));
    return kExitOk;
  }
  const InterruptGuard interrupts;
  wqt::writeFileReplacing(output, result.bytes);
  return kExitOk;
}

}  // namespace

Command setupFit(CLI::App& app, const ProgramOptions&) {
  const auto options = std::make_shared<FitCommandOptions>();
  CLI::App* sub = addCommand(app, "fit", "Подогнать рисунок к файлу JPG или RAW без темы");
  addPositional(sub, "PICTURE", options->file,
                "Рисунок JPEG, PNG, WebP, GIF, BMP, TIFF, HEIC или AVIF");
  sub->add_option("--size", options->size, "Размер рисунка файла, например 240x320")
      ->required()
      ->check(CLI::Validator(
          [](const std::string& v) { return pictureSize(v) ? std::string() : sizeRefusal(v); }, ""))
      ->type_name("WxH");
  sub->add_option("--kind", options->kind, "Вид файла: jpg или raw")
      ->required()
      ->check(CLI::Validator(
          [](const std::string& v) { return fitKind(v) ? std::string() : kKindExpected; }, ""))
      ->type_name("jpg|raw");
  addFitOptions(sub, options->fit);
  sub->add_option("-o", options->output, "Куда записать файл (- — на стандартный вывод)")
      ->required()
      ->type_name("FILE");
  return {sub, [options] { return run(*options); }};
}

}  // namespace wqtcli
