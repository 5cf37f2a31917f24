#pragma once
// "Перенести на другую карту...": the other model's map, an optional base theme of that map, the
// file to write and how pictures of another size are fitted; and the report afterwards.
#include <QDialog>

#include "ui/PortChoice.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace wqtui {

class UserDialogs;

class TPortDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TPortDialog(UserDialogs& dialogs, QWidget* parent = nullptr);

  PortChoice choice() const;

 private:
  // A file name box with its "Обзор..." button, which asks the seam for the file.
  QWidget* fileRow(QLineEdit*& line, const char* name, bool save, const char* filter);
  void chooseBackground();

  UserDialogs& dialogs_;
  wqt::Rgb background_;
  QLineEdit* map_ = nullptr;
  QLineEdit* base_ = nullptr;
  QLineEdit* target_ = nullptr;
  QComboBox* mode_;
  QComboBox* gravity_;
  QPushButton* backgroundButton_;
  QComboBox* dither_;
  QSpinBox* quality_;
  QPushButton* ok_;
};

// The editor's report window: the summary above every file of the new map and what became of it.
void showPortReport(QWidget* parent, const PortReport& report);

}  // namespace wqtui
