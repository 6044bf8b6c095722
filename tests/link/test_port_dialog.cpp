// The port settings dialog: what it shows, the address field, OK, defaults
// and Cancel, and the port list.
#include "Controls.h"
#include "FakeModule.h"
#include "FakeUi.h"
#include "LinkSettings.h"
#include "link/PortSettings.h"
#include "link/Settings.h"
#include "link/TParCOM.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSerialPortInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace qmt::test;

class PortDialog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(settings.dir.isValid()); }
    bool settingsUnchanged() const {
        const qmt::TPortSettings& s = qmt::PortSettings;
        return s.portName == QLatin1String("/dev/ttyUSB0") && s.baud == 57600 && s.parity == 1 &&
               s.address == 17;
    }
    QString fileText() const {
        QFile f(iniPath);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    qmt::test::ScratchSettings settings{{QStringLiteral("/dev/ttyUSB0"), 57600, 1, 17}};
    const QString iniPath = settings.path;
    FakeModule module;
    FakePrompts prompts;
};

TEST_F(PortDialog, ShowsPortSettingsWithTheDesignedControls) {
    TParCOM dialog;
    Controls ui{dialog};
    EXPECT_EQ(dialog.objectName(), QStringLiteral("ParCOM"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Параметры порта"));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(dialog.accepted());

    EXPECT_EQ(ui.combo("cbPort")->currentText(), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_TRUE(ui.combo("cbPort")->isEditable());
    EXPECT_EQ(ui.combo("cbSpeed")->currentText(), QStringLiteral("57600"));
    EXPECT_EQ(ui.combo("cbParity")->currentText(), QStringLiteral("Odd"));
    EXPECT_EQ(ui.edit("edAddress")->text(), QStringLiteral("17"));
    QStringList speeds, parities, letters, types;
    for (int i = 0; i < ui.combo("cbSpeed")->count(); ++i)
        speeds << ui.combo("cbSpeed")->itemText(i);
    for (int i = 0; i < ui.combo("cbParity")->count(); ++i)
        parities << ui.combo("cbParity")->itemText(i);
    for (int i = 0; i < ui.combo("cbSerNumAlpha")->count(); ++i)
        letters << ui.combo("cbSerNumAlpha")->itemText(i);
    for (int i = 0; i < ui.combo("cbType")->count(); ++i)
        types << ui.combo("cbType")->itemText(i);
    EXPECT_EQ(speeds.join(' '), QStringLiteral("2400 4800 9600 19200 28800 38400 57600 115200"));
    EXPECT_EQ(parities.join(' '), QStringLiteral("None Odd Even"));
    EXPECT_EQ(letters.join(QString()), QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    EXPECT_EQ(types.join(' '), QStringLiteral("QMT-584 QMT-584.1"));
    EXPECT_EQ(ui.combo("cbType")->currentIndex(), -1);
    EXPECT_EQ(ui.combo("cbSerNumAlpha")->currentIndex(), -1);
    EXPECT_EQ(ui.edit("edNumber")->maxLength(), 4);
    EXPECT_EQ(ui.edit("edAddress")->maxLength(), 3);
    EXPECT_TRUE(ui.button("btOk")->isDefault());

    QStringList texts;
    for (const char* name : {"btOk", "btCancel", "btDefault", "btAuto"})
        texts << ui.button(name)->text();
    for (QLabel* label : dialog.findChildren<QLabel*>())
        texts << label->text();
    for (const char* text : {"OK", "Отмена", "По умолчанию", "Автоматически", "Порт", "Скорость",
                             "Четность", "Адрес", "Исполнение модуля", "Серийный номер"})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(text))) << text;
}

TEST_F(PortDialog, RatesAndParitiesOutsideTheListsSelectNothing) {
    qmt::PortSettings.baud = 14400;
    qmt::PortSettings.parity = 7;
    TParCOM dialog;
    Controls ui{dialog};
    EXPECT_EQ(ui.combo("cbSpeed")->currentIndex(), -1);
    EXPECT_EQ(ui.combo("cbParity")->currentIndex(), -1);
}

TEST_F(PortDialog, AddressFieldTakesDigitsAndControlKeysOnly) {
    TParCOM dialog;
    Controls ui{dialog};
    QLineEdit* address = ui.edit("edAddress");
    ui.type("edAddress", QStringLiteral("1a -2.x"));
    EXPECT_EQ(address->text(), QStringLiteral("12"));
    QTest::keyClick(address, Qt::Key_Backspace);
    EXPECT_EQ(address->text(), QStringLiteral("1"));
    QTest::keyClicks(address, QStringLiteral("2345"));
    EXPECT_EQ(address->text(), QStringLiteral("123")); // three characters at most

    QChar key = QLatin1Char('7');
    dialog.edAddressKeyPress(key);
    EXPECT_EQ(key, QLatin1Char('7'));
    key = QChar(0x08); // backspace
    dialog.edAddressKeyPress(key);
    EXPECT_EQ(key, QChar(0x08));
    key = QLatin1Char('+');
    dialog.edAddressKeyPress(key);
    EXPECT_TRUE(key.isNull());
    key = QChar(0x0663); // ARABIC-INDIC DIGIT THREE: a digit, but not one an address is made of
    dialog.edAddressKeyPress(key);
    EXPECT_TRUE(key.isNull());
}

TEST_F(PortDialog, OkOpensThePortStoresTheSettingsAndWritesTheFile) {
    QFile seed(iniPath);
    ASSERT_TRUE(seed.open(QIODevice::WriteOnly));
    seed.write("; keep me\n[Port]\nBaud=57600\nExtra=1\n");
    seed.close();

    TParCOM dialog;
    Controls ui{dialog};
    dialog.show();
    ui.fill({{"cbPort", QStringLiteral("/dev/ttyACM3")},
             {"cbSpeed", QStringLiteral("9600")},
             {"cbParity", QStringLiteral("None")},
             {"edAddress", QStringLiteral("247")}});
    ui.click("btOk");

    EXPECT_TRUE(prompts.shown.empty()) << prompts.lastText().toStdString();
    ASSERT_EQ(module.opens.size(), 1u);
    EXPECT_EQ(module.opens[0].port, "/dev/ttyACM3");
    EXPECT_EQ(module.opens[0].baud, 9600u);
    EXPECT_EQ(module.opens[0].parity, 0);
    EXPECT_EQ(qmt::PortSettings.portName, QStringLiteral("/dev/ttyACM3"));
    EXPECT_EQ(qmt::PortSettings.baud, 9600);
    EXPECT_EQ(qmt::PortSettings.parity, 0);
    EXPECT_EQ(qmt::PortSettings.address, 247);
    EXPECT_EQ(fileText(),
              QStringLiteral("; keep me\n[Port]\nBaud=9600\nExtra=1\nName=/dev/ttyACM3\n"
                             "Parity=0\n[Station]\nAddress=247\n"));
    EXPECT_TRUE(dialog.accepted());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(PortDialog, OkThatCannotOpenThePortKeepsEverything) {
    module.initCommResult = 11;
    TParCOM dialog;
    Controls ui{dialog};
    dialog.show();
    ui.type("cbPort", QStringLiteral("/dev/ttyUSB7"));
    EXPECT_FALSE(dialog.portDisturbed());
    ui.click("btOk");
    EXPECT_EQ(prompts.texts(), QStringList{QStringLiteral("Невозможно открыть /dev/ttyUSB7")});
    EXPECT_TRUE(settingsUnchanged());
    EXPECT_FALSE(QFile::exists(iniPath));
    EXPECT_FALSE(dialog.accepted());
    EXPECT_TRUE(dialog.isVisible());
    // The library closed the old port before it tried this one: whoever ran the
    // dialog must reopen the old one if no OK succeeds.
    EXPECT_TRUE(dialog.portDisturbed());
}

TEST_F(PortDialog, OkWhoseFileCannotBeWrittenStillAppliesTheOpenedSettings) {
    // A folder where the file should be: the save fails, the port is open anyway.
    ASSERT_TRUE(QDir(settings.dir.path()).mkdir(QStringLiteral("QMT584_View.ini")));
    TParCOM dialog;
    Controls ui{dialog};
    dialog.show();
    ui.type("cbPort", QStringLiteral("/dev/ttyACM3"));
    ui.choose("cbSpeed", QStringLiteral("9600"));
    ui.click("btOk");

    EXPECT_EQ(prompts.texts(), QStringList{QStringLiteral("Unable to write to ") + iniPath});
    ASSERT_EQ(module.opens.size(), 1u);
    EXPECT_EQ(qmt::PortSettings.portName, QStringLiteral("/dev/ttyACM3"));
    EXPECT_EQ(qmt::PortSettings.baud, 9600);
    EXPECT_TRUE(dialog.accepted());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(PortDialog, PortFieldShowsALongPathWholeOnHover) {
    TParCOM dialog;
    Controls ui{dialog};
    dialog.show();
    const QString path = QStringLiteral("/dev/serial/by-id/usb-FTDI_USB_RS485-if00-port0");
    ui.type("cbPort", path);
    EXPECT_EQ(ui.combo("cbPort")->toolTip(), path);
}

TEST_F(PortDialog, OkRefusesAMissingSpeedOrABadAddressBeforeTouchingThePort) {
    const struct {
        int speedIndex;
        const char* address;
        const char* message;
    } cases[] = {
        {-1, "1", "'' is not a valid integer value"},
        {3, "300", "Введите корректное значение адреса!"},
        {3, "248", "Введите корректное значение адреса!"},
        {3, "", "Введите корректное значение адреса!"},
        {3, "abc", "Введите корректное значение адреса!"}, // pasted: typing cannot enter it
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        prompts.shown.clear();
        TParCOM dialog;
        Controls ui{dialog};
        dialog.show();
        ui.combo("cbSpeed")->setCurrentIndex(c.speedIndex);
        ui.edit("edAddress")->setText(QString::fromUtf8(c.address));
        ui.click("btOk");
        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].text, QString::fromUtf8(c.message));
        EXPECT_EQ(prompts.shown[0].caption, QStringLiteral("QMT584_View"));
        EXPECT_TRUE(module.opens.empty());
        EXPECT_TRUE(settingsUnchanged());
        EXPECT_FALSE(QFile::exists(iniPath));
        EXPECT_FALSE(dialog.accepted());
        EXPECT_TRUE(dialog.isVisible());
    }
}

TEST_F(PortDialog, DefaultsThenCancelChangeNothing) {
    TParCOM dialog;
    Controls ui{dialog};
    dialog.show();
    ui.click("btDefault");
    EXPECT_EQ(ui.combo("cbPort")->currentText(), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(ui.combo("cbSpeed")->currentText(), QStringLiteral("19200"));
    EXPECT_EQ(ui.combo("cbParity")->currentText(), QStringLiteral("Even"));
    EXPECT_EQ(ui.edit("edAddress")->text(), QStringLiteral("1"));
    EXPECT_TRUE(module.opens.empty());
    ui.click("btCancel");
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.accepted());
    EXPECT_TRUE(module.opens.empty());
    EXPECT_TRUE(settingsUnchanged());
    EXPECT_FALSE(QFile::exists(iniPath));
}

TEST_F(PortDialog, DroppingDownListsTheSystemPortsSortedAndKeepsTheTypedName) {
    TParCOM dialog;
    Controls ui{dialog};
    dialog.show();
    QComboBox* port = ui.combo("cbPort");
    ASSERT_EQ(port->count(), 1);
    EXPECT_EQ(port->itemText(0), QStringLiteral(" "));
    ui.type("cbPort", QStringLiteral("/dev/pts/5"));
    port->showPopup();
    port->hidePopup();

    QStringList expected;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        expected << info.systemLocation();
    std::sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    QStringList listed;
    for (int i = 0; i < port->count(); ++i)
        listed << port->itemText(i);
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(port->currentText(), QStringLiteral("/dev/pts/5"));
    // Dropping down again does not pile up entries.
    port->showPopup();
    port->hidePopup();
    EXPECT_EQ(port->count(), expected.size());
}

} // namespace

namespace {
// Pictures of the dialog for a look by eye: QMT_GRAB_DIR=/some/folder.
TEST_F(PortDialog, Pictures) {
    const QByteArray target = qgetenv("QMT_GRAB_DIR");
    if (target.isEmpty()) GTEST_SKIP() << "QMT_GRAB_DIR not set";
    TParCOM dialog;
    dialog.show();
    dialog.grab().save(QDir(QString::fromLocal8Bit(target)).filePath(QStringLiteral("parcom.png")));
}
} // namespace
