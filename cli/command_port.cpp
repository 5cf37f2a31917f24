// port: a theme carried to another handset's map, its pictures fitted.
#include <memory>

#include "base/shown_text.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/russian_text.h"
#include "ops/theme_port.h"

namespace wqtcli {

namespace {

namespace fs = std::filesystem;

struct PortOptions {
  std::string theme;
  std::string newMap;
  std::optional<std::string> base;
  std::string output;
  FitArguments fit;
};

// The same file by another name (a link, "./"): OUT may be neither theme read.
bool sameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec);
}

wqt::ThemeFileSlots openEntries(const std::string& theme, const wqt::ThemeMap& map) {
  std::optional<wqt::ThemeFileSlots> file;
  requireOpened(theme, wqt::openThemeEntries(theme, map, file));
  return std::move(*file);
}

std::string entryShape(const wqt::ThemeMap& map, const wqt::FileEntry& entry) {
  const std::string kind = map.kindText(entry);
  if (entry.kind == wqt::EntryKind::ColourTable)
    return kind + " " + wqt::sizeText(entry.expectedSize);
  return kind + " " + std::to_string(entry.width) + "×" + std::to_string(entry.height);
}

std::string stepText(const wqt::ThemeMap& oldMap, const wqt::PortedEntry& ported) {
  switch (ported.step) {
    case wqt::PortStep::Carried:
      return "перенесён";
    case wqt::PortStep::Fitted:
      return "подогнан из " + entryShape(oldMap, *oldMap.entry(ported.from));
    case wqt::PortStep::FromBase:
      return "из базовой темы";
    case wqt::PortStep::Unfilled:
      break;
  }
  return "не заполнен";
}

// Why an entry stays unfilled: what the old theme had there, then what the base had.
std::string unfilledText(const wqt::ThemeMap& oldMap, const wqt::FileEntry& entry,
                         const wqt::PortedEntry& ported) {
  const auto refusal = [&](const wqt::PortMissDetail& detail) {
    return importRefusalText(entry, detail.refused, wqt::RawFormat::Raw);
  };
  std::string text;
  switch (ported.old.miss) {
    case wqt::PortMiss::NoEntry:
      text = "в старой карте нет файла с этим путём";
      break;
    case wqt::PortMiss::Empty:
      text = "в старой теме этот файл отсутствует";
      break;
    case wqt::PortMiss::OtherKind:
      text = "в старой теме это " + entryShape(oldMap, *oldMap.entry(ported.from)) + ", а нужен " +
             oldMap.textUtf8(entry.kindName);
      break;
    case wqt::PortMiss::Refused:
      text = "старый файл не подходит: " + refusal(ported.old);
      break;
    case wqt::PortMiss::Failed:
      text = "старый рисунок не подогнать: " + russianError(*ported.old.error);
      break;
    case wqt::PortMiss::None:
      break;
  }
  if (text.ends_with('.')) text.pop_back();
  switch (ported.base.miss) {
    case wqt::PortMiss::NoEntry:
      return text + "; базовая тема не указана (--base).";
    case wqt::PortMiss::Empty:
      return text + "; в базовой теме этот файл отсутствует.";
    default:
      return text + "; файл базовой темы не подходит: " + refusal(ported.base);
  }
}

int runPort(const ProgramOptions& program, const PortOptions& options) {
  const fs::path target = targetPath(options.output, "файл для -o");
  for (const std::optional<std::string>& read : {std::optional(options.theme), options.base}) {
    if (read && sameFile(target, *read)) {
      throw Failure(kExitUsage,
                    "Файл -o «" + target.string() + "» — это «" + *read + "»; укажите другой.");
    }
  }
  const wqt::FitOptions fit = fitOptions(options.fit);
  const wqt::ThemeMap oldMap = loadMap(program.map);
  const wqt::ThemeMap newMap = loadMap(fs::path(options.newMap));
  const wqt::ThemeFileSlots old = openEntries(options.theme, oldMap);
  std::optional<wqt::ThemeFileSlots> base;
  if (options.base) base = openEntries(*options.base, newMap);
  const wqt::ThemeEntries baseEntries = base ? wqt::themeEntries(*base) : wqt::ThemeEntries{};

  const InterruptGuard interrupts;
  wqt::PortOutcome outcome;
  try {
    outcome = wqt::portTheme(oldMap, wqt::themeEntries(old), newMap, base ? &baseEntries : nullptr,
                             fit, target, {{}, interruptNoted});
  } catch (const wqt::Error& e) {
    if (e.code() == wqt::ErrorCode::FileCreate) throw;
    throw Failure(kExitUsage, options.theme + ": " + russianError(e));
  }
  if (outcome.stopped) stopIfInterrupted();
  const wqt::FileEntry unknown;
  for (const wqt::PortedEntry& ported : outcome.entries) {
    if (ported.step != wqt::PortStep::Unfilled) continue;
    const wqt::FileEntry* entry = newMap.entry(ported.entry);
    printProblem(ported.path, unfilledText(oldMap, entry ? *entry : unknown, ported));
  }
  if (const std::size_t unfilled = outcome.unfilled(); unfilled != 0) {
    printMessage("Тема не записана: не заполнено файлов: " + std::to_string(unfilled) + ".");
    return kExitProblems;
  }
  if (outcome.save.refusal == wqt::SaveRefusal::LayoutOverlaps) {
    throw Failure(kExitUsage, wqt::kLayoutOverlapMessage);
  }
  if (outcome.save.refusal == wqt::SaveRefusal::WouldNotReopen) {
    printMessage("Тема не записана: карта темы не откроет записанную тему: " +
                 openRefusalText(outcome.save.reopen));
    return kExitProblems;
  }
  std::string report;
  std::size_t counts[3] = {};
  for (const wqt::PortedEntry& ported : outcome.entries) {
    ++counts[static_cast<int>(ported.step)];
    report += std::to_string(ported.entry) + "\t" + wqt::escapeControls(ported.path) + "\t" +
              stepText(oldMap, ported) + "\n";
  }
  report += "Перенесено: " + std::to_string(counts[0]) +
            ", подогнано: " + std::to_string(counts[1]) +
            ", из базовой темы: " + std::to_string(counts[2]) + ".\n";
  printData(report);
  return kExitOk;
}

}  // namespace

Command setupPort(CLI::App& app, const ProgramOptions& program) {
  auto options = std::make_shared<PortOptions>();
  CLI::App* sub = app.add_subcommand("port", "Перенести тему на карту другой модели телефона");
  sub->group("Команды");
  sub->get_help_ptr()->group("Параметры");
  sub->add_option("THEME", options->theme, "Файл темы (.wqt) старой карты (--map)")
      ->required()
      ->type_name("");
  sub->add_option("--to-map", options->newMap, "Карта темы другой модели")
      ->required()
      ->type_name("FILE");
  sub->add_option("--base", options->base, "Тема новой карты: её файлы заполняют недостающие")
      ->type_name("FILE");
  sub->add_option("-o", options->output, "Файл новой темы, который записать")
      ->required()
      ->type_name("FILE");
  addFitOptions(sub, options->fit);
  sub->footer(
      "Файл берётся из старой темы по пути из подписей: точный — как есть, рисунок JPG или RAW\n"
      "другого размера или вида — подогнанный (по умолчанию --fit crop по центру), иначе — из\n"
      "--base. Если какой-то файл заполнить нечем, тема не записывается (код выхода 1).");
  return {sub, [&program, options] { return runPort(program, *options); }};
}

}  // namespace wqtcli
