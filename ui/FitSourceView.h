#pragma once
// The source picture of the fitting dialog, scaled to fit the view, with the crop window drawn on
// it; in "crop to fill" the window is dragged with the mouse.
#include <QImage>
#include <QPointF>
#include <QWidget>

#include <functional>

#include "ops/entry_fit.h"

namespace wqtui {

// The side of the square the source is drawn in; the result is given as much room beside it.
inline constexpr int kFitViewSide = 360;

class TFitSourceView : public QWidget {
 public:
  explicit TFitSourceView(QWidget* parent = nullptr);

  // The picture as read (possibly reduced) and its full size, in which windows are given.
  void setPicture(const QImage& picture, int fullWidth, int fullHeight);
  // The part of the picture used; movable when `movable`.
  void setWindow(const wqt::SourceRect& window, bool movable);

  // Called while the window is dragged, with its new top left corner in full-size pixels.
  std::function<void(double x, double y)> onWindowMoved;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // Where the picture is drawn and how many view pixels one full-size pixel takes.
  QRectF pictureArea() const;
  double scale() const;
  QRectF windowArea() const;

  QImage picture_;
  int fullWidth_ = 0, fullHeight_ = 0;
  wqt::SourceRect window_;
  bool movable_ = false;
  bool dragging_ = false;
  QPointF dragStart_;
  wqt::SourceRect windowAtStart_;
};

}  // namespace wqtui
