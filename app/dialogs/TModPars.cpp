#include "dialogs/TModPars.h"

#include "common/Ui.h"
#include "dialogs/DialogForm.h"
#include "dialogs/PackedDate.h"
#include "dialogs/TPassword.h"
#include "link/Errors.h"
#include "link/Forms.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"
#include "link/StatusReport.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QShowEvent>

#include <algorithm>
#include <limits>

namespace {

constexpr int MaxStationAddress = 240;
constexpr int WriteGapMs = 10;
constexpr int DateWriteGapMs = 300; // the module stores its passport in flash
const QString DateMask = QStringLiteral("99.99.99;_");

const QString AddressError = QStringLiteral("Введите корректное значение адреса!");
const QString NumberError = QStringLiteral("Введите  номер модуля!");

// A field of blanks is as empty as no text: it holds no number the user meant.
bool blank(const QString& text) {
    return text.trimmed().isEmpty();
}

// Captions, fields and combo boxes of the dialog are one row high.
constexpr int RowHeight = 24;

void label(const QString& text, const char* name, QWidget* parent, int x, int y, int w) {
    qmt::form::label(parent, name, text, {x, y, w, RowHeight});
}

QLineEdit* edit(const char* name, QWidget* parent, int x, int y, int w) {
    return qmt::form::edit(parent, name, {x, y, w, RowHeight});
}

QComboBox* combo(const char* name, QWidget* parent, int x, int y, int w) {
    return qmt::form::combo(parent, name, {x, y, w, RowHeight});
}

// Shows a packed date, or raises the error when it is not a calendar date.
void showDate(QLineEdit* field, uint16_t packed, const QString& error) {
    const qmt::PackedDateFields date = qmt::UnpackDate(packed);
    if (!qmt::IsValidPackedDate(date)) throw qmt::Exception(error);
    field->setText(qmt::FormatPackedDate(date));
}

} // namespace

TModPars::TModPars(QWidget* parent) : QDialog(parent, qmt::form::Closable) {
    using qmt::handler;
    using namespace qmt::form;
    setUp(this, "ModPars", QStringLiteral("Служебные параметры модуля"), {356, 288});

    QGroupBox* modbus =
        group(this, "gbModbus", QStringLiteral("Параметры Modbus"), {8, 4, 340, 76});
    label(QStringLiteral("Адрес"), "lbAdress", modbus, 12, 18, 70);
    edAdress = edit("edAdress", modbus, 12, 42, 60);
    // Three digits; a read value is shown whole whatever its width.
    edAdress->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,3}")), edAdress));
    label(QStringLiteral("Скорость"), "lbSpeed", modbus, 90, 18, 110);
    cbSpeed = combo("cbSpeed", modbus, 90, 42, 110);
    cbSpeed->addItems(qmt::LineSpeedItems());
    label(QStringLiteral("Паритет"), "lbParity", modbus, 218, 18, 110);
    cbParity = combo("cbParity", modbus, 218, 42, 110);
    cbParity->addItems(qmt::ParityItems());

    QGroupBox* passport = group(this, "gbPassport", QStringLiteral("Паспорт"), {8, 86, 340, 156});
    label(QStringLiteral("Тип модуля"), "lbName", passport, 12, 20, 140);
    edName = edit("edName", passport, 160, 20, 110);
    edName->setReadOnly(true);
    edName->setEnabled(false);
    label(QStringLiteral("Рег. номер"), "lbNumber", passport, 12, 46, 140);
    cbAlpha = combo("cbAlpha", passport, 160, 46, 52);
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        cbAlpha->addItem(QString(QLatin1Char(letter)));
    edNumber = edit("edNumber", passport, 216, 46, 54);
    edNumber->setMaxLength(5);
    label(QStringLiteral("Дата изготовления"), "lbManuf", passport, 12, 72, 140);
    edManuf = edit("edManuf", passport, 160, 72, 80);
    edManuf->setInputMask(DateMask);
    label(QStringLiteral("Дата калибровки"), "lbCheck", passport, 12, 98, 140);
    edCheck = edit("edCheck", passport, 160, 98, 80);
    edCheck->setInputMask(DateMask);
    edCheck->setEnabled(false);
    label(QStringLiteral("Версия ПО"), "lbVer", passport, 12, 124, 140);
    edVer = edit("edVer", passport, 160, 124, 80);
    edVer->setEnabled(false);

    ButtonRow buttons(this, {8, 252, 108, 26}, {116, 0});
    btWrite = buttons.add("btWrite", QStringLiteral("Записать"), Enter::Default);
    btRead = buttons.add("btRead", QStringLiteral("Прочитать"), Enter::WhenFocused);
    btDef = buttons.add("btDef", QStringLiteral("По умолчанию"), Enter::WhenFocused);
    qmt::onClicked(btWrite, handler(this, &TModPars::btWriteClick));
    qmt::onClicked(btRead, handler(this, &TModPars::btReadClick));
    qmt::onClicked(btDef, handler(this, &TModPars::btDefClick));

    // Empty until the user reads the module or asks for the defaults.
    cbSpeed->setCurrentIndex(-1);
    cbParity->setCurrentIndex(-1);
    cbAlpha->setCurrentIndex(-1);
    edAdress->setFocus();
}

TModPars::~TModPars() {
    if (ModPars == this) ModPars = nullptr;
}

void TModPars::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Only the show that opens the dialog, not a restore from the task bar.
    if (!event->spontaneous()) qmt::guarded(qmt::handler(this, &TModPars::FormShow));
}

