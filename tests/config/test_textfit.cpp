// Every text of the main window, the port dialog and the wait window fits
// its widget at the program's font.
#include "PidConfFixture.h"
#include "TextFit.h"

#include "link/TParCOM.h"
#include "link/PortSettings.h"
#include "link/TfMess.h"

#include <QApplication>

#include <chrono>
#include <thread>

namespace qmt::test {
namespace {

TEST_F(PidConfTest, EveryTextFits) {
    window->show();
    EXPECT_EQ(clippedTextReport(window.get()), "");
    EXPECT_EQ(unframedItemReport(window.get()), "");

    TParCOM port;
    port.show();
    EXPECT_EQ(clippedTextReport(&port), "");

    TfMess wait(window.get());
    wait.show();
    EXPECT_EQ(clippedTextReport(&wait), "");
}

TEST_F(PidConfTest, StatusBarShowsALongPortTextWhole) {
    PortSettings.portName = QStringLiteral("/tmp/qmt584-demo.a81Xc2/ttySIM");
    PortSettings.baud = 115200;
    window->show();
    window->UpdatePortStatus(true);
    auto* text = window->findChild<QLabel*>(QStringLiteral("PortStatusText"));
    ASSERT_NE(text, nullptr);
    QApplication::sendPostedEvents();
    const QString expected = QStringLiteral("Открыт: /tmp/qmt584-demo.a81Xc2/ttySIM  115200 бод   Even");
    EXPECT_EQ(text->text(), expected);
    // The tooltip: the whole line, then the link's counts.
    EXPECT_TRUE(text->toolTip().startsWith(expected + QLatin1Char('\n') +
                                           QStringLiteral("Запросов: ")))
        << text->toolTip().toStdString();
    EXPECT_GE(text->contentsRect().width(), text->fontMetrics().horizontalAdvance(expected));
    EXPECT_GE(text->width(), 300);
}

// The search blocks the event loop; painting its wait window must not let a
// link check (and the configuration read it may start) run before it.
TEST_F(PidConfTest, WaitWindowPaintsWithoutRunningTimers) {
    window->linkTimer()->start(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the tick is due
    {
        TfMess wait(window.get());
        EXPECT_TRUE(module.log.empty());
    }
    // The held-back tick is not lost.
    for (int i = 0; i < 200 && module.log.empty(); ++i) {
        QApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(module.log.empty());
    window->linkTimer()->stop();
}

} // namespace
} // namespace qmt::test
