#include "ops/theme_folder.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>

#include "base/file_descriptor.h"
#include "base/file_io.h"
#include "base/replacing_file.h"
#include "map/entry_paths.h"
#include "ops/entry_fit.h"
#include "ops/theme_save.h"

namespace wqt {

namespace {

namespace fs = std::filesystem;

bool stopRequested(const RunHooks& hooks) {
  return hooks.interrupted && hooks.interrupted();
}

void tell(const RunHooks& hooks, std::size_t done, std::size_t total) {
  if (hooks.progress) hooks.progress(done, total);
}

// A folder beside the target that becomes it only once complete.
class StagingFolder {
 public:
  explicit StagingFolder(const fs::path& target) : target_(fs::absolute(target)) {
    path_ = createBeside(target_, 0777);
  }
  ~StagingFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;

  const fs::path& path() const { return path_; }

  // Renames the folder over the target (which may be an empty folder).
  void commit() {
    if (::rename(path_.c_str(), target_.c_str()) != 0) throwFileCreateError(target_, errno);
    path_.clear();
  }

 private:
  fs::path target_;
  fs::path path_;
};

// The files theme.json names in the folder pack reads (`base`, canonical): only a relative path
// that stays inside the folder, links included. Resolving each name in full took a readlink call
// for every folder from the root down, more time than packing the file; a path without links
// needs none, and the folders found to be plain folders are remembered.
class InsideFolder {
 public:
  explicit InsideFolder(fs::path base) : base_(std::move(base)) {}

  std::optional<fs::path> operator()(const std::string& relative) {
    const fs::path rel(relative);
    if (relative.empty() || rel.is_absolute() ||
        std::find(rel.begin(), rel.end(), "..") != rel.end())
      return std::nullopt;
    const fs::path joined = (base_ / rel).lexically_normal();
    if (joined.has_filename() && linkFree(joined.lexically_relative(base_))) return joined;
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(base_ / rel, ec);
    if (ec) return std::nullopt;
    const auto end = std::mismatch(base_.begin(), base_.end(), resolved.begin(), resolved.end());
    if (end.first != base_.end()) return std::nullopt;
    return resolved;
  }

