#include "ui/AboutProgramm.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <QTextOption>

#include "ui/Appearance.h"

TChildForm_AboutProgramm::TChildForm_AboutProgramm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ChildForm_AboutProgramm"));
  setWindowTitle(QStringLiteral("О программе"));
  // A slim tool caption with a close button only.
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFont(wqtui::windowFont());
  setFixedSize(403, 337);

  auto* title = new QLabel(QStringLiteral("Orvalen WQT Manager v1.0"), this);
  title->setObjectName(QStringLiteral("Label1"));
  title->setFont(wqtui::titleFont());
  title->move(128, 8);
  title->adjustSize();

  Memo_AboutProgrammText = new QPlainTextEdit(this);
  Memo_AboutProgrammText->setObjectName(QStringLiteral("Memo_AboutProgrammText"));
  Memo_AboutProgrammText->setGeometry(0, 40, 406, 249);
  Memo_AboutProgrammText->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Memo_AboutProgrammText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo_AboutProgrammText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo_AboutProgrammText->setPlainText(memoLines().join(u'\n'));
  // Every line centred; long lines wrap at the box's width.
  QTextOption centred = Memo_AboutProgrammText->document()->defaultTextOption();
  centred.setAlignment(Qt::AlignHCenter);
  centred.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  Memo_AboutProgrammText->document()->setDefaultTextOption(centred);
  Memo_AboutProgrammText->setReadOnly(true);
  Memo_AboutProgrammText->installEventFilter(this);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("btn_modal_ok"));
  ok->setGeometry(144, 296, 123, 25);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &TChildForm_AboutProgramm::btn_modal_okClick);
}

QStringList TChildForm_AboutProgramm::memoLines() {
  return {
      QStringLiteral("О Программе"),
      QStringLiteral("============"),
      QStringLiteral("Orvalen WQT Manager"),
      QStringLiteral("Версия: 1.0"),
      QStringLiteral("Программа предназначена для создания/редактирования тем"),
      QStringLiteral("для патчей тем прошивок мобильных телефонов"),
      QStringLiteral("(за искл. D500, X700, E730, E760)."),
      QString(),
      QStringLiteral("Благодарности:"),
      QStringLiteral("Qt — библиотека интерфейса пользователя;"),
      QStringLiteral("libjpeg-turbo и Independent JPEG Group — декодирование JPEG;"),
      QStringLiteral("GoogleTest и Qt Test — проверка программы;"),
      QStringLiteral("шрифты Liberation и PT Sans;"),
      QStringLiteral("всем, кто присылал карты и темы для проверки."),
      QString(),
      QStringLiteral("Разработано:"),
      QStringLiteral("Команда Orvalen WQT Manager"),
      QStringLiteral("Проект с открытым исходным кодом"),
      QStringLiteral("Свободное программное обеспечение"),
      QStringLiteral("Замечания и предложения — в трекер задач проекта"),
      QStringLiteral("© 2026 Orvalen WQT Manager"),
  };
}

void TChildForm_AboutProgramm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Centred on the screen, with the memo holding the focus.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  Memo_AboutProgrammText->setFocus(Qt::OtherFocusReason);
}

void TChildForm_AboutProgramm::keyPressEvent(QKeyEvent* event) {
  // Esc never closes the box; the close button and "OK" do.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool TChildForm_AboutProgramm::eventFilter(QObject* watched, QEvent* event) {
  // The memo owns Enter and Esc: neither presses "OK" nor closes the box while it has focus.
  if (watched == Memo_AboutProgrammText &&
      (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
      event->accept();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}
