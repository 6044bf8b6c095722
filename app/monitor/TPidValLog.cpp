// The value log and the trend viewer hand-off of the values window.
#include "monitor/TPidValLog.h"

#include "monitor/TPidVal.h"

#include "common/CheckBox.h"
#include "common/Ui.h"
#include "link/Errors.h"
#include "link/PortSettings.h"
#include "link/StatusReport.h"
#include "monitor/TrendHandOff.h"
#include "monitor/ValueLog.h"
#include "monitor/ValuesCycle.h"

#include <QFileInfo>
#include <QLineEdit>

namespace {

struct LogState {
    qmt::ValueLog file;
    // The line the file's values come from: another port or station is
    // another module, whose values must not follow in the same file.
    QString port;
    uint8_t station = 0;
};

struct TrendState {
    qmt::TrendHandOff handOff;
};

LogState& logOf(TPidVal* window) {
    if (!window->logState) window->logState = std::make_shared<LogState>();
    return *static_cast<LogState*>(window->logState.get());
}

// The selected offered channels at this moment, in id order.
std::vector<qmt::TrendChannel> offeredChannels(const TPidVal& window);

TrendState& trendOf(TPidVal* window) {
    if (!window->trendState) {
        auto state = std::make_shared<TrendState>();
        // Asked at every registration, whether or not chbTrend is checked then.
        state->handOff.setChannels([window] { return offeredChannels(*window); });
        // "Вести тренды" stands for the viewer started last: once it is gone the
        // box says so, and checking it again starts another.
        QObject::connect(&state->handOff, &qmt::TrendHandOff::viewerClosed, window,
                         [window] { window->chbTrend->setChecked(false); });
        window->trendState = state;
    }
    return *static_cast<TrendState*>(window->trendState.get());
}

// Rows 1 to 3 of each regulator and the four module values go to the viewer,
// the state rows never.
constexpr int OfferedRows = 3;

std::vector<qmt::TrendChannel> offeredChannels(const TPidVal& window) {
    std::vector<qmt::TrendChannel> channels;
    for (const auto& regulator : window.RegChannels)
        for (int row = 0; row < OfferedRows; ++row)
            if (regulator[row].selected)
                channels.push_back({regulator[row].id, regulator[row].name});
    for (const MonitorChannel& ch : window.ModChannels)
        if (ch.selected) channels.push_back({ch.id, ch.name});
    return channels;
}

// The save dialog of the log; an empty text when the user cancelled.
QString OpenLogFile(TPidVal* window) {
    qmt::FileDialogRequest request;
    request.owner = window;
    request.directory = window->edLog->text();
    // The details are hidden, so the pattern in the first name is its own text.
    request.filter = QStringLiteral("Log-файлы (*.log) (*.log);;Все файлы (*)");
    request.hideFilterDetails = true;
    request.defaultSuffix = QStringLiteral("log");
    request.confirmOverwrite = true;
    return qmt::prompts().saveFileName(request);
}

// A line the file did not take: the run stops at once, so no further tick
// writes (or reports) while the message is shown, and the lines before stay.
void writeFailed(TPidVal* window) {
    const QString path = logOf(window).file.path();
    window->chbLog->setChecked(false);
    qmt::showMessage(QStringLiteral("Ошибка записи в файл ") + path, QStringLiteral("Ошибка!"),
                     qmt::MsgIcon::Error, window);
}

// Ends the log alone: unlike the engineer unchecking the box, a log that
// could not start or had to end leaves a running periodic update running.
void endLog(TPidVal* window) {
    logOf(window).file.close();
    window->chbLog->QCheckBox::setChecked(false);
}

// Ends the log, with a note, once the port or the station is not the one the
// file was started on; the update itself goes on with the new module.
bool lineChanged(TPidVal* window) {
    const LogState& log = logOf(window);
    if (log.port == qmt::PortSettings.portName && log.station == qmt::PortSettings.address)
        return false;
    endLog(window);
    qmt::status().confirm(QStringLiteral("Журнал закрыт: сменились порт или станция"));
    return true;
}

} // namespace

qmt::ValueLog& LogOf(TPidVal& window) {
    return logOf(&window).file;
}

qmt::TrendHandOff& TrendOf(TPidVal& window) {
    return trendOf(&window).handOff;
}

