#include "ops/theme_port.h"

#include <algorithm>
#include <unordered_map>

#include "base/replacing_file.h"
#include "files/preview.h"
#include "fit/fit_picture.h"
#include "map/entry_paths.h"
#include "ops/entry_fit.h"
#include "ops/theme_header.h"

namespace wqt {

namespace {

// The key of a node among the nodes of its parent group's path: captions are compared as UTF-8,
// so a map written in Windows-1251 meets one written in UTF-8.
std::string nodeKey(int parentPath, const std::string& caption) {
  std::string key(reinterpret_cast<const char*>(&parentPath), sizeof parentPath);
  return key + caption;
}

// For each entry of `to`, the entry of `from` of the same caption path, -1 when it has none.
// Every group path gets a number (groups of the same path share it), so a node is found by its
// parent's number and its own caption, whatever the depth.
std::vector<std::int32_t> matchByPath(const ThemeMap& from, const ThemeMap& to) {
  std::unordered_map<std::string, int> groups;
  std::unordered_map<std::string, std::vector<std::int32_t>> files;
  groups.reserve(from.tree().size());
  files.reserve(from.entries().size());
  std::vector<int> pathOf(from.tree().size(), -1);
  for (std::size_t i = 0; i < from.tree().size(); ++i) {
    const TreeNode& node = from.tree()[i];
    const int parent = node.parent < 0 ? -1 : pathOf[static_cast<std::size_t>(node.parent)];
    const std::string key = nodeKey(parent, from.captionUtf8(static_cast<int>(i)));
    if (node.isFile()) {
      files[key].push_back(node.entry);
    } else {
      pathOf[i] = groups.try_emplace(key, static_cast<int>(groups.size())).first->second;
    }
  }
  constexpr int kNoPath = -2;  // a group `from` lacks: nothing below it matches
  std::vector<std::int32_t> matched(to.entries().size(), -1);
  std::unordered_map<std::string, std::size_t> taken;
  std::vector<int> toPath(to.tree().size(), kNoPath);
  for (std::size_t i = 0; i < to.tree().size(); ++i) {
    const TreeNode& node = to.tree()[i];
    const int parent = node.parent < 0 ? -1 : toPath[static_cast<std::size_t>(node.parent)];
    if (parent == kNoPath) continue;
    const std::string key = nodeKey(parent, to.captionUtf8(static_cast<int>(i)));
    if (!node.isFile()) {
      if (const auto it = groups.find(key); it != groups.end()) toPath[i] = it->second;
      continue;
    }
    const auto it = files.find(key);
    if (it == files.end()) continue;
    std::size_t& next = taken[key];
    if (next < it->second.size() && static_cast<std::size_t>(node.entry) < matched.size())
      matched[static_cast<std::size_t>(node.entry)] = it->second[next++];
  }
  return matched;
}

bool isPicture(EntryKind kind) {
  return kind == EntryKind::Jpg || kind == EntryKind::Raw;
}

PortMissDetail refusedBy(ImportOutcome outcome) {
  return {PortMiss::Refused, std::move(outcome), std::nullopt};
}

// The old entry's data for the new entry: as it is when exact (a RAW picture also of the same
// dimensions, whose bytes would otherwise pass for another shape), else a picture fitted.
PortMissDetail fromOld(const FileEntry& was, const FileEntry& entry, const FitOptions& options,
                       std::vector<std::uint8_t>& data, PortStep& step) {
  if (data.empty()) return {PortMiss::Empty, {}, std::nullopt};
  const bool sameShape =
      entry.kind != EntryKind::Raw || (was.width == entry.width && was.height == entry.height);
  if (was.kind == entry.kind && sameShape) {
    ImportOutcome exact = checkBytesImport(entry, data);
    if (exact.stored()) {
      step = PortStep::Carried;
      return {};
    }
    if (!isPicture(entry.kind)) return refusedBy(std::move(exact));
  }
  if (!isPicture(was.kind) || !isPicture(entry.kind)) return {PortMiss::OtherKind, {}, {}};
  const std::optional<FitTarget> target = fitTarget(entry);
  if (!target) return refusedBy(checkBytesImport(entry, data));
  if (!slotCanHold(*target)) {
    return refusedBy(refusedImport(ImportRefusal::TooLarge, kTooLargeMessage));
  }
  try {
    const SourceRequest request{*target, options.background};
    const SourcePicture source = was.kind == EntryKind::Raw
                                     ? SourcePicture{rawPreview(was, data), was.width, was.height}
                                     : readSource(data, request);
    std::vector<std::uint8_t> fitted = fitPicture(source, *target, options).bytes;
    ImportOutcome checked = checkBytesImport(entry, fitted);
    if (!checked.stored()) return refusedBy(std::move(checked));
    data = std::move(fitted);
    step = PortStep::Fitted;
    return {};
  } catch (const Error& e) {
    return {PortMiss::Failed, {}, e};
  }
}

// The bytes before the new theme's data region: the old theme's whole when both maps lay themes
// out alike, else a new theme's of the new map with the old header texts and type byte.
std::vector<std::uint8_t> portedHeader(std::span<const std::uint8_t> old, const MapSettings& was,
                                       const MapSettings& now) {
  const auto sameLayout = [](const MapSettings& a, const MapSettings& b) {
    return a.signature1 == b.signature1 && a.signature2 == b.signature2 &&
           a.tableOffset == b.tableOffset && a.dataOffset == b.dataOffset &&
           a.fileCount == b.fileCount && a.colourFlag == b.colourFlag &&
           a.typeByteOffset == b.typeByteOffset;
  };
  if (sameLayout(was, now))
    return {old.begin(), old.begin() + std::min<std::size_t>(old.size(), now.dataOffset)};
  ThemeDocument fresh;
  fresh.create(now);
  std::vector<std::uint8_t> header = fresh.image();
  // Each field as its bytes stand: a text the editor would show differently travels unchanged.
  for (const NamedField& named : kNamedFields) {
    const HeaderField& field = named.field;
    std::fill_n(header.begin() + static_cast<std::ptrdiff_t>(field.offset), field.width, 0);
    if (old.size() <= field.offset) continue;
    const std::size_t n = std::min(field.width, old.size() - field.offset);
    std::copy_n(old.begin() + static_cast<std::ptrdiff_t>(field.offset), n,
                header.begin() + static_cast<std::ptrdiff_t>(field.offset));
  }
  if (was.hasTypeByte() && now.hasTypeByte() && was.typeByteOffset < old.size() &&
      now.typeByteOffset < header.size()) {
    header[now.typeByteOffset] = old[was.typeByteOffset];
  }
  return header;
}

}  // namespace

ThemeEntries themeEntries(const ThemeFileSlots& file) {
  return {file.image(), [&file](std::int32_t entry, std::vector<std::uint8_t>& buffer) {
            if (file.entrySize(entry) == 0) {
              buffer.clear();
            } else {
              file.readEntry(entry, buffer);
            }
          }};
}

ThemeEntries themeEntries(const ThemeDocument& doc) {
  return {doc.image(), [&doc](std::int32_t entry, std::vector<std::uint8_t>& buffer) {
            const std::span<const std::uint8_t> data = doc.entryData(entry);
            buffer.assign(data.begin(), data.end());
          }};
}

std::size_t PortOutcome::unfilled() const {
  return static_cast<std::size_t>(std::count_if(
      entries.begin(), entries.end(), [](auto& e) { return e.step == PortStep::Unfilled; }));
}

PortOutcome portTheme(const ThemeMap& oldMap, const ThemeEntries& oldTheme, const ThemeMap& newMap,
                      const ThemeEntries* base, const FitOptions& options,
                      const std::filesystem::path& target, const RunHooks& hooks) {
  const MapSettings& settings = newMap.settings();
  PortOutcome outcome;
  if (saveLayoutOverlaps(settings)) {
    outcome.save.refusal = SaveRefusal::LayoutOverlaps;
    return outcome;
  }
  const std::vector<std::int32_t> matched = matchByPath(oldMap, newMap);
  const std::size_t count = settings.fileCount;
  const FileEntry unknown;  // a slot the new map has no entry for: every check refuses it

  // As pack does: the files go straight into the data region, the header once all are known.
  ReplacingFile out(target);
  out.append(std::vector<std::uint8_t>(settings.dataOffset, 0));
  std::vector<std::uint32_t> sizes(count, 0);
  std::vector<std::uint8_t> data;
  bool complete = true;
  for (std::size_t e = 0; e < count; ++e) {
    if (hooks.progress) hooks.progress(e + 1, count);
    outcome.stopped = hooks.interrupted && hooks.interrupted();
    if (outcome.stopped) return outcome;
    const auto number = static_cast<std::int32_t>(e);
    PortedEntry& ported = outcome.entries.emplace_back();
    ported.entry = number;
    ported.path = entryPath(newMap, e);
    const FileEntry* known = newMap.entry(number);
    const FileEntry& entry = known != nullptr ? *known : unknown;
    ported.from = e < matched.size() ? matched[e] : -1;
    if (ported.from < 0) {
      ported.old.miss = PortMiss::NoEntry;
    } else {
      oldTheme.read(ported.from, data);
      ported.old = fromOld(*oldMap.entry(ported.from), entry, options, data, ported.step);
    }
    if (ported.old.miss != PortMiss::None) {
      if (base == nullptr) {
        ported.base.miss = PortMiss::NoEntry;
      } else {
        base->read(number, data);
        ImportOutcome checked;
        if (data.empty()) {
          ported.base.miss = PortMiss::Empty;
        } else if ((checked = checkBytesImport(entry, data)).stored()) {
          ported.step = PortStep::FromBase;
        } else {
          ported.base = refusedBy(std::move(checked));
        }
      }
    }
    if (ported.step == PortStep::Unfilled) {
      complete = false;
    } else {
      if (complete) out.append(data);
      sizes[e] = static_cast<std::uint32_t>(data.size());
    }
  }
  if (!complete) return outcome;
  const std::vector<std::uint8_t> header =
      portedHeader(oldTheme.header, oldMap.settings(), settings);
  outcome.save = checkWritten(header, sizes, settings);
  if (!outcome.save.saved()) return outcome;
  out.writeAt(0, headerForSave(header, settings, sizes));
  outcome.stopped = hooks.interrupted && hooks.interrupted();
  if (!outcome.stopped) out.commit();
  return outcome;
}

}  // namespace wqt
