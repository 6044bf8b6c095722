// The input parameters dialog: two protected writes, the model, the mode rule.
#include "DialogFixture.h"

#include "dialogs/OfflineWrite.h"
#include "dialogs/TInParam.h"

#include <memory>

namespace qmt::test {
namespace {

class InParamTest : public DialogTest {
protected:
    void open(int channel) {
        dialog->Tag = channel;
        dialog->LoadFromConfig();
        module.clearLog();
    }
    std::unique_ptr<TInParam> dialog = std::make_unique<TInParam>();
};

TEST_F(InParamTest, SendWritesTimeAndModeBehindTheWriteEnableCode) {
    for (int c = 0; c < 3; ++c) {
        open(c);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Параметры входа %1").arg(c + 1));
        type(dialog.get(), "edTime", QString::number(100 + c));
        choose(dialog.get(), "rgMode", 0);
        click(dialog.get(), "btSend");
        EXPECT_TRUE(prompts.shown.empty()) << shownText().toStdString();
        EXPECT_EQ(module.writes(),
                  (std::vector<std::string>{"1912=27437",
                                            std::to_string(48 + c) + "=" + std::to_string(100 + c),
                                            "1912=27437", std::to_string(56 + c) + "=1"}));
        EXPECT_EQ(module.reg(uint16_t(48 + c)), 100 + c);
        EXPECT_EQ(module.reg(uint16_t(56 + c)), 1);
        EXPECT_EQ(Config.io[size_t(c)], 100 + c);
        EXPECT_EQ(Config.io[size_t(5 + c)], 1);
    }
    // Reopening shows what was stored.
    choose(dialog.get(), "rgMode", 1);
    type(dialog.get(), "edTime", QStringLiteral("9"));
    open(2);
    EXPECT_EQ(text(dialog.get(), "edTime"), QStringLiteral("102"));
    EXPECT_EQ(item(dialog.get(), "rgMode"), 0);
}

TEST_F(InParamTest, WithTheLinkDownOnlyTheModelChangesAndBadTimesAreStillRefused) {
    LinkUp = false;
    open(1);
    type(dialog.get(), "edTime", QStringLiteral("65535"));
    click(dialog.get(), "btSend");
    EXPECT_TRUE(module.log.empty());
    EXPECT_EQ(Config.io[1], 65535);
    EXPECT_EQ(Config.io[6], 2); // the design's voltage item from the default model
    // The engineer learns that the module did not get it.
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, OfflineWriteText());
    EXPECT_EQ(prompts.shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(prompts.shown[0].owner, dialog.get());

    prompts.shown.clear();
    for (const char* bad : {"70000", "-1", "x"}) {
        type(dialog.get(), "edTime", QString::fromUtf8(bad));
        click(dialog.get(), "btSend");
    }
    EXPECT_EQ(prompts.texts(),
              (QStringList{QStringLiteral("Значение 70000 выходит за пределы 0 - 65535!"),
                           QStringLiteral("Значение -1 выходит за пределы 0 - 65535!"),
                           QStringLiteral("\" x \" не является целым числом")}));
    EXPECT_EQ(Config.io[1], 65535);
}

TEST_F(InParamTest, AModeOtherThanCurrentOrVoltageSelectsNothingAndSendIsRefused) {
    for (uint16_t mode : {0, 3}) {
        Config.io[5] = mode;
        open(0);
        EXPECT_EQ(item(dialog.get(), "rgMode"), -1) << mode;
        module.setReg(56, mode);
        click(dialog.get(), "btRead");
        EXPECT_EQ(item(dialog.get(), "rgMode"), -1) << mode;
        module.clearLog();
        click(dialog.get(), "btSend");
        EXPECT_EQ(shownText(), QStringLiteral("Не выбран режим!"));
        EXPECT_TRUE(module.log.empty());
        EXPECT_EQ(Config.io[5], mode);
    }
    choose(dialog.get(), "rgMode", 1);
    click(dialog.get(), "btSend");
    EXPECT_EQ(module.reg(56), 2);
}

TEST_F(InParamTest, AFailedModeWriteLeavesTheTimeWrittenAndTheModelAlone) {
    open(0);
    type(dialog.get(), "edTime", QStringLiteral("250"));
    module.failWhen = [](const Request& r) { return r.address == 56 ? 4 : 0; };
    click(dialog.get(), "btSend");
    EXPECT_EQ(shownText(), QStringLiteral("Сбой устройства"));
    EXPECT_EQ(module.reg(48), 250);
    EXPECT_EQ(Config.io[0], 40);
    EXPECT_EQ(Config.io[5], 2);
}

TEST_F(InParamTest, ReadShowsTimeAndModeAndLeavesTheModelAlone) {
    open(2);
    module.setReg(50, 40000);
    module.setReg(58, 1);
    click(dialog.get(), "btRead");
    EXPECT_EQ(requests(), (std::vector<std::string>{"3:50:1", "3:58:1"}));
    EXPECT_EQ(text(dialog.get(), "edTime"), QStringLiteral("40000"));
    EXPECT_EQ(item(dialog.get(), "rgMode"), 0);
    EXPECT_EQ(Config.io[2], 40);
    EXPECT_EQ(Config.io[7], 2);

    module.setReg(50, 7);
    module.failWhen = [](const Request& r) { return r.address == 58 ? 14 : 0; };
    click(dialog.get(), "btRead");
    EXPECT_EQ(shownText(), QStringLiteral("Нет ответа!"));
    EXPECT_EQ(text(dialog.get(), "edTime"), QStringLiteral("7"));
}

TEST_F(InParamTest, WindowLayout) {
    EXPECT_EQ(dialog->size(), QSize(256, 104));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    auto* group = control<RadioGroup>(dialog.get(), "rgMode");
    EXPECT_EQ(group->title(), QStringLiteral("Режим"));
    EXPECT_EQ(group->itemText(0), QStringLiteral("По току"));
    EXPECT_EQ(group->itemText(1), QStringLiteral("По напряжению"));
    EXPECT_EQ(TInParam().findChild<RadioGroup*>(QStringLiteral("rgMode"))->itemIndex(), 1);
    EXPECT_GT(group->y(), edit(dialog.get(), "edTime")->y());
    dialog->show();
    EXPECT_EQ(clippedTextReport(dialog.get()), "");
    for (int tag : {0, 1, 2}) { // the caption of each input in a title bar, whole
        dialog->Tag = tag;
        dialog->LoadFromConfig();
        EXPECT_EQ(clippedTitleReport(dialog.get()), "") << tag;
    }
    EXPECT_EQ(unframedItemReport(dialog.get()), "");
    grab(dialog.get(), QStringLiteral("InParam.png"));
}

} // namespace
} // namespace qmt::test

namespace qmt::test {
namespace {

TEST_F(InParamTest, SendConfirmsInTheStatusBarWhereTheValuesWent) {
    FakeStatus status;
    for (bool up : {true, false}) {
        LinkUp = up;
        open(0);
        prompts.shown.clear();
        status.confirmations.clear();
        click(dialog.get(), "btSend");
        EXPECT_EQ(status.confirmations, QStringList{up ? WrittenText() : StoredOnlyText()});
        // With the link up nothing is to be clicked away.
        EXPECT_EQ(prompts.texts(), up ? QStringList() : QStringList{OfflineWriteText()});
    }
    // A refused value writes nothing and confirms nothing.
    LinkUp = true;
    status.confirmations.clear();
    type(dialog.get(), "edTime", QStringLiteral("x"));
    click(dialog.get(), "btSend");
    EXPECT_TRUE(status.confirmations.isEmpty());
}

} // namespace
} // namespace qmt::test
