// The output parameters dialog: the three DAC steps, the PWM channels one
// after the other, what each read stores, and the labels that follow the mode.
#include "DialogFixture.h"

#include "dialogs/OfflineWrite.h"
#include "dialogs/TfOutParam.h"

#include <memory>

namespace qmt::test {
namespace {

class OutParamTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        dialog->LoadFromConfig();
        module.clearLog();
    }
    QString label(const char* name) const { return control<QLabel>(dialog.get(), name)->text(); }
    std::vector<uint16_t> pwmWords() const {
        return {Config.io.begin() + 9, Config.io.begin() + 19};
    }
    void typePwm(int channel, const std::vector<const char*>& texts) {
        const char* names[] = {"edXdz1_pwm", "edXdz2_pwm", "edTpwm", "Xmax", "edY"};
        for (size_t k = 0; k < texts.size(); ++k) {
            const std::string name = names[k] + std::to_string(channel);
            type(dialog.get(), name.c_str(), QString::fromUtf8(texts[k]));
        }
    }
    std::unique_ptr<TfOutParam> dialog = std::make_unique<TfOutParam>();
};

TEST_F(OutParamTest, DacSendWritesSlewInitialValueAndModeInThisOrder) {
    type(dialog.get(), "edTime", QStringLiteral("10"));
    choose(dialog.get(), "rgMode", 1);
    type(dialog.get(), "edBegVal", QStringLiteral("-500"));
    click(dialog.get(), "btSendDAC");
    EXPECT_TRUE(prompts.shown.empty()) << shownText().toStdString();
    EXPECT_EQ(module.writes(), (std::vector<std::string>{"1912=27437", "51=10", "1912=27437",
                                                         "52=65036", "1912=27437", "59=2"}));
    EXPECT_EQ(Config.io[3], 10);
    EXPECT_EQ(Config.io[4], 65036);
    EXPECT_EQ(Config.io[8], 2);

    // Read back the initial value shows unsigned and is stored; the others are not.
    Config.io[3] = Config.io[4] = Config.io[8] = 0;
    click(dialog.get(), "btReadDAC");
    EXPECT_EQ(text(dialog.get(), "edBegVal"), QStringLiteral("65036"));
    EXPECT_EQ(text(dialog.get(), "edTime"), QStringLiteral("10"));
    EXPECT_EQ(item(dialog.get(), "rgMode"), 1);
    EXPECT_EQ(Config.io[3], 0);
    EXPECT_EQ(Config.io[4], 65036);
    EXPECT_EQ(Config.io[8], 0);
}

TEST_F(OutParamTest, EmptyDacFieldsAreSkippedAndTheModeStillWritten) {
    type(dialog.get(), "edTime", QString());
    type(dialog.get(), "edBegVal", QString());
    choose(dialog.get(), "rgMode", 0);
    click(dialog.get(), "btSendDAC");
    EXPECT_EQ(module.writes(), (std::vector<std::string>{"1912=27437", "59=1"}));
    EXPECT_EQ(Config.io[8], 1);
}

// Every field of the group is checked before the first write: a refused one
// leaves the module and the model as they were.
TEST_F(OutParamTest, ARefusedDacFieldStopsTheSendBeforeAnythingIsWritten) {
    choose(dialog.get(), "rgMode", 0);
    type(dialog.get(), "edTime", QStringLiteral("7"));
    type(dialog.get(), "edBegVal", QStringLiteral("-500"));
    click(dialog.get(), "btSendDAC");
    EXPECT_EQ(shownText(), QStringLiteral("Значение -500 выходит за пределы 0 - 65535!"));
    EXPECT_TRUE(module.log.empty());
    EXPECT_EQ(Config.io[3], 40);
    EXPECT_EQ(Config.io[4], 0);
    EXPECT_EQ(Config.io[8], 2);
}

TEST_F(OutParamTest, NoModeSelectedIsRefusedBeforeAnythingIsWritten) {
    Config.io[8] = 0;
    dialog->LoadFromConfig();
    EXPECT_EQ(item(dialog.get(), "rgMode"), -1);
    type(dialog.get(), "edBegVal", QStringLiteral("-5")); // signed without a mode
    click(dialog.get(), "btSendDAC");
    EXPECT_EQ(shownText(), QStringLiteral("Не выбран режим!"));
    EXPECT_TRUE(module.log.empty());
    EXPECT_EQ(Config.io[3], 40);
    EXPECT_EQ(Config.io[4], 0);
    EXPECT_EQ(Config.io[8], 0);
}

