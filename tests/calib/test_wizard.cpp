// The calibration wizard on the fake module: both sequences end to end with
// an ideal meter and sources, and the ways a run can go back, refuse a value
// or end early. The fake module runs no time, so its readings carry no noise.
#include "WizardFixture.h"

#include "TextFit.h"
#include "dialogs/PackedDate.h"

#include <QApplication>
#include <QLineEdit>

#include <cmath>

namespace qmt::test {
namespace {

TEST_F(WizardTest, FullRunCalibratesOutputAndInputs) {
    wizard.password();
    measureOutput();
    wireInputs();
    FakeStatus status;
    wizard.step([&status](TCalibr1* d) {
        // The last step says the run is complete and what it wrote.
        EXPECT_EQ(d->lbInstr->text(), QStringLiteral("Калибровка завершена. Нажмите «Финиш»."));
        EXPECT_EQ(d->lbTip->text(), QStringLiteral("Записаны коэффициенты: выход, входы 1–3"));
        d->show();
        EXPECT_EQ(clippedTextReport(d), "");
        EXPECT_TRUE(status.confirmations.isEmpty());        // not before "Финиш"
        EXPECT_EQ(QApplication::overrideCursor(), nullptr); // not while the engineer works
    });
    int idleWaits = 0;    // waits without the wait cursor
    QStringList settling; // what the status bar says during each 2 s wait
    clock.onSleep = [&](int ms) {
        idleWaits += QApplication::overrideCursor() == nullptr;
        if (ms == 2000) settling << status.current;
    };
    ASSERT_TRUE(wizard.run(&owner)) << prompts.lastText().toStdString();
    EXPECT_EQ(idleWaits, 0);
    EXPECT_EQ(settling, QStringList(12, QStringLiteral("Калибровка: ожидание 2 с")));
    EXPECT_EQ(status.confirmations,
              QStringList{QStringLiteral("Калибровка завершена: выход, входы 1–3")});
    EXPECT_TRUE(status.progressTexts.size() == 12) << status.progressTexts.size();

    // Only the confirmation was asked; no value was refused.
    ASSERT_EQ(prompts.shown.size(), 1u) << prompts.lastText().toStdString();
    EXPECT_EQ(prompts.shown[0].text,
              QStringLiteral("Калибровочные коэффициенты будут переписаны!\nПродолжить?"));
    EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("Внимание!"));
    EXPECT_EQ(prompts.shown[0].owner, &owner);
    ASSERT_EQ(wizard.captions.size(), 14u);
    EXPECT_EQ(wizard.captions.front(), stepCaption(1));
    EXPECT_EQ(wizard.captions.back(), stepCaption(14));
    EXPECT_EQ(wizard.nextTexts.back(), QStringLiteral("Финиш"));
    EXPECT_EQ(wizard.nextTexts[12], QStringLiteral("Далее >>"));

    EXPECT_EQ(block(36), (std::vector<uint16_t>{51116, 0, 0}));
    EXPECT_EQ(block(20), (std::vector<uint16_t>{52428, 0, 8192}));
    EXPECT_EQ(module.reg(256), Today);
    for (uint16_t i = 0; i < 3; ++i)
        EXPECT_EQ(module.reg(48 + i), 40);
    EXPECT_EQ(module.reg(51), 0);
    EXPECT_EQ(std::count(clock.sleeps.begin(), clock.sleeps.end(), 2000), 12);
    checkPortRestored();

    // The calibrated module tells true values.
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(valueAt(i, 2, source(InputConnection::VoltageSource, 3000)), 3000, 15) << i;
        EXPECT_NEAR(valueAt(i, 1, source(InputConnection::CurrentSource, -15000)), -15000, 30) << i;
    }
    module.setReg(1027, 12000); // current mode: µA
    EXPECT_NEAR(module.module().outputMicroamps(), 12000, 3);
    module.setReg(59, 2);
    module.setReg(1027, static_cast<uint16_t>(-4321));
    EXPECT_NEAR(module.module().outputMillivolts(), -4321, 3);
}

