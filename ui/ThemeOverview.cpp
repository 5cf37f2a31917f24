#include "ui/ThemeOverview.h"

#include <algorithm>
#include <exception>

#include <QBuffer>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "base/core_error.h"
#include "base/file_io.h"
#include "files/import_export.h"
#include "files/preview.h"
#include "ui/ErrorReport.h"
#include "ui/PictureImage.h"
#include "ui/UserDialogs.h"

namespace wqtui {

namespace {

constexpr int kMargin = 8;
constexpr const char* kNodeProperty = "node";

// A preview drawn pixel for pixel at its own size, scaled down only when the window is narrower.
class PictureBox : public QWidget {
 public:
  PictureBox(QImage image, QWidget* parent) : QWidget(parent), image_(std::move(image)) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    if (size() == image_.size()) {
      painter.drawImage(0, 0, image_);
    } else {
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(rect(), image_);
    }
  }

 private:
  QImage image_;
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
  auto* layout = new QVBoxLayout(this);
  auto* save = new QPushButton(QString::fromUtf8(kSaveOverviewText), this);
  save->setObjectName(QStringLiteral("saveOverviewButton"));
  connect(save, &QPushButton::clicked, this, [this] { runHandler([this] { saveAsPng(); }); });
  layout->addWidget(save, 0, Qt::AlignLeft);
  // Pictures are scaled to the width instead of scrolled sideways.
  scroll_->setWidgetResizable(true);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll_->viewport()->installEventFilter(this);
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
  files_.clear();
  delete scroll_->takeWidget();
  content_ = new QWidget;
  content_->setObjectName(QStringLiteral("overviewContent"));
  contentLayout_ = new QVBoxLayout(content_);
  contentLayout_->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  const auto& tree = map_.tree();
  for (int i = 0; i < static_cast<int>(tree.size()); ++i) {
    if (tree[static_cast<std::size_t>(i)].parent < 0) addNode(i, 0);
  }
  contentLayout_->addStretch();
  const int available = availableWidth();
  for (FileView& view : files_) {
    fillFile(view);
    fitBox(view, available);
  }
  scroll_->setWidget(content_);
}

void TThemeOverview::addNode(int displayIndex, int depth) {
  const wqt::TreeNode& node = map_.tree()[static_cast<std::size_t>(displayIndex)];
  if (node.isFile()) {
    addFile(displayIndex);
    return;
  }
  auto* heading = plainLabel(QString::fromStdString(map_.captionUtf8(displayIndex)), content_);
  QFont font = heading->font();
  font.setBold(true);
  // Deeper groups get smaller headings, down to the body text's size.
  font.setPointSizeF(font.pointSizeF() * (1.0 + 0.2 * std::max(0, 2 - depth)));
  heading->setFont(font);
  contentLayout_->addWidget(heading);
  for (const int child : node.children) addNode(child, depth + 1);
}

void TThemeOverview::addFile(int displayIndex) {
  auto* frame = new QFrame(content_);
  frame->setObjectName(QStringLiteral("overviewFile"));
  frame->setProperty(kNodeProperty, displayIndex);
  frame->setCursor(Qt::PointingHandCursor);
  frame->installEventFilter(this);
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  contentLayout_->addWidget(frame);
  files_.push_back({displayIndex, map_.entryOfNode(displayIndex), frame, nullptr, QSize()});
}

void TThemeOverview::fillFile(FileView& view) {
  // The frame's contents are made afresh each time.
  for (QWidget* child : view.frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    delete child;
  }
  view.box = nullptr;
  auto* layout = static_cast<QVBoxLayout*>(view.frame->layout());
  const std::span<const std::uint8_t> data = doc_.entryData(view.entry);
  layout->addWidget(plainLabel(QString::fromStdString(map_.captionUtf8(view.node)) +
                                   QStringLiteral(", ") +
                                   QString::fromUtf8(wqt::sizeText(data.size())),
                               view.frame));
  const wqt::FileEntry* entry = map_.entry(view.entry);
  if (entry == nullptr ||
      (entry->kind != wqt::EntryKind::Jpg && entry->kind != wqt::EntryKind::Raw))
    return;
  const QSize entrySize(entry->width, entry->height);
  if (data.empty()) {
    view.box = textBox(QString::fromUtf8(kMissingFileText), view.frame);
    view.naturalSize = entrySize.expandedTo(view.box->sizeHint());
  } else {
    try {
      QImage image = pictureImage(entry->kind == wqt::EntryKind::Jpg
                                      ? wqt::jpegPreview(data, scratchFile_, lowColourScreen_)
                                      : wqt::rawPreview(*entry, data));
      view.naturalSize = image.size();
      view.box = new PictureBox(std::move(image), view.frame);
      view.box->setObjectName(QStringLiteral("overviewPicture"));
    } catch (const std::exception& error) {
      // A file the preview cannot decode says why in its place; the others are still shown.
      view.box = textBox(QString::fromUtf8(error.what()), view.frame);
      view.naturalSize = entrySize.expandedTo(view.box->sizeHint());
    }
  }
  layout->addWidget(view.box, 0, Qt::AlignLeft);
}

void TThemeOverview::fitBox(const FileView& view, int available) const {
  if (view.box == nullptr) return;
  QSize size = view.naturalSize;
  if (size.width() > available && available > 0) {
    size = QSize(available, std::max(1, size.height() * available / size.width()));
  }
  view.box->setFixedSize(size);
}

int TThemeOverview::availableWidth() const {
  return scroll_->viewport()->width() - 2 * kMargin;
}

void TThemeOverview::refreshEntry(std::int32_t entry) {
  // The nodes shown may be of a map read since; the rebuild to come shows the entry anyway.
  if (rebuildPending_) return;
  const int available = availableWidth();
  for (FileView& view : files_) {
    if (view.entry != entry) continue;
    fillFile(view);
    fitBox(view, available);
  }
}

QImage TThemeOverview::overviewImage() const {
  return content_->grab().toImage();
}

void TThemeOverview::saveAsPng() {
  const QString chosen = dialogs_.getSaveFileName(this, QString::fromUtf8(kPngFilter),
                                                  QString::fromUtf8(kThemeOverviewTitle));
  if (chosen.isEmpty()) return;
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!overviewImage().save(&buffer, "PNG")) throw wqt::Error("PNG encoding failed");
  wqt::writeFileReplacing(
      wqt::exportFileName(toFileName(chosen), ".png"),
      std::span(reinterpret_cast<const std::uint8_t*>(png.constData()), std::size_t(png.size())));
}

bool TThemeOverview::eventFilter(QObject* watched, QEvent* event) {
  if (watched == scroll_->viewport() && event->type() == QEvent::Resize) {
    const int available = availableWidth();
    for (const FileView& view : files_) fitBox(view, available);
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
