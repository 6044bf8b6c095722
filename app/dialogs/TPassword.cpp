#include "dialogs/TPassword.h"

#include "common/Ui.h"
#include "dialogs/DialogForm.h"
#include "link/Errors.h"
#include "link/Forms.h"

#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>

#include <cerrno>
#include <iconv.h>
#include <optional>
#include <string>

namespace {

// The password as squares of its characters' codes; the text itself is kept
// nowhere in the program.
constexpr int PasswordLength = 4;
constexpr int32_t PasswordTable[5] = {484, 441, 4, 81, 0};

// Windows-1251 bytes of the text, one per character; nothing when a
// character has no code there (such a text cannot be the password).
std::optional<std::string> toWindows1251(const QString& text) {
    iconv_t cd = iconv_open("WINDOWS-1251", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    QByteArray in = text.toUtf8();
    std::string out(static_cast<size_t>(in.size()) + 1, '\0');
    char* src = in.data();
    size_t srcLeft = static_cast<size_t>(in.size());
    char* dst = out.data();
    size_t dstLeft = out.size();
    const size_t done = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1) || srcLeft != 0) return std::nullopt;
    out.resize(out.size() - dstLeft);
    return out;
}

// Every typed character shows as "*", whatever the desktop style prefers.
class StarStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

TPassword::TPassword(QWidget* parent) : QDialog(parent, qmt::form::TitleOnly) {
    using namespace qmt::form;
    setUp(this, "Password", QStringLiteral("Ввод пароля"), {220, 104});

    lbPass = label(this, "lbPass", QStringLiteral("Введите пароль"), {12, 10, 196, 20});
    edPass = edit(this, "edPass", {12, 32, 196, 24});
    edPass->setEchoMode(QLineEdit::Password);
    auto* stars = new StarStyle;
    stars->setParent(edPass);
    edPass->setStyle(stars);

    btOK = ButtonRow(this, {66, 68, 88, 26}, {}).add("btOK", QStringLiteral("ОК"), Enter::Default);
    qmt::onClicked(btOK, qmt::handler(this, &TPassword::btOKClick));

    setFocusProxy(edPass);
    edPass->setFocus();
}

TPassword::~TPassword() {
    if (Password == this) Password = nullptr;
}

bool TPassword::Matches(const QString& text) {
    const std::optional<std::string> codes = toWindows1251(text);
    if (!codes || codes->size() != static_cast<size_t>(PasswordLength)) return false;
    for (int i = 0; i < PasswordLength; ++i) {
        const int32_t code = static_cast<int8_t>((*codes)[static_cast<size_t>(i)]);
        if (code * code != PasswordTable[i]) return false;
    }
    return true;
}

void TPassword::CheckPassword(const QString& text) {
    if (Matches(text)) return;
    edPass->clear();
    edPass->setFocus();
    throw qmt::Exception(QStringLiteral("Неправильный пароль!"));
}

void TPassword::btOKClick() {
    const QString text = edPass->text();
    if (text.isEmpty()) {
        done(Refused);
        return;
    }
    CheckPassword(text);
    edPass->clear();
    done(Granted);
}

namespace qmt {

bool AskPassword() {
    if (!Password) return false;
    Password->edPass->clear();
    Password->edPass->setFocus();
    return prompts().execModal(Password) == TPassword::Granted;
}

} // namespace qmt
