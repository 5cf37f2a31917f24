// The "Другое" page: the header fields and the theme type, shown from the document and stored
// into it as the user edits them.
#include <string>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

#include "theme/header_text.h"
#include "theme/theme_messages.h"
#include "ui/Appearance.h"
#include "ui/MainUnit.h"

using wqtui::fromCp1251;
void TMainForm::showHeaderFields() {
  showHeaderField(ED_ThemeAuthor, wqt::kAuthorField, &TMainForm::ED_ThemeAuthorChange);
  showHeaderField(ED_ThemeName, wqt::kNameField, &TMainForm::ED_ThemeNameChange);
  showHeaderField(ED_ThemeVersion, wqt::kVersionField, &TMainForm::ED_ThemeVersionChange);
}

void TMainForm::showHeaderField(QLineEdit* box, const wqt::HeaderField& field,
                                void (TMainForm::*handler)()) {
  // The decoded text keeps the field's zero bytes: putting it into the box is a change of the
  // box unless the box already holds exactly that text, and a change stores the field once.
  const std::string decoded = wqt::decodeHeaderField(doc_.fieldBytes(field));
  if (box->text() == fromCp1251(decoded)) return;
  {
    const QSignalBlocker blocker(box);
    box->setText(fromCp1251(std::string(wqt::visibleText(decoded))));
  }
  (this->*handler)();
}

void TMainForm::showThemeType() {
  if (!map_.settings().hasTypeByte()) return;
  const std::uint8_t type = doc_.typeByte(map_.settings());
  // A byte other than 0 or 1 selects no item; selecting from here does not store it.
  CBox_ThemeType->setCurrentIndex(std::size_t{type} < wqt::kThemeTypeNames.size() ? int{type} : -1);
  lbl_7->show();
  CBox_ThemeType->show();
}

void TMainForm::setHeaderField(QLineEdit* box, const wqt::HeaderField& field) {
  if (!doc_.hasImage()) return;
  if (doc_.setHeaderField(field, wqtui::toCp1251(box->text())) ==
      wqt::ThemeDocument::FieldResult::TooLong)
    dialogs_.infoMessage(QString::fromUtf8(wqt::kTooLongMessage));
}

void TMainForm::ED_ThemeAuthorChange() {
  setHeaderField(ED_ThemeAuthor, wqt::kAuthorField);
}
void TMainForm::ED_ThemeNameChange() {
  setHeaderField(ED_ThemeName, wqt::kNameField);
}
void TMainForm::ED_ThemeVersionChange() {
  setHeaderField(ED_ThemeVersion, wqt::kVersionField);
}

void TMainForm::CBox_ThemeTypeChange(int index) {
  if (!doc_.hasImage() || index < 0) return;
  doc_.setThemeType(map_.settings(), static_cast<std::uint8_t>(index));
}