TEST_F(WizardTest, StepsShowTheirTextsAndWriteTheOutputCodeFirst) {
    wizard.password();
    std::vector<int> codes;
    for (int m = 0; m < 4; ++m) {
        wizard.step([this, &codes, m](TCalibr1* d) {
            codes.push_back(module.reg(1027));
            EXPECT_FALSE(d->Edit1->isHidden());
            EXPECT_TRUE(d->Edit1->text().isEmpty());
            EXPECT_EQ(d->btPrev->isHidden(), m == 0);
            EXPECT_EQ(d->Edit1->maxLength(), 5);
            d->Edit1->setText(QString::number(std::lround(m < 2 ? microamps() : millivolts())));
        });
    }
    wizard.step(
        [](TCalibr1* d) {
            EXPECT_TRUE(d->Edit1->isHidden());
            EXPECT_EQ(
                d->lbInstr->text(),
                QStringLiteral("Соедините выход напряжения со входом 1 (клеммы 9-\"+\" 10-\"-\")"));
            EXPECT_EQ(d->lbTip->text(), QStringLiteral("Установите перемычки XK3,XK5,XK7"));
        },
        "btCancel");
    ASSERT_TRUE(wizard.run(&owner));
    EXPECT_EQ(codes, (std::vector<int>{328, 15599, 328, 16056}));
    EXPECT_EQ(module.reg(59), 2); // voltage output for the voltage steps
}

TEST_F(WizardTest, TypedValuesOutsideTheirToleranceAreRefused) {
    const struct {
        int value;
        bool passes;
    } cases[] = {{221, true}, {621, true}, {220, false}, {622, false}};
    for (const auto& c : cases) {
        prompts.shown.clear();
        wizard.captions.clear();
        wizard.password();
        wizard.type(c.value);
        wizard.cancel();
        ASSERT_TRUE(wizard.run(&owner));
        ASSERT_EQ(wizard.captions.size(), 2u);
        EXPECT_EQ(wizard.captions[1], stepCaption(c.passes ? 2 : 1)) << c.value;
        if (c.passes) {
            EXPECT_EQ(prompts.shown.size(), 1u) << c.value;
        } else {
            EXPECT_EQ(prompts.lastText(), calibError(c.value));
        }
    }
}

TEST_F(WizardTest, TextThatIsNoIntegerIsAskedAgain) {
    for (const char* text : {"abc", "", "12.5", "4 21"}) {
        prompts.shown.clear();
        wizard.captions.clear();
        wizard.password();
        wizard.step([text](TCalibr1* d) { d->Edit1->setText(QLatin1String(text)); });
        wizard.step([](TCalibr1* d) { EXPECT_TRUE(d->Edit1->text().isEmpty()); }, "btCancel");
        ASSERT_TRUE(wizard.run(&owner));
        EXPECT_EQ(wizard.captions, (std::vector<QString>{stepCaption(1), stepCaption(1)})) << text;
        EXPECT_EQ(prompts.lastText(), QStringLiteral("Введите корректное значение!")) << text;
        EXPECT_EQ(prompts.shown.back().caption, QStringLiteral("Ошибка!"));
        EXPECT_EQ(prompts.shown.back().icon, MsgIcon::Error);
    }
}

TEST_F(WizardTest, EitherSignOfTheFirstVoltageGivesTheSameBlock) {
    std::vector<std::vector<uint16_t>> blocks;
    for (int sign : {1, -1}) {
        wizard.password();
        wizard.type(421);
        wizard.type(20000);
        wizard.type(sign * 9830);
        wizard.type(9830);
        wizard.cancel();
        ASSERT_TRUE(wizard.run(&owner));
        blocks.push_back(block(20));
    }
    EXPECT_EQ(blocks[0], (std::vector<uint16_t>{52428, 0, 8192}));
    EXPECT_EQ(blocks[1], blocks[0]);
}

// A meter wired the other way round reads the positive end of the output as
// negative: code 16056 is the positive end whatever the sign typed. Both signs
// alike once gave two equal readings or a gain of half a billion.
TEST_F(WizardTest, AReversedSecondVoltageGivesASaneBlock) {
    const struct {
        int u1, u2;
        std::vector<uint16_t> block;
    } cases[] = {
        {9830, -9828, {52434, 0, 8192}}, // gain 0.80, not 515 million
        {-9830, -9830, {52428, 0, 8192}},
        {9830, -9830, {52428, 0, 8192}},
        {-9830, 9828, {52434, 0, 8192}},
    };
    for (const auto& c : cases) {
        prompts.shown.clear();
        wizard.captions.clear();
        module.setReg(256, 0);
        wizard.password();
        wizard.type(421);
        wizard.type(20000);
        wizard.type(c.u1);
        wizard.type(c.u2);
        wizard.cancel();
        ASSERT_TRUE(wizard.run(&owner));
        EXPECT_EQ(prompts.shown.size(), 1u) << c.u2 << ": " << prompts.lastText().toStdString();
        ASSERT_EQ(wizard.captions.size(), 5u) << c.u2;
        EXPECT_EQ(wizard.captions[4], stepCaption(5)) << c.u2;
        EXPECT_EQ(block(20), c.block) << c.u1 << " " << c.u2;
        EXPECT_EQ(module.reg(256), Today);
    }
}

