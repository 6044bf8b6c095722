// Write functions 5, 6, 15, 16 and the dispatch in front of every function:
// request frames, reply checks, and requests that must never be sent.
#include "link_fixture.h"

using namespace vltest;

namespace {

struct WriteCase {
    const char* what;
    Bytes reply;
    int32_t status;
};

class WriteTest : public LinkTest {
protected:
    void runCases(uint8_t function, uint16_t address, uint16_t count, const void* data,
                  const std::vector<WriteCase>& cases) {
        for (const WriteCase& c : cases) {
            SCOPED_TRACE(c.what);
            uint8_t buf[300];
            memcpy(buf, data, sizeof buf);
            EXPECT_EQ(call(1, function, address, count, buf, c.reply), c.status);
            EXPECT_EQ(memcmp(buf, data, sizeof buf), 0) << "the caller's data was changed";
        }
    }
};

Bytes corrupt(Bytes frame) {
    frame.back() ^= 0x01;
    return frame;
}

} // namespace

TEST_F(WriteTest, SingleCoil) {
    uint8_t on[300] = {0x01}, off[300] = {0xFE};
    Bytes echoOn = withCrc(hex("01 05 00 AC FF 00"));
    runCases(5, 0x00AC, 0, on,
             {
                 {"echo", echoOn, 0},
                 {"exception 4", withCrc(hex("01 85 04")), 4},
                 {"exception with a bad CRC", corrupt(withCrc(hex("01 85 04"))), 17},
                 {"another station", withCrc(hex("07 05 00 AC FF 00")), 14},
                 {"bad CRC", corrupt(echoOn), 17},
                 {"echoed value is not compared", withCrc(hex("01 05 00 AC 00 00")), 0},
                 // The buffer still holds the request, the echo expected: a cut
                 // reply must not be completed by it.
                 {"echo cut after the station", hex("01"), 17},
                 {"echo without its CRC", hex("01 05 00 AC FF 00"), 17},
                 {"silence", {}, 14},
             });
    module.clearRequests();
    runCases(5, 0x00AC, 0, off, {{"off", withCrc(hex("01 05 00 AC 00 00")), 0}});
    // Only bit 0 of the caller's byte decides; 0xFE switches the coil off.
    EXPECT_EQ(module.requests().at(0), withCrc(hex("01 05 00 AC 00 00")));
}

TEST_F(WriteTest, SingleRegister) {
    uint16_t value[150] = {0x1234};
    Bytes echo = withCrc(hex("01 06 00 10 12 34"));
    runCases(6, 0x0010, 1, value,
             {
                 {"echo", echo, 0},
                 {"seven bytes", Bytes(echo.begin(), echo.end() - 1), 18},
                 {"nine bytes", withCrc(hex("01 06 00 10 12 34 00")), 18},
                 {"bad CRC", corrupt(echo), 17},
                 {"exception 2", withCrc(hex("01 86 02")), 2},
                 {"exception to another function", withCrc(hex("01 83 02")), 25},
                 {"five bytes without exception bit", withCrc(hex("01 06 02")), 25},
                 {"exception code 0 is no success", withCrc(hex("01 86 00")), 25},
                 {"another station", withCrc(hex("05 06 00 10 12 34")), 19},
                 {"another function", withCrc(hex("01 10 00 10 12 34")), 20},
                 {"another address", withCrc(hex("01 06 00 11 12 34")), 22},
                 {"another value", withCrc(hex("01 06 00 10 12 35")), 23},
                 {"silence", {}, 14},
             });
    EXPECT_EQ(module.requests().at(0), echo); // value sent high byte first
}

TEST_F(WriteTest, MultipleCoils) {
    uint8_t bits[300] = {0xCD, 0x01};
    Bytes echo = withCrc(hex("01 0F 00 13 00 0A"));
    runCases(15, 0x0013, 10, bits,
             {
                 {"echo", echo, 0},
                 {"exception 3", withCrc(hex("01 8F 03")), 3},
                 {"another station", withCrc(hex("02 0F 00 13 00 0A")), 14},
                 {"bad CRC", corrupt(echo), 17},
                 {"echoed quantity is not compared", withCrc(hex("01 0F 00 13 00 09")), 0},
             });
    EXPECT_EQ(module.requests().at(0), withCrc(hex("01 0F 00 13 00 0A 02 CD 01")));
}

TEST_F(WriteTest, MultipleRegisters) {
    uint16_t regs[150] = {0x000A, 0x0102, 0xBEEF};
    Bytes echo = withCrc(hex("01 10 00 10 00 03"));
    runCases(16, 0x0010, 3, regs,
             {
                 {"echo", echo, 0},
                 {"quantity 2 echoed", withCrc(hex("01 10 00 10 00 02")), 23},
                 {"another station", withCrc(hex("05 10 00 10 00 03")), 19},
                 {"another function", withCrc(hex("01 06 00 10 00 03")), 20},
                 {"another address", withCrc(hex("01 10 00 11 00 03")), 22},
                 {"exception from any station", withCrc(hex("09 90 06")), 6},
                 {"exception to another function", withCrc(hex("01 86 06")), 25},
                 {"bad CRC", corrupt(echo), 17},
                 {"six bytes", withCrc(hex("01 10 00 10")), 18},
             });
    Bytes request = module.requests().at(0);
    EXPECT_EQ(request.size(), 15u);
    EXPECT_EQ(request, withCrc(hex("01 10 00 10 00 03 06 00 0A 01 02 BE EF")));
}

TEST_F(WriteTest, CountsThatCannotFitAFrameAreRefusedUnsent) {
    uint8_t big[4096] = {};
    module.replyBytes(withCrc(hex("01 10 00 00 00 7C")));
    EXPECT_EQ(invoke_modb(1, 16, 0, 124, big), 16);
    EXPECT_EQ(invoke_modb(1, 15, 0, 1977, big), 16);
    EXPECT_TRUE(module.requests().empty());

    // The largest frames that fit are sent whole.
    EXPECT_EQ(call(1, 16, 0, 123, big, withCrc(hex("01 10 00 00 00 7B"))), 0);
    EXPECT_EQ(call(1, 15, 0, 1976, big, withCrc(hex("01 0F 00 00 07 B8"))), 0);
    ASSERT_EQ(module.requests().size(), 2u);
    EXPECT_EQ(module.requests()[0].size(), 255u);
    EXPECT_EQ(module.requests()[1].size(), 256u);
}

TEST_F(WriteTest, NullBufferAndUnknownFunctionsSendNothing) {
    module.replyBytes(withCrc(hex("01 03 02 00 00")));
    uint16_t reg = 0;
    EXPECT_EQ(invoke_modb(1, 3, 0, 1, nullptr), 16);
    for (int fn : {0, 7, 8, 14, 17, 255})
        EXPECT_EQ(invoke_modb(1, static_cast<uint8_t>(fn), 0, 1, &reg), 15) << fn;
    usleep(20000);
    EXPECT_TRUE(module.requests().empty());
}

TEST_F(WriteTest, PauseFollowsEvenAnUnknownFunction) {
    // 62 bit times at 2400 baud are 25833 us of busy waiting.
    ASSERT_EQ(init_comm(module.path().c_str(), 2400, 0), 0);
    uint16_t reg = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(invoke_modb(1, 7, 0, 1, &reg), 15);
    EXPECT_GE(msSince(start), 25.8);
}
