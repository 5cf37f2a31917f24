#pragma once
// What carrying the theme to another handset's map asks of the user, and what it reports.
#include <QList>
#include <QString>

#include "ops/entry_fit.h"

namespace wqtui {

struct PortChoice {
  QString map;     // the other model's map
  QString base;    // a theme of that map filling what the theme cannot; empty for none
  QString target;  // the theme file to write
  wqt::FitOptions fit;
};

// One line per file of the new map: its caption path and what became of it.
struct PortReportLine {
  QString path;
  QString step;
  bool unfilled = false;
};

struct PortReport {
  QString summary;
  QList<PortReportLine> lines;  // the unfilled ones first, then in the map's order
};

}  // namespace wqtui