// A negative millivolt value shows as its unsigned image; that text must go
// back as it came, from the model and from a read alike.
TEST_F(OutParamTest, AVoltageShownAsItsUnsignedImageWritesBackUnedited) {
    Config.io[4] = 65036; // -500 mV
    Config.io[8] = 2;
    dialog->LoadFromConfig();
    EXPECT_EQ(text(dialog.get(), "edBegVal"), QStringLiteral("65036"));
    click(dialog.get(), "btSendDAC");
    EXPECT_TRUE(prompts.shown.empty()) << shownText().toStdString();
    EXPECT_EQ(module.writes(), (std::vector<std::string>{"1912=27437", "51=40", "1912=27437",
                                                         "52=65036", "1912=27437", "59=2"}));
    EXPECT_EQ(Config.io[4], 65036);

    module.setReg(52, 32768); // the most negative value
    click(dialog.get(), "btReadDAC");
    EXPECT_EQ(text(dialog.get(), "edBegVal"), QStringLiteral("32768"));
    module.clearLog();
    click(dialog.get(), "btSendDAC");
    EXPECT_TRUE(prompts.shown.empty()) << shownText().toStdString();
    EXPECT_EQ(module.reg(52), 32768);

    const struct {
        int mode;
        const char* text;
        const char* message;
    } refused[] = {
        {1, "65536", "Значение 65536 выходит за пределы -32768 - 65535!"},
        {1, "-32769", "Значение -32769 выходит за пределы -32768 - 65535!"},
        {0, "-500", "Значение -500 выходит за пределы 0 - 65535!"},
    };
    for (const auto& r : refused) {
        choose(dialog.get(), "rgMode", r.mode);
        type(dialog.get(), "edBegVal", QString::fromUtf8(r.text));
        module.clearLog();
        click(dialog.get(), "btSendDAC");
        EXPECT_EQ(shownText().toStdString(), r.message) << r.text;
        EXPECT_TRUE(module.log.empty()) << r.text;
    }
}

TEST_F(OutParamTest, LabelsFollowTheSelectedMode) {
    const QString uA[] = {QStringLiteral("Скорость нарастания  (мкА/мс)"),
                          QStringLiteral("Начальное значение (мкА)")};
    const QString mV[] = {QStringLiteral("Скорость нарастания  (мВ/мс)"),
                          QStringLiteral("Начальное значение (мВ)")};
    const struct {
        uint16_t mode;
        int item;
        const QString* labels;
    } cases[] = {{1, 0, uA}, {2, 1, mV}, {0, -1, mV}, {1, 0, uA}, {1, 0, uA}, {3, -1, mV}};
    for (const auto& c : cases) {
        Config.io[8] = c.mode;
        dialog->LoadFromConfig();
        EXPECT_EQ(item(dialog.get(), "rgMode"), c.item) << c.mode;
        EXPECT_EQ(label("lbTime"), c.labels[0]) << c.mode;
        EXPECT_EQ(label("lbBegVal"), c.labels[1]) << c.mode;
    }
    choose(dialog.get(), "rgMode", 0);
    EXPECT_EQ(label("lbTime"), uA[0]);
    choose(dialog.get(), "rgMode", 1);
    EXPECT_EQ(label("lbBegVal"), mV[1]);
    module.setReg(59, 1);
    click(dialog.get(), "btReadDAC");
    EXPECT_EQ(label("lbBegVal"), uA[1]);
    module.setReg(59, 0);
    click(dialog.get(), "btReadDAC");
    EXPECT_EQ(item(dialog.get(), "rgMode"), -1);
    EXPECT_EQ(label("lbBegVal"), mV[1]);
}

TEST_F(OutParamTest, PwmChannelsAreWrittenOneRequestEachChannelOneFirst) {
    typePwm(1, {"1", "2", "3", "4", "-1"});
    typePwm(2, {"5", "6", "7", "8", "32767"});
    click(dialog.get(), "btWritePWM");
    EXPECT_TRUE(prompts.shown.empty()) << shownText().toStdString();
    EXPECT_EQ(requests(), (std::vector<std::string>{"16:320:5", "16:328:5"}));
    EXPECT_EQ(pwmWords(), (std::vector<uint16_t>{1, 2, 3, 4, 65535, 5, 6, 7, 8, 32767}));
    EXPECT_EQ(module.reg(324), 65535);

    // A bad channel-2 field is found before channel 1 is written or stored.
    module.clearLog();
    typePwm(1, {"10", "20", "30", "40", "-2"});
    typePwm(2, {"1", "1", "1", "70000", "0"});
    click(dialog.get(), "btWritePWM");
    EXPECT_EQ(shownText(), QStringLiteral("Значение 70000 выходит за пределы 0 - 65535!"));
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(module.reg(320), 1);
    EXPECT_EQ(pwmWords(), (std::vector<uint16_t>{1, 2, 3, 4, 65535, 5, 6, 7, 8, 32767}));

    // Offset 4 is signed, the others unsigned.
    typePwm(2, {"1", "1", "1", "1", "40000"});
    click(dialog.get(), "btWritePWM");
    EXPECT_EQ(shownText(), QStringLiteral("Значение 40000 выходит за пределы -32768 - 32767!"));
    typePwm(2, {"-1", "1", "1", "1", "1"});
    click(dialog.get(), "btWritePWM");
    EXPECT_EQ(shownText(), QStringLiteral("Значение -1 выходит за пределы 0 - 65535!"));
}

