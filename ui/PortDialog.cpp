#include "ui/PortDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/FitDialog.h"
#include "ui/UserDialogs.h"

namespace wqtui {

namespace {

const char* const kMapFilter = "Карта темы (*.rxt)|*.rxt";

template <typename T>
T* named(T* widget, const char* name) {
  widget->setObjectName(QString::fromUtf8(name));
  return widget;
}

}  // namespace

TPortDialog::TPortDialog(UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs) {
  setObjectName(QStringLiteral("PortDialog"));
  setWindowTitle(QStringLiteral("Перенести на другую карту"));

  mode_ = named(new QComboBox(this), "portMode");
  addFitModes(mode_);
  gravity_ = named(new QComboBox(this), "portGravity");
  gravity_->addItem(QStringLiteral("По центру"), int(wqt::Gravity::Center));
  gravity_->addItem(QStringLiteral("Сверху"), int(wqt::Gravity::Top));
  gravity_->addItem(QStringLiteral("Снизу"), int(wqt::Gravity::Bottom));
  gravity_->addItem(QStringLiteral("Слева"), int(wqt::Gravity::Left));
  gravity_->addItem(QStringLiteral("Справа"), int(wqt::Gravity::Right));
  backgroundButton_ = named(new QPushButton(this), "portBackground");
  connect(backgroundButton_, &QPushButton::clicked, this, &TPortDialog::chooseBackground);
  dither_ = named(new QComboBox(this), "portDither");
  addDithers(dither_);
  dither_->setCurrentIndex(dither_->findData(int(wqt::FitOptions{}.dither)));
  // 0 is the automatic choice: the highest quality whose file fits the slot.
  quality_ = named(new QSpinBox(this), "portQuality");
  quality_->setRange(0, wqt::kMaxAutoQuality);
  quality_->setSpecialValueText(QStringLiteral("Авто"));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = named(buttons->button(QDialogButtonBox::Ok), "portOk");
  ok_->setText(QStringLiteral("Перенести"));
  named(buttons->button(QDialogButtonBox::Cancel), "portCancel")->setText(QStringLiteral("Отмена"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Карта другой модели:"), fileRow(map_, "portMap", false, kMapFilter));
  form->addRow(QStringLiteral("Базовая тема (необязательно):"),
               fileRow(base_, "portBase", false, kThemeFilter));
  form->addRow(QStringLiteral("Записать в файл:"),
               fileRow(target_, "portTarget", true, kThemeFilter));
  form->addRow(QStringLiteral("Подгонка:"), mode_);
  form->addRow(QStringLiteral("Положение:"), gravity_);
  form->addRow(QStringLiteral("Цвет фона:"), backgroundButton_);
  form->addRow(QStringLiteral("Смешение цветов:"), dither_);
  form->addRow(QStringLiteral("Качество JPEG:"), quality_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(
      QStringLiteral("Файлы темы переходят в файлы новой карты с тем же путём в дереве. Рисунки\n"
                     "другого размера подгоняются; чего нет в теме, берётся из базовой темы."),
      this));
  layout->addLayout(form);
  layout->addWidget(buttons);

  const auto updateOk = [this] {
    ok_->setEnabled(!map_->text().isEmpty() && !target_->text().isEmpty());
  };
  connect(map_, &QLineEdit::textChanged, this, updateOk);
  connect(target_, &QLineEdit::textChanged, this, updateOk);
  updateOk();
  chooseBackground();
  map_->setFocus();
}

QWidget* TPortDialog::fileRow(QLineEdit*& line, const char* name, bool save, const char* filter) {
  auto* row = new QWidget(this);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  line = named(new QLineEdit(row), name);
  line->setMinimumWidth(320);
  auto* browse = named(new QPushButton(QStringLiteral("Обзор..."), row),
                       (std::string(name) + "Browse").c_str());
  layout->addWidget(line);
  layout->addWidget(browse);
  QLineEdit* box = line;
  const QString qtFilter = QString::fromUtf8(filter);
  connect(browse, &QPushButton::clicked, this, [this, box, save, qtFilter] {
    const QString chosen = save ? dialogs_.getSaveFileName(this, qtFilter, box->text())
                                : dialogs_.getOpenFileName(this, qtFilter, box->text());
    if (!chosen.isEmpty()) box->setText(chosen);
  });
  return row;
}

void TPortDialog::chooseBackground() {
  // The first call, from the constructor, only shows the default colour.
  if (backgroundButton_->property("shown").toBool()) {
    const QColor initial(background_.r, background_.g, background_.b);
    const QColor chosen = dialogs_.getColor(this, initial, QStringLiteral("Цвет фона"));
    if (!chosen.isValid()) return;
    background_ = {std::uint8_t(chosen.red()), std::uint8_t(chosen.green()),
                   std::uint8_t(chosen.blue())};
  }
  backgroundButton_->setProperty("shown", true);
  const QColor colour(background_.r, background_.g, background_.b);
  QPixmap swatch(16, 16);
  swatch.fill(colour);
  backgroundButton_->setIcon(QIcon(swatch));
  backgroundButton_->setText(colour.name().toUpper());
}

PortChoice TPortDialog::choice() const {
  PortChoice chosen{map_->text(), base_->text(), target_->text(), {}};
  chosen.fit.mode = wqt::FitMode(mode_->currentData().toInt());
  wqt::applyGravity(chosen.fit, wqt::Gravity(gravity_->currentData().toInt()));
  chosen.fit.background = background_;
  chosen.fit.dither = wqt::Dither(dither_->currentData().toInt());
  if (quality_->value() != 0) chosen.fit.quality = quality_->value();
  return chosen;
}

void showPortReport(QWidget* parent, const PortReport& report) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("PortReport"));
  dialog.setWindowTitle(QStringLiteral("Перенос на другую карту"));
  auto* summary = new QLabel(report.summary, &dialog);
  summary->setWordWrap(true);
  auto* list = named(new QTreeWidget(&dialog), "portReportList");
  list->setRootIsDecorated(false);
  list->setHeaderLabels({QStringLiteral("Файл"), QStringLiteral("Что с ним сделано")});
  for (const PortReportLine& line : report.lines) {
    auto* item = new QTreeWidgetItem(list, {line.path, line.step});
    if (line.unfilled) item->setIcon(0, dialog.style()->standardIcon(QStyle::SP_MessageBoxWarning));
  }
  list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(summary);
  layout->addWidget(list);
  layout->addWidget(buttons);
  dialog.resize(720, 480);
  dialog.exec();
}

}  // namespace wqtui
