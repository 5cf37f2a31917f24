#include "ui/FitResultView.h"

#include <QLabel>
#include <QPixmap>

#include <algorithm>
#include <cstdint>
#include <utility>

#include "ui/FitSourceView.h"

namespace wqtui {

namespace {

constexpr int kZooms[] = {1, 2, 4, 8};
// Enlarging beyond this would hold hundreds of megabytes for a large JPG target; the largest
// RAW picture a slot takes still gets every zoom.
constexpr std::int64_t kMaxShownPixels = 4096 * 4096;

QSize space(const wqt::FitTarget& target) {
  return {std::max(target.width, kFitViewSide), std::max(target.height, kFitViewSide)};
}

// Every stored pixel as a zoom × zoom block, in the format a pixmap takes without converting.
QImage enlarged(const QImage& stored, int zoom) {
  if (zoom == 1) return stored;
  QImage out(stored.width() * zoom, stored.height() * zoom, QImage::Format_RGB32);
  if (out.isNull()) return out;
  for (int y = 0; y < stored.height(); ++y) {
    const auto* from = reinterpret_cast<const QRgb*>(stored.constScanLine(y));
    auto* row = reinterpret_cast<QRgb*>(out.scanLine(y * zoom));
    for (int x = 0; x < stored.width(); ++x) std::fill_n(row + x * zoom, zoom, from[x]);
    for (int k = 1; k < zoom; ++k) {
      std::copy_n(row, out.width(), reinterpret_cast<QRgb*>(out.scanLine(y * zoom + k)));
    }
  }
  return out;
}

}  // namespace

TFitResultView::TFitResultView(const wqt::FitTarget& target, QWidget* parent)
    : QScrollArea(parent), picture_(new QLabel) {
  picture_->setObjectName(QStringLiteral("fitResultView"));
  picture_->setContentsMargins(0, 0, 0, 0);
  picture_->setFixedSize(target.width, target.height);
  setWidget(picture_);
  setAlignment(Qt::AlignCenter);
  setFrameShape(QFrame::NoFrame);
  setFixedSize(space(target));
}

std::vector<int> TFitResultView::zooms(const wqt::FitTarget& target) {
  std::vector<int> offered;
  const std::int64_t pixels = std::int64_t(target.width) * target.height;
  for (int zoom : kZooms) {
    if (zoom == 1 || pixels * zoom * zoom <= kMaxShownPixels) offered.push_back(zoom);
  }
  return offered;
}

int TFitResultView::defaultZoom(const wqt::FitTarget& target) {
  const QSize room = space(target);
  int chosen = 1;
  for (int zoom : zooms(target)) {
    if (target.width * zoom <= room.width() && target.height * zoom <= room.height()) {
      chosen = zoom;
    }
  }
  return chosen;
}

void TFitResultView::setPicture(const wqt::RgbPicture& stored) {
  stored_ = QImage(stored.rgb.data(), stored.width, stored.height, stored.width * 3,
                   QImage::Format_RGB888)
                .convertToFormat(QImage::Format_RGB32);
  draw();
}

void TFitResultView::setZoom(int zoom) {
  zoom_ = zoom;
  draw();
}

void TFitResultView::draw() {
  if (stored_.isNull()) return;
  QImage shown = enlarged(stored_, zoom_);
  picture_->setFixedSize(shown.size());
  picture_->setPixmap(QPixmap::fromImage(std::move(shown)));
}

}  // namespace wqtui
