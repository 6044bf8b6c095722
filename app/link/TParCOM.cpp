#include "link/TParCOM.h"

#include "common/Ui.h"
#include "link/Errors.h"
#include "link/Forms.h"
#include "link/IniFile.h"
#include "link/Library.h"
#include "link/ModuleSearch.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "link/Settings.h"
#include "link/StatusReport.h"
#include "link/TfMess.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>

#include <algorithm>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

namespace {

// Lists the system's serial ports each time its list is about to drop down.
class PortComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> onDropDown;

    void showPopup() override {
        if (onDropDown) qmt::guarded(onDropDown);
        QComboBox::showPopup();
    }
};

// The text as a whole integer, or the toolkit's conversion error.
int toInteger(const QString& text) {
    const auto value = qmt::IniFile::parseInteger(text);
    if (!value || *value < std::numeric_limits<int>::min() ||
        *value > std::numeric_limits<int>::max()) {
        throw qmt::Exception(QStringLiteral("'%1' is not a valid integer value").arg(text));
    }
    return static_cast<int>(*value);
}

// A Modbus station the module can have: 0..247, digits only. A wider value
// would otherwise be cut to its low 8 bits and talk to another station.
uint8_t stationAddress(const QString& text) {
    const QString t = text.trimmed();
    bool digitsOnly = !t.isEmpty();
    for (QChar c : t)
        digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int value = digitsOnly ? t.toInt() : -1;
    if (value < 0 || value > 247)
        throw qmt::Exception(QStringLiteral("Введите корректное значение адреса!"));
    return static_cast<uint8_t>(value);
}

QLabel* label(const QString& text, const QString& name, QWidget* parent, int x, int y, int w) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(x, y, w, 24);
    return l;
}

// Removes the wait window however the search ends.
class WaitWindow {
public:
    explicit WaitWindow(QWidget* owner) : window_(new TfMess(owner)) {}
    ~WaitWindow() { close(); }
    WaitWindow(const WaitWindow&) = delete;
    WaitWindow& operator=(const WaitWindow&) = delete;
    void close() {
        delete window_;
        window_ = nullptr;
    }

private:
    TfMess* window_;
};

} // namespace