TEST_F(WizardTest, BackToTheFirstStepWritesTheNeutralBlocksAgain) {
    wizard.password();
    wizard.type(421);
    wizard.step([this](TCalibr1*) { module.clearLog(); }, "btPrev");
    wizard.step(
        [this](TCalibr1* d) {
            EXPECT_TRUE(d->btPrev->isHidden());
            Writes expected;
            for (int b = 8; b <= 36; b += 4) {
                expected.push_back("1912=27437");
                for (int w = 0; w < 3; ++w)
                    expected.push_back(std::to_string(b + w) + "=" + (w == 1 ? "1" : "0"));
            }
            expected.insert(expected.end(), {"1912=27437", "56=1", "1027=328"});
            EXPECT_EQ(module.writes(), expected);
        },
        "btCancel");
    ASSERT_TRUE(wizard.run(&owner));
    EXPECT_EQ(wizard.captions,
              (std::vector<QString>{stepCaption(1), stepCaption(2), stepCaption(1)}));
}

TEST_F(WizardTest, BackFromTheLastStepRepeatsTheOneBefore) {
    wizard.password();
    measureOutput();
    wireInputs();
    wizard.back();
    wizard.step([this](TCalibr1* d) {
        EXPECT_EQ(d->btNext->text(), QStringLiteral("Далее >>"));
        module.clearLog();
    });
    // The step's action ran again, with the coefficients the module now holds:
    // input 3 reads a calibrated value, far from the raw count expected.
    wizard.step(
        [this](TCalibr1*) {
            EXPECT_TRUE(module.log.back().function == 3 && module.log.back().address == 1026);
            EXPECT_TRUE(module.writes() >= (Writes{"1912=27437", "59=1", "1027=19960"}));
        },
        "btCancel");
    ASSERT_TRUE(wizard.run(&owner));
    ASSERT_EQ(wizard.captions.size(), 16u);
    EXPECT_EQ(wizard.captions[14], stepCaption(13));
    EXPECT_EQ(wizard.captions[15], stepCaption(13));
    EXPECT_EQ(prompts.lastText(), calibError(static_cast<int16_t>(module.reg(1026))));
    EXPECT_GT(std::abs(static_cast<int16_t>(module.reg(1026)) - 509), 80);
}

TEST_F(WizardTest, CancelKeepsWhatWasWrittenAndRestoresThePort) {
    wizard.password();
    measureOutput();
    wireVoltage(0);
    wizard.cancel(); // the sixth step
    FakeStatus status;
    ASSERT_TRUE(wizard.run(&owner));
    EXPECT_EQ(wizard.captions.back(), stepCaption(6));
    EXPECT_TRUE(status.confirmations.isEmpty()); // a run cut short is not "завершена"
    EXPECT_TRUE(status.current.isEmpty());
    EXPECT_EQ(block(36), (std::vector<uint16_t>{51116, 0, 0}));
    EXPECT_EQ(block(20), (std::vector<uint16_t>{52428, 0, 8192}));
    for (uint16_t b : {8, 12, 16, 24, 28, 32})
        EXPECT_EQ(block(b), (std::vector<uint16_t>{0, 1, 0})) << b;
    EXPECT_EQ(module.reg(256), Today);
    EXPECT_EQ(PortSettings.address, 1);
    checkPortRestored();
}

TEST_F(WizardTest, ACommunicationFailureEndsTheRunOnTheProgramsOwnStation) {
    answerAnyStation();
    PortSettings.address = 9;
    wizard.password();
    wizard.type(421);
    wizard.step([this](TCalibr1*) { module.silent = true; });
    EXPECT_FALSE(wizard.run(&owner));
    EXPECT_EQ(prompts.lastText(), QStringLiteral("Нет ответа!"));
    EXPECT_EQ(wizard.captions.size(), 2u);
    EXPECT_EQ(PortSettings.address, 9);
    checkPortRestored();
    for (const Request& request : module.log) // the type read included
        EXPECT_EQ(request.station, 1);
}

// The port at 9600 baud, no parity; the module answers only at the
// calibration settings, as a module on its factory settings does.
TEST_F(WizardTest, TheModuleTypeIsReadAtTheCalibrationSettings) {
    module.failWhen = [this](const Request&) {
        const bool calibration = !module.opens.empty() && module.opens.back().baud == 19200 &&
                                 module.opens.back().parity == 2;
        return calibration ? 0 : 14;
    };
    PortSettings.address = 9;
    wizard.password();
    wizard.cancel();
    ASSERT_TRUE(wizard.run(&owner));
    ASSERT_EQ(wizard.captions.size(), 1u) << prompts.lastText().toStdString();
    EXPECT_EQ(module.requests().front(), "3:0:1");
    EXPECT_EQ(module.log.front().status, 0);
    EXPECT_EQ(PortSettings.address, 9);
    checkPortRestored();
}

