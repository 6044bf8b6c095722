// What the traffic monitor says of a frame, read off the bytes by hand from
// the Modbus frame layouts; cut and odd frames say what they hold and no more.
#include "link/StationScan.h"
#include "link/Traffic.h"

#include <gtest/gtest.h>

namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

TEST(Traffic, SummaryOfEachKindOfFrame) {
    const struct {
        bool request;
        QByteArray frame;
        int32_t status;
        const char* summary;
    } cases[] = {
        {true, bytes({0x01, 0x03, 0x04, 0x00, 0x00, 0x02, 0xC5, 0x3B}), 0,
         "станция 1, функция 3, адрес 1024, количество 2"},
        {false, bytes({0x01, 0x03, 0x04, 0x00, 0x0A, 0x00, 0x0B, 0x9B, 0xF6}), 0,
         "станция 1, функция 3, количество 2"},
        {false, bytes({0x01, 0x83, 0x02, 0xC0, 0xF1}), 2,
         "станция 1, функция 3, исключение 2: Недопустимый адрес данных"},
        {true, bytes({0x07, 0x06, 0x01, 0x09, 0xFF, 0xFF, 0, 0}), 0,
         "станция 7, функция 6, адрес 265, значение 65535"},
        {false, bytes({0x07, 0x10, 0x07, 0x78, 0x00, 0x01, 0, 0}), 0,
         "станция 7, функция 16, адрес 1912, количество 1"},
        {false, bytes({0x02, 0x01, 0x01, 0x05, 0, 0}), 0, "станция 2, функция 1, байт 1"},
        {false, bytes({0x01, 0x03, 0x04, 0x00}), 17,
         "станция 1, функция 3, количество 2: Ошибка CRC!"},
        {false, bytes({0x01, 0x03}), 14, "станция 1, функция 3: Нет ответа!"},
        {false, bytes({0x05}), 14, "станция 5"},
        {false, QByteArray(), 14, "Нет ответа!"},
        {true, bytes({0x01, 0x10, 0x00}), 0, "станция 1, функция 16"},
    };
    for (const auto& c : cases) {
        const qmt::TrafficFrame frame{0, c.request, c.frame, c.status,
                                      QStringLiteral("12:00:00.000001")};
        EXPECT_EQ(qmt::FrameSummary(frame).toStdString(), c.summary)
            << qmt::FrameHex(c.frame).toStdString();
    }
    const qmt::TrafficFrame silent{0, false, QByteArray(), 14, QStringLiteral("12:00:00.000001")};
    EXPECT_EQ(qmt::FrameLine(silent), QStringLiteral("12:00:00.000001 RX -- | Нет ответа!"));
}

TEST(StationScan, IdentityTextsAndTheProbeTimeOut) {
    EXPECT_EQ(qmt::SerialNumberText(3 * 2048 + 15), QStringLiteral("C0015"));
    EXPECT_EQ(qmt::FirmwareVersionText(0x0201), QStringLiteral("02.01"));
    EXPECT_EQ(qmt::ModuleTypeName(8), QStringLiteral("QMT-584.1"));
    // 13 bytes of 11 bits: 7.4 ms at 19200 baud, 59.6 ms at 2400, then the margin.
    EXPECT_EQ(qmt::ProbeTimeoutMs(QStringLiteral("/dev/ttyUSB0"), 19200), 48u);
    EXPECT_EQ(qmt::ProbeTimeoutMs(QStringLiteral("/dev/ttyUSB0"), 2400), 100u);
    EXPECT_EQ(qmt::ProbeTimeoutMs(QStringLiteral("tcp://127.0.0.1:502"), 19200), 100u);
}

} // namespace
