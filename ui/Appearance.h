#pragma once
// Fonts and the application icon shared by both windows.
#include <functional>
#include <string>
#include <utility>

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QValidator>

class QPainter;
class QWidget;

namespace wqtui {

// Makes the windows' font families available: "MS Sans Serif" is Liberation Sans, scalable and
// antialiased; "Myriad Pro" is PT Sans. Safe to call more
// than once; needs the application object.
void installFontSubstitutes();

// "MS Sans Serif" at an 11-pixel character height: the font of every control.
QFont windowFont();
// "Myriad Pro", bold, 16-pixel character height: the About box's title.
QFont titleFont();

// The application icon: 256, 64 and 32 pixel images drawn in code.
QIcon applicationIcon();
// One image of it, size × size pixels on a transparent background.
QImage applicationIconImage(int size);
// Draws the application icon (a phone with a colour swatch on its screen: what the editor
// dresses) into a size × size square from the painter's origin: the one drawing behind the
// window icon and the installed icon files.
void paintApplicationIcon(QPainter& painter, int size);

// Draws the widget in the classic style: group boxes with the caption on the frame's top line,
// trees with connecting lines and expand boxes.
void useClassicStyle(QWidget* widget);

// Keeps a line edit's text within Windows-1251, so the box holds exactly what the theme stores:
// an edit bringing a character the code page lacks (typed, pasted or dropped) is refused whole,
// and the first such character is handed to `refused`.
class Cp1251Validator : public QValidator {
 public:
  using Refusal = std::function<void(const QString& character)>;
  Cp1251Validator(Refusal refused, QObject* parent)
      : QValidator(parent), refused_(std::move(refused)) {}
  State validate(QString& input, int& pos) const override;

 private:
  Refusal refused_;
};

// Text in the code page to Qt and back, through UTF-8.
QString fromCp1251(const std::string& cp1251);
std::string toCp1251(const QString& text);

}  // namespace wqtui
