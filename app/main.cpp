// Start-up: the application object, its title, the main window, then the event loop.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Orvalen WQT Manager");
  QMainWindow window;
  window.setWindowTitle("Orvalen WQT Manager v1.0");
  window.resize(757, 474);
  window.show();
  return app.exec();
}
