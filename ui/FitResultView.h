#pragma once
// The result of the fitting dialog: the stored pixels, each drawn as a zoom × zoom block with no
// smoothing, in a space as large as the source view beside it (or the result, if larger), which
// scrolls when the enlarged result does not fit.
#include <QImage>
#include <QScrollArea>

#include <vector>

#include "ops/entry_fit.h"

class QLabel;

namespace wqtui {

class TFitResultView : public QScrollArea {
 public:
  TFitResultView(const wqt::FitTarget& target, QWidget* parent = nullptr);

  // The enlargements offered for the target, smallest first: those whose picture stays within
  // what the view draws.
  static std::vector<int> zooms(const wqt::FitTarget& target);
  // The largest of them at which the result fits the space unscrolled.
  static int defaultZoom(const wqt::FitTarget& target);

  void setPicture(const wqt::RgbPicture& stored);
  void setZoom(int zoom);

 private:
  void draw();

  QLabel* picture_;
  QImage stored_;
  int zoom_ = 1;
};

}  // namespace wqtui
