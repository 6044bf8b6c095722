// Every text of the main window, the port dialog and the wait window fits
// its widget at the program's font.
#include "PidConfFixture.h"
#include "TextFit.h"

#include "link/PortSettings.h"
#include "link/StatusReport.h"
#include "link/TParCOM.h"
#include "link/TfMess.h"

#include <QApplication>
#include <QDir>
#include <QLabel>

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

// At the default size, beside the long device path of a demo run, the notes
// of a configuration write, a search and a service write stand whole; the
// port and link panes are back once a note is gone.
TEST_F(PidConfTest, NotesStandWholeAtTheDefaultSizeBesideALongPort) {
    PortSettings.portName = QStringLiteral("/home/engineer/src/QMT584_View/build/demo/ttyQMT584");
    window->show();
    window->UpdatePortStatus(true);
    const QSize size = window->size();
    auto* pane = window->findChild<QLabel*>(QStringLiteral("StatusMessage"));
    auto* port = window->findChild<QLabel*>(QStringLiteral("PortStatusText"));
    auto* link = window->findChild<QLabel*>(QStringLiteral("StatusLink"));
    ASSERT_TRUE(pane && port && link);
    const QString notes[] = {
        QStringLiteral("Конфигурация записана: 63 регистра"),
        QStringLiteral("Поиск модуля № C15, адрес 1: 9600 бод, None (16 из 24), порт ") +
            PortSettings.portName,
        QStringLiteral("Сервисные параметры записаны в модуль"),
    };
    const QByteArray target = qgetenv("QMT_GRAB_DIR");
    int n = 0;
    for (const QString& note : notes) {
        status().confirm(note);
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        EXPECT_EQ(window->size(), size);
        EXPECT_EQ(pane->text(), note);
        EXPECT_EQ(clippedTextReport(window.get()), "") << note.toStdString();
        if (!target.isEmpty())
            window->grab().save(QDir(QString::fromLocal8Bit(target))
                                    .filePath(QStringLiteral("PidConfNote%1.png").arg(++n)));
        status().progress(QString());
        EXPECT_TRUE(port->isVisible() && link->isVisible());
    }
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
