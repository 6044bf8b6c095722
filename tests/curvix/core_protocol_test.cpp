// Frames, messages and records as the reader thread decodes them.

#include "common/Cp1251.h"
#include "common/TrendProtocol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

using namespace curvix;

namespace {

const StampFields kStamp{2026, 12, 3, 9, 12, 30, 15, 250};

std::string u32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = char((v >> (8 * i)) & 0xFF);
    return s;
}

} // namespace

TEST(FrameReader, FramesSplitAnywhereComeOutWhole) {
    const std::string stream =
        frame("abc") + frame("") + frame(std::string(1000, 'x')) + frame("z");
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        FrameReader reader;
        std::vector<std::string> got;
        std::string f;
        for (std::size_t pos = 0; pos < stream.size();) {
            const std::size_t n = std::min<std::size_t>(1 + random() % 40, stream.size() - pos);
            reader.feed(stream.data() + pos, n);
            pos += n;
            while (reader.next(f))
                got.push_back(f);
        }
        ASSERT_EQ(got.size(), 4u);
        EXPECT_EQ(got[0], "abc");
        EXPECT_EQ(got[1], "");
        EXPECT_EQ(got[2], std::string(1000, 'x'));
        EXPECT_EQ(got[3], "z");
        EXPECT_EQ(reader.pending(), 0u);
    }
}

TEST(FrameReader, LengthBeyond64KiBBreaksTheStreamWithoutWaitingForIt) {
    FrameReader reader;
    std::string f;
    const std::string ok = frame(std::string(kMaxFrameSize, 'a'));
    reader.feed(ok.data(), ok.size());
    ASSERT_TRUE(reader.next(f));
    EXPECT_EQ(f.size(), kMaxFrameSize);

    const std::string bad = u32(kMaxFrameSize + 1) + "rest" + frame("later");
    reader.feed(bad.data(), bad.size());
    EXPECT_FALSE(reader.next(f));
    EXPECT_TRUE(reader.broken());
    EXPECT_EQ(reader.badLength(), kMaxFrameSize + 1);
    reader.feed(ok.data(), ok.size());
    EXPECT_FALSE(reader.next(f)); // nothing after the break is trusted
}

TEST(Messages, KindsAndAddresses) {
    const std::string thread = "P" + u32(0x0400) + u32(77);
    Message m = parseMessage(thread);
    EXPECT_EQ(m.kind, MessageKind::Thread);
    EXPECT_EQ(m.wParam, 77u);

    EXPECT_EQ(parseMessage("P" + u32(0x0401) + u32(77)).kind, MessageKind::Other);
    EXPECT_EQ(parseMessage("P" + u32(0x0400)).kind, MessageKind::Other);
    EXPECT_EQ(parseMessage("A").kind, MessageKind::Other);
    EXPECT_EQ(parseMessage("").kind, MessageKind::Other);

    const std::string copyData = "C" + u32(5) + "\x06"; // the record is a view into it
    m = parseMessage(copyData);
    EXPECT_EQ(m.kind, MessageKind::CopyData);
    EXPECT_TRUE(m.complete);
    EXPECT_EQ(m.wParam, 5u);
    EXPECT_EQ(m.record, "\x06");

    m = parseMessage("C\x01\x02");
    EXPECT_EQ(m.kind, MessageKind::CopyData);
    EXPECT_FALSE(m.complete); // still answered, never decoded
}

TEST(Messages, RegistrationAndAcknowledgementLayout) {
    EXPECT_EQ(registrationFrame(0x11223344), u32(9) + "P" + u32(0x0400) + u32(0x11223344));
    EXPECT_EQ(acknowledgementFrame(), u32(1) + "A");
}

