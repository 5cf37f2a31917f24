#pragma once
// The About box: the program's name, version and purpose, closed by "OK" or the close button.
#include <QDialog>

class QPlainTextEdit;

class TChildForm_AboutProgramm : public QDialog {
  Q_OBJECT

 public:
  explicit TChildForm_AboutProgramm(QWidget* parent = nullptr);

  static QStringList memoLines();

 public Q_SLOTS:
  void btn_modal_okClick() { accept(); }

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPlainTextEdit* Memo_AboutProgrammText = nullptr;
};
