// The password gate: what it grants, what it refuses, and that the dialog
// stays open for another try after a wrong text.
#include "ServiceFixture.h"

#include "TextFit.h"

#include <QDir>
#include <QStyle>
#include <QTest>

namespace qmt::test {
namespace {

class PasswordTest : public ServiceTest {};

// Typed key by key, Cyrillic letters included (QTest's key names are ASCII only).
void typeInto(QWidget* field, const QString& text) {
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

TEST_F(PasswordTest, OnlyTheWholePasswordMatches) {
    const struct {
        QString text;
        bool granted;
    } cases[] = {
        {QStringLiteral("ключ"), true},
        {QStringLiteral("к"), false},     // its first character alone
        {QStringLiteral("клю"), false},   // a prefix
        {QStringLiteral("ключи"), false}, // longer
        {QStringLiteral("ключ "), false}, // a trailing blank is a character too
        {QStringLiteral("КЛЮЧ"), false},  // other letters, other codes
        {QString(), false},
        // The Windows-1251 bytes of the password taken as Latin-1 letters.
        {QString::fromLatin1("\xea\xeb\xfe\xf7"), false},
        {QStringLiteral("клюλ"), false}, // a character without a Windows-1251 code
    };
    for (const auto& c : cases)
        EXPECT_EQ(TPassword::Matches(c.text), c.granted) << c.text.toStdString();
}

TEST_F(PasswordTest, WrongTextKeepsTheDialogOpenWithAnEmptyFocusedField) {
    Password->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Password));
    typeInto(Password->edPass, QStringLiteral("клю"));
    QTest::keyClick(Password->edPass, Qt::Key_Return); // the default button
    EXPECT_EQ(prompts.texts(), QStringList{QStringLiteral("Неправильный пароль!")});
    EXPECT_TRUE(Password->isVisible());
    EXPECT_TRUE(Password->edPass->text().isEmpty());
    EXPECT_TRUE(Password->edPass->hasFocus());

    typeInto(Password->edPass, ServicePassword);
    QTest::mouseClick(Password->btOK, Qt::LeftButton);
    EXPECT_FALSE(Password->isVisible());
    EXPECT_EQ(Password->result(), TPassword::Granted);
    EXPECT_TRUE(Password->edPass->text().isEmpty()); // not left behind for the next showing
    EXPECT_EQ(prompts.shown.size(), 1u);
}

TEST_F(PasswordTest, EmptyTextOrAnyOtherWayOutIsRefused) {
    Password->show();
    Password->btOK->click();
    EXPECT_FALSE(Password->isVisible());
    EXPECT_EQ(Password->result(), TPassword::Refused);
    EXPECT_TRUE(prompts.shown.empty());

    Password->show();
    typeInto(Password->edPass, ServicePassword);
    QTest::keyClick(Password, Qt::Key_Escape);
    EXPECT_FALSE(Password->isVisible());
    EXPECT_EQ(Password->result(), TPassword::Refused);
}

TEST_F(PasswordTest, AskPasswordStartsEmptyEachTime) {
    Password->edPass->setText(QStringLiteral("left over"));
    prompts.modalScripts.push_back([](QDialog*) {
        EXPECT_TRUE(Password->edPass->text().isEmpty());
        return int(TPassword::Refused);
    });
    EXPECT_FALSE(AskPassword());
    prompts.modalScripts.push_back(typePassword(ServicePassword));
    EXPECT_TRUE(AskPassword());
    prompts.modalScripts.push_back(typePassword(QStringLiteral("ключ1")));
    EXPECT_FALSE(AskPassword());
    EXPECT_EQ(prompts.lastText(), QStringLiteral("Неправильный пароль!"));
}

TEST_F(PasswordTest, LooksAsDesigned) {
    EXPECT_EQ(Password->windowTitle(), QStringLiteral("Ввод пароля"));
    EXPECT_EQ(Password->btOK->text(), QStringLiteral("ОК")); // Cyrillic letters
    EXPECT_TRUE(Password->btOK->isDefault());
    EXPECT_FALSE(Password->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(Password->edPass->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Password->edPass->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter), '*');
    Password->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Password));
    EXPECT_TRUE(Password->edPass->hasFocus());
    EXPECT_EQ(clippedTextReport(Password), "");
    const QByteArray target = qgetenv("QMT_GRAB_DIR");
    if (!target.isEmpty()) {
        QTest::keyClicks(Password->edPass, QStringLiteral("abc"));
        Password->grab().save(QDir(QString::fromLocal8Bit(target)).filePath("TPassword.png"));
    }
}

} // namespace
} // namespace qmt::test