TEST(Records, TheProgramsRecordsDecode) {
    const Record begin = decodeRecord(beginRecord());
    EXPECT_EQ(begin.type, RecordType::Begin);
    EXPECT_EQ(decodeRecord(startRecord()).type, RecordType::Start);

    // "Xs(k)1": 12 bytes; "ЦАП" in Windows-1251: 9 bytes.
    const std::string xs = channelRecord(1, "Xs(k)1");
    EXPECT_EQ(xs.size(), 12u);
    Record r = decodeRecord(xs);
    EXPECT_EQ(r.type, RecordType::Channel);
    EXPECT_EQ(r.id, 1);
    EXPECT_EQ(r.name, QStringLiteral("Xs(k)1"));
    const std::string dac = channelRecord(34, "\xD6\xC0\xCF");
    EXPECT_EQ(dac.size(), 9u);
    r = decodeRecord(dac);
    EXPECT_EQ(r.id, 34);
    EXPECT_EQ(r.name, QStringLiteral("ЦАП"));
    EXPECT_FALSE(r.nameUnterminated);

    r = decodeRecord(sampleRecord(33, -20.0f, kStamp));
    ASSERT_EQ(r.type, RecordType::Sample);
    EXPECT_EQ(r.id, 33);
    EXPECT_EQ(r.value, -20.0f);
    EXPECT_EQ(r.stamp.year, 2026);
    EXPECT_EQ(r.stamp.second, 15);
    EXPECT_EQ(r.stamp.millisecond, 250);
}

TEST(Records, BadRecordsAreNamedNotFatal) {
    std::string shortSample = sampleRecord(1, 1.0f, kStamp);
    shortSample.pop_back();
    StampFields badMonth = kStamp;
    badMonth.month = 13;
    StampFields feb29 = kStamp;
    feb29.year = 2027;
    feb29.month = 2;
    feb29.day = 29;
    const struct {
        std::string bytes;
        const char* error;
    } cases[] = {
        {"", "пустая запись"},
        {std::string("\x03\x01\x00\x00", 4), "запись канала короче 6 байт"},
        {shortSample, "запись отсчёта короче 25 байт"},
        {sampleRecord(1, 1.0f, badMonth), "неверная метка времени"},
        {sampleRecord(1, 1.0f, feb29), "неверная метка времени"},
        {std::string("\x07", 1), "неизвестный тип записи 7"},
    };
    for (const auto& c : cases) {
        const Record r = decodeRecord(c.bytes);
        EXPECT_EQ(r.type, RecordType::Invalid) << c.error;
        EXPECT_EQ(r.error, QString::fromUtf8(c.error));
    }
}

TEST(Records, EdgesOfTheLayout) {
    // A name without its zero byte keeps what was sent; bytes after the zero are ignored.
    Record r = decodeRecord(std::string("\x03\x05\x00\x00\x00OV1", 8));
    EXPECT_EQ(r.type, RecordType::Channel);
    EXPECT_EQ(r.name, QStringLiteral("OV1"));
    EXPECT_TRUE(r.nameUnterminated);
    r = decodeRecord(std::string("\x03\x05\x00\x00\x00OV1\0junk", 12));
    EXPECT_EQ(r.name, QStringLiteral("OV1"));
    // An empty name, a negative id.
    r = decodeRecord(channelRecord(-3, ""));
    EXPECT_EQ(r.id, -3);
    EXPECT_TRUE(r.name.isEmpty());
    // NaN and infinity pass through as values.
    r = decodeRecord(sampleRecord(1, std::nanf(""), kStamp));
    EXPECT_TRUE(std::isnan(r.value));
    r = decodeRecord(sampleRecord(1, -INFINITY, kStamp));
    EXPECT_TRUE(std::isinf(r.value));
}

TEST(Records, RandomBytesNeverCrashTheDecoder) {
    std::mt19937 random(11);
    for (int i = 0; i < 20000; ++i) {
        std::string bytes(random() % 40, '\0');
        for (char& c : bytes)
            c = char(random());
        if (!bytes.empty() && i % 2) bytes[0] = char("\x02\x03\x06\x09"[random() % 4]);
        const Record r = decodeRecord(bytes);
        if (r.type == RecordType::Invalid) {
            EXPECT_FALSE(r.error.isEmpty());
        }
        parseMessage(bytes);
    }
}

TEST(Cp1251, RoundTripOfTheChannelNames) {
    for (const char* name : {"АЦП1", "ЦАП", "Xs(k)1", "ёЁ№"}) {
        const QString text = QString::fromUtf8(name);
        EXPECT_EQ(qmt::fromCp1251(qmt::toCp1251(text)), text);
    }
    EXPECT_EQ(qmt::toCp1251(QStringLiteral("АЦП1")), "\xC0\xD6\xCF\x31");
    // 0x98 has no character in the code page.
    EXPECT_EQ(qmt::fromCp1251("a\x98z"), QString::fromUtf8("a\xEF\xBF\xBDz"));
}
