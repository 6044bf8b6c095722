// The automatic search of the port dialog: what it asks the library for, the
// wait window, what it selects, and every message.
#include "Controls.h"
#include "FakeModule.h"
#include "FakeUi.h"
#include "LinkSettings.h"
#include "link/Forms.h"
#include "link/Library.h"
#include "link/ModuleSearch.h"
#include "link/PortSettings.h"
#include "link/Settings.h"
#include "link/TParCOM.h"
#include "link/TfMess.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace qmt::test;

// The search asks only the dialog's address (3 here), and a failure says so.
const QString NotFound = QStringLiteral("Модуль не найден!\nИскали по адресу 3. Если у модуля "
                                        "другой адрес, введите его в поле \"Адрес\".");

class Search : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(settings.dir.isValid());
        dialog.show();
        ui.type("cbPort", QStringLiteral("/dev/ttyUSB1"));
    }
    // A complete identification: letter, number and version.
    void identify(const char* letter, const char* number, const char* type) {
        ui.choose("cbSerNumAlpha", QString::fromLatin1(letter));
        ui.type("edNumber", QString::fromLatin1(number));
        ui.choose("cbType", QString::fromLatin1(type));
    }

    qmt::test::ScratchSettings settings{{QStringLiteral("/dev/ttyUSB0"), 19200, 2, 3}};
    FakeModule module;
    FakePrompts prompts;
    TParCOM dialog;
    Controls ui{dialog};
};

TEST_F(Search, IncompleteIdentificationIsRefusedBeforeAnySearch) {
    const struct {
        const char *letter, *number, *type, *message;
    } cases[] = {
        {nullptr, "15", "QMT-584", "Введите  номер модуля!"},
        {"C", "", "QMT-584", "Введите  номер модуля!"},
        {"C", "15", nullptr, "Выберите  исполнение модуля!"},
        {"C", "1x", "QMT-584", "'1x' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        prompts.shown.clear();
        ui.combo("cbSerNumAlpha")->setCurrentIndex(-1);
        ui.combo("cbType")->setCurrentIndex(-1);
        if (c.letter) ui.choose("cbSerNumAlpha", QString::fromLatin1(c.letter));
        ui.type("edNumber", QString::fromLatin1(c.number));
        if (c.type) ui.choose("cbType", QString::fromLatin1(c.type));
        ui.click("btAuto");
        EXPECT_EQ(prompts.texts(), QStringList{QString::fromUtf8(c.message)});
        EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("QMT584_View"));
    }
    // An address the module cannot have is refused too; no wait window appears.
    identify("C", "15", "QMT-584");
    ui.edit("edAddress")->setText(QStringLiteral("300"));
    prompts.shown.clear();
    ui.click("btAuto");
    EXPECT_EQ(prompts.texts(), QStringList{QStringLiteral("Введите корректное значение адреса!")});
    EXPECT_TRUE(module.enumCalls.empty());
    EXPECT_TRUE(module.opens.empty());
    EXPECT_EQ(fMess, nullptr);
}

TEST_F(Search, ProbeCarriesVersionSerialCodeAndAddress) {
    identify("C", "15", "QMT-584.1");
    ui.type("edAddress", QStringLiteral("12"));
    ui.click("btAuto");
    identify("A", "0", "QMT-584");
    ui.click("btAuto");
    identify("Z", "2047", "QMT-584.1");
    ui.click("btAuto");
    ASSERT_EQ(module.enumCalls.size(), 3u);
    EXPECT_EQ(module.enumCalls[0].port, "/dev/ttyUSB1"); // the port shown, not the stored one
    EXPECT_EQ(module.enumCalls[0].version, 8);
    EXPECT_EQ(module.enumCalls[0].serial, 6159); // 3 * 2048 + 15
    EXPECT_EQ(module.enumCalls[0].address, 12);
    EXPECT_EQ(module.enumCalls[1].version, 2);
    EXPECT_EQ(module.enumCalls[1].serial, 2048);
    EXPECT_EQ(module.enumCalls[2].serial, 26 * 2048 + 2047);
}

TEST_F(Search, TheStatusBarSaysWhatIsSoughtUntilTheSearchEnds) {
    identify("B", "7", "QMT-584");
    qmt::test::FakeStatus status;
    QString during;
    module.onEnum = [&] { during = status.current; };
    for (int32_t result : {0, 14}) {
        SCOPED_TRACE(result);
        during.clear();
        module.enumResult = result;
        module.enumBaud = 9600;
        ui.click("btAuto");
        EXPECT_EQ(during,
                  QStringLiteral("Поиск модуля № B7, адрес 3 на /dev/ttyUSB1, все скорости"));
        EXPECT_TRUE(status.current.isEmpty()) << status.current.toStdString();
    }
}

