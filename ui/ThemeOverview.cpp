#include "ui/ThemeOverview.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <string>
#include <utility>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QBuffer>
#include <QEvent>
#include <QFile>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "base/core_error.h"
#include "base/file_io.h"
#include "map/tree_walk.h"
#include "ops/entry_preview.h"
#include "ops/entry_transfer.h"
#include "ops/theme_header.h"
#include "ui/ErrorReport.h"
#include "ui/PictureImage.h"
#include "ui/UserDialogs.h"

namespace wqtui {

namespace {

constexpr int kMargin = 8;
constexpr int kSpacing = 6;     // between items
constexpr int kCaptionGap = 2;  // between a caption and its box
constexpr const char* kNodeProperty = "node";

// A preview drawn pixel for pixel at its own size, scaled down only when the window is narrower.
// It is decoded when first painted: a theme of thousands of pictures opens at once, and only
// the pictures scrolled into view cost their decoding.
class PictureBox : public QWidget {
 public:
  PictureBox(std::function<QImage()> decode, QWidget* parent)
      : QWidget(parent), decode_(std::move(decode)) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    if (decode_) {
      try {
        image_ = decode_();
      } catch (const std::exception& error) {
        // Painting must not throw: the reason is shown in the picture's place instead.
        failure_ = QString::fromUtf8(error.what());
      }
      decode_ = nullptr;
    }
    QPainter painter(this);
    if (!failure_.isEmpty()) {
      painter.drawRect(rect().adjusted(0, 0, -1, -1));
      painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, failure_);
    } else if (size() == image_.size()) {
      painter.drawImage(0, 0, image_);
    } else {
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(rect(), image_);
    }
  }

 private:
  std::function<QImage()> decode_;
  QImage image_;
  QString failure_;
};

// A framed box with a text in place of a picture: the missing file, or why it cannot be shown.
QLabel* textBox(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QStringLiteral("overviewTextBox"));
  label->setTextFormat(Qt::PlainText);
  label->setFrameShape(QFrame::Box);
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  return label;
}

QLabel* plainLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);  // a caption is never markup
  return label;
}

// Screen readers are told the overview is a window of its own, not a plain filler.
QAccessibleInterface* accessibleWindow(const QString& key, QObject* object) {
  if (key != QLatin1String(TThemeOverview::staticMetaObject.className()) || !object->isWidgetType())
    return nullptr;
  return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
}

void installAccessibleWindow() {
  static bool installed = false;
  if (std::exchange(installed, true)) return;
  QAccessible::installFactory(accessibleWindow);
}

// The scrolled content: the items are placed by hand, its height is theirs.
class Content : public QWidget {
 public:
  int itemsHeight = 0;
  QSize sizeHint() const override { return {0, itemsHeight}; }
  QSize minimumSizeHint() const override { return {0, itemsHeight}; }
};

}  // namespace

TThemeOverview::TThemeOverview(const wqt::ThemeMap& map, const wqt::ThemeDocument& doc,
                               std::filesystem::path scratchFile, bool lowColourScreen,
                               UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window),
      map_(map),
      doc_(doc),
      scratchFile_(std::move(scratchFile)),
      lowColourScreen_(lowColourScreen),
      dialogs_(dialogs),
      scroll_(new QScrollArea(this)) {
  setObjectName(QStringLiteral("ThemeOverview"));
  setWindowTitle(QString::fromUtf8(kThemeOverviewTitle));
  setAccessibleName(windowTitle());
  installAccessibleWindow();
  auto* layout = new QVBoxLayout(this);
  auto* save = new QPushButton(QString::fromUtf8(kSaveOverviewText), this);
  save->setObjectName(QStringLiteral("saveOverviewButton"));
  connect(save, &QPushButton::clicked, this, [this] { runHandler([this] { saveAsPng(); }); });
  layout->addWidget(save, 0, Qt::AlignLeft);
  // Pictures are scaled to the width instead of scrolled sideways.
  scroll_->setWidgetResizable(true);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll_->viewport()->installEventFilter(this);
  connect(scroll_->verticalScrollBar(), &QScrollBar::valueChanged, this,
          [this] { runHandler([this] { makeVisible(); }); });
  layout->addWidget(scroll_);
  resize(640, 720);
  rebuild();
}

void TThemeOverview::rebuildLater() {
  if (rebuildPending_) return;
  rebuildPending_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        runHandler([this] {
          if (rebuildPending_) rebuild();
        });
      },
      Qt::QueuedConnection);
}

void TThemeOverview::rebuild() {
  rebuildPending_ = false;
  items_.clear();
  delete scroll_->takeWidget();
  content_ = new Content;
  content_->setObjectName(QStringLiteral("overviewContent"));
  scroll_->setWidget(content_);
  wqt::forEachNode(map_, -1,
                   [this](int node, std::size_t depth) { addNode(node, static_cast<int>(depth)); });
  layOut();
  makeVisible();
}

