#include "ui/CurvixWindow.h"

#include "common/Ui.h"
#include "ui/LiveSource.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>

#include <cerrno>
#include <cmath>
#include <sys/resource.h>
#include <unistd.h>

namespace curvix {

void CurvixWindow::attach(int inFd, int outFd) {
    source_ = new LiveSource(this);
    connect(source_, &LiveSource::recordsReady, this, &CurvixWindow::takeFromSource);
    connect(source_, &LiveSource::ended, this, &CurvixWindow::sourceEnded);
    source_->start(inFd, outFd);
    // The reader (started above, at the normal priority) must get a processor
    // the moment a message arrives, even while this thread redraws: a drawing
    // thread a few steps nicer lets the scheduler switch to it at once. Only
    // this thread changes; raising niceness needs no privilege.
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), std::min(nice + 5, 19));
    dump(QStringLiteral("token %1 pid %2")
             .arg(source_->token())
             .arg(QCoreApplication::applicationPid()));
}

void CurvixWindow::takeFromSource() {
    std::vector<Record> records;
    source_->take(records);
    data_.counters().foreignAddress = source_->foreignMessages();
    applyRecords(records);
}

namespace {

struct KeepChoice {
    const char* text;
    int64_t ms;
};
const KeepChoice kKeeps[] = {{"1 ч", 3'600'000}, {"24 ч", 86'400'000}, {"всё", 0}};

} // namespace

void CurvixWindow::buildStoreControls(QToolBar* tools) {
    tools->addSeparator();
    auto* keepLabel = new QLabel(QStringLiteral(" Хранить: "), tools);
    keepLabel->setObjectName(QStringLiteral("lbKeep"));
    tools->addWidget(keepLabel);
    cbKeep_ = new QComboBox(tools);
    cbKeep_->setObjectName(QStringLiteral("cbKeep"));
    cbKeep_->setToolTip(QStringLiteral("Более старые отсчёты удаляются блоками"));
    for (const KeepChoice& k : kKeeps)
        cbKeep_->addItem(QString::fromUtf8(k.text), qlonglong(k.ms));
    cbKeep_->setCurrentIndex(1);
    data_.setRetention(kKeeps[1].ms);
    connect(cbKeep_, &QComboBox::activated, this,
            [this] { qmt::guarded([this] { cbKeepChange(); }); });
    tools->addWidget(cbKeep_);
    lbMemory_ = new QLabel(tools);
    lbMemory_->setObjectName(QStringLiteral("lbMemory"));
    lbMemory_->setMinimumWidth(
        lbMemory_->fontMetrics().horizontalAdvance(QStringLiteral(" 9999,9 МБ ")) + 4);
    lbMemory_->setAlignment(Qt::AlignCenter);
    lbMemory_->setToolTip(QStringLiteral("Память, занятая отсчётами"));
    tools->addWidget(lbMemory_);
    btClear_ = new QPushButton(QStringLiteral("Очистить"), tools);
    btClear_->setObjectName(QStringLiteral("btClear"));
    qmt::onClicked(btClear_, qmt::handler(this, &CurvixWindow::btClearClick));
    tools->addWidget(btClear_);
}

void CurvixWindow::setRetention(int64_t keepMs) {
    for (int i = 0; i < cbKeep_->count(); ++i)
        if (cbKeep_->itemData(i).toLongLong() == keepMs) cbKeep_->setCurrentIndex(i);
    data_.setRetention(keepMs);
    refresh();
}

void CurvixWindow::cbKeepChange() {
    setRetention(cbKeep_->currentData().toLongLong());
}

void CurvixWindow::btClearClick() {
    if (data_.sampleCount() > 0 &&
        qmt::showMessage(QStringLiteral("Удалить все принятые отсчёты?"), QStringLiteral("CURVIX"),
                         qmt::MsgIcon::Question, this,
                         QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    data_.clear();
    haveView_ = false;
    dump(QStringLiteral("cleared"));
    refresh();
}

QString CurvixWindow::memoryText() const {
    const double bytes = double(data_.memoryBytes());
    if (bytes < 1024.0 * 1024.0)
        return QString::number(std::ceil(bytes / 1024.0)) + QStringLiteral(" КБ");
    QString text = QString::number(bytes / (1024.0 * 1024.0), 'f', 1);
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text + QStringLiteral(" МБ");
}

bool CurvixWindow::samplesArriving() const {
    return source_ && !sourceGone_ && source_->running() && lastSampleMs_ != 0 &&
           qmt::clock().now().toMSecsSinceEpoch() - lastSampleMs_ < kArrivingMs;
}

void CurvixWindow::closeEvent(QCloseEvent* event) {
    if (samplesArriving() &&
        qmt::showMessage(QStringLiteral("Данные ещё поступают. Закрыть окно и прекратить приём?"),
                         QStringLiteral("CURVIX"), qmt::MsgIcon::Question, this,
                         QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    saveSettings();
    endSource();
    event->accept();
}

void CurvixWindow::endSource() {
    if (!source_ || sourceGone_) return;
    // The program sees the viewer gone: no more acknowledgements.
    source_->stop(QStringLiteral("Приём остановлен: окно закрыто"));
    sourceGone_ = true;
    sourceState_ = QStringLiteral("Приём остановлен");
    updateStatus();
    dump(QStringLiteral("closed"));
}

void CurvixWindow::sourceEnded(const QString& reason) {
    // Whatever is still queued was acknowledged: it is shown too.
    takeFromSource();
    sourceGone_ = true;
    sourceState_ = reason;
    updateStatus();
    dump(QStringLiteral("ended ") + reason);
}

void CurvixWindow::applyRecords(const std::vector<Record>& records) {
    if (records.empty()) return;
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    for (const Record& r : records) {
        data_.apply(r, now);
        if (dump_) dumpRecord(r);
    }
    for (const Record& r : records)
        if (r.type == RecordType::Sample) {
            lastSampleMs_ = qmt::clock().now().toMSecsSinceEpoch();
            break;
        }
    if (sourceState_ == QStringLiteral("Ожидание данных"))
        sourceState_ = QStringLiteral("Приём данных");
    scheduleRefresh();
}

void CurvixWindow::dump(const QString& line) {
    if (!dump_) return;
    dump_->write((line + QLatin1Char('\n')).toUtf8());
}

void CurvixWindow::dumpRecord(const Record& r) {
    switch (r.type) {
    case RecordType::Begin:
        dump(QStringLiteral("begin"));
        break;
    case RecordType::Channel:
        dump(QStringLiteral("channel %1 %2").arg(r.id).arg(data_.find(r.id)->name));
        break;
    case RecordType::Start:
        dump(QStringLiteral("start"));
        break;
    case RecordType::Sample: {
        const Channel* c = data_.find(r.id);
        dump(QStringLiteral("sample %1 %2 %3 %4")
                 .arg(r.id)
                 .arg(c->samples.lastTime())
                 .arg(QString::number(double(r.value), 'g', 9))
                 .arg(c->name));
        break;
    }
    case RecordType::Invalid:
        dump(QStringLiteral("invalid ") + r.error);
        break;
    }
}

} // namespace curvix
