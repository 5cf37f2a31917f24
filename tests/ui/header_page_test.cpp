// The header fields and the theme type on the "Другое" page.
#include "window_fixture.h"

using namespace wqttest;

class HeaderPageTest : public WindowTest {
  Q_OBJECT

 private Q_SLOTS:
  void headerFields() {
    TMainForm* f = newForm();
    trigger(f, "MM_Child_CreateTheme");
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
    QCOMPARE(utf8Field(f->document().image(), 32, 52), cyrillic26.toUtf8());

    // A character Windows-1251 lacks becomes "?" in the box and in the file.
    child<QLineEdit>(f, "ED_ThemeName")->setText(QStringLiteral("Ключ ☃ 😀"));
    QCOMPARE(text(f, "ED_ThemeName"), QStringLiteral("Ключ ? ?"));
    QCOMPARE(utf8Field(f->document().image(), 85, 52), QStringLiteral("Ключ ? ?").toUtf8());

    QCOMPARE(child<QLineEdit>(f, "ED_ThemeVersion")->maxLength(), 5);
    QCOMPARE(author->maxLength(), 52);
  }

  void themeTypeByUserPick() {
    TMainForm* f = newForm();
    trigger(f, "MM_Child_CreateTheme");
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