TEST_F(Search, WaitWindowIsShownOverTheDialogOnlyWhileSearching) {
    identify("B", "7", "QMT-584");
    bool checked = false;
    module.onEnum = [&] {
        ASSERT_NE(fMess, nullptr);
        EXPECT_TRUE(fMess->isVisible());
        EXPECT_EQ(fMess->objectName(), QStringLiteral("fMess"));
        EXPECT_EQ(fMess->parentWidget(), &dialog);
        EXPECT_TRUE(fMess->windowFlags() & Qt::Tool);
        EXPECT_FALSE(fMess->windowFlags() & Qt::WindowCloseButtonHint);
        QStringList lines;
        for (QLabel* label : fMess->findChildren<QLabel*>())
            lines << label->text();
        EXPECT_EQ(lines, (QStringList{QStringLiteral("Идёт подбор параметров связи!"),
                                      QStringLiteral("Это может занять порядка минуты")}));
        checked = true;
    };
    for (int32_t result : {0, 14, 17, 11}) {
        SCOPED_TRACE(result);
        checked = false;
        module.enumResult = result;
        module.enumBaud = 9600;
        ui.click("btAuto");
        EXPECT_TRUE(checked);
        EXPECT_EQ(fMess, nullptr);
        EXPECT_TRUE(dialog.findChildren<TfMess*>().isEmpty());
    }
}

TEST_F(Search, FoundSettingsAreSelectedButNothingIsStored) {
    identify("C", "15", "QMT-584");
    module.enumResult = 0;
    module.enumBaud = 57600;
    module.enumParity = 1;
    EXPECT_FALSE(dialog.portDisturbed());
    ui.click("btAuto");
    EXPECT_TRUE(dialog.portDisturbed()); // the library's port is at the found setting
    EXPECT_EQ(ui.combo("cbSpeed")->currentText(), QStringLiteral("57600"));
    EXPECT_EQ(ui.combo("cbParity")->currentText(), QStringLiteral("Odd"));
    ASSERT_EQ(prompts.shown.size(), 1u);
    const auto& box = prompts.shown[0];
    EXPECT_EQ(box.text,
              QStringLiteral("Модуль обнаружен!\nДля установки параметров порта нажмите ОК"));
    EXPECT_EQ(box.caption, QString());
    EXPECT_EQ(box.icon, qmt::MsgIcon::Warning);
    EXPECT_EQ(box.owner, &dialog);
    // The library's port stays at the found setting; PortSettings and the file wait for OK.
    EXPECT_TRUE(module.opens.empty());
    EXPECT_EQ(qmt::PortSettings.baud, 19200);
    EXPECT_EQ(qmt::PortSettings.parity, 2);
    EXPECT_FALSE(QFile::exists(qmt::SettingsFilePath()));
    EXPECT_TRUE(dialog.isVisible());

    // A rate the list does not hold leaves the speed as it was.
    module.enumBaud = 14400;
    module.enumParity = 0;
    ui.click("btAuto");
    EXPECT_EQ(ui.combo("cbSpeed")->currentText(), QStringLiteral("57600"));
    EXPECT_EQ(ui.combo("cbParity")->currentText(), QStringLiteral("None"));

    // OK then opens and stores what the search found.
    prompts.shown.clear();
    ui.click("btOk");
    EXPECT_TRUE(prompts.shown.empty());
    ASSERT_EQ(module.opens.size(), 1u);
    EXPECT_EQ(module.opens[0].baud, 57600u);
    EXPECT_EQ(module.opens[0].parity, 0);
    EXPECT_TRUE(dialog.accepted());
}

