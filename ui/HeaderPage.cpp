// The "Другое" page: the header fields and the theme type, shown from the document and stored
// into it as the user edits them.
#include <algorithm>
#include <utility>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

#include "ops/theme_header.h"
#include "theme/theme_messages.h"
#include "ui/Appearance.h"
#include "ui/MainUnit.h"

void TMainForm::showHeaderField(QLineEdit* box, const wqt::HeaderField& field) {
  // The decoded text keeps the field's zero bytes: putting it into the box is a change of the
  // box unless the box already holds exactly that text, and a change stores the field once.
  const wqt::FieldText text = wqt::fieldText(doc_.image(), field);
  if (box->text() == wqtui::fromCp1251(text.decoded)) return;
  QSignalBlocker blocker(box);
  box->setText(QString::fromStdString(text.shown));
  blocker.unblock();
  setHeaderField(box, field);
}

void TMainForm::showThemeType() {
  const wqt::TypeView view = wqt::themeTypeOf(doc_.image(), map_.settings());
  if (!view.shown) return;
  // The selector lists the types in their order. A byte other than 0 or 1 selects no item;
  // selecting from here does not store it.
  const auto& types = wqt::kThemeTypes;
  const auto at = view.type ? std::ranges::find(types, *view.type) : types.end();
  CBox_ThemeType->setCurrentIndex(at != types.end() ? static_cast<int>(at - types.begin()) : -1);
  lbl_7->show();
  CBox_ThemeType->show();
}

void TMainForm::showFieldUse(QLineEdit* box) {
  for (const FieldUse& use : std::as_const(fieldUse_))
    if (use.box == box)
      use.count->setText(QStringLiteral("%1 из %2 б")
                             .arg(wqt::fieldBytes(wqtui::toCp1251(box->text())))
                             .arg(use.field.width));
}

void TMainForm::refuseCharacter(const QString& character) {
  const QString code =
      QStringLiteral("U+%1").arg(character.toUcs4().value(0), 4, 16, QLatin1Char('0')).toUpper();
  SBar_Panel1->setText(QStringLiteral("Символ «%1» (%2) не входит в кодировку Windows-1251 и не "
                                      "может быть записан в тему.")
                           .arg(character, code));
}

void TMainForm::setHeaderField(QLineEdit* box, const wqt::HeaderField& field) {
  showFieldUse(box);
  if (!doc_.hasImage()) return;
  const std::string before = wqt::fieldText(doc_.image(), field).decoded;
  if (!wqt::setFieldCp1251(doc_, field, wqtui::toCp1251(box->text())).stored) {
    dialogs_.infoMessage(QString::fromUtf8(wqt::kTooLongMessage));
    return;
  }
  if (wqt::fieldText(doc_.image(), field).decoded != before) recordField(box, field, before);
}

void TMainForm::CBox_ThemeTypeChange(int index) {
  if (!doc_.hasImage() || index < 0 || static_cast<std::size_t>(index) >= wqt::kThemeTypes.size())
    return;
  const std::uint8_t before = wqt::themeTypeOf(doc_.image(), map_.settings()).byte;
  wqt::setThemeType(doc_, map_.settings(), wqt::kThemeTypes[static_cast<std::size_t>(index)]);
  if (wqt::themeTypeOf(doc_.image(), map_.settings()).byte != before) recordThemeType(before);
}
