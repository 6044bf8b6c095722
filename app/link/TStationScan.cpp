#include "link/TStationScan.h"

#include "common/Ui.h"
#include "link/Errors.h"
#include "link/PortSettings.h"
#include "link/StationScan.h"
#include "link/StatusReport.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int32_t NoAnswer = 14;

QSpinBox* stationBox(QWidget* owner, const char* name, int value) {
    auto* box = new QSpinBox(owner);
    box->setObjectName(QLatin1String(name));
    box->setRange(qmt::FirstStation, qmt::LastStation);
    box->setValue(value);
    return box;
}

} // namespace

TStationScan::TStationScan(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("StationScan"));
    setWindowTitle(QStringLiteral("Поиск станций"));

    edFrom = stationBox(this, "edFrom", qmt::FirstStation);
    edTo = stationBox(this, "edTo", qmt::LastStation);
    btStart = new QPushButton(QStringLiteral("Начать"), this);
    btStart->setObjectName(QStringLiteral("btStart"));
    btStop = new QPushButton(QStringLiteral("Стоп"), this);
    btStop->setObjectName(QStringLiteral("btStop"));
    btStop->setEnabled(false);
    btClose = new QPushButton(QStringLiteral("Закрыть"), this);
    btClose->setObjectName(QStringLiteral("btClose"));
    pbScan = new QProgressBar(this);
    pbScan->setObjectName(QStringLiteral("pbScan"));
    pbScan->setValue(0);
    lbScan = new QLabel(this);
    lbScan->setObjectName(QStringLiteral("lbScan"));
    lvStations = new QTreeWidget(this);
    lvStations->setObjectName(QStringLiteral("lvStations"));
    lvStations->setRootIsDecorated(false);
    lvStations->setHeaderLabels({QStringLiteral("Адрес"), QStringLiteral("Исполнение"),
                                 QStringLiteral("Серийный номер"), QStringLiteral("Версия ПО")});
    lvStations->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    lvStations->setMinimumSize(440, 200);

    auto* range = new QHBoxLayout;
    range->addWidget(new QLabel(QStringLiteral("Адреса с"), this));
    range->addWidget(edFrom);
    range->addWidget(new QLabel(QStringLiteral("по"), this));
    range->addWidget(edTo);
    range->addStretch();
    range->addWidget(btStart);
    range->addWidget(btStop);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lbScan, 1);
    bottom->addWidget(btClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(range);
    layout->addWidget(pbScan);
    layout->addWidget(lvStations, 1);
    layout->addLayout(bottom);

    tmScan = new QTimer(this);
    tmScan->setObjectName(QStringLiteral("tmScan"));
    tmScan->setInterval(0);
    connect(tmScan, &QTimer::timeout, this,
            [this] { qmt::guarded(qmt::handler(this, &TStationScan::tmScanTimer)); });
    qmt::onClicked(btStart, qmt::handler(this, &TStationScan::btStartClick));
    qmt::onClicked(btStop, qmt::handler(this, &TStationScan::btStopClick));
    connect(btClose, &QPushButton::clicked, this, &QDialog::close);
}

TStationScan::~TStationScan() = default;

bool TStationScan::running() const {
    return tmScan->isActive();
}

void TStationScan::btStartClick() {
    if (edFrom->value() > edTo->value())
        throw qmt::Exception(QStringLiteral("Начальный адрес больше конечного!"));
    lvStations->clear();
    next_ = edFrom->value();
    last_ = edTo->value();
    found_ = 0;
    pbScan->setRange(0, last_ - next_ + 1);
    pbScan->setValue(0);
    lbScan->setText(QStringLiteral("Поиск станций на ") + qmt::PortSettings.portName);
    note_ = std::make_unique<qmt::ProgressNote>();
    btStart->setEnabled(false);
    btStop->setEnabled(true);
    tmScan->start();
}

void TStationScan::btStopClick() {
    finish();
}

void TStationScan::tmScanTimer() {
    if (next_ > last_) {
        finish();
        return;
    }
    const int address = next_++;
    note_->show(QStringLiteral("Поиск станций: адрес %1 из %2").arg(address).arg(last_));
    qmt::StationIdentity id;
    int32_t status = NoAnswer;
    {
        // Only for this request: the link supervision between two keeps its own.
        const qmt::ProbeTimeout timeout(qmt::PortSettings.portName, qmt::PortSettings.baud);
        status = qmt::ProbeStation(static_cast<uint8_t>(address), id);
    }
    pbScan->setValue(pbScan->value() + 1);
    if (status == NoAnswer) return;
    ++found_;
    QStringList row{QString::number(address)};
    if (status == 0)
        row << qmt::ModuleTypeName(id.type) << qmt::SerialNumberText(id.serial)
            << qmt::FirmwareVersionText(id.firmware);
    else // something answers there, but not with an identity
        row << qmt::ECommError::messageFor(status);
    lvStations->addTopLevelItem(new QTreeWidgetItem(row));
}

void TStationScan::finish() {
    if (!tmScan->isActive()) return;
    tmScan->stop();
    const bool whole = next_ > last_;
    note_.reset();
    btStart->setEnabled(true);
    btStop->setEnabled(false);
    const QString text = QStringLiteral("Найдено станций: %1").arg(found_);
    lbScan->setText(whole ? text
                          : QStringLiteral("Найдено станций: %1 (поиск остановлен)").arg(found_));
    qmt::status().confirm(text);
}

void TStationScan::hideEvent(QHideEvent* event) {
    finish(); // a closed window asks nothing more
    QDialog::hideEvent(event);
}
