// Start-up: the application object with its title and icon, the main window (whose creation runs
// the start-up check), the About box created hidden, then the event loop until the main window
// closes.
#include <exception>

#include <QApplication>

#include "ui/AboutProgramm.h"
#include "ui/Appearance.h"
#include "ui/ErrorReport.h"
#include "ui/MainUnit.h"
#include "ui/UserDialogs.h"

namespace {

// The last line of defence: an exception that escapes a handler's own guard is shown by the
// top-level handler here instead of unwinding through Qt's event loop.
class WqtApplication : public QApplication {
 public:
  using QApplication::QApplication;

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
      wqtui::reportException(error);
    } catch (...) {
      wqtui::reportUnknownException();
    }
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  WqtApplication app(argc, argv);
  // Only the name: a display name would be appended to every window caption by some platforms.
  QApplication::setApplicationName(QString::fromUtf8(wqtui::kApplicationTitle));
  QApplication::setWindowIcon(wqtui::applicationIcon());
  wqtui::installFontSubstitutes();

  wqtui::QtUserDialogs dialogs;
  TMainForm mainForm(dialogs);
  TChildForm_AboutProgramm aboutBox;
  aboutBox.hide();
  mainForm.setAboutBox(&aboutBox);

  mainForm.show();
  app.exec();
  return 0;
}
