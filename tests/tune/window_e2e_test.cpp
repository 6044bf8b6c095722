// The tuning window against the simulator: the output step refused with its
// reason before any write, a test to its end with the model and the proposal
// shown, the proposal written after a confirmation, and the regulator
// restored on "Отмена" and on closing the window.
#include "BumpOnSimulator.h"

#include "link/RegisterMap.h"
#include "tune/TTune.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>

using namespace qmt;

namespace {

constexpr uint16_t kControl = reg::PidWord(0, reg::pid::PIDControl);
constexpr uint16_t kXfo = reg::LiveBlock(0) + reg::live::Xfo;

class TuneWindow : public test::BumpOnSimulator {
protected:
    void SetUp() override {
        BumpOnSimulator::SetUp();
        startWith({"--plant", "1:0.8,10,1", "--time-scale", "20", "--noise", "0"});
        // At rest in forced output, Y at 0: the state the test must leave as it found it.
        WriteRegister(kXfo, 0);
        WriteRegister(kControl, reg::pid::ForcedOutput);
        window = std::make_unique<TTune>();
        window->show();
    }
    void TearDown() override {
        window.reset();
        BumpOnSimulator::TearDown();
    }
    template <class T> T* find(const char* name) {
        return window->findChild<T*>(QLatin1String(name));
    }
    void click(const char* name) { find<QPushButton>(name)->click(); }
    void expectRestored() {
        EXPECT_EQ(sim.registerValue(kControl), reg::pid::ForcedOutput);
        EXPECT_EQ(sim.registerValue(kXfo), 0);
        EXPECT_EQ(writes().back().substr(0, 28), "< 01 10 01 12 00 01 02 00 01");
    }
    test::ScaledClock clock{20};
    test::FakeStatus status;
    std::unique_ptr<TTune> window;
};

TEST_F(TuneWindow, RefusesABadStepBeforeAnyWrite) {
    WriteRegister(reg::PidWord(0, reg::pid::Ymax), 1000);
    const size_t before = writes().size();
    const struct {
        const char* text;
        const char* says;
    } cases[] = {
        {"0x1F", "Скачок выхода ΔY: нужно целое число"}, {"12abc", "Скачок выхода ΔY: нужно целое число"},
        {"", "Скачок выхода ΔY: нужно целое число"},     {"1,5", "Скачок выхода ΔY: нужно целое число"},
        {"40000", "Скачок выхода ΔY: нужно целое число"}, {"0", "Скачок выхода ΔY: нужно целое число"},
        {"1500", "больше верхней границы Ymax = 1000"},   {"-30000", "меньше нижней границы Ymin = -20000"},
    };
    for (const auto& c : cases) {
        find<QLineEdit>("edStep")->setText(QString::fromUtf8(c.text));
        click("btStart");
        EXPECT_TRUE(prompts.lastText().contains(QString::fromUtf8(c.says)))
            << c.text << ": " << prompts.lastText().toStdString();
        EXPECT_EQ(writes().size(), before) << c.text;
        EXPECT_EQ(find<QLineEdit>("edStep")->text(), QString::fromUtf8(c.text)); // kept as typed
    }
    // The engineer says no: nothing is written either.
    find<QLineEdit>("edStep")->setText(QStringLiteral("500"));
    prompts.answers.push_back(QMessageBox::No);
    click("btStart");
    EXPECT_EQ(writes().size(), before);
}

TEST_F(TuneWindow, ATestShowsTheModelAndWritesTheProposalOnConfirmation) {
    find<QLineEdit>("edStep")->setText(QStringLiteral("1000"));
    click("btStart");
    ASSERT_TRUE(prompts.lastText().contains(QStringLiteral("объект придёт в движение")));
    EXPECT_FALSE(status.alerting.isEmpty()); // not restored yet
    QTRY_COMPARE_WITH_TIMEOUT(window->test().phase(), tune::BumpTest::Phase::Done, 30000);
    expectRestored();
    EXPECT_TRUE(status.alerting.isEmpty());
    const QString model = find<QLabel>("lbModel")->text();
    const auto k = QRegularExpression(QStringLiteral("^K = (\\d+),(\\d+), T = ")).match(model);
    ASSERT_TRUE(k.hasMatch()) << model.toStdString();
    EXPECT_NEAR((k.captured(1) + QLatin1Char('.') + k.captured(2)).toDouble(), 0.8, 0.04);
    const QTableWidget* grid = find<QTableWidget>("sgProposal");
    ASSERT_NE(grid->item(0, 3), nullptr);
    const QString kp = grid->item(0, 3)->text(), ti = grid->item(1, 3)->text();

    const size_t before = writes().size();
    click("btWrite");
    const QString asked = prompts.lastText();
    EXPECT_TRUE(asked.contains(QStringLiteral("Kp 100 → ") + kp)) << asked.toStdString();
    EXPECT_TRUE(asked.contains(QStringLiteral("Ti 65535 → ") + ti)) << asked.toStdString();
    const auto w = writes();
    ASSERT_EQ(w.size(), before + 3); // Kp, Ti, Td and nothing else
    EXPECT_EQ(w[before].substr(0, 13), "< 01 10 01 0B");
    EXPECT_EQ(w[before + 2].substr(0, 13), "< 01 10 01 0D");
    EXPECT_EQ(sim.registerValue(reg::PidWord(0, reg::pid::Kp)), kp.toLong());
    EXPECT_TRUE(status.confirmations.last().startsWith(QStringLiteral("ПИД1: записаны Kp ")));

    // "Проверить" on the loop in automatic at rest (set point at Xm, integrator at Y).
    const int16_t xm = int16_t(ReadRegister(reg::LiveBlock(0) + reg::live::Xm));
    WriteRegister(reg::PidWord(0, reg::pid::XsDef), uint16_t(xm));
    WriteRegister(reg::LiveBlock(0) + reg::live::Ival, 0);
    WriteRegister(reg::LiveBlock(0) + reg::live::State, reg::live::SetIntegrator);
    WriteRegister(kControl, 0);
    click("btVerify");
    QTRY_VERIFY_WITH_TIMEOUT(!window->check().restorePending(), 30000);
    const QString figures = find<QLabel>("lbVerify")->text();
    EXPECT_TRUE(figures.contains(QStringLiteral("Прогноз: нарастание "))) << figures.toStdString();
    EXPECT_TRUE(figures.contains(QStringLiteral("Измерено: нарастание "))) << figures.toStdString();
    EXPECT_EQ(int16_t(sim.registerValue(reg::PidWord(0, reg::pid::XsDef))), xm); // put back
    EXPECT_GT(window->check().xm().back(), xm + 150); // the loop followed the 200 step
}

TEST_F(TuneWindow, CancelAndCloseRestore) {
    for (bool close : {false, true}) {
        SCOPED_TRACE(close ? "window closed" : "Отмена");
        find<QLineEdit>("edStep")->setText(QStringLiteral("500"));
        window->show();
        click("btStart");
        QTRY_VERIFY_WITH_TIMEOUT(window->test().stepped(), 10000);
        if (close)
            window->close();
        else
            click("btStop");
        EXPECT_EQ(window->test().end(), tune::BumpTest::End::Cancelled);
        EXPECT_FALSE(window->test().restorePending());
        expectRestored();
    }
}

} // namespace
