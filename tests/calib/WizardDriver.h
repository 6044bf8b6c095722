#pragma once
// Answers the calibration wizard's windows through the modal seam: the
// password first, then one script per step that may type a reading or rewire
// the inputs before pressing a button. Captions of every step shown are kept.

#include "ServiceFixture.h"

#include "calib/Calibration.h"
#include "calib/TCalibr1.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <functional>
#include <string>
#include <vector>

namespace qmt::test {

struct WizardDriver {
    explicit WizardDriver(FakePrompts& p) : prompts(p) {}

    FakePrompts& prompts;
    std::vector<QString> captions; // of each step as it was shown
    std::vector<QString> nextTexts;

    void password(const QString& text = ServicePassword) {
        prompts.modalScripts.push_back(typePassword(text));
    }
    // One step: act on the dialog (type, rewire, look), then press the button.
    void step(std::function<void(TCalibr1*)> act = {}, const char* button = "btNext") {
        onStep(act, [button](TCalibr1& dialog) {
            auto* pressed = dialog.findChild<QPushButton*>(QLatin1String(button));
            EXPECT_NE(pressed, nullptr) << button;
            EXPECT_FALSE(pressed->isHidden()) << button;
            if (pressed) pressed->click();
        });
    }
    // One step answered with Enter on whatever has the focus when the step
    // shows, as the engineer answers it; the focused control's name is kept.
    void pressEnter(std::function<void(TCalibr1*)> act = {}) {
        onStep(act, [this](TCalibr1& dialog) {
            dialog.show();
            dialog.activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
            QWidget* focus = QApplication::focusWidget();
            focused.push_back(focus ? focus->objectName() : QString());
            QTest::keyClick(focus ? focus : &dialog, Qt::Key_Return);
            dialog.hide();
        });
    }
    std::vector<QString> focused; // by pressEnter, step by step

    void type(int value) {
        step([value](TCalibr1* d) { d->Edit1->setText(QString::number(value)); });
    }
    // Types the nominal reading, after checking that a meter on the output
    // shows it to within one unit.
    void typeReading(int nominal, std::function<double()> meter) {
        step([nominal, meter](TCalibr1* d) {
            EXPECT_NEAR(meter(), nominal, 1.0) << d->windowTitle().toStdString();
            d->Edit1->setText(QString::number(nominal));
        });
    }
    void cancel() { step({}, "btCancel"); }
    void back() { step({}, "btPrev"); }

    // Keeps the step's caption and button text, acts, then answers the step.
    void onStep(std::function<void(TCalibr1*)> act, std::function<void(TCalibr1&)> answerIt) {
        prompts.modalScripts.push_back(answer<TCalibr1>([this, act, answerIt](TCalibr1& dialog) {
            captions.push_back(dialog.windowTitle());
            nextTexts.push_back(dialog.btNext->text());
            if (act) act(&dialog);
            dialog.setResult(-1);
            answerIt(dialog);
            return dialog.result();
        }));
    }

    // The menu command as the user starts it: errors end in the error display.
    bool run(QWidget* owner) {
        return guarded([owner] { RunCalibration(owner); });
    }
};

inline QString stepCaption(int number) {
    return QStringLiteral("Калибровка - шаг ") + QString::number(number);
}

inline QString calibError(long value) {
    return QStringLiteral("Значение %1 выходит за пределы!\nПроверьте подключение цепей или "
                          "исправность модуля!")
        .arg(value);
}

} // namespace qmt::test
