// extract, unpack and pack: a theme's files to and from disk.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include "base/core_error.h"
#include "base/file_io.h"
#include "base/replacing_file.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/russian_text.h"
#include "cli/theme_json.h"
#include "files/file_kind.h"
#include "files/import_export.h"
#include "files/png_picture.h"
#include "files/unpack_layout.h"
#include "map/entry_paths.h"
#include "theme/theme_messages.h"

namespace wqtcli {

namespace {

namespace fs = std::filesystem;

bool isRaw(const wqt::FileEntry& entry) {
  const auto info = wqt::kindInfo(entry.kind);
  return info && info->kind == wqt::FileKind::Raw;
}

// A slot's bytes as the file the layout names: RAW pictures as PNG when asked.
class SlotContent {
 public:
  SlotContent(const wqt::ThemeMap& map, const wqt::ThemeFileSlots& file, wqt::RawFormat raw)
      : map_(map), file_(file), raw_(raw) {}

  std::span<const std::uint8_t> operator()(std::int32_t entry) {
    const auto e = static_cast<std::size_t>(entry);
    file_.read(e + 1, bytes_);
    if (raw_ == wqt::RawFormat::Png && isRaw(map_.entries()[e])) {
      bytes_ = wqt::rawToPng(map_.entries()[e], bytes_);
    }
    return bytes_;
  }

 private:
  const wqt::ThemeMap& map_;
  const wqt::ThemeFileSlots& file_;
  wqt::RawFormat raw_;
  std::vector<std::uint8_t> bytes_;
};

std::string kindText(const wqt::ThemeMap& map, const std::string& kind) {
  return map.textUtf8(kind);
}

// A folder beside the target that becomes it only once complete.
class StagingFolder {
 public:
  explicit StagingFolder(const fs::path& target) : target_(fs::absolute(target)) {
    std::string tmpl =
        (target_.parent_path() / ("." + target_.filename().string() + ".XXXXXX")).string();
    if (::mkdtemp(tmpl.data()) == nullptr) wqt::throwFileCreateError(target_, errno);
    path_ = tmpl;
  }
  ~StagingFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;

  const fs::path& path() const { return path_; }

  // Renames the folder over the target (which may be an empty folder), with the usual modes.
  void commit() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::chmod(path_.c_str(), 0777 & ~mask) != 0 ||
        ::rename(path_.c_str(), target_.c_str()) != 0) {
      wqt::throwFileCreateError(target_, errno);
    }
    path_.clear();
  }

 private:
  fs::path target_;
  fs::path path_;
};

// The folder pack reads, and the files in it that theme.json names: only a relative path that
// stays inside the folder, links included.
class PackFolder {
 public:
  explicit PackFolder(const fs::path& folder) {
    std::error_code ec;
    base_ = fs::canonical(folder, ec);
    if (ec) wqt::throwFileOpenError(folder, ec.value());
  }

  std::optional<fs::path> inside(const std::string& relative) const {
    const fs::path rel(relative);
    if (relative.empty() || rel.is_absolute()) return std::nullopt;
    for (const fs::path& part : rel) {
      if (part == "..") return std::nullopt;
    }
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(base_ / rel, ec);
    if (ec) return std::nullopt;
    const auto end = std::mismatch(base_.begin(), base_.end(), resolved.begin(), resolved.end());
    if (end.first != base_.end()) return std::nullopt;
    return resolved;
  }

 private:
  fs::path base_;
};

// The layout names top-level nodes freely, so a group or file may take the name theme.json
// keeps for itself: such a node gets "theme (2).json" (or the first free number) the way the
// layout tells clashing names apart.
void keepThemeJsonName(std::vector<wqt::LayoutItem>& items) {
  const std::string reserved = kThemeJsonName;
  const auto topName = [](const std::string& path) { return path.substr(0, path.find('/')); };
  std::set<std::string> taken;
  for (const wqt::LayoutItem& item : items) taken.insert(topName(item.path));
  if (!taken.contains(reserved)) return;
  const std::string stem = reserved.substr(0, reserved.rfind('.'));
  const std::string extension = reserved.substr(reserved.rfind('.'));
  std::string replacement;
  for (int n = 2;
       taken.contains(replacement = stem + " (" + std::to_string(n) + ")" + extension);) {
    ++n;
  }
  for (wqt::LayoutItem& item : items) {
    if (topName(item.path) == reserved) item.path.replace(0, reserved.size(), replacement);
  }
}

}  // namespace

