#include "ui/FitSourceView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace wqtui {

TFitSourceView::TFitSourceView(QWidget* parent) : QWidget(parent) {
  setFixedSize(kFitViewSide, kFitViewSide);
}

void TFitSourceView::setPicture(const QImage& picture, int fullWidth, int fullHeight) {
  picture_ = picture;
  fullWidth_ = fullWidth;
  fullHeight_ = fullHeight;
  update();
}

void TFitSourceView::setWindow(const wqt::SourceRect& window, bool movable) {
  window_ = window;
  movable_ = movable;
  setCursor(movable ? Qt::OpenHandCursor : Qt::ArrowCursor);
  update();
}

double TFitSourceView::scale() const {
  if (fullWidth_ <= 0 || fullHeight_ <= 0) return 1;
  return std::min(double(width()) / fullWidth_, double(height()) / fullHeight_);
}

QRectF TFitSourceView::pictureArea() const {
  const double s = scale();
  const double w = fullWidth_ * s, h = fullHeight_ * s;
  return {(width() - w) / 2, (height() - h) / 2, w, h};
}

QRectF TFitSourceView::windowArea() const {
  const QRectF area = pictureArea();
  const double s = scale();
  return {area.x() + window_.x * s, area.y() + window_.y * s, window_.width * s,
          window_.height * s};
}

void TFitSourceView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Mid));
  if (picture_.isNull()) return;
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  const QRectF area = pictureArea();
  painter.drawImage(area, picture_);
  // What the crop leaves out is dimmed; the window is outlined.
  const QRectF window = windowArea();
  QPainterPath outside;
  outside.addRect(area);
  QPainterPath inside;
  inside.addRect(window);
  painter.fillPath(outside.subtracted(inside), QColor(0, 0, 0, 128));
  painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
  painter.drawRect(window.adjusted(0, 0, -1, -1));
}

void TFitSourceView::mousePressEvent(QMouseEvent* event) {
  if (!movable_ || event->button() != Qt::LeftButton || !windowArea().contains(event->position()))
    return QWidget::mousePressEvent(event);
  dragging_ = true;
  dragStart_ = event->position();
  windowAtStart_ = window_;
  setCursor(Qt::ClosedHandCursor);
}

void TFitSourceView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return QWidget::mouseMoveEvent(event);
  const QPointF moved = (event->position() - dragStart_) / scale();
  const double x = std::clamp(windowAtStart_.x + moved.x(), 0.0,
                              std::max(0.0, fullWidth_ - windowAtStart_.width));
  const double y = std::clamp(windowAtStart_.y + moved.y(), 0.0,
                              std::max(0.0, fullHeight_ - windowAtStart_.height));
  if (onWindowMoved) onWindowMoved(x, y);
}

void TFitSourceView::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_) return QWidget::mouseReleaseEvent(event);
  dragging_ = false;
  setCursor(Qt::OpenHandCursor);
}

}  // namespace wqtui