void TThemeOverview::addNode(int displayIndex, int depth) {
  const wqt::TreeNode& node = map_.tree()[static_cast<std::size_t>(displayIndex)];
  Item item;
  item.node = displayIndex;
  item.heading = !node.isFile();
  item.entry = node.isFile() ? map_.entryOfNode(displayIndex) : -1;
  item.depth = depth;
  if (node.isFile()) measure(item);
  items_.push_back(std::move(item));
}

QString TThemeOverview::captionOf(const Item& item) const {
  return QString::fromStdString(map_.captionUtf8(item.node)) + QStringLiteral(", ") +
         QString::fromUtf8(wqt::sizeText(doc_.entryData(item.entry).size()));
}

void TThemeOverview::measure(Item& item) {
  item.box = Item::Box::None;
  item.captionLength = static_cast<int>(captionOf(item).size());
  const wqt::FileEntry* entry = map_.entry(item.entry);
  if (entry == nullptr || !wqt::hasPreview(*entry)) return;
  const QSize entrySize(entry->width, entry->height);
  const std::span<const std::uint8_t> data = doc_.entryData(item.entry);
  item.box = Item::Box::Text;
  if (data.empty()) {
    item.boxText = QString::fromUtf8(kMissingFileText);
    item.naturalSize = textBoxSize(item.boxText, entrySize, true);
    return;
  }
  try {
    const wqt::JpegSize size = wqt::previewSize(*entry, data);
    item.naturalSize = QSize(size.width, size.height);
    item.box = Item::Box::Picture;
  } catch (const std::exception& error) {
    // A file the preview cannot read says why in its place; the others are still shown.
    item.boxText = QString::fromUtf8(error.what());
    item.naturalSize = textBoxSize(item.boxText, entrySize, false);
  }
}

QSize TThemeOverview::textBoxSize(const QString& text, QSize least, bool missing) {
  if (missing && missingBoxHint_.isValid()) return least.expandedTo(missingBoxHint_);
  QLabel* box = textBox(text, content_);
  const QSize hint = box->sizeHint();
  delete box;
  if (missing) missingBoxHint_ = hint;
  return least.expandedTo(hint);
}

QSize TThemeOverview::boxSize(const Item& item, int available) const {
  QSize size = item.naturalSize;
  if (size.width() > available && available > 0) {
    size = QSize(available, std::max(1, size.height() * available / size.width()));
  }
  return size;
}

QFont TThemeOverview::headingFont(int depth) const {
  QFont font = content_->font();
  font.setBold(true);
  // Deeper groups get smaller headings, down to the body text's size.
  font.setPointSizeF(font.pointSizeF() * (1.0 + 0.2 * std::max(0, 2 - depth)));
  return font;
}

void TThemeOverview::layOut() {
  const int available = availableWidth();
  const int width = std::max(1, available);
  const int captionHeight = content_->fontMetrics().height();
  // Every column as wide as the widest file, narrowed to the window. Of the captions only the
  // longest is measured, with room for wider letters: measuring thousands would slow the
  // overview's opening several times over.
  int column = 1;
  const Item* longest = nullptr;
  for (const Item& item : items_) {
    if (item.heading) continue;
    if (longest == nullptr || item.captionLength > longest->captionLength) longest = &item;
    if (item.box != Item::Box::None) column = std::max(column, item.naturalSize.width());
  }
  if (longest != nullptr) {
    const QFontMetrics metrics = content_->fontMetrics();
    column = std::max(
        column, metrics.horizontalAdvance(captionOf(*longest)) + 2 * metrics.averageCharWidth());
  }
  column = std::min(column, width);
  const int columns = std::max(1, (width + kSpacing) / (column + kSpacing));
  int y = kMargin;
  int at = 0;  // the next file's column in the row
  int rowHeight = 0;
  const auto endRow = [&] {
    if (at == 0) return;
    y += rowHeight + kSpacing;
    at = 0;
    rowHeight = 0;
  };
  for (Item& item : items_) {
    if (item.heading) {
      endRow();
      const int height = QFontMetrics(headingFont(item.depth)).height();
      item.place = QRect(kMargin, y, width, height);
      y += height + kSpacing;
    } else {
      int height = captionHeight;
      if (item.box != Item::Box::None) height += kCaptionGap + boxSize(item, column).height();
      item.place = QRect(kMargin + at * (column + kSpacing), y, column, height);
      rowHeight = std::max(rowHeight, height);
      if (++at == columns) endRow();
    }
    if (item.widget == nullptr) continue;
    item.widget->setGeometry(item.place);
    // A file's frame: its caption, then its box when it has one.
    QLayout* parts = item.widget->layout();
    if (parts != nullptr && parts->count() > 1)
      parts->itemAt(1)->widget()->setFixedSize(boxSize(item, column));
  }
  endRow();
  static_cast<Content*>(content_)->itemsHeight = y - kSpacing + kMargin;
  content_->updateGeometry();
}

void TThemeOverview::makeVisible() {
  // The part in view and a view's height above and below it, so scrolling meets made items.
  const QSize view = scroll_->viewport()->size();
  const QRect shown(QPoint(0, -content_->y()), view);
  makeWidgets(shown.adjusted(0, -view.height(), 0, view.height()));
}

