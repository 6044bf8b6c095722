#pragma once
// The service functions on the in-process fake module, with scripted prompts
// and clock, and the start-up password dialog in its window object.

#include "Controls.h"
#include "FakeModuleFixture.h"

#include "dialogs/TPassword.h"
#include "link/Forms.h"
#include "link/PortSettings.h"

#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace qmt::test {

// The right password, as README gives it to service engineers.
inline const QString ServicePassword = QStringLiteral("ключ");

// A modal script that types the text into the password dialog and presses "ОК".
inline std::function<int(QDialog*)> typePassword(const QString& text) {
    return answer<TPassword>([text](TPassword& password) {
        password.setResult(QDialog::Rejected); // as a fresh modal run starts
        password.edPass->setText(text);
        password.btOK->click();
        return password.result();
    });
}

class ServiceTest : public OnFakeModule<> {
protected:
    explicit ServiceTest(const sim::ModuleOptions& options = {}) : OnFakeModule(options) {}

    void SetUp() override {
        PortSettings = TPortSettings{};
        Password = new TPassword;
    }
    void TearDown() override {
        delete Password;
        PortSettings = TPortSettings{};
    }

    // The module answers whatever station the program addresses, so a test
    // can change the program's station and still reach it.
    void answerAnyStation() {
        module.failWhen = [this](const Request& r) {
            if (module.module().address() != r.station) module.setReg(257, r.station);
            return 0;
        };
    }
};

} // namespace qmt::test
