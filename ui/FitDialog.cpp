#include "ui/FitDialog.h"

#include <QColor>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>
#include <filesystem>

#include "ops/entry_fit.h"
#include "ops/entry_transfer.h"
#include "ops/picture_error_text.h"
#include "ui/FitResultView.h"
#include "ui/FitSourceView.h"
#include "ui/UserDialogs.h"

namespace wqtui {

namespace {

QImage sourceImage(const wqt::Picture& picture) {
  return QImage(picture.pixels.data(), picture.width, picture.height, picture.bytesPerLine,
                QImage::Format_RGB32)
      .copy();
}

QColor qColor(const wqt::Rgb& rgb) {
  return QColor(rgb.r, rgb.g, rgb.b);
}

// Runs on a pool thread: every format through the core's reader (EXIF orientation, colour
// profiles, reduction while reading, the same limits and refusals as the command line's).
FitSourceRead readFitSource(const QString& path, const wqt::FitTarget& target,
                            const wqt::FitOptions& options) {
  FitSourceRead read;
  try {
    read.picture = std::make_shared<const wqt::SourcePicture>(
        wqt::readPictureToFit(toPath(path), target, options));
  } catch (const wqt::Error& e) {
    read.error = QString::fromStdString(wqt::pictureErrorText(e));
  } catch (const std::exception& e) {
    read.error = QString::fromUtf8(e.what());
  }
  return read;
}

}  // namespace

void addFitModes(QComboBox* box) {
  box->addItem(QStringLiteral("Обрезать по размеру"), int(wqt::FitMode::Crop));
  box->addItem(QStringLiteral("Вписать с полями"), int(wqt::FitMode::Inside));
  box->addItem(QStringLiteral("Растянуть"), int(wqt::FitMode::Stretch));
}

void addDithers(QComboBox* box) {
  box->addItem(QStringLiteral("Нет"), int(wqt::Dither::None));
  box->addItem(QStringLiteral("Упорядоченное"), int(wqt::Dither::Ordered));
  box->addItem(QStringLiteral("Рассеивание ошибки"), int(wqt::Dither::Diffusion));
}

TFitDialog::TFitDialog(const wqt::FitTarget& target, const QString& source, UserDialogs& dialogs,
                       QWidget* parent)
    : QDialog(parent), target_(target), sourcePath_(source), dialogs_(dialogs) {
  setObjectName(QStringLiteral("FitDialog"));
  setWindowTitle(QStringLiteral("Загрузить с подгонкой"));
  const bool jpg = target.kind == wqt::FileKind::Jpg;

  sourceView_ = new TFitSourceView(this);
  sourceView_->setObjectName(QStringLiteral("fitSourceView"));
  sourceView_->onWindowMoved = [this](double x, double y) {
    if (!source_) return;
    wqt::moveCropWindow(options_, *source_, target_, x, y);
    optionsChanged(true);
  };
  resultView_ = new TFitResultView(target, this);
  zoom_ = new QComboBox(this);
  zoom_->setObjectName(QStringLiteral("fitZoom"));
  for (int zoom : TFitResultView::zooms(target)) {
    zoom_->addItem(QStringLiteral("%1×").arg(zoom), zoom);
  }
  zoom_->setCurrentIndex(zoom_->findData(TFitResultView::defaultZoom(target)));
  resultView_->setZoom(zoom_->currentData().toInt());
  connect(zoom_, &QComboBox::currentIndexChanged, this,
          [this] { resultView_->setZoom(zoom_->currentData().toInt()); });

  mode_ = new QComboBox(this);
  mode_->setObjectName(QStringLiteral("fitMode"));
  addFitModes(mode_);
  connect(mode_, &QComboBox::currentIndexChanged, this, [this] {
    options_.mode = wqt::FitMode(mode_->currentData().toInt());
    optionsChanged(true);
  });

  background_ = new QPushButton(this);
  background_->setObjectName(QStringLiteral("fitBackground"));
  connect(background_, &QPushButton::clicked, this, &TFitDialog::chooseBackground);

  dither_ = new QComboBox(this);
  dither_->setObjectName(QStringLiteral("fitDither"));
  addDithers(dither_);
  dither_->setCurrentIndex(dither_->findData(int(options_.dither)));
  connect(dither_, &QComboBox::currentIndexChanged, this, [this] {
    options_.dither = wqt::Dither(dither_->currentData().toInt());
    optionsChanged(false);
  });

  // 0 is the automatic choice: the highest quality whose file fits the slot.
  quality_ = new QSpinBox(this);
  quality_->setObjectName(QStringLiteral("fitQuality"));
  quality_->setRange(0, wqt::kMaxAutoQuality);
  quality_->setSpecialValueText(QStringLiteral("Авто"));
  connect(quality_, &QSpinBox::valueChanged, this, [this](int value) {
    options_.quality = value == 0 ? std::nullopt : std::optional<int>(value);
    optionsChanged(false);
  });

  size_ = new QLabel(this);
  size_->setObjectName(QStringLiteral("fitSize"));
  status_ = new QLabel(QStringLiteral("Чтение рисунка..."), this);
  status_->setObjectName(QStringLiteral("fitStatus"));
  status_->setWordWrap(true);

  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons_->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons_->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("fitOk"));
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(false);
  buttons_->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
  buttons_->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("fitCancel"));
  connect(buttons_, &QDialogButtonBox::accepted, this, [this] {
    if (!result_ || result_->refusal) return;
    accepted_ = result_->bytes;
    accept();
  });
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* sourceBox = new QGroupBox(QStringLiteral("Исходный рисунок"), this);
  (new QVBoxLayout(sourceBox))->addWidget(sourceView_);
  auto* resultBox = new QGroupBox(
      QStringLiteral("Результат, %1 × %2").arg(target.width).arg(target.height), this);
  auto* resultLayout = new QVBoxLayout(resultBox);
  resultLayout->addWidget(resultView_, 0, Qt::AlignCenter);
  resultLayout->addStretch();
  auto* views = new QHBoxLayout;
  views->addWidget(sourceBox);
  views->addWidget(resultBox);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Подгонка:"), mode_);
  form->addRow(QStringLiteral("Цвет фона:"), background_);
  if (jpg) {
    form->addRow(QStringLiteral("Качество JPEG:"), quality_);
    dither_->hide();
  } else {
    form->addRow(QStringLiteral("Смешение цветов:"), dither_);
    quality_->hide();
  }
  form->addRow(QStringLiteral("Размер файла:"), size_);
  form->addRow(QStringLiteral("Увеличение:"), zoom_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(views);
  layout->addLayout(form);
  layout->addWidget(status_);
  layout->addWidget(buttons_);

  showBackground();
  connect(&reading_, &QFutureWatcher<FitSourceRead>::finished, this, &TFitDialog::sourceRead);
  readSource();
}

