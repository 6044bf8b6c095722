#pragma once
// What the viewer's window tests share: records of a hand-off, grabbing, the
// window fixture with its prompts answered and its settings in a folder of
// the test's own.

#include "FakeUi.h"

#include "common/TrendProtocol.h"
#include "ui/CurvixWindow.h"
#include "ui/Startup.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace curvix::test {

// Empties the viewer's settings, so that no test sees what another kept.
struct SettingsReset {
    SettingsReset();
};

inline StampFields stampAt(int64_t secondOfDay) {
    return StampFields{2026,
                       12,
                       3,
                       9,
                       uint16_t(secondOfDay / 3600),
                       uint16_t(secondOfDay / 60 % 60),
                       uint16_t(secondOfDay % 60),
                       0};
}

inline int64_t msAt(int64_t secondOfDay) {
    return Dataset::stampToMs(stampAt(secondOfDay));
}

inline std::vector<Record> handOff(int cycles, int64_t firstSecond = 12 * 3600) {
    std::vector<std::string> bytes{beginRecord(), channelRecord(1, "Xs(k)1"),
                                   channelRecord(10, "Y(k)2"),
                                   channelRecord(31, "\xC0\xD6\xCF"
                                                     "1") /* АЦП1 in Windows-1251 */,
                                   startRecord()};
    for (int k = 0; k < cycles; ++k) {
        const StampFields s = stampAt(firstSecond + k);
        bytes.push_back(sampleRecord(1, 500.0f, s));
        bytes.push_back(sampleRecord(10, float(std::round(400 * std::sin(k / 20.0))), s));
        bytes.push_back(sampleRecord(31, k % 40 < 20 ? 0.0f : 1.0f, s));
    }
    std::vector<Record> records;
    for (const std::string& b : bytes)
        records.push_back(decodeRecord(b));
    return records;
}

inline void grab(QWidget* window, const QString& name) {
    // Labels that changed text lay out on the next turn of the event loop.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const QByteArray dir = qgetenv("QMT_GRAB_DIR");
    if (!dir.isEmpty()) window->grab().save(QDir(QString::fromLocal8Bit(dir)).filePath(name));
}

template <class T> T* child(QWidget* window, const char* name) {
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

class CurvixWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        prepareApplication(*static_cast<QApplication*>(QCoreApplication::instance()));
    }
    void SetUp() override {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QString label(const char* name) { return child<QLabel>(&window, name)->text(); }

    qmt::test::FakePrompts prompts;
    SettingsReset reset; // before the window reads them
    CurvixWindow window;
    QTemporaryDir folder;
};

} // namespace curvix::test