void TThemeOverview::makeWidgets(const QRect& area) {
  for (Item& item : items_) {
    if (item.widget != nullptr || !item.place.intersects(area)) continue;
    item.widget = makeWidget(item);
    item.widget->setGeometry(item.place);
    item.widget->show();
  }
}

QWidget* TThemeOverview::makeWidget(const Item& item) {
  if (item.heading) {
    auto* heading = plainLabel(QString::fromStdString(map_.captionUtf8(item.node)), content_);
    heading->setFont(headingFont(item.depth));
    return heading;
  }
  auto* frame = new QFrame(content_);
  frame->setObjectName(QStringLiteral("overviewFile"));
  frame->setProperty(kNodeProperty, item.node);
  frame->setCursor(Qt::PointingHandCursor);
  frame->installEventFilter(this);
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(kCaptionGap);
  layout->setAlignment(Qt::AlignTop);
  const QString caption = captionOf(item);
  frame->setAccessibleName(caption);
  layout->addWidget(plainLabel(caption, frame));
  QWidget* box = nullptr;
  switch (item.box) {
    case Item::Box::None:
      return frame;
    case Item::Box::Text:
      box = textBox(item.boxText, frame);
      break;
    case Item::Box::Picture:
      box = new PictureBox([this, e = item.entry] { return decodeEntry(e); }, frame);
      box->setObjectName(QStringLiteral("overviewPicture"));
      break;
  }
  box->setAccessibleName(caption);
  box->setFixedSize(boxSize(item, item.place.width()));
  layout->addWidget(box, 0, Qt::AlignLeft);
  return frame;
}

QImage TThemeOverview::decodeEntry(std::int32_t entry) const {
  const wqt::FileEntry* fileEntry = map_.entry(entry);
  if (fileEntry == nullptr) throw wqt::Error("no such entry");
  const std::span<const std::uint8_t> data = doc_.entryData(entry);
  return pictureImage(wqt::entryPreview(*fileEntry, data, scratchFile_, lowColourScreen_));
}

int TThemeOverview::availableWidth() const {
  return scroll_->viewport()->width() - 2 * kMargin;
}

void TThemeOverview::refreshEntry(std::int32_t entry) {
  // The nodes shown may be of a map read since; the rebuild to come shows the entry anyway.
  if (rebuildPending_) return;
  for (Item& item : items_) {
    if (item.heading || item.entry != entry) continue;
    measure(item);
    delete item.widget;
    item.widget = nullptr;
  }
  layOut();
  makeVisible();
}

QImage TThemeOverview::overviewImage() {
  makeWidgets(content_->rect());
  const QImage items = content_->grab().toImage();
  // The header fields as the main window shows them, one a line.
  const wqt::HeaderView header = wqt::viewHeader(doc_.image(), map_.settings());
  QStringList lines;
  for (std::size_t i : {std::size_t{1}, std::size_t{0}, std::size_t{2}})
    lines << QString::fromUtf8(wqt::kNamedFields[i].label) + QStringLiteral(": ") +
                 QString::fromStdString(header.fields[i]);
  QFont font = content_->font();
  const QFontMetrics metrics(font);
  const int top = kMargin + int(lines.size()) * metrics.lineSpacing();
  const qreal ratio = items.devicePixelRatio();
  QImage image(items.width(), items.height() + qRound(top * ratio), QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(content_->palette().color(QPalette::Window));
  QPainter painter(&image);
  painter.setFont(font);
  painter.setPen(content_->palette().color(QPalette::WindowText));
  for (qsizetype i = 0; i < lines.size(); ++i)
    painter.drawText(QPoint(kMargin, kMargin + int(i) * metrics.lineSpacing() + metrics.ascent()),
                     lines[i]);
  painter.drawImage(QPoint(0, top), items);
  return image;
}

void TThemeOverview::saveAsPng() {
  const QString chosen = dialogs_.getSaveFileName(this, QString::fromUtf8(kPngFilter),
                                                  QString::fromUtf8(kThemeOverviewTitle));
  if (chosen.isEmpty()) return;
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!overviewImage().save(&buffer, "PNG")) throw wqt::Error("PNG encoding failed");
  const std::string target = wqt::exportFileName(toFileName(chosen), ".png");
  wqt::writeFileReplacing(target, std::span(reinterpret_cast<const std::uint8_t*>(png.constData()),
                                            std::size_t(png.size())));
  Q_EMIT saved(QFile::decodeName(QByteArray::fromStdString(target)));
}

bool TThemeOverview::eventFilter(QObject* watched, QEvent* event) {
  if (watched == scroll_->viewport() && event->type() == QEvent::Resize) {
    runHandler([this] {
      layOut();
      makeVisible();
    });
  } else if (event->type() == QEvent::MouseButtonPress) {
    const QVariant node = watched->property(kNodeProperty);
    if (node.isValid()) {
      Q_EMIT nodeClicked(node.toInt());
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace wqtui
