#include "ops/port_text.h"

#include "files/import_export.h"

namespace wqt {

namespace {

std::string entryShape(const ThemeMap& map, const FileEntry& entry) {
  const std::string kind = map.kindText(entry);
  if (entry.kind == EntryKind::ColourTable) return kind + " " + sizeText(entry.expectedSize);
  return kind + " " + std::to_string(entry.width) + "×" + std::to_string(entry.height);
}

std::string unfilledText(const ThemeMap& oldMap, const FileEntry& entry, const PortedEntry& ported,
                         ErrorText errorText) {
  const auto refusal = [&](const PortMissDetail& detail) {
    return importRefusalText(entry, detail.refused, RawFormat::Raw, errorText);
  };
  std::string text;
  switch (ported.old.miss) {
    case PortMiss::NoEntry:
      text = "в старой карте нет файла с этим путём";
      break;
    case PortMiss::Empty:
      text = "в старой теме этот файл отсутствует";
      break;
    case PortMiss::OtherKind:
      text = "в старой теме это " + entryShape(oldMap, *oldMap.entry(ported.from)) + ", а нужен " +
             oldMap.textUtf8(entry.kindName);
      break;
    case PortMiss::Refused:
      text = "старый файл не подходит: " + refusal(ported.old);
      break;
    case PortMiss::Failed:
      text = "старый рисунок не подогнать: " + errorText(*ported.old.error);
      break;
    case PortMiss::None:
      break;
  }
  if (text.ends_with('.')) text.pop_back();
  switch (ported.base.miss) {
    case PortMiss::NoEntry:
      return text + "; базовая тема не указана.";
    case PortMiss::Empty:
      return text + "; в базовой теме этот файл отсутствует.";
    default:
      return text + "; файл базовой темы не подходит: " + refusal(ported.base);
  }
}

}  // namespace

std::string portStepText(const ThemeMap& oldMap, const ThemeMap& newMap, const PortedEntry& ported,
                         ErrorText errorText) {
  switch (ported.step) {
    case PortStep::Carried:
      return "перенесён";
    case PortStep::Fitted:
      return "подогнан из " + entryShape(oldMap, *oldMap.entry(ported.from));
    case PortStep::FromBase:
      return "из базовой темы";
    case PortStep::Unfilled:
      break;
  }
  const FileEntry* entry = newMap.entry(ported.entry);
  return unfilledText(oldMap, entry != nullptr ? *entry : FileEntry{}, ported, errorText);
}

std::string portSummaryText(const PortOutcome& outcome) {
  if (const std::size_t unfilled = outcome.unfilled(); unfilled != 0)
    return "Тема не записана: не заполнено файлов: " + std::to_string(unfilled) + ".";
  std::size_t counts[3] = {};
  for (const PortedEntry& ported : outcome.entries) ++counts[static_cast<int>(ported.step)];
  return "Перенесено: " + std::to_string(counts[0]) + ", подогнано: " + std::to_string(counts[1]) +
         ", из базовой темы: " + std::to_string(counts[2]) + ".";
}

}  // namespace wqt