void TModPars::setPassportEditable(bool editable) {
    for (QWidget* field : {static_cast<QWidget*>(edNumber), static_cast<QWidget*>(edManuf),
                           static_cast<QWidget*>(cbAlpha)}) {
        field->setEnabled(editable);
        QPalette palette = QApplication::palette(field);
        if (!editable) {
            palette.setColor(QPalette::Base, QColor(128, 128, 128));
            palette.setColor(QPalette::Button, QColor(128, 128, 128));
        }
        field->setPalette(palette);
    }
}

void TModPars::FormShow() {
    setPassportEditable(qmt::AskPassword());
    edAdress->setFocus();
}

void TModPars::btReadClick() {
    qmt::BusyCursor busy;
    using namespace qmt::reg;

    edAdress->setText(QString::number(qmt::ReadRegister(OwnAddress)));

    const uint16_t speed = qmt::ReadRegister(OwnBaud);
    cbSpeed->setCurrentIndex(qmt::LineSpeedIndex(speed * BaudUnit));

    const int parity = qmt::ReadRegister(OwnParity) & 0xFF;
    cbParity->setCurrentIndex(parity < cbParity->count() ? parity : -1);

    edName->setText(qmt::ModuleTypeName(qmt::ReadRegister(ModuleType)));

    const uint16_t serial = qmt::ReadRegister(SerialNumber);
    const int letter = (serial >> SerialLetterShift) - 1;
    cbAlpha->setCurrentIndex(letter >= 0 && letter < cbAlpha->count() ? letter : -1);
    edNumber->setText(QString::asprintf("%04hd", static_cast<short>(serial & SerialNumberMask)));

    const uint16_t version = qmt::ReadRegister(FirmwareVersion);
    edVer->setText(QString::asprintf("%02hd.%02hd", static_cast<short>(version >> 8),
                                     static_cast<short>(version & 0xFF)));

    showDate(edManuf, qmt::ReadRegister(ManufactureDate),
             QStringLiteral("Некорректная дата изготовления!"));
    showDate(edCheck, qmt::ReadRegister(CalibrationDate),
             QStringLiteral("Некорректная дата калибровки!\nВозможно модуль не откалиброван!"));
}

void TModPars::btWriteClick() {
    using namespace qmt::reg;
    if (cbSpeed->currentIndex() < 0) throw qmt::Exception(QStringLiteral("Выберите скорость!"));
    if (cbParity->currentIndex() < 0) throw qmt::Exception(QStringLiteral("Выберите паритет!"));

    if (blank(edAdress->text())) throw qmt::Exception(AddressError);
    const long long address = qmt::ParseInteger(edAdress->text(), std::numeric_limits<int>::min(),
                                                std::numeric_limits<int>::max());
    // A negative number would reach the module as a word above 240.
    if (address > MaxStationAddress || address < 0) throw qmt::Exception(AddressError);

    qmt::BusyCursor busy;
    // Three words, and the passport's two behind the password.
    const bool passport = edNumber->isEnabled();
    const int total = passport ? 5 : 3;
    qmt::ProgressNote note;
    int done = 0;
    auto progress = [&] {
        note.show(QStringLiteral("Запись сервисных параметров: %1 из %2").arg(done).arg(total));
    };
    auto written = [&](int gapMs) {
        ++done;
        progress();
        qmt::clock().sleepMs(gapMs);
    };
    progress();
    qmt::WriteRegister(OwnAddress, static_cast<uint16_t>(address));
    written(WriteGapMs);
    qmt::WriteRegister(OwnBaud,
                       static_cast<uint16_t>(qmt::LineSpeed(cbSpeed->currentIndex()) / BaudUnit));
    written(WriteGapMs);
    qmt::WriteRegister(OwnParity, static_cast<uint16_t>(cbParity->currentIndex()));
    written(WriteGapMs);

    if (passport) {
        const QString numberText = edNumber->text();
        if (blank(numberText)) throw qmt::Exception(NumberError);
        // Eleven bits: a wider number would spill into the series letter.
        const long long number = qmt::ParseInteger(numberText, 0, SerialNumberMask);
        qmt::WriteProtectedRegister(SerialNumber,
                                    SerialCode(cbAlpha->currentIndex(), static_cast<int>(number)));
        written(WriteGapMs);

        const QString dateText = edManuf->text();
        static const QRegularExpression dmy(
            QStringLiteral("^([0-9]{2})\\.([0-9]{2})\\.([0-9]{2})$"));
        const QRegularExpressionMatch parts = dmy.match(dateText);
        const int day = parts.captured(1).toInt(), month = parts.captured(2).toInt(),
                  year = parts.captured(3).toInt();
        if (!parts.hasMatch() || !QDate(2000 + year, month, day).isValid())
            throw qmt::Exception(QStringLiteral("'%1' is not a valid date").arg(dateText));
        // The year field has six bits: a later year would be stored as another one.
        // Year 00 packs to a field of 0, which no date read back may have.
        if (year < qmt::FirstPackedYear || year > qmt::LastPackedYear)
            throw qmt::Exception(QStringLiteral("Некорректная дата изготовления!"));
        qmt::WriteProtectedRegister(ManufactureDate, qmt::PackDate(day, month, year));
        written(DateWriteGapMs);
    }
    note.end();
    qmt::status().confirm(QStringLiteral("Сервисные параметры записаны в модуль"));
}

void TModPars::btDefClick() {
    edAdress->setText(QStringLiteral("1"));
    cbSpeed->setCurrentIndex(3);
    cbParity->setCurrentIndex(2);
    if (edManuf->isEnabled()) {
        const QDate today = qmt::clock().now().date();
        edManuf->setText(qmt::FormatPackedDate({today.day(), today.month(), today.year() % 100}));
    }
}