TFitDialog::~TFitDialog() = default;

std::optional<std::vector<std::uint8_t>> TFitDialog::acceptedBytes() const {
  return accepted_;
}

void TFitDialog::readSource() {
  reading_.setFuture(QtConcurrent::run([path = sourcePath_, target = target_, options = options_] {
    return readFitSource(path, target, options);
  }));
}

void TFitDialog::sourceRead() {
  if (readAgain_) {
    // The background changed while the picture was read: its transparent pixels need the new one.
    readAgain_ = false;
    readSource();
    return;
  }
  FitSourceRead read = reading_.result();
  if (!read.picture) {
    status_->setText(read.error);
    Q_EMIT resultChanged();
    return;
  }
  source_ = std::move(read.picture);
  sourceView_->setPicture(sourceImage(source_->pixels), source_->width, source_->height);
  refit();
}

void TFitDialog::optionsChanged(bool refitNeeded) {
  if (!source_) return;
  if (refitNeeded) {
    refit();
  } else {
    store();
  }
}

void TFitDialog::refit() {
  const wqt::Placement placed =
      wqt::placePicture(source_->width, source_->height, target_, options_);
  sourceView_->setWindow(placed.source, options_.mode == wqt::FitMode::Crop);
  fitted_ = wqt::resamplePicture(*source_, target_, options_);
  store();
}

void TFitDialog::store() {
  try {
    result_ = wqt::storePicture(*fitted_, target_, options_);
  } catch (const wqt::Error& e) {
    result_.reset();
    status_->setText(QString::fromStdString(wqt::pictureErrorText(e)));
  } catch (const std::exception& e) {
    result_.reset();
    status_->setText(QString::fromUtf8(e.what()));
  }
  showResult();
  Q_EMIT resultChanged();
}

void TFitDialog::showResult() {
  const bool usable = result_ && !result_->refusal;
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(usable);
  if (!result_) return;
  resultView_->setPicture(result_->stored);
  QString size = QString::fromStdString(wqt::sizeText(result_->bytes.size()));
  if (target_.kind == wqt::FileKind::Jpg) {
    size += QStringLiteral(", качество %1").arg(result_->quality);
  }
  size_->setText(size);
  status_->setText(result_->refusal ? QString::fromStdString(*result_->refusal) : QString());
}

void TFitDialog::chooseBackground() {
  const QColor chosen =
      dialogs_.getColor(this, qColor(options_.background), QStringLiteral("Цвет фона"));
  if (!chosen.isValid()) return;
  options_.background = {std::uint8_t(chosen.red()), std::uint8_t(chosen.green()),
                         std::uint8_t(chosen.blue())};
  showBackground();
  // Transparent pixels were composited on the old colour while the source was read.
  if (reading_.isRunning()) {
    readAgain_ = true;
  } else {
    status_->setText(QStringLiteral("Чтение рисунка..."));
    readSource();
  }
}

void TFitDialog::showBackground() {
  QPixmap swatch(16, 16);
  swatch.fill(qColor(options_.background));
  background_->setIcon(QIcon(swatch));
  background_->setText(qColor(options_.background).name().toUpper());
}

}  // namespace wqtui