TEST_F(OutParamTest, PwmReadStoresAllTenWordsAndShowsOffsetFourSigned) {
    for (int k = 0; k < 5; ++k) {
        module.setReg(uint16_t(320 + k), uint16_t(k == 4 ? 65535 : 100 + k));
        module.setReg(uint16_t(328 + k), uint16_t(k == 4 ? 32768 : 40000 + k));
    }
    click(dialog.get(), "btReadPWM");
    EXPECT_EQ(requests(), (std::vector<std::string>{"3:320:5", "3:328:5"}));
    EXPECT_EQ(pwmWords(), (std::vector<uint16_t>{100, 101, 102, 103, 65535, 40000, 40001, 40002,
                                                 40003, 32768}));
    EXPECT_EQ(text(dialog.get(), "edY1"), QStringLiteral("-1"));
    EXPECT_EQ(text(dialog.get(), "edY2"), QStringLiteral("-32768"));
    EXPECT_EQ(text(dialog.get(), "Xmax2"), QStringLiteral("40003"));
    dialog->LoadFromConfig();
    EXPECT_EQ(text(dialog.get(), "edY1"), QStringLiteral("-1"));
    EXPECT_EQ(text(dialog.get(), "edXdz1_pwm1"), QStringLiteral("100"));
}

TEST_F(OutParamTest, WithTheLinkDownBothSendsOnlyChangeTheModelAndSaySo) {
    LinkUp = false;
    type(dialog.get(), "edTime", QStringLiteral("3"));
    type(dialog.get(), "edBegVal", QStringLiteral("4"));
    click(dialog.get(), "btSendDAC");
    typePwm(2, {"9", "9", "9", "9", "-9"});
    click(dialog.get(), "btWritePWM");
    EXPECT_EQ(prompts.texts(), (QStringList{OfflineWriteText(), OfflineWriteText()}));
    for (const MessageBoxRequest& shown : prompts.shown) {
        EXPECT_EQ(shown.icon, MsgIcon::Information);
        EXPECT_EQ(shown.owner, dialog.get());
    }
    EXPECT_TRUE(module.log.empty());
    EXPECT_EQ(Config.io[3], 3);
    EXPECT_EQ(Config.io[4], 4);
    EXPECT_EQ(Config.io[8], 2);
    EXPECT_EQ(Config.io[18], 65527);
}

TEST_F(OutParamTest, WindowLayout) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Параметры выхода"));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    // Outer 624 x 306 with a dialog frame and caption.
    EXPECT_EQ(dialog->size(), QSize(616, 278));
    EXPECT_EQ(control<QGroupBox>(dialog.get(), "gbDAC")->title(), QStringLiteral("ЦАП"));
    EXPECT_EQ(control<QGroupBox>(dialog.get(), "gbPWM")->title(), QStringLiteral("ШИМ"));
    EXPECT_LT(control<QGroupBox>(dialog.get(), "gbDAC")->x(),
              control<QGroupBox>(dialog.get(), "gbPWM")->x());
    EXPECT_LT(control<QGroupBox>(dialog.get(), "gbChannel1")->y(),
              control<QGroupBox>(dialog.get(), "gbChannel2")->y());
    EXPECT_EQ(TfOutParam().findChild<RadioGroup*>(QStringLiteral("rgMode"))->itemIndex(), 0);
    for (uint16_t mode : {1, 2}) {
        Config.io[8] = mode;
        dialog->LoadFromConfig();
        dialog->show();
        EXPECT_EQ(clippedTextReport(dialog.get()), "") << mode;
        EXPECT_EQ(clippedTitleReport(dialog.get()), "") << mode;
        EXPECT_EQ(unframedItemReport(dialog.get()), "") << mode;
    }
    grab(dialog.get(), QStringLiteral("fOutParam.png"));
}

} // namespace
} // namespace qmt::test
