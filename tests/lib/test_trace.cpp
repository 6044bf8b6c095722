// The trace hook: each transaction's request and reply as they were on the
// line, with their times and the transaction's status, and nothing once cleared.
#include "link_fixture.h"

#include <thread>
#include <vector>

using namespace vltest;

namespace {

struct Seen {
    int32_t direction;
    Bytes bytes;
    uint64_t time_ns;
    int32_t status;
    std::thread::id thread;
};

void record(void* context, int32_t direction, const uint8_t* bytes, int32_t length,
            uint64_t time_ns, int32_t status) {
    static_cast<std::vector<Seen>*>(context)->push_back(
        {direction, Bytes(bytes, bytes + length), time_ns, status, std::this_thread::get_id()});
}

class TraceTest : public LinkTest {
protected:
    void TearDown() override {
        SetTraceHook(nullptr, nullptr);
        LinkTest::TearDown();
    }
    std::vector<Seen> seen;
};

TEST_F(TraceTest, RequestAndReplyOfEachTransactionWithItsStatus) {
    SetTraceHook(record, &seen);
    const Bytes reply = {0x01, 0x03, 0x04, 0x00, 0x0A, 0x00, 0x0B, 0x9B, 0xF6};
    const Bytes exception = {0x01, 0x83, 0x02, 0xC0, 0xF1};
    uint8_t buf[8];
    struct {
        Bytes reply;
        int32_t status;
    } cases[] = {{reply, 0}, {exception, 2}, {{}, 14}};
    for (const auto& c : cases) {
        seen.clear();
        ASSERT_EQ(call(1, 3, 0x0400, 2, buf, c.reply), c.status);
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[0].direction, VL_TRACE_REQUEST);
        EXPECT_EQ(seen[0].bytes, (Bytes{0x01, 0x03, 0x04, 0x00, 0x00, 0x02, 0xC5, 0x3B}));
        EXPECT_EQ(seen[1].direction, VL_TRACE_REPLY);
        EXPECT_EQ(seen[1].bytes, c.reply);
        EXPECT_LE(seen[0].time_ns, seen[1].time_ns);
        for (const Seen& s : seen) {
            EXPECT_EQ(s.status, c.status);
            EXPECT_EQ(s.thread, std::this_thread::get_id());
        }
    }
    // A function the library does not send has nothing to show.
    seen.clear();
    EXPECT_EQ(invoke_modb(1, 7, 0, 1, buf), 15);
    EXPECT_TRUE(seen.empty());

    SetTraceHook(nullptr, &seen);
    EXPECT_EQ(call(1, 3, 0x0400, 2, buf, reply), 0);
    EXPECT_TRUE(seen.empty());
}

} // namespace
