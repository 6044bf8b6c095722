// The one Windows-1251 table of the program and curvix, in both directions.
#include "common/Cp1251.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <set>

namespace {

using qmt::fromCp1251;
using qmt::toCp1251;

QByteArray byte(int b) {
    return QByteArray(1, static_cast<char>(b));
}

TEST(Cp1251, EveryDefinedByteRoundTripsAndOnlyOnce) {
    std::set<char16_t> seen;
    for (int b = 0; b < 256; ++b) {
        SCOPED_TRACE(b);
        const QString text = fromCp1251(byte(b));
        ASSERT_EQ(text.size(), 1);
        if (b == 0x98) {
            EXPECT_EQ(text[0].unicode(), u'\uFFFD');
            EXPECT_EQ(toCp1251(text), "?");
            continue;
        }
        EXPECT_EQ(toCp1251(text), byte(b));
        EXPECT_TRUE(seen.insert(text[0].unicode()).second) << "two bytes, one character";
    }
    // All 256 bytes at once, as a log line of them would be read back.
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += byte(b);
    QByteArray expected = all;
    expected[0x98] = '?';
    EXPECT_EQ(toCp1251(fromCp1251(all)), expected);
}

// The table is built in, so it must agree with the system's own converter
// wherever the system has one.
TEST(Cp1251, TableAgreesWithTheSystemConverter) {
    iconv_t cd = iconv_open("UTF-16LE", "WINDOWS-1251");
    if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no WINDOWS-1251 converter here";
    for (int b = 0x80; b < 256; ++b) {
        if (b == 0x98) continue;
        char in = static_cast<char>(b);
        char16_t out = 0;
        char* src = &in;
        char* dst = reinterpret_cast<char*>(&out);
        size_t inLeft = 1, outLeft = sizeof out;
        ASSERT_NE(iconv(cd, &src, &inLeft, &dst, &outLeft), static_cast<size_t>(-1)) << b;
        EXPECT_EQ(qmt::cp1251ToUnicode(static_cast<unsigned char>(b)), out) << b;
    }
    iconv_close(cd);
}

TEST(Cp1251, CharactersOutsideTheCodePageBecomeOneQuestionMarkEach) {
    struct Case {
        QString text;
        QByteArray bytes;
    };
    const Case cases[] = {
        {QString::fromUtf8("АЦП1"), "\xC0\xD6\xCF\x31"},
        {QString::fromUtf8("ёЁ№€"), "\xB8\xA8\xB9\x88"},
        {QString::fromUtf8("a中b"), "a?b"},
        {QString::fromUtf8("x\xF0\x9F\x98\x80y"), "x?y"},  // beyond the BMP: one character
        {QString(QChar(0xD800)) + QLatin1Char('z'), "?z"}, // a lone surrogate
        {QString(QChar(0xDC00)), "?"},
        {QString(QChar(0xFFFD)), "?"},
        {QString(), QByteArray()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(toCp1251(c.text), c.bytes);
    }
    EXPECT_EQ(fromCp1251(QByteArray("a\x98z")), QString::fromUtf8("a\xEF\xBF\xBDz"));
    EXPECT_EQ(fromCp1251(QByteArray("\0a", 2)), QString(QChar(0)) + QLatin1Char('a'));
}

} // namespace
