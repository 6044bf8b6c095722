#pragma once
// The service settings dialog on the fake module, with the helpers its tests share.
#include "ServiceFixture.h"

#include "Controls.h"
#include "TextFit.h"

#include "dialogs/PackedDate.h"
#include "dialogs/TModPars.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QTest>

#include <string>
#include <vector>

namespace qmt::test {

using Writes = std::vector<std::string>;

class ModParsTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        dialog = std::make_unique<TModPars>();
    }
    void TearDown() override {
        dialog.reset();
        ServiceTest::TearDown();
    }

    // Shown as the menu command shows it: the password is asked first.
    void show(bool granted) {
        prompts.modalScripts.push_back(
            typePassword(granted ? ServicePassword : QStringLiteral("ошибка")));
        dialog->FormShow();
        prompts.shown.clear();
        module.clearLog();
        clock.sleeps.clear();
    }
    QLineEdit* edit(const char* name) const { return control<QLineEdit>(dialog.get(), name); }
    QComboBox* combo(const char* name) const { return control<QComboBox>(dialog.get(), name); }
    QPushButton* button(const char* name) const { return control<QPushButton>(dialog.get(), name); }
    // As the user presses it: through the guard, errors shown in a box.
    void press(const char* name) { button(name)->click(); }
    QString error() const { return prompts.lastText(); }
    // "Записать" with one field's text changed, on a fresh log: the writes it sent.
    Writes writeWith(const char* field, const char* text) {
        module.clearLog();
        prompts.shown.clear();
        edit(field)->setText(QString::fromUtf8(text));
        press("btWrite");
        return module.writes();
    }

    // A module whose every service register holds something to show.
    void fillModule() {
        module.setReg(258, 96);
        module.setReg(259, 1);
        module.setReg(0, 2);
        module.setReg(1, 4097);
        module.setReg(3, 0x0203);
        module.setReg(2, 0x3A75);
        module.setReg(256, 0xE915);
    }
    // Everything "Записать" needs, as defaults plus a registration number.
    void fillFields() {
        dialog->btDefClick();
        combo("cbAlpha")->setCurrentIndex(2); // C
        edit("edNumber")->setText(QStringLiteral("15"));
        edit("edManuf")->setText(QStringLiteral("21.09.14"));
    }

    std::unique_ptr<TModPars> dialog;
};

} // namespace qmt::test