void TPidVal::btBrouseClick() {
    const QString name = OpenLogFile(this);
    if (!name.isEmpty()) edLog->setText(name);
}

void TPidVal::chbLogClick() {
    LogState& log = logOf(this);
    if (!chbLog->checked()) {
        // Unchecking ends the run with its log.
        chbUpdate->setChecked(false);
        log.file.close();
        return;
    }
    QString path = edLog->text();
    if (path.isEmpty()) {
        endLog(this);
        btBrouseClick();
        return;
    }
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash > 0 && !QFileInfo(path.left(slash)).isDir()) {
        endLog(this);
        throw qmt::Exception(QStringLiteral("Путь не существует!"));
    }
    if (QFileInfo::exists(path)) {
        const auto answer = qmt::showMessage(
            QStringLiteral("Файл существует!\nПереписать?"), QString(), qmt::MsgIcon::Warning, this,
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        if (answer == QMessageBox::No) {
            // The dialog asks about overwriting by itself.
            path = OpenLogFile(this);
            if (path.isEmpty()) {
                endLog(this);
                return;
            }
            edLog->setText(path);
        } else if (answer != QMessageBox::Yes) {
            endLog(this);
            return;
        }
        // The update ticks on behind the question; a failed read ended the run.
        if (!chbLog->checked()) return;
    }
    if (!log.file.open(path, qmt::clock().now().toUTC())) {
        // A log the engineer believes is running but that writes nothing is worse
        // than none: say so and leave the box off.
        endLog(this);
        qmt::showMessage(QStringLiteral("Невозможно создать файл ") + path,
                         QStringLiteral("Ошибка!"), qmt::MsgIcon::Error, this);
        return;
    }
    log.port = qmt::PortSettings.portName;
    log.station = qmt::PortSettings.address;
    // Checked while periodic update runs: the run's log starts here and now.
    if (chbUpdate->checked()) LogHeader();
}

void TPidVal::LogHeader() {
    LogState& log = logOf(this);
    if (!chbLog->checked() || !log.file.isOpen() || lineChanged(this)) return;
    if (!log.file.writeHeader(qmt::LogChannelNames(RegChannels, ModChannels))) writeFailed(this);
}

void TPidVal::LogLine() {
    LogState& log = logOf(this);
    if (!chbLog->checked() || !chbUpdate->checked() || !log.file.isOpen() || lineChanged(this))
        return;
    const QStringList texts = qmt::LogCellTexts(
        RegChannels, ModChannels, [this](int p, int row) { return stateText(p, row); },
        [this](int row) { return modValueText(row); });
    if (!log.file.writeData(qmt::clock().now().toUTC(), texts)) writeFailed(this);
}

void TPidVal::LogClose() {
    if (logState) logOf(this).file.close();
}

void TPidVal::chbTrendClick() {
    if (!chbTrend->checked()) return;
    QString failure;
    switch (trendOf(this).handOff.startViewer()) {
    case qmt::TrendHandOff::Start::Started:
        return;
    case qmt::TrendHandOff::Start::NotFound:
        failure = QStringLiteral("CURVIX не зарегистрирован!");
        break;
    case qmt::TrendHandOff::Start::Failed:
        failure = QStringLiteral("Не удается запустить CURVIX!");
        break;
    }
    qmt::showMessage(failure, QStringLiteral("Ошибка!"), qmt::MsgIcon::Error, this);
    chbTrend->setChecked(false);
}

void TPidVal::TrendStart() {
    trendOf(this).handOff.sendStart();
}

void TPidVal::TrendSamples() {
    qmt::TrendHandOff& handOff = trendOf(this).handOff;
    if (!chbTrend->checked() || !chbUpdate->checked() || !handOff.hasViewer()) return;
    const QDateTime stamp = qmt::clock().now().toLocalTime();
    std::vector<qmt::TrendCell> cells;
    for (int p = 1; p <= 3; ++p)
        for (int row = 1; row <= OfferedRows; ++row)
            if (RegChannels[p - 1][row - 1].selected)
                cells.push_back({RegChannels[p - 1][row - 1].id, stateText(p, row)});
    for (int row = 1; row <= 4; ++row)
        if (ModChannels[row - 1].selected)
            cells.push_back({ModChannels[row - 1].id, modValueText(row)});
    handOff.sendSamples(cells, stamp);
}
