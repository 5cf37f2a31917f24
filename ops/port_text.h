#pragma once
// What a port says of each file of the new map and of the whole, in the words both front ends show.
#include <string>

#include "ops/problem_text.h"
#include "ops/theme_port.h"

namespace wqt {

// "перенесён", "подогнан из JPG 240×320", "из базовой темы", or why nothing filled the file:
// what the old theme had there, then what the base had.
std::string portStepText(const ThemeMap& oldMap, const ThemeMap& newMap, const PortedEntry& ported,
                         ErrorText errorText);

// "Перенесено: 3, подогнано: 5, из базовой темы: 1." or, when files stayed unfilled, that the
// theme was not written and how many.
std::string portSummaryText(const PortOutcome& outcome);

}  // namespace wqt