TEST_F(Search, AFailedSearchReopensTheStoredPortAndSaysWhy) {
    identify("C", "15", "QMT-584");
    const struct {
        int32_t status;
        QStringList messages;
    } cases[] = {
        {14, {NotFound}},
        {17, {QStringLiteral("Ошибка CRC!\n Возможно просто сбой!\nПовторите попытку!")}},
        {11, {}},
        {12, {}},
        {13, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        prompts.shown.clear();
        module.opens.clear();
        module.enumResult = c.status;
        ui.click("btAuto");
        EXPECT_EQ(prompts.texts(), c.messages);
        ASSERT_EQ(module.opens.size(), 1u);
        EXPECT_EQ(module.opens[0].port, "/dev/ttyUSB0");
        EXPECT_EQ(module.opens[0].baud, 19200u);
        EXPECT_EQ(module.opens[0].parity, 2);
        EXPECT_EQ(ui.combo("cbSpeed")->currentText(), QStringLiteral("19200"));
        EXPECT_TRUE(dialog.isVisible());
    }
    // When the stored port cannot be reopened either, its own message comes first.
    prompts.shown.clear();
    module.initCommResult = 11;
    module.enumResult = 14;
    ui.click("btAuto");
    EXPECT_EQ(prompts.texts(),
              (QStringList{QStringLiteral("Невозможно открыть /dev/ttyUSB0"), NotFound}));
}

// A library that searches one combination per call: the fake answers with
// `status` at combination `at` and nothing elsewhere.
struct Stepwise {
    static inline int at = -1;
    static inline int32_t status = 0;
    static inline std::vector<int> tried;
    static inline std::vector<std::string> ports;
    static inline QStringList shown; // the status bar at each probe
    static inline qmt::test::FakeStatus* bar = nullptr;

    static int32_t entry(const char* port, uint16_t, uint16_t, uint8_t, uint8_t i, uint32_t* baud,
                         uint8_t* parity) {
        tried.push_back(i);
        ports.push_back(port ? port : "");
        shown << (bar ? bar->current : QString());
        if (i != at) return 14;
        if (status == 0) {
            *baud = qmt::SearchCombination(i).baud;
            *parity = qmt::SearchCombination(i).parity;
        }
        return status;
    }
};

TEST_F(Search, EachCombinationIsNamedInTheStatusBarWhileItIsTried) {
    identify("B", "7", "QMT-584");
    qmt::test::FakeStatus status;
    Stepwise::bar = &status;
    qmt::library().EnumParametersAt = &Stepwise::entry;
    const struct {
        int at;
        int32_t result;
        size_t probes;
        QString speed, parity;
        QStringList messages;
    } cases[] = {
        {14,
         0,
         15,
         QStringLiteral("19200"),
         QStringLiteral("Even"),
         {QStringLiteral("Модуль обнаружен!\nДля установки параметров порта нажмите ОК")}},
        {3,
         17,
         4,
         QStringLiteral("19200"),
         QStringLiteral("Even"),
         {QStringLiteral("Ошибка CRC!\n Возможно просто сбой!\nПовторите попытку!")}},
        {-1, 14, 24, QStringLiteral("19200"), QStringLiteral("Even"), {NotFound}},
        {0,
         0,
         1,
         QStringLiteral("115200"),
         QStringLiteral("None"),
         {QStringLiteral("Модуль обнаружен!\nДля установки параметров порта нажмите ОК")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.at);
        Stepwise::at = c.at;
        Stepwise::status = c.result;
        Stepwise::tried.clear();
        Stepwise::ports.clear();
        Stepwise::shown.clear();
        prompts.shown.clear();
        ui.click("btAuto");
        ASSERT_EQ(Stepwise::tried.size(), c.probes);
        for (size_t i = 0; i < c.probes; ++i) {
            EXPECT_EQ(Stepwise::tried[i], int(i));
            EXPECT_EQ(Stepwise::ports[i], "/dev/ttyUSB1");
        }
        EXPECT_EQ(Stepwise::shown.first(),
                  QStringLiteral(
                      "Поиск модуля № B7, адрес 3: 115200 бод, None (1 из 24), порт /dev/ttyUSB1"));
        EXPECT_EQ(Stepwise::shown.last(), QStringLiteral("Поиск модуля № B7, адрес 3: ") +
                                              qmt::SearchStepText(int(c.probes) - 1) +
                                              QStringLiteral(", порт /dev/ttyUSB1"));
        EXPECT_TRUE(status.current.isEmpty()) << status.current.toStdString();
        EXPECT_TRUE(module.enumCalls.empty()); // the one-call search is not used
        EXPECT_EQ(prompts.texts(), c.messages);
        EXPECT_EQ(ui.combo("cbSpeed")->currentText(), c.speed);
        EXPECT_EQ(ui.combo("cbParity")->currentText(), c.parity);
    }
    EXPECT_EQ(qmt::SearchStepText(23), QStringLiteral("2400 бод, Even (24 из 24)"));
    Stepwise::bar = nullptr;
}

} // namespace
