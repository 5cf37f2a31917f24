#pragma once
// A picture offered for a JPG or RAW entry with fitting asked for: a file already exact for the
// entry goes in as the plain import takes it; any other picture of a format read is fitted to the
// entry's kind and size, and the fitted file is checked and stored as ready bytes are. The steps
// are here too, for a dialog that shows them.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "fit/fit_geometry.h"
#include "fit/fit_picture.h"
#include "ops/entry_transfer.h"

namespace wqt {

// Whether a refusal only says the file is not the entry's picture as it stands (its size, its
// format, its file size), which fitting a picture may mend; an unknown kind or a missing slot
// stays what it is.
bool fittingMayHelp(ImportRefusal refusal);

// Whether a file the import refused so is offered for fitting: fitting may mend the refusal, the
// entry holds a picture and the file reads as one.
bool offersFitting(const FileEntry& entry, ImportRefusal refusal,
                   const std::filesystem::path& file);

// The picture read for fitting to the target: its format's reader within the pixel cap, its
// transparent pixels laid on the options' background. Throws as readSourceFile does.
SourcePicture readPictureToFit(const std::filesystem::path& file, const FitTarget& target,
                               const FitOptions& options);

// Moves the crop window so that its top-left corner lies at (x, y) of the source; along a side
// the window fills, it stays centred.
void moveCropWindow(FitOptions& options, const SourcePicture& source, const FitTarget& target,
                    double x, double y);

// checkFileImport; when it refuses a picture of a format read for an entry that holds a picture,
// the picture fitted to the entry instead: `bytes` is then the fitted file and the outcome its
// checks as ready bytes. Anything else keeps the plain refusal. A damaged picture throws JpegError
// or PngError, one above the pixel cap SourceError, as readSourceFile does; a file that cannot be
// read throws the file-open error.
ImportOutcome checkFittedImport(const FileEntry& entry, const std::filesystem::path& file,
                                RawFormat as, const FitOptions& options,
                                std::vector<std::uint8_t>& bytes);

// Whether fitting with the default options would store a file the plain import refuses: a
// picture of a format read, whole, whose fit passes the entry's checks. (A file of another
// format, or a picture cut short, is not helped by fitting.)
bool fittingWouldStore(const FileEntry& entry, const std::filesystem::path& file, RawFormat as);

// Whether the file begins as a picture the fitting reads (JPEG, PNG, WebP, GIF, BMP, TIFF, HEIC,
// AVIF); false for any other file and for one that cannot be read.
bool readsAsPicture(const std::filesystem::path& file);

// checkFittedImport, then the bytes go into the entry's slot. An entry the map lacks or the
// document has no slot for is NoSlot.
ImportOutcome importFittedFile(ThemeDocument& doc, const ThemeMap& map, std::int32_t entry,
                               const std::filesystem::path& file, RawFormat as,
                               const FitOptions& options);

}  // namespace wqt
