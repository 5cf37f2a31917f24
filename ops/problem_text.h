#pragma once
// What the editor's rules say of a refusal or a problem found, with the facts that go with it.
// The core's errors inside are said by the front end's own ErrorText.
#include <filesystem>
#include <string>

#include "base/core_error.h"
#include "ops/theme_check.h"

namespace wqt {

using ErrorText = std::string (*)(const Error&);

// A refused open: the editor's status text, or the error.
std::string openRefusalText(const OpenOutcome& outcome, ErrorText errorText);

// The editor's too-long message with the lengths.
std::string fieldRefusalText(const FieldOutcome& outcome, const HeaderField& field);

// The editor's refusal of a file offered for the entry in the format `as`, with what was found and
// what is needed.
std::string importRefusalText(const FileEntry& entry, const ImportOutcome& outcome, RawFormat as,
                              ErrorText errorText);

// A problem the check or pack found; `folder` is pack's folder.
std::string problemText(const ThemeMap& map, const ThemeProblem& found,
                        const std::filesystem::path& folder, ErrorText errorText);

}  // namespace wqt