TParCOM::TParCOM(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    using qmt::handler;
    setObjectName(QStringLiteral("ParCOM"));
    setWindowTitle(QStringLiteral("Параметры порта"));
    setFixedSize(440, 242);

    label(QStringLiteral("Порт"), QStringLiteral("lbPort"), this, 12, 12, 80);
    auto* portBox = new PortComboBox(this);
    portBox->onDropDown = [this] { cbPortDropDown(); };
    cbPort = portBox;
    cbPort->setObjectName(QStringLiteral("cbPort"));
    cbPort->setEditable(true);
    cbPort->setInsertPolicy(QComboBox::NoInsert);
    // Wide enough for /dev/serial/by-id style paths to show more than their end.
    cbPort->setGeometry(96, 12, 190, 24);
    cbPort->addItem(QStringLiteral(" "));

    label(QStringLiteral("Скорость"), QStringLiteral("lbSpeed"), this, 12, 44, 80);
    cbSpeed = new QComboBox(this);
    cbSpeed->setObjectName(QStringLiteral("cbSpeed"));
    cbSpeed->setGeometry(96, 44, 190, 24);
    cbSpeed->addItems(qmt::LineSpeedItems());

    label(QStringLiteral("Четность"), QStringLiteral("lbParity"), this, 12, 76, 80);
    cbParity = new QComboBox(this);
    cbParity->setObjectName(QStringLiteral("cbParity"));
    cbParity->setGeometry(96, 76, 190, 24);
    cbParity->addItems(qmt::ParityItems());

    label(QStringLiteral("Адрес"), QStringLiteral("lbAddress"), this, 12, 108, 80);
    edAddress = new QLineEdit(this);
    edAddress->setObjectName(QStringLiteral("edAddress"));
    edAddress->setGeometry(96, 108, 60, 24);
    edAddress->setMaxLength(3);
    edAddress->installEventFilter(this);

    btOk = new QPushButton(QStringLiteral("OK"), this);
    btOk->setObjectName(QStringLiteral("btOk"));
    btOk->setGeometry(302, 11, 126, 26);
    btOk->setDefault(true);
    btCancel = new QPushButton(QStringLiteral("Отмена"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btCancel->setGeometry(302, 43, 126, 26);
    btDefault = new QPushButton(QStringLiteral("По умолчанию"), this);
    btDefault->setObjectName(QStringLiteral("btDefault"));
    btDefault->setGeometry(302, 75, 126, 26);

    auto* search = new QGroupBox(this);
    search->setObjectName(QStringLiteral("gbSearch"));
    search->setGeometry(8, 144, 424, 88);
    label(QStringLiteral("Исполнение модуля"), QStringLiteral("lbType"), search, 10, 16, 140);
    cbType = new QComboBox(search);
    cbType->setObjectName(QStringLiteral("cbType"));
    cbType->setGeometry(160, 16, 96, 24);
    cbType->addItems({QStringLiteral("QMT-584"), QStringLiteral("QMT-584.1")});
    cbType->setCurrentIndex(-1);
    label(QStringLiteral("Серийный номер"), QStringLiteral("lbSerNum"), search, 10, 50, 150);
    cbSerNumAlpha = new QComboBox(search);
    cbSerNumAlpha->setObjectName(QStringLiteral("cbSerNumAlpha"));
    cbSerNumAlpha->setGeometry(160, 50, 44, 24);
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        cbSerNumAlpha->addItem(QString(QLatin1Char(letter)));
    cbSerNumAlpha->setCurrentIndex(-1);
    edNumber = new QLineEdit(search);
    edNumber->setObjectName(QStringLiteral("edNumber"));
    edNumber->setGeometry(208, 50, 48, 24);
    edNumber->setMaxLength(4);
    btAuto = new QPushButton(QStringLiteral("Автоматически"), search);
    btAuto->setObjectName(QStringLiteral("btAuto"));
    btAuto->setGeometry(294, 49, 122, 26);

    qmt::onClicked(btOk, handler(this, &TParCOM::btOkClick));
    qmt::onClicked(btCancel, [this] { reject(); });
    qmt::onClicked(btDefault, handler(this, &TParCOM::btDefaultClick));
    qmt::onClicked(btAuto, handler(this, &TParCOM::btAutoClick));

    const qmt::TPortSettings& settings = qmt::PortSettings;
    cbPort->setEditText(settings.portName);
    // The whole path on hover, however long.
    cbPort->setToolTip(cbPort->currentText());
    connect(cbPort, &QComboBox::editTextChanged, cbPort, &QWidget::setToolTip);
    connect(cbPort, &QComboBox::editTextChanged, this, &TParCOM::showLineControlsFor);
    showLineControlsFor(settings.portName);
    cbSpeed->setCurrentIndex(-1);
    selectSpeed(settings.baud);
    cbParity->setCurrentIndex(settings.parity < cbParity->count() ? settings.parity : -1);
    edAddress->setText(QString::number(settings.address));
}

TParCOM::~TParCOM() {
    if (ParCOM == this) ParCOM = nullptr;
}

void TParCOM::selectSpeed(int64_t baud) {
    const int found = qmt::LineSpeedIndex(baud);
    if (found >= 0) cbSpeed->setCurrentIndex(found);
}

void TParCOM::cbPortDropDown() {
    const QString typed = cbPort->currentText();
    cbPort->clear();
    std::vector<QSerialPortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.push_back(info);
    std::sort(ports.begin(), ports.end(), [](const QSerialPortInfo& a, const QSerialPortInfo& b) {
        return a.systemLocation().compare(b.systemLocation(), Qt::CaseInsensitive) < 0;
    });
    for (const QSerialPortInfo& info : ports) {
        cbPort->addItem(info.systemLocation());
        if (!info.description().isEmpty())
            cbPort->setItemData(cbPort->count() - 1, info.description(), Qt::ToolTipRole);
    }
    // Rebuilding the list must not change what the user typed.
    cbPort->setCurrentIndex(-1);
    cbPort->setEditText(typed);
}

void TParCOM::edAddressKeyPress(QChar& key) {
    // Decimal digits are 0-9 only: other scripts' digits would pass here and fail at OK.
    const bool digit = key >= QLatin1Char('0') && key <= QLatin1Char('9');
    if (!digit && key.category() != QChar::Other_Control) key = QChar();
}

bool TParCOM::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edAddress && event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (!text.isEmpty()) {
            QChar key = text.at(0);
            edAddressKeyPress(key);
            if (key.isNull()) return true; // discarded
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TParCOM::btOkClick() {
    const uint8_t parity = static_cast<uint8_t>(cbParity->currentIndex()); // none selected: 255
    const int baud = toInteger(cbSpeed->currentText());
    // Checked before the port is touched, so a refused address changes nothing.
    const uint8_t address = stationAddress(edAddress->text());
    const QString port = cbPort->currentText();
    if (!qmt::OpenPort(port, baud, parity)) {
        portDisturbed_ = true;
        return; // OpenPort has told the user
    }

    qmt::PortSettings.portName = port;
    qmt::PortSettings.baud = baud;
    qmt::PortSettings.parity = parity;
    qmt::PortSettings.address = address;
    // The port is open with the new settings whatever happens to the file: the
    // dialog must close as accepted so that the status bar tells the truth.
    accepted_ = true;
    try {
        qmt::SavePortSettings(qmt::SettingsFilePath());
    } catch (const std::exception& error) {
        qmt::showException(error);
    }
    accept();
}

void TParCOM::btDefaultClick() {
    cbPort->setEditText(QStringLiteral("/dev/ttyS0"));
    cbSpeed->setCurrentIndex(3);
    cbParity->setCurrentIndex(2);
    edAddress->setText(QStringLiteral("1"));
}

void TParCOM::btAutoClick() {
    if (edNumber->text().isEmpty() || cbSerNumAlpha->currentIndex() < 0)
        throw qmt::Exception(QStringLiteral("Введите  номер модуля!"));
    const uint16_t serial = static_cast<uint16_t>((cbSerNumAlpha->currentIndex() + 1) * 2048 +
                                                  toInteger(edNumber->text()));
    if (cbType->currentIndex() < 0)
        throw qmt::Exception(QStringLiteral("Выберите  исполнение модуля!"));
    // The probe carries the address: a refused one must not start a search either.
    const uint8_t address = stationAddress(edAddress->text());
    const uint16_t version = cbType->currentIndex() == 0 ? 2 : 8;

    std::optional<qmt::BusyCursor> busy(std::in_place);
    // The note says what is sought and where, and which speed and parity the
    // library is trying (each probe is painted before it blocks). The changing
    // part comes first, so a narrow status bar shortens the port, not it.
    // The search asks only the address typed: the note and a failure name it.
    const QString module = QStringLiteral("Поиск модуля № %1, адрес %2")
                               .arg(cbSerNumAlpha->currentText() + edNumber->text())
                               .arg(address);
    const QString port = cbPort->currentText();
    qmt::ProgressNote note;
    WaitWindow wait(this);
    // Found or not, the search leaves the port at another setting, or reopened
    // (which may fail): only a successful OK settles it again.
    portDisturbed_ = true;
    qmt::LineSetting found;
    const int32_t status = qmt::SearchModule(
        {port, version, serial, address}, found, [&](int index, const qmt::LineSetting&) {
            note.show(index < 0 ? QStringLiteral("%1 на %2, все скорости").arg(module, port)
                                : QStringLiteral("%1: %2, порт %3")
                                      .arg(module, qmt::SearchStepText(index), port));
        });
    const uint32_t baud = found.baud;
    const uint8_t parity = found.parity;

    busy.reset();
    note.end();
    if (status == 0) {
        selectSpeed(baud);
        wait.close();
        if (parity < cbParity->count()) cbParity->setCurrentIndex(parity);
        qmt::showMessage(
            QStringLiteral("Модуль обнаружен!\nДля установки параметров порта нажмите ОК"),
            QString(), qmt::MsgIcon::Warning, this);
        return;
    }
    wait.close();
    // The search left the library's port at another setting (or closed).
    const qmt::TPortSettings& settings = qmt::PortSettings;
    qmt::OpenPort(settings.portName, settings.baud, settings.parity);
    if (status == 14)
        throw qmt::Exception(
            QStringLiteral(
                "Модуль не найден!\nИскали по адресу %1. Если у модуля другой адрес, введите его в поле \"Адрес\".")
                .arg(address));
    if (status == 17)
        throw qmt::Exception(
            QStringLiteral("Ошибка CRC!\n Возможно просто сбой!\nПовторите попытку!"));
}

void TParCOM::showLineControlsFor(const QString& port) {
    const bool network = qmt::IsNetworkPort(port);
    const QString why =
        network ? QStringLiteral("Скорость и четность линии задает шлюз") : QString();
    for (QWidget* control : {static_cast<QWidget*>(cbSpeed), static_cast<QWidget*>(cbParity),
                             static_cast<QWidget*>(btAuto)}) {
        control->setEnabled(!network);
        control->setToolTip(why);
    }
}