int runExtract(const Options& options) {
  const std::optional<fs::path> output =
      options.output ? std::optional(targetPath(*options.output, "файл для -o")) : std::nullopt;
  const LoadedMap loaded = loadMap(options.map);
  const wqt::ThemeMap& map = loaded.map;
  const auto [entry, slot] = resolveEntry(map, options.entry);
  const wqt::ThemeFileSlots file = openSlots(options.theme, map.settings());
  if (file.size(slot) == 0) {
    printProblem(wqt::captionPath(map, wqt::entryNodes(map)[entry]), wqt::kMissingFileText);
    return kExitProblems;
  }
  const wqt::RawFormat raw = options.png ? wqt::RawFormat::Png : wqt::RawFormat::Raw;
  SlotContent content(map, file, raw);
  const std::span<const std::uint8_t> bytes = content(entry);
  if (output && *output == fs::path("-")) {
    printData(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return kExitOk;
  }
  // Named as export names it: the caption with the kind's extension forced on it, made safe.
  const fs::path name = output.value_or(
      wqt::exportFileName(wqt::safeName(map.captionUtf8(wqt::entryNodes(map)[entry])),
                          wqt::layoutExtension(map.entries()[entry], raw)));
  const InterruptGuard interrupts;
  wqt::writeFileReplacing(name, bytes);
  return kExitOk;
}

int runUnpack(const Options& options) {
  const LoadedMap loaded = loadMap(options.map);
  const wqt::ThemeMap& map = loaded.map;
  const fs::path folder = targetPath(options.folder, "папку DIR");
  std::error_code ec;
  if (fs::exists(folder, ec) && !fs::is_directory(folder, ec)) {
    throw Failure(kExitUsage, "«" + folder.string() + "» — это файл, а не папка.");
  }
  if (fs::exists(folder, ec) && !fs::is_empty(folder, ec)) {
    throw Failure(kExitUsage, "Папка «" + folder.string() + "» уже существует и не пуста.");
  }
  const wqt::ThemeFileSlots file = openSlots(options.theme, map.settings());
  const wqt::RawFormat raw = options.png ? wqt::RawFormat::Png : wqt::RawFormat::Raw;
  std::vector<wqt::LayoutItem> items = wqt::unpackLayout(
      map, -1,
      [&](std::int32_t e) {
        return static_cast<std::size_t>(e) < file.count() && file.size(e + 1) != 0;
      },
      raw);
  keepThemeJsonName(items);

  ThemeFolder description;
  const wqt::ThemeDocument header = headerDocument(file.image(), file.count());
  std::optional<std::string>* fields[3] = {&description.author, &description.name,
                                           &description.version};
  for (int i = 0; i < 3; ++i) *fields[i] = shownField(header, kNamedFields[i].field);
  if (map.settings().hasTypeByte()) {
    const std::uint8_t type = header.typeByte(map.settings());
    if (type < 2) description.type = kThemeTypeKeys[type];
  }
  description.header = file.image();
  description.header->resize(
      std::min<std::size_t>(description.header->size(), map.settings().dataOffset));
  std::map<std::int32_t, std::string> fileOf;
  for (const wqt::LayoutItem& item : items) fileOf[item.entry] = item.path;
  const std::vector<int> nodes = wqt::entryNodes(map);
  const std::size_t count = std::min<std::size_t>(map.entries().size(), file.count());
  for (std::size_t e = 0; e < count; ++e) {
    FolderEntry entry{static_cast<std::int32_t>(e), wqt::captionPath(map, nodes[e]),
                      kindText(map, map.entries()[e].kindName), std::nullopt};
    if (const auto it = fileOf.find(entry.index); it != fileOf.end()) entry.file = it->second;
    description.entries.push_back(std::move(entry));
  }

  const InterruptGuard interrupts;
  StagingFolder staging(folder);
  SlotContent content(map, file, raw);
  Progress progress("Распаковано файлов", items.size());
  wqt::WriteHooks hooks;
  hooks.progress = [&](std::size_t done, std::size_t) {
    progress.update(done);
    stopIfInterrupted();
    return true;
  };
  wqt::writeLayoutFiles(
      staging.path(), items,
      [&](const wqt::LayoutItem& item) {
        // A slot that cannot become its file (a RAW picture shorter than its size, as PNG)
        // is named, not left as a bare read error.
        try {
          return content(item.entry);
        } catch (const wqt::Error& e) {
          throw Failure(kExitUsage,
                        wqt::captionPath(map, nodes[static_cast<std::size_t>(item.entry)]) + ": " +
                            russianError(e.what()));
        }
      },
      hooks);
  const std::string json = toThemeJson(description);
  wqt::writeFileReplacing(
      staging.path() / kThemeJsonName,
      std::span(reinterpret_cast<const std::uint8_t*>(json.data()), json.size()));
  stopIfInterrupted();
  staging.commit();
  return kExitOk;
}

int runPack(const Options& options) {
  const LoadedMap loaded = loadMap(options.map);
  const wqt::ThemeMap& map = loaded.map;
  const wqt::MapSettings& settings = map.settings();
  const fs::path folder = targetPath(options.folder, "папку DIR");
  const fs::path target = targetPath(options.theme, "файл темы THEME");
  std::vector<std::uint8_t> jsonBytes;
  std::optional<PackFolder> packFolderOpened;
  try {
    packFolderOpened.emplace(folder);
    jsonBytes = wqt::readWholeFile(folder / kThemeJsonName, kThemeJsonLimit + 1);
  } catch (const wqt::Error& e) {
    throw Failure(kExitUsage, russianError(e.what()));
  }
  if (jsonBytes.size() > kThemeJsonLimit) {
    throw Failure(kExitUsage, std::string(kThemeJsonName) + ": файл больше " +
                                  std::to_string(kThemeJsonLimit >> 20) +
                                  " МиБ — это не описание темы.");
  }
  const PackFolder& packFolder = *packFolderOpened;
  const ThemeFolder description = fromThemeJson(
      std::string_view(reinterpret_cast<const char*>(jsonBytes.data()), jsonBytes.size()));

  std::size_t problems = 0;
  const auto problem = [&](const std::string& where, const std::string& message) {
    printProblem(where, message);
    ++problems;
  };

  // The header: the bytes unpack kept, else a new theme's; then every field and the type that
  // theme.json changes, stored by the editor's rules.
  wqt::ThemeDocument doc;
  if (description.header) {
    doc = headerDocument(*description.header, settings.fileCount);
  } else {
    doc.create(settings);
  }
  const std::optional<std::string>* fields[3] = {&description.author, &description.name,
                                                 &description.version};
  for (int i = 0; i < 3; ++i) {
    const NamedField& named = kNamedFields[i];
    if (!*fields[i]) continue;
    try {
      if (**fields[i] == shownField(doc, named.field)) continue;
    } catch (const wqt::Error&) {
      // A header too short for the field: the text is stored as given.
    }
    if (const auto refusal = storeField(doc, named.field, **fields[i])) {
      problem(std::string(kThemeJsonName) + ": " + named.label, *refusal);
    }
  }
  if (description.type && settings.hasTypeByte()) {
    const std::uint8_t type = *description.type == kThemeTypeKeys[0] ? 0 : 1;
    if (doc.image().size() <= settings.typeByteOffset || doc.typeByte(settings) != type) {
      doc.setThemeType(settings, type);
    }
  }
  if (wqt::saveLayoutOverlaps(settings)) problem(target.string(), wqt::kLayoutOverlapMessage);

  std::map<std::int32_t, std::string> fileOf;
  for (const FolderEntry& entry : description.entries) {
    if (entry.file) fileOf[entry.index] = *entry.file;
  }
  const std::vector<int> nodes = wqt::entryNodes(map);
  const std::size_t count = settings.fileCount;

  // The files go straight into the new theme's data region, one at a time, after the room kept
  // for the header; the theme replaces the target only when every file passed.
  const InterruptGuard interrupts;
  wqt::ReplacingFile out(target);
  out.append(std::vector<std::uint8_t>(settings.dataOffset, 0));
  std::vector<std::uint32_t> sizes(count, 0);
  Progress progress("Собрано файлов", count);
  for (std::size_t e = 0; e < count; ++e) {
    progress.update(e + 1);
    stopIfInterrupted();
    const std::string where =
        e < nodes.size() ? wqt::captionPath(map, nodes[e]) : "#" + std::to_string(e);
    const auto it = fileOf.find(static_cast<std::int32_t>(e));
    if (it == fileOf.end()) {
      problem(where, wqt::kMissingFileText);
      continue;
    }
    const std::optional<fs::path> path = packFolder.inside(it->second);
    if (!path) {
      problem(where, "путь «" + it->second + "» ведёт за пределы папки «" + folder.string() + "».");
      continue;
    }
    if (e >= map.entries().size()) {
      problem(where, wqt::kUnknownKindMessage);
      continue;
    }
    const wqt::FileEntry& entry = map.entries()[e];
    const std::string named = where + " (" + it->second + ")";
    std::error_code ec;
    if (!fs::exists(*path, ec)) {
      problem(named, "файла нет в папке «" + folder.string() + "».");
      continue;
    }
    wqt::ImportCandidate candidate;
    try {
      candidate = checkFileForEntry(entry, *path);
    } catch (const wqt::Error& error) {
      problem(named, russianError(error.what()));
      continue;
    }
    if (candidate.refusal) {
      problem(named, *candidate.refusal);
    } else if (candidate.bytes.empty()) {
      problem(named, wqt::kMissingFileText);
    } else {
      // A failed write is the disk's fault, not the file's: it ends the command (status 2).
      if (problems == 0) out.append(candidate.bytes);
      sizes[e] = static_cast<std::uint32_t>(candidate.bytes.size());
    }
  }
  std::span<const std::uint8_t> header;
  if (problems == 0) {
    header = doc.rebuildHeader(settings, sizes);
    if (const auto refusal = reopenRefusal(header, sizes, settings)) {
      problem(target.string(), "карта темы не откроет записанную тему: " + *refusal);
    }
  }
  if (problems != 0) {
    printMessage("Тема не записана: проблем " + std::to_string(problems) + ".");
    return kExitProblems;
  }
  out.writeAt(0, header);
  stopIfInterrupted();
  out.commit();
  return kExitOk;
}

}  // namespace wqtcli
