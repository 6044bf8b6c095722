// Binding of the library: which file is loaded, which entry points are looked
// up, and the one message a failure shows.
#include "FakeUi.h"
#include "link/Library.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using qmt::test::FakePrompts;

class Binding : public ::testing::Test {
protected:
    void SetUp() override { saved_ = qmt::library(); }
    void TearDown() override { qmt::library() = saved_; }

    static std::string stub(const char* variant) {
        return std::string(STUB_DIR) + "/" + variant + "/libvornlink.so";
    }

    FakePrompts prompts;

private:
    qmt::LibraryApi saved_;
};

TEST_F(Binding, MissingFileShowsOneErrorNamingTheFile) {
    EXPECT_FALSE(qmt::BindLibrary("libvornlink-not-installed.so"));
    ASSERT_EQ(prompts.shown.size(), 1u);
    const auto& box = prompts.shown[0];
    EXPECT_EQ(box.text, QStringLiteral("Не найдена libvornlink-not-installed.so!"));
    EXPECT_EQ(box.caption, QStringLiteral("Ошибка!"));
    EXPECT_EQ(box.icon, qmt::MsgIcon::Error);
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST_F(Binding, TheProgramsOwnNameIsLookedUpThroughTheSearchPath) {
    // No copy of the library is on the test's search path: the default name
    // must fail exactly like the program without its library beside it.
    EXPECT_FALSE(qmt::BindLibrary());
    EXPECT_EQ(prompts.texts(), QStringList{QStringLiteral("Не найдена libvornlink.so!")});
}

TEST_F(Binding, EachMissingEntryPointIsNamedAlone) {
    const struct {
        const char* variant;
        const char* missing;
    } cases[] = {
        {"no_init_comm", "init_comm"},
        {"no_invoke_modb", "invoke_modb"},
        {"no_enum", "EnumParameters"},
        {"no_settout", "SetTout"},
        // Only the first missing one in lookup order is reported.
        {"no_invoke_no_settout", "invoke_modb"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.variant);
        prompts.shown.clear();
        qmt::library() = {};
        EXPECT_FALSE(qmt::BindLibrary(stub(c.variant).c_str()));
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].text,
                  QStringLiteral("libvornlink.so не содержит функции %1!").arg(c.missing));
        EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("Ошибка!"));
        EXPECT_EQ(prompts.shown[0].icon, qmt::MsgIcon::Error);
        // A failed binding leaves nothing half-bound behind.
        EXPECT_EQ(qmt::library().init_comm, nullptr);
        EXPECT_EQ(qmt::library().SetTout, nullptr);
    }
}

TEST_F(Binding, AllFourBindWithoutSendAndReceiveAndReachTheLibrary) {
    for (const char* variant : {"complete", "no_send_and_receive"}) {
        SCOPED_TRACE(variant);
        qmt::library() = {};
        ASSERT_TRUE(qmt::BindLibrary(stub(variant).c_str()));
        EXPECT_TRUE(prompts.shown.empty());
        const qmt::LibraryApi& api = qmt::library();
        ASSERT_NE(api.init_comm, nullptr);
        ASSERT_NE(api.invoke_modb, nullptr);
        ASSERT_NE(api.EnumParameters, nullptr);
        ASSERT_NE(api.SetTout, nullptr);
        // Each reference points at its own function, not at a neighbour.
        EXPECT_EQ(api.init_comm("/dev/null", 1234, 0), 11);
        EXPECT_EQ(api.SetTout(200), 1);
        uint32_t baud = 0;
        uint8_t parity = 0;
        EXPECT_EQ(api.EnumParameters("/dev/null", 2, 2049, 1, &baud, &parity), 14);
        EXPECT_EQ(api.invoke_modb(1, 3, 0, 1, &baud), 0);
        // A library without the single-step search still serves: the search runs in one call.
        EXPECT_EQ(api.EnumParametersAt, nullptr);
        EXPECT_EQ(api.SetTraceHook, nullptr); // nor without the trace hook
    }
}

} // namespace