TEST_F(WizardTest, NothingIsWrittenWithoutPasswordConfirmationOrKnownType) {
    wizard.password(QStringLiteral("не тот"));
    ASSERT_TRUE(wizard.run(&owner));
    EXPECT_TRUE(module.log.empty());
    EXPECT_EQ(prompts.texts(), QStringList{QStringLiteral("Неправильный пароль!")});

    prompts.shown.clear();
    wizard.password();
    prompts.answers.push_back(QMessageBox::No);
    ASSERT_TRUE(wizard.run(&owner));
    EXPECT_TRUE(module.log.empty());

    for (uint16_t type : {uint16_t(5), uint16_t(0)}) {
        module.setReg(0, type);
        prompts.shown.clear();
        wizard.password();
        ASSERT_TRUE(wizard.run(&owner));
        EXPECT_EQ(prompts.lastText(), QStringLiteral("Неизвестный тип модуля!"));
        EXPECT_EQ(prompts.shown.back().caption, QStringLiteral("Ошибка!"));
        EXPECT_TRUE(module.writes().empty());
        EXPECT_EQ(module.opens.size(), 2u); // the type at the calibration settings, then back
        checkPortRestored();
        module.opens.clear();
    }
    EXPECT_TRUE(wizard.captions.empty());
}

TEST_F(InputsOnlyWizardTest, FullRunWithReferenceSources) {
    wizard.password();
    for (int i = 0; i < 3; ++i)
        for (int volts : {10000, -10000})
            wizard.step([this, i, volts](TCalibr1* d) {
                EXPECT_TRUE(d->Edit1->isHidden());
                connect(i, source(InputConnection::VoltageSource, volts));
            });
    for (int i = 0; i < 3; ++i)
        for (int microamps : {20000, -20000})
            wizard.step([this, i, microamps](TCalibr1*) {
                connect(i, source(InputConnection::CurrentSource, microamps));
            });
    wizard.step([](TCalibr1* d) {
        EXPECT_EQ(d->btNext->text(), QStringLiteral("Финиш"));
        EXPECT_EQ(d->lbInstr->text(), QStringLiteral("Калибровка завершена. Нажмите «Финиш»."));
        EXPECT_EQ(d->lbTip->text(), QStringLiteral("Записаны коэффициенты: входы 1–3"));
    });
    FakeStatus status;
    ASSERT_TRUE(wizard.run(&owner));
    ASSERT_EQ(prompts.shown.size(), 1u) << prompts.lastText().toStdString();
    ASSERT_EQ(wizard.captions.size(), 13u);
    EXPECT_EQ(status.confirmations, QStringList{QStringLiteral("Калибровка завершена: входы 1–3")});

    for (uint16_t b : {8, 12, 16})
        EXPECT_EQ(block(b), (std::vector<uint16_t>{40706, 5, 54024})) << b;
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(valueAt(i, 1, source(InputConnection::CurrentSource, 15000)), 15000, 30) << i;
    // The output is not touched in this sequence.
    EXPECT_EQ(block(20), (std::vector<uint16_t>{0, 1, 0}));
    EXPECT_EQ(block(36), (std::vector<uint16_t>{0, 1, 0}));
    for (const Request& r : module.log) {
        EXPECT_NE(r.address, 1027);
        EXPECT_NE(r.address, 51);
    }
    EXPECT_EQ(module.reg(57), 1);
    EXPECT_EQ(module.reg(58), 1);
    EXPECT_EQ(module.reg(256), Today);
    EXPECT_EQ(std::count(clock.sleeps.begin(), clock.sleeps.end(), 100), 9);
    EXPECT_EQ(std::count(clock.sleeps.begin(), clock.sleeps.end(), 2000), 0);
    checkPortRestored();
}

TEST_F(InputsOnlyWizardTest, ReadingOutOfToleranceIsRefusedAndRepeated) {
    wizard.password();
    wizard.step([this](TCalibr1*) { connect(0, source(InputConnection::VoltageSource, 9500)); });
    wizard.step([this](TCalibr1*) { connect(0, source(InputConnection::VoltageSource, 10000)); });
    wizard.cancel();
    ASSERT_TRUE(wizard.run(&owner));
    // 2048 + 9500 * 0.1779 counts: 3738, 89 below the expected 3827.
    EXPECT_EQ(prompts.lastText(), calibError(3738));
    EXPECT_EQ(wizard.captions,
              (std::vector<QString>{stepCaption(1), stepCaption(1), stepCaption(2)}));
}

} // namespace
} // namespace qmt::test
