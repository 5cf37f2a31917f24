// The header fields and the theme type on the "Другое" page.
#include <QClipboard>

#include "window_fixture.h"

using namespace wqttest;

class HeaderPageTest : public WindowTest {
  Q_OBJECT

 private Q_SLOTS:
  void headerFields() {
    TMainForm* f = createdForm();
    QLineEdit* author = child<QLineEdit>(f, "ED_ThemeAuthor");
    const QString cyrillic26(26, QChar(0x0416));  // "Ж", two bytes of UTF-8 each

    author->setText(cyrillic26);
    QVERIFY(dialogs->messages.empty());
    QCOMPARE(utf8Field(f->document().image(), 32, 52), cyrillic26.toUtf8());

    author->setText(cyrillic26 + QChar(0x0416));
    QCOMPARE(int(dialogs->messages.size()), 1);
    QCOMPARE(dialogs->messages[0].text,
             QStringLiteral("Длина текста в данном поле превышает допустимое ограничение!"));
    QCOMPARE(author->text().size(), 27);  // the box keeps the new text
    QCOMPARE(child<QLabel>(f, "lbl_AuthorUse")->text(), QStringLiteral("54 из 52 б"));
    QCOMPARE(utf8Field(f->document().image(), 32, 52), cyrillic26.toUtf8());
    QCOMPARE(child<QLineEdit>(f, "ED_ThemeVersion")->maxLength(), 5);
  }

  // What the user types or pastes into an empty box: what the box and the field then hold, the
  // count beside the box, and the status bar's second panel.
  void typedOrPasted_data() {
    QTest::addColumn<bool>("pasted");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("held");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("status");
    const QString kept = QStringLiteral("Создание новой темы.");
    QTest::newRow("typed") << false << "ED_ThemeAuthor"
                           << "Abc"
                           << "Abc"
                           << "3 из 52 б" << kept;
    QTest::newRow("typed, a character the code page lacks")
        << false << "ED_ThemeName"
        << "Ключ✓"
        << "Ключ"
        << "8 из 52 б"
        << "Символ «✓» (U+2713) не входит в кодировку Windows-1251 и не может быть записан в тему.";
    QTest::newRow("pasted, refused whole")
        << true << "ED_ThemeAuthor"
        << "A😀"
        << ""
        << "0 из 52 б"
        << "Символ «😀» (U+1F600) не входит в кодировку Windows-1251 и не может быть записан в "
           "тему.";
  }

  void typedOrPasted() {
    QFETCH(bool, pasted);
    QFETCH(QString, box);
    QFETCH(QString, input);
    QFETCH(QString, held);
    QFETCH(QString, count);
    QFETCH(QString, status);
    TMainForm* f = createdForm();
    const QByteArray name = box.toLatin1();
    auto* edit = child<QLineEdit>(f, name.constData());
    edit->clear();
    if (pasted) {
      QGuiApplication::clipboard()->setText(input);
      edit->paste();
    } else {
      // One key a character, as a keyboard layout of any script sends it.
      for (const QChar c : input)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QCOMPARE(edit->text(), held);
    const int offset = box == "ED_ThemeAuthor" ? 32 : box == "ED_ThemeName" ? 85 : 140;
    QCOMPARE(utf8Field(f->document().image(), offset, box == "ED_ThemeVersion" ? 5 : 52),
             held.toUtf8());
    const QByteArray use = name.mid(8) + "Use";
    QCOMPARE(child<QLabel>(f, ("lbl_" + use).constData())->text(), count);
    QCOMPARE(panel(f, 1), status);
  }

  void themeTypeByUserPick() {
    TMainForm* f = createdForm();
    QComboBox* type = child<QComboBox>(f, "CBox_ThemeType");
    QCOMPARE(int(f->document().image()[kTypeOffset]), 0);
    QTest::keyClick(type, Qt::Key_Down);  // the user picks "Белая тема"
    QCOMPARE(type->currentIndex(), 1);
    QCOMPARE(int(f->document().image()[kTypeOffset]), 1);
    type->setCurrentIndex(0);  // the program's selection stores nothing
    QCOMPARE(int(f->document().image()[kTypeOffset]), 1);
  }
};

WQT_WINDOW_TEST(HeaderPageTest)

#include "header_page_test.moc"
