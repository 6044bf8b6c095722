// Read functions 1 to 4: request frames, reply checks and the status each
// broken reply yields, with the caller's buffer guarded by canary bytes.
#include "link_fixture.h"

using namespace vltest;

namespace {

struct ReadCase {
    const char* what;
    Bytes reply; // empty: the module stays silent
    int32_t status;
    Bytes data; // bytes expected in the caller's buffer on success
};

class ReadTest : public LinkTest {
protected:
    // Runs each case against station 1, start address 0x0400; only `bytes`
    // bytes of the buffer may ever change.
    void runCases(uint8_t function, uint16_t count, size_t bytes,
                  const std::vector<ReadCase>& cases) {
        for (const ReadCase& c : cases) {
            SCOPED_TRACE(c.what);
            uint8_t buf[300];
            memset(buf, kCanary, sizeof buf);
            EXPECT_EQ(call(1, function, 0x0400, count, buf, c.reply), c.status);
            if (c.status == 0) {
                EXPECT_EQ(Bytes(buf, buf + bytes), c.data);
            }
            for (size_t i = bytes; i < sizeof buf; i++)
                ASSERT_EQ(buf[i], kCanary) << "written past the buffer at " << i;
        }
    }
};

Bytes words(std::initializer_list<uint16_t> values) {
    Bytes out;
    for (uint16_t v : values) {
        uint8_t b[2];
        memcpy(b, &v, 2);
        out.insert(out.end(), b, b + 2);
    }
    return out;
}

Bytes corrupt(Bytes frame) {
    frame.back() ^= 0x40;
    return frame;
}

} // namespace

TEST(Crc, CheckValueOfTheHelper) {
    const char* text = "123456789";
    EXPECT_EQ(crc16(reinterpret_cast<const uint8_t*>(text), 9), 0x4B37);
}

TEST_F(ReadTest, RequestFramesOfAllReadFunctions) {
    uint8_t buf[16];
    call(1, 3, 0x0400, 2, buf, {});
    call(0x11, 1, 0x0013, 0x0025, buf, {});
    call(0x11, 2, 0x00C4, 0x0016, buf, {});
    call(0xF7, 4, 0xFFFF, 0x007D, buf, {});
    std::vector<Bytes> expected = {
        hex("01 03 04 00 00 02 C5 3B"),
        withCrc(hex("11 01 00 13 00 25")),
        withCrc(hex("11 02 00 C4 00 16")),
        withCrc(hex("F7 04 FF FF 00 7D")),
    };
    EXPECT_EQ(module.requests(), expected);
    EXPECT_EQ(hex("11 01 00 13 00 25 0E 84"), expected[1]); // the standard's example frame
}

TEST_F(ReadTest, HoldingRegisters) {
    runCases(
        3, 2, 4,
        {
            {"normal reply", withCrc(hex("01 03 04 00 0A 01 02")), 0, words({0x000A, 0x0102})},
            {"exception 2", hex("01 83 02 C0 F1"), 2, {}},
            {"exception with a bad CRC", hex("01 83 02 C0 F2"), 17, {}},
            {"exception code 0 is no success", withCrc(hex("01 83 00")), 25, {}},
            {"another station is no answer", withCrc(hex("05 03 04 00 0A 01 02")), 14, {}},
            {"silence", {}, 14, {}},
            {"bad CRC", corrupt(withCrc(hex("01 03 04 00 0A 01 02"))), 17, {}},
            {"short byte count", withCrc(hex("01 03 02 00 0A")), 23, {}},
            {"long byte count", withCrc(hex("01 03 06 00 0A 01 02 03 04")), 23, {}},
            {"odd byte count", withCrc(hex("01 03 03 00 0A 01")), 23, {}},
            {"corrupt frame with a wrong count", corrupt(withCrc(hex("01 03 02 00 0A"))), 17, {}},
            {"huge byte count", hex("01 03 FF 00 0A 01 02"), 17, {}},
            {"function code is not compared", withCrc(hex("01 04 04 12 34 56 78")), 0,
             words({0x1234, 0x5678})},
        });
}

TEST_F(ReadTest, InputRegistersShareTheRegisterChecks) {
    runCases(4, 1, 2,
             {
                 {"normal reply", withCrc(hex("01 04 02 FF FE")), 0, words({0xFFFE})},
                 {"exception 1", withCrc(hex("01 84 01")), 1, {}},
                 {"another station", withCrc(hex("02 04 02 FF FE")), 14, {}},
                 {"two registers for one", withCrc(hex("01 04 04 FF FE 00 01")), 23, {}},
             });
}

