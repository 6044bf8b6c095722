// The status bar's message pane: progress of the configuration transfer, the
// confirmations of transfers and files, and that nothing else runs meanwhile.
#include "PidConfFixture.h"
#include "TryExpect.h"

#include "TextFit.h"
#include "link/StatusReport.h"

#include <QAction>
#include <QDir>
#include <QFile>

namespace qmt::test {
namespace {

QLabel* messagePane(TPidConf* window) {
    auto* label = window->findChild<QLabel*>(QStringLiteral("StatusMessage"));
    EXPECT_NE(label, nullptr);
    return label;
}

void trigger(TPidConf* window, const char* action) {
    auto* a = window->findChild<QAction*>(QLatin1String(action));
    ASSERT_NE(a, nullptr) << action;
    a->trigger();
}

class StatusTest : public PidConfTest {
protected:
    explicit StatusTest(const sim::ModuleOptions& options = {}) : PidConfTest(options) {}
    void SetUp() override {
        PidConfTest::SetUp();
        pane = messagePane(window.get());
        // The supervision, fake in what it does: it only counts its ticks, at
        // the shortest interval, so any tick let through would show.
        window->linkTimer()->disconnect();
        window->linkTimer()->setInterval(0);
        QObject::connect(window->linkTimer(), &QTimer::timeout, [this] { ++ticks; });
    }
    QLabel* pane = nullptr;
    int ticks = 0;
};

TEST_F(StatusTest, AWriteCountsItsRegistersWhileNoTimerRunsAndThenConfirms) {
    QStringList during;
    std::vector<int> ticksSeen;
    clock.onSleep = [&](int) {
        during << pane->text();
        ticksSeen.push_back(ticks);
    };
    window->linkTimer()->start();
    trigger(window.get(), "miWriteConf");
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();

    // One wait after each of the 53 registers before the PWM blocks.
    ASSERT_EQ(during.size(), 53);
    EXPECT_EQ(during.front(), QStringLiteral("Запись конфигурации: 1 из 63"));
    EXPECT_EQ(during[22], QStringLiteral("Запись конфигурации: 23 из 63"));
    EXPECT_EQ(during.back(), QStringLiteral("Запись конфигурации: 53 из 63"));
    EXPECT_EQ(ticksSeen, std::vector<int>(53, 0));
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(pane->text(), QStringLiteral("Конфигурация записана: 63 регистра"));

    // The timers were live all along: they run once the write is over.
    QMT_TRY_ASSERT(ticks > 0);
    window->linkTimer()->stop();
}

TEST_F(StatusTest, TheConfirmationGoesAfterAFewSeconds) {
    auto* timer = window->findChild<QTimer*>(QStringLiteral("tmStatus"));
    ASSERT_NE(timer, nullptr);
    window->miReadConfClick();
    EXPECT_EQ(pane->text(), QStringLiteral("Конфигурация прочитана: 63 регистра"));
    EXPECT_TRUE(timer->isActive());
    EXPECT_GE(timer->interval(), 2000);
    EXPECT_LE(timer->interval(), 10000);
    timer->setInterval(1);
    timer->start();
    QMT_TRY_ASSERT(pane->text().isEmpty());
}

TEST_F(StatusTest, AReadShowsItsProgressAndAFailureLeavesNoTextButTheBox) {
    QStringList during;
    module.failWhen = [&](const Request&) {
        during << pane->text();
        return 0;
    };
    window->miReadConfClick();
    ASSERT_FALSE(during.isEmpty());
    EXPECT_EQ(during.front(), QStringLiteral("Чтение конфигурации: 0 из 63"));
    EXPECT_TRUE(during.contains(QStringLiteral("Чтение конфигурации: 14 из 63")));

    // Failures, of a read and of a write, keep their boxes and say nothing here.
    module.failWhen = [](const Request& r) { return r.function == 3 ? 19 : 0; };
    trigger(window.get(), "miReadConf");
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_TRUE(pane->text().isEmpty()) << pane->text().toStdString();
    module.failWhen = [](const Request& r) { return r.function != 3 ? 19 : 0; };
    trigger(window.get(), "miWriteConf");
    EXPECT_EQ(prompts.shown.size(), 2u);
    EXPECT_TRUE(pane->text().isEmpty()) << pane->text().toStdString();
}

class OldFirmwareStatusTest : public StatusTest {
protected:
    static sim::ModuleOptions oldFirmware() {
        sim::ModuleOptions o;
        o.firmware = 0x0105;
        return o;
    }
    OldFirmwareStatusTest() : StatusTest(oldFirmware()) {}
};

TEST_F(OldFirmwareStatusTest, AWriteCountsWhatWasWritten) {
    window->miWriteConfClick();
    EXPECT_EQ(pane->text(), QStringLiteral("Конфигурация записана: 53 регистра"));
}

TEST_F(StatusTest, FilesSavedAndLoadedAreNamed) {
    const QString path = dir.filePath(QStringLiteral("установка.pid"));
    prompts.saveAnswers.push_back(path);
    trigger(window.get(), "miFileSaveAs");
    EXPECT_EQ(pane->text(), QStringLiteral("Сохранено: установка.pid"));
    trigger(window.get(), "miFileNew");
    trigger(window.get(), "miFileSave");
    EXPECT_EQ(pane->text(), QStringLiteral("Сохранено: установка.pid"));
    prompts.openAnswers.push_back(path);
    trigger(window.get(), "miFileOpen");
    EXPECT_EQ(pane->text(), QStringLiteral("Загружено: установка.pid"));
    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
}

TEST_F(StatusTest, EveryNoteFitsBesideThePortAndLinkPanes) {
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const char* notes[] = {"Запись конфигурации: 63 из 63",
                           "Чтение конфигурации: 63 из 63",
                           "Конфигурация прочитана: 63 регистра",
                           "Конфигурация записана: 63 регистра",
                           "Запись сервисных параметров: 5 из 5",
                           "Сервисные параметры записаны в модуль",
                           "Значения записаны в модуль",
                           "Нет связи: значения только в конфигурации",
                           "Калибровка: ожидание 2 с",
                           "Калибровка завершена: выход, входы 1–3",
                           "Поиск модуля № Z2047 на /dev/ttyUSB1, все скорости",
                           "Сохранено: установка насоса 3.pid"};
    for (const char* note : notes) {
        const QString text = QString::fromUtf8(note);
        status().progress(text);
        EXPECT_EQ(pane->text(), text);
        EXPECT_EQ(clippedTextReport(window.get()), "") << note;
        status().confirm(text);
        EXPECT_EQ(pane->text(), text);
    }
    // A file name too long for the pane is shortened, and whole in the tool tip.
    const QString longName = QStringLiteral("Сохранено: ") + QString(160, QLatin1Char('x'));
    status().confirm(longName);
    EXPECT_NE(pane->text(), longName);
    EXPECT_EQ(pane->toolTip(), longName);
    EXPECT_EQ(clippedTextReport(window.get()), "");
}

TEST(RegisterCountTest, AgreesWithItsNumber) {
    const std::pair<int, const char*> cases[] = {
        {1, "1 регистр"},     {2, "2 регистра"},      {4, "4 регистра"},  {5, "5 регистров"},
        {11, "11 регистров"}, {12, "12 регистров"},   {21, "21 регистр"}, {53, "53 регистра"},
        {63, "63 регистра"},  {111, "111 регистров"}, {0, "0 регистров"}, {122, "122 регистра"}};
    for (const auto& [count, text] : cases)
        EXPECT_EQ(RegisterCount(count), QString::fromUtf8(text)) << count;
}

} // namespace
} // namespace qmt::test