 private:
  // Every part of the path exists and none is a link.
  bool linkFree(const fs::path& rel) {
    fs::path at = base_;
    for (auto part = rel.begin(); part != rel.end(); ++part) {
      at /= *part;
      const bool folder = std::next(part) != rel.end();
      if (folder && plainFolders_.contains(at.native())) continue;
      struct stat st {};
      if (::lstat(at.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) return false;
      if (folder && !S_ISDIR(st.st_mode)) return false;
      if (folder) plainFolders_.insert(at.native());
    }
    return true;
  }

  fs::path base_;
  std::set<std::string> plainFolders_;  // compared as strings: a path compares part by part
};

// The layout names top-level nodes freely, so a group or file may take the name theme.json
// keeps for itself: such a node gets "theme (2).json" (or the first free number) the way the
// layout tells clashing names apart.
void keepThemeJsonName(std::vector<LayoutItem>& items) {
  const std::string reserved = kThemeJsonName;
  const auto topName = [](const std::string& path) { return path.substr(0, path.find('/')); };
  TakenNames taken;
  for (const LayoutItem& item : items) taken.names.insert(topName(item.path));
  if (!taken.names.contains(reserved)) return;
  const fs::path name(reserved);
  const std::string replacement = uniqueName(taken, name.stem(), name.extension().string());
  for (LayoutItem& item : items) {
    if (topName(item.path) == reserved) item.path.replace(0, reserved.size(), replacement);
  }
}

// theme.json's description of an open theme and the files the layout gives it.
ThemeFolder describe(const ThemeMap& map, const ThemeFileSlots& file,
                     const std::vector<LayoutItem>& items) {
  ThemeFolder description;
  const HeaderView header = viewHeader(file.image(), map.settings());
  std::copy(header.fields.begin(), header.fields.end(), description.fields.begin());
  if (header.type.type) description.type = themeTypeKey(*header.type.type);
  description.header = file.image();
  description.header->resize(
      std::min<std::size_t>(description.header->size(), map.settings().dataOffset));
  std::map<std::int32_t, std::string> fileOf;
  for (const LayoutItem& item : items) fileOf[item.entry] = item.path;
  const std::size_t count = std::min<std::size_t>(map.entries().size(), file.entryCount());
  for (std::size_t e = 0; e < count; ++e) {
    FolderEntry entry{static_cast<std::int32_t>(e), entryPath(map, e),
                      map.kindText(map.entries()[e]), std::nullopt};
    if (const auto it = fileOf.find(entry.index); it != fileOf.end()) entry.file = it->second;
    description.entries.push_back(std::move(entry));
  }
  return description;
}

// theme.json of the folder (`base`, canonical; `shown` names it in messages), read only when it
// is a regular file of the folder itself: a link could lead anywhere, and a pipe or device is no
// description.
std::vector<std::uint8_t> readThemeJson(const fs::path& base, const fs::path& shown) {
  const fs::path path = base / kThemeJsonName;
  const auto refuse = [](const char* what) {
    throw Error(std::string(kThemeJsonName) + ": " + what +
                " — pack читает только обычный файл в самой папке.");
  };
  struct stat st {};
  // Looked at before opening: opening some devices has effects of its own.
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) refuse("это символическая ссылка");
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!fd && errno == ELOOP) refuse("это символическая ссылка");
  if (!fd) throwFileOpenError(shown, errno);
  if (::fstat(fd.get(), &st) != 0) throwFileOpenError(shown, errno);
  if (!S_ISREG(st.st_mode)) refuse("это не обычный файл");
  if (static_cast<std::uint64_t>(st.st_size) > kThemeJsonLimit) {
    throw Error(std::string(kThemeJsonName) + ": файл больше " +
                std::to_string(kThemeJsonLimit >> 20) + " МиБ — это не описание темы.");
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
  bytes.resize(readAt(fd.get(), 0, bytes, shown));
  return bytes;
}

}  // namespace

std::vector<LayoutItem> saveAllLayout(const ThemeMap& map, const ThemeDocument& doc, int group) {
  return unpackLayout(map, group, [&](std::int32_t entry) {
    return map.entry(entry) != nullptr && !doc.entryData(entry).empty();
  });
}

WriteResult saveAllFiles(const ThemeDocument& doc, const std::vector<LayoutItem>& items,
                         const fs::path& folder, const WriteHooks& hooks) {
  return writeLayoutFiles(
      folder, items, [&](const LayoutItem& item) { return doc.entryData(item.entry); }, hooks);
}

UnpackOutcome unpackTheme(const ThemeMap& map, const fs::path& theme, const fs::path& folder,
                          RawFormat raw, const RunHooks& hooks) {
  using Refusal = UnpackOutcome::Refusal;
  UnpackOutcome outcome;
  const auto refused = [&](Refusal refusal) {
    outcome.refusal = refusal;
    return outcome;
  };
  std::error_code ec;
  if (fs::exists(folder, ec) && !fs::is_directory(folder, ec))
    return refused(Refusal::TargetIsFile);
  if (fs::exists(folder, ec) && !fs::is_empty(folder, ec)) return refused(Refusal::TargetNotEmpty);
  std::optional<ThemeFileSlots> opened;
  outcome.open = openThemeEntries(theme, map, opened);
  if (!outcome.open.opened()) return refused(Refusal::NotOpened);
  const ThemeFileSlots& file = *opened;
  std::vector<LayoutItem> items = unpackLayout(
      map, -1, [&](std::int32_t e) { return file.entrySize(e) != 0; }, raw);
  keepThemeJsonName(items);
  const std::string json = toThemeJson(describe(map, file, items));

  StagingFolder staging(folder);
  writeFileReplacing(staging.path() / kThemeJsonName,
                     std::span(reinterpret_cast<const std::uint8_t*>(json.data()), json.size()));
  WriteHooks writeHooks;
  writeHooks.progress = [&](std::size_t done, std::size_t total) {
    tell(hooks, done, total);
    return !stopRequested(hooks);
  };
  std::vector<std::uint8_t> bytes;
  WriteResult written;
  try {
    written = writeLayoutFiles(
        staging.path(), items,
        [&](const LayoutItem& item) -> std::span<const std::uint8_t> {
          // A slot that cannot become its file (a RAW picture shorter than its size, as PNG) is
          // named, not left as a bare read error.
          try {
            file.readEntry(item.entry, bytes);
            bytes = exportBytes(*map.entry(item.entry), bytes, raw);
            return bytes;
          } catch (const Error& e) {
            outcome.where = entryPath(map, static_cast<std::size_t>(item.entry));
            outcome.error = e;
            throw;
          }
        },
        writeHooks);
  } catch (const Error&) {
    if (!outcome.error) throw;  // a failed write
    return refused(Refusal::EntryFailed);
  }
  if (written.stopped || stopRequested(hooks)) return refused(Refusal::Stopped);
  staging.commit();
  return outcome;
}

PackOutcome packTheme(const ThemeMap& map, const fs::path& folder, const fs::path& target,
                      const RunHooks& hooks, const std::optional<FitOptions>& fit) {
  const MapSettings& settings = map.settings();
  std::error_code ec;
  const fs::path base = fs::canonical(folder, ec);
  if (ec) throwFileOpenError(folder, ec.value());
  InsideFolder inside(base);
  const std::vector<std::uint8_t> jsonBytes = readThemeJson(base, folder / kThemeJsonName);
  const ThemeFolder description = fromThemeJson(
      std::string_view(reinterpret_cast<const char*>(jsonBytes.data()), jsonBytes.size()));

  PackOutcome outcome;
  using Kind = ThemeProblem::Kind;

  // The header: the bytes unpack kept, else a new theme's; then every field and the type that
  // theme.json changes, stored by the editor's rules.
  ThemeDocument doc;
  if (description.header) {
    doc.adoptHeader(*description.header, settings.fileCount);
  } else {
    doc.create(settings);
  }
  for (std::size_t i = 0; i < kNamedFields.size(); ++i) {
    const NamedField& named = kNamedFields[i];
    const std::optional<std::string>& text = description.fields[i];
    if (!text) continue;
    try {
      if (*text == fieldText(doc.image(), named.field).shown) continue;
    } catch (const Error&) {
      // A header too short for the field: the text is stored as given.
    }
    const FieldOutcome stored = setFieldUtf8(doc, named.field, *text);
    if (!stored.stored) {
      ThemeProblem& found = addProblem(outcome.problems, Kind::FieldTooLong,
                                       std::string(kThemeJsonName) + ": " + named.label);
      found.field = &named;
      found.fieldOutcome = stored;
    }
  }
  if (description.type && settings.hasTypeByte())
    setThemeType(doc, settings, *themeTypeOfKey(*description.type));
  if (saveLayoutOverlaps(settings))
    addProblem(outcome.problems, Kind::LayoutOverlaps, target.string());

  std::map<std::int32_t, std::string> fileOf;
  for (const FolderEntry& entry : description.entries) {
    if (entry.file) fileOf[entry.index] = *entry.file;
  }
  const std::size_t count = settings.fileCount;

  // The files go straight into the new theme's data region, one at a time, after the room kept
  // for the header; the theme replaces the target only when every file passed.
  ReplacingFile out(target);
  out.append(std::vector<std::uint8_t>(settings.dataOffset, 0));
  std::vector<std::uint32_t> sizes(count, 0);
  for (std::size_t e = 0; e < count; ++e) {
    tell(hooks, e + 1, count);
    outcome.stopped = stopRequested(hooks);
    if (outcome.stopped) return outcome;
    const auto it = fileOf.find(static_cast<std::int32_t>(e));
    const auto entryProblem = [&](Kind kind) -> ThemeProblem& {
      ThemeProblem& found = addProblem(outcome.problems, kind, entryPath(map, e));
      found.entry = static_cast<std::int32_t>(e);
      if (it != fileOf.end()) found.file = it->second;
      return found;
    };
    if (it == fileOf.end()) {
      entryProblem(Kind::MissingFile);
      continue;
    }
    const std::optional<fs::path> path = inside(it->second);
    const FileEntry* entry = map.entry(static_cast<std::int32_t>(e));
    if (!path || entry == nullptr || !fs::exists(*path, ec)) {
      entryProblem(!path              ? Kind::OutsideFolder
                   : entry == nullptr ? Kind::UnknownKind
                                      : Kind::FileAbsent);
      continue;
    }
    std::vector<std::uint8_t> bytes;
    ImportOutcome checked;
    try {
      const RawFormat as = offeredFormat(*path);
      checked = fit ? checkFittedImport(*entry, *path, as, *fit, bytes)
                    : checkFileImport(*entry, *path, as, bytes);
    } catch (const Error& error) {
      entryProblem(Kind::Unreadable).error = error;
      continue;
    }
    if (!checked.stored()) {
      entryProblem(Kind::Refused).import = std::move(checked);
    } else if (bytes.empty()) {
      entryProblem(Kind::MissingFile);
    } else {
      // A failed write is the disk's fault, not the file's: it throws.
      if (outcome.problems.empty()) out.append(bytes);
      sizes[e] = static_cast<std::uint32_t>(bytes.size());
    }
  }
  if (!outcome.problems.empty()) return outcome;
  const std::span<const std::uint8_t> header = doc.rebuildHeader(settings, sizes);
  const SaveOutcome reopen = checkWritten(header, sizes, settings);
  if (!reopen.saved()) {
    addProblem(outcome.problems, Kind::WouldNotReopen, target.string()).open = reopen.reopen;
    return outcome;
  }
  out.writeAt(0, header);
  outcome.stopped = stopRequested(hooks);
  if (!outcome.stopped) out.commit();
  return outcome;
}

}  // namespace wqt