TEST_F(ReadTest, OversizedReplyNeverOverrunsTheBuffer) {
    // 255 data bytes with a correct CRC still must not reach past one register.
    Bytes reply = hex("01 03 FF");
    reply.resize(258, 0x77);
    uint16_t crc = crc16(reply.data(), 258);
    reply.push_back(crc & 0xFF);
    reply.push_back(crc >> 8);
    runCases(3, 1, 2, {{"255 data bytes", reply, 17, {}}});
    Bytes flood(300, 0x01);
    runCases(3, 1, 2, {{"300 bytes of noise", flood, 17, {}}});
}

TEST_F(ReadTest, Coils) {
    runCases(1, 10, 2,
             {
                 {"normal reply", withCrc(hex("01 01 02 CD 01")), 0, hex("CD 01")},
                 {"exception 2", withCrc(hex("01 81 02")), 2, {}},
                 {"exception with a bad CRC", corrupt(withCrc(hex("01 81 02"))), 17, {}},
                 {"another station", withCrc(hex("02 01 02 CD 01")), 14, {}},
                 {"bad CRC", corrupt(withCrc(hex("01 01 02 CD 01"))), 17, {}},
                 {"one byte for ten coils", withCrc(hex("01 01 01 CD")), 23, {}},
                 {"three bytes for ten coils", withCrc(hex("01 01 03 CD 01 00")), 23, {}},
                 {"silence", {}, 14, {}},
             });
}

TEST_F(ReadTest, DiscreteInputsAreCheckedStrictly) {
    runCases(2, 10, 2,
             {
                 {"normal reply of 7 bytes", withCrc(hex("01 02 02 AC 03")), 0, hex("AC 03")},
                 {"bad CRC", corrupt(withCrc(hex("01 02 02 AC 03"))), 17, {}},
                 {"another station", withCrc(hex("05 02 02 AC 03")), 19, {}},
                 {"another function", withCrc(hex("01 01 02 AC 03")), 20, {}},
                 {"exception 3", withCrc(hex("01 82 03")), 3, {}},
                 {"exception to another function", withCrc(hex("01 81 03")), 20, {}},
                 {"exception code 0 is no success", withCrc(hex("01 82 00")), 25, {}},
                 {"byte count 1 for ten inputs", withCrc(hex("01 02 01 AC")), 23, {}},
                 {"byte count 2 but 3 bytes sent", withCrc(hex("01 02 02 AC 03 00")), 21, {}},
                 {"256 bytes wrap the CRC length", Bytes(256, 0), 17, {}},
                 {"silence", {}, 14, {}},
             });
}

TEST_F(ReadTest, ReplyCutAtASilenceAndItsRestDiscarded) {
    // The rest arrives after the 55 ms silence: the first call sees a cut frame,
    // and the rest must not open the next reply.
    Bytes full = withCrc(hex("01 03 04 00 0A 01 02"));
    module.reply(
        {{Bytes(full.begin(), full.begin() + 5), 0}, {Bytes(full.begin() + 5, full.end()), 150}});
    uint16_t regs[2] = {0, 0};
    EXPECT_EQ(invoke_modb(1, 3, 0x0400, 2, regs), 17);
    module.waitIdle();

    module.replyBytes(withCrc(hex("01 03 04 12 34 56 78")));
    EXPECT_EQ(invoke_modb(1, 3, 0x0400, 2, regs), 0);
    EXPECT_EQ(regs[0], 0x1234);
    EXPECT_EQ(regs[1], 0x5678);
}

TEST_F(ReadTest, ReplyInPiecesWithShortGapsIsJoined) {
    Bytes full = withCrc(hex("01 03 04 00 0A 01 02"));
    module.reply({{Bytes(full.begin(), full.begin() + 2), 0},
                  {Bytes(full.begin() + 2, full.begin() + 6), 10},
                  {Bytes(full.begin() + 6, full.end()), 10}});
    uint16_t regs[2] = {0, 0};
    EXPECT_EQ(invoke_modb(1, 3, 0x0400, 2, regs), 0);
    EXPECT_EQ(regs[0], 0x000A);
    EXPECT_EQ(regs[1], 0x0102);
}
