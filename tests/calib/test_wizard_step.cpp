// The step dialog itself: its look, and Enter meaning "Далее >>" wherever the
// focus is when a step shows.
#include "WizardFixture.h"

#include "TextFit.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTest>

namespace qmt::test {
namespace {

// Enter means "Далее >>" at every step: in the entry field, and with the
// field hidden, where the focus once fell on "<< Назад".
TEST_F(WizardTest, EnterGoesOnAtEveryStep) {
    wizard.password();
    for (int value : {421, 20000, -9830, 9830})
        wizard.pressEnter([value](TCalibr1* d) { d->Edit1->setText(QString::number(value)); });
    for (int i = 0; i < 3; ++i) {
        wizard.pressEnter([this, i](TCalibr1* d) {
            EXPECT_FALSE(d->btPrev->isHidden());
            connect(i, wired(InputConnection::VoltageOutput, 1));
        });
    }
    wizard.pressEnter([this](TCalibr1*) { connect(0, wired(InputConnection::CurrentOutput, 1)); });
    wizard.cancel();
    ASSERT_TRUE(wizard.run(&owner));
    EXPECT_EQ(prompts.shown.size(), 1u) << prompts.lastText().toStdString();
    std::vector<QString> captions;
    for (int step = 1; step <= 9; ++step)
        captions.push_back(stepCaption(step));
    EXPECT_EQ(wizard.captions, captions);
    EXPECT_EQ(wizard.focused, (std::vector<QString>{"Edit1", "Edit1", "Edit1", "Edit1", "btNext",
                                                    "btNext", "btNext", "btNext"}));
}

TEST_F(InputsOnlyWizardTest, EnterGoesOnAtEveryStep) {
    wizard.password();
    auto apply = [this](int input, int millivolts) {
        wizard.pressEnter([this, input, millivolts](TCalibr1*) {
            connect(input, source(InputConnection::VoltageSource, millivolts));
        });
    };
    apply(0, 10000);
    apply(0, -10000);
    // Back with the mouse, which leaves the focus on "<< Назад"...
    wizard.step(
        [](TCalibr1* d) {
            d->show();
            EXPECT_TRUE(QTest::qWaitForWindowActive(d));
            QTest::mouseClick(d->btPrev, Qt::LeftButton);
            EXPECT_EQ(d->focusWidget(), d->btPrev);
        },
        "btPrev");
    // ...and the step before still goes on with Enter.
    apply(0, -10000);
    apply(1, 10000);
    wizard.cancel();
    ASSERT_TRUE(wizard.run(&owner));
    EXPECT_EQ(prompts.shown.size(), 1u) << prompts.lastText().toStdString();
    EXPECT_EQ(wizard.captions,
              (std::vector<QString>{stepCaption(1), stepCaption(2), stepCaption(3), stepCaption(2),
                                    stepCaption(3), stepCaption(4)}));
    EXPECT_EQ(wizard.focused, (std::vector<QString>{"btNext", "btNext", "btNext", "btNext"}));
}

TEST_F(WizardTest, StepDialogLooksAsDesigned) {
    wizard.password();
    wizard.step([](TCalibr1* d) {
        EXPECT_EQ(d->size(), QSize(431, 123));
        EXPECT_FALSE(d->windowFlags() & Qt::WindowCloseButtonHint);
        EXPECT_TRUE(d->btNext->isDefault());
        EXPECT_EQ(d->btPrev->text(), QStringLiteral("<< Назад"));
        EXPECT_EQ(d->btCancel->text(), QStringLiteral("Отмена"));
        d->Edit1->setText(QStringLiteral("421"));
    });
    wizard.type(20000);
    wizard.type(-9830);
    wizard.step(
        [](TCalibr1* d) {
            // The widest texts of both sequences, on a step with every control.
            d->show();
            for (const char* text : {"Введите измеренное значение напряжения(мВ)",
                                     "Переставьте перемычки XK3,XK5,XK7 на XK4,XK6,XK8"}) {
                d->lbTip->setText(QString::fromUtf8(text));
                EXPECT_EQ(clippedTextReport(d), "") << text;
            }
            d->lbTip->setText(QStringLiteral("Введите измеренное значение напряжения(мВ)"));
            for (const char* text :
                 {"Соедините выход напряжения со входом 3 (клеммы 15-\"+\" 16-\"-\")",
                  "Подайте на вход 3 (клеммы 15-\"+\" 16-\"-\") напряжение +10 В",
                  "Соедините выход тока со входом 1 в отрицательной полярности"}) {
                d->lbInstr->setText(QString::fromUtf8(text));
                EXPECT_EQ(clippedTextReport(d), "") << text;
            }
            d->lbInstr->setText(
                QStringLiteral("Введите напряжение на выходе (клеммы 7-\"+\" 8-\"-\")"));
            d->Edit1->setText(QStringLiteral("9830"));
            const QByteArray target = qgetenv("QMT_GRAB_DIR");
            if (!target.isEmpty())
                d->grab().save(QDir(QString::fromLocal8Bit(target)).filePath("TCalibr1.png"));
            d->hide();
        },
        "btCancel");
    ASSERT_TRUE(wizard.run(&owner));
}

} // namespace
} // namespace qmt::test
