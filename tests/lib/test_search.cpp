// Module search: scan order, probe frame, accepted answers and where it stops.
#include "link_fixture.h"

using namespace vltest;

namespace {

struct Setting {
    uint32_t baud;
    int parity;
    bool operator==(const Setting& o) const { return baud == o.baud && parity == o.parity; }
};

const uint32_t kRates[] = {115200, 57600, 38400, 28800, 19200, 9600, 4800, 2400};

Setting combination(int i) {
    return {kRates[i / 3], i % 3};
}

class SearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        releasePort();
        SetTout(60); // keeps 24 silent probes short
        module.serve([this](const Bytes& request, const LineState& line) {
            std::lock_guard<std::mutex> lock(seenMutex);
            seen.push_back({line.baud, line.parity});
            return answer ? answer(request, line) : Script{};
        });
    }
    void TearDown() override {
        releasePort();
        SetTout(400);
    }

    // Answers with `bytes` only at the given setting.
    void answerAt(Setting at, Bytes bytes) {
        answer = [at, bytes](const Bytes&, const LineState& line) {
            return Setting{line.baud, line.parity} == at ? Script{{bytes, 0}} : Script{};
        };
    }

    int32_t search(uint32_t* baud, uint8_t* parity) {
        return EnumParameters(module.path().c_str(), 0x1234, 0xABCD, 7, baud, parity);
    }

    std::vector<Setting> probedSettings() {
        std::lock_guard<std::mutex> lock(seenMutex);
        return seen;
    }

    PtyModule module;
    Handler answer;
    std::mutex seenMutex;
    std::vector<Setting> seen;
};

const Bytes kGoodAnswer = withCrc(hex("00 FF 34 12 CD AB 07"));

} // namespace

TEST_F(SearchTest, ProbeFrameCarriesCodesLowByteFirst) {
    answerAt({115200, 0}, kGoodAnswer);
    uint32_t baud = 0;
    uint8_t parity = 9;
    ASSERT_EQ(search(&baud, &parity), 0);
    EXPECT_EQ(module.requests(), std::vector<Bytes>{withCrc(hex("00 FF 34 12 CD AB 07"))});
    EXPECT_EQ(baud, 115200u);
    EXPECT_EQ(parity, 0);
    // Outputs the caller left out are simply not written.
    EXPECT_EQ(search(nullptr, nullptr), 0);
}

TEST_F(SearchTest, FindsTheModuleAtItsCombinationInScanOrder) {
    for (int index : {15, 14}) {
        SCOPED_TRACE(index);
        {
            std::lock_guard<std::mutex> lock(seenMutex);
            seen.clear();
        }
        module.clearRequests();
        Setting at = combination(index);
        answerAt(at, withCrc(hex("11 22 33 44 55 66 77"))); // content is not examined
        uint32_t baud = 0;
        uint8_t parity = 9;
        ASSERT_EQ(search(&baud, &parity), 0);
        EXPECT_EQ(baud, at.baud);
        EXPECT_EQ(parity, at.parity);
        std::vector<Setting> expected;
        for (int i = 0; i <= index; i++)
            expected.push_back(combination(i));
        EXPECT_EQ(probedSettings(), expected);
        EXPECT_EQ((Setting{module.line().baud, module.line().parity}), at); // left at the find
    }
}

TEST_F(SearchTest, BadNineByteAnswerEndsTheSearchWith17) {
    Bytes bad = kGoodAnswer;
    bad[8] ^= 0xFF;
    answerAt(combination(2), bad);
    uint32_t baud = 1;
    uint8_t parity = 1;
    EXPECT_EQ(search(&baud, &parity), 17);
    EXPECT_EQ(probedSettings().size(), 3u);
    EXPECT_EQ(baud, 1u); // outputs only change on success
    EXPECT_EQ(parity, 1);
    EXPECT_EQ((Setting{module.line().baud, module.line().parity}), combination(2));
}

TEST_F(SearchTest, AnswersOfOtherLengthsAreSkipped) {
    answer = [](const Bytes&, const LineState& line) {
        if (line.baud == 115200 && line.parity == 1)
            return Script{{withCrc(hex("00 FF 34 12 CD AB")), 0}}; // 8 bytes
        if (line.baud == 57600 && line.parity == 0)
            return Script{{withCrc(hex("00 FF 34 12 CD AB 07 00")), 0}}; // 10 bytes
        if (line.baud == 57600 && line.parity == 2) return Script{{kGoodAnswer, 0}};
        return Script{};
    };
    uint32_t baud = 0;
    uint8_t parity = 9;
    EXPECT_EQ(search(&baud, &parity), 0);
    EXPECT_EQ(baud, 57600u);
    EXPECT_EQ(parity, 2);
    EXPECT_EQ(probedSettings().size(), 6u);
}

TEST_F(SearchTest, NoAnswerAnywhereGives14AtTheLastSetting) {
    uint32_t baud = 1;
    uint8_t parity = 1;
    EXPECT_EQ(search(&baud, &parity), 14);
    EXPECT_EQ(probedSettings().size(), 24u);
    EXPECT_EQ(baud, 1u);
    EXPECT_EQ((Setting{module.line().baud, module.line().parity}), (Setting{2400, 2}));
    // The port stays open at that setting.
    EXPECT_NE(SetTout(60), 0);
}

TEST_F(SearchTest, UnopenablePortGives11BeforeSending) {
    uint32_t baud = 1;
    uint8_t parity = 1;
    EXPECT_EQ(EnumParameters("/dev/vornlink-no-such-port", 1, 2, 3, &baud, &parity), 11);
    EXPECT_EQ(baud, 1u);
    usleep(20000);
    EXPECT_TRUE(module.requests().empty());
}

// One step at a time walks the same table, and a caller that stops at the
// first non-14 status gets what the whole search gives.
TEST_F(SearchTest, SingleStepsProbeOneCombinationEach) {
    answerAt(combination(14), kGoodAnswer);
    const char* port = module.path().c_str();
    int32_t status = 14;
    unsigned i = 0;
    uint32_t baud = 0;
    uint8_t parity = 9;
    for (; i < 24 && status == 14; ++i)
        status = EnumParametersAt(port, 0x1234, 0xABCD, 7, static_cast<uint8_t>(i), &baud, &parity);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(i, 15u);
    EXPECT_EQ((Setting{baud, parity}), combination(14));
    EXPECT_EQ(probedSettings().size(), 15u);
    EXPECT_EQ(module.requests().back(), kGoodAnswer); // the same probe frame

    // Past the table nothing is sent; a bad answer and a missing port end as the search does.
    module.clearRequests();
    EXPECT_EQ(EnumParametersAt(port, 0x1234, 0xABCD, 7, 24, &baud, &parity), 14);
    EXPECT_EQ(EnumParametersAt(port, 0x1234, 0xABCD, 7, 255, nullptr, nullptr), 14);
    usleep(20000);
    EXPECT_TRUE(module.requests().empty());
    Bytes bad = kGoodAnswer;
    bad[7] ^= 0x01;
    answerAt(combination(3), bad);
    EXPECT_EQ(EnumParametersAt(port, 0x1234, 0xABCD, 7, 3, &baud, &parity), 17);
    EXPECT_EQ(EnumParametersAt("/dev/vornlink-no-such-port", 1, 2, 3, 0, &baud, &parity), 11);
    EXPECT_EQ(EnumParametersAt("tcp://127.0.0.1:1", 1, 2, 3, 0, &baud, &parity), 14);
    EXPECT_EQ((Setting{baud, parity}), combination(14)); // outputs only change on success
}
