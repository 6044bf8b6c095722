// The values window's read cycle: reading the regulators and the module, the
// periodic update and its period, and the clicks on the grids that choose what
// the log and the trend viewer get.
#include "monitor/TPidVal.h"

#include "common/CheckBox.h"
#include "common/Ui.h"
#include "link/Errors.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"
#include "link/StatusReport.h"
#include "monitor/MonitorGrid.h"
#include "monitor/ValuesCycle.h"
#include "monitor/WholeNumber.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <limits>

namespace reg = qmt::reg;

namespace {

const QColor Grey(128, 128, 128);

} // namespace

QString TPidVal::stateText(int p, int row) const {
    return sgSTATE->cell(p, row);
}

QString TPidVal::modValueText(int row) const {
    return sgModValues->cell(1, row);
}

QString TPidVal::writeValText(int p, int row) const {
    return sgWriteVal->cell(p, row);
}

bool TPidVal::selectionFrozen() const {
    return chbLog->checked() && chbUpdate->checked();
}

// --- Read cycle ---

void TPidVal::readRegulator(int p) {
    const qmt::RegulatorTexts t = qmt::ReadRegulatorTexts(p);
    for (int row = 1; row <= 7; ++row)
        sgSTATE->setCell(p, row, t.state[row - 1]);
    sgWriteVal->setCell(p, 0, t.written[0]);
    sgWriteVal->setCell(p, 1, t.written[1]);
}

void TPidVal::readModule() {
    const std::array<QString, 4> texts = qmt::ReadModuleTexts();
    for (int r = 0; r < 4; ++r)
        sgModValues->setCell(1, r + 1, texts[r]);
}

void TPidVal::btReadClick() {
    try {
        for (int p = 1; p <= 3; ++p)
            readRegulator(p);
        readModule();
    } catch (const qmt::ECommError& error) {
        // No further tick may run while the message is shown; the log closes with it.
        const bool updating = chbUpdate->checked();
        chbUpdate->setChecked(false);
        // The box goes, the stop stays: the status bar keeps saying so.
        if (updating)
            qmt::status().warn(QStringLiteral("Периодическое обновление остановлено: %1")
                                   .arg(error.message().section(QLatin1Char('\n'), 0, 0)));
        throw;
    }
    LogLine();
    TrendSamples();
}

// --- Periodic update ---

void TPidVal::chbUpdateClick() {
    if (chbUpdate->checked()) {
        // The field never shows a period that is not running: switching on
        // applies it as Enter does. A bad text leaves the update off without
        // the cascade of a stopped run, so an armed log stays armed.
        try {
            ApplyPeriod();
        } catch (...) {
            chbUpdate->QCheckBox::setChecked(false);
            throw;
        }
        if (chbTrend->checked()) TrendStart();
    }
    if (chbUpdate->checked())
        tmUpdate->start();
    else
        tmUpdate->stop();
    if (tmUpdate->isActive())
        LogHeader();
    else
        chbLog->setChecked(false);
}

void TPidVal::edPerUpdKeyPress(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) ApplyPeriod();
}

void TPidVal::ApplyPeriod() {
    // Whole milliseconds of at least 1; anything else leaves the interval as it was.
    const QString text = edPerUpd->text();
    bool ok = qmt::IsWholeNumber(text);
    const long long ms = ok ? text.trimmed().toLongLong(&ok) : 0;
    if (!ok || ms < 1 || ms > std::numeric_limits<int>::max()) {
        throw qmt::Exception(QStringLiteral("Недопустимый период обновления \"%1\"!\n"
                                            "Введите целое число миллисекунд, не меньше 1.")
                                 .arg(text));
    }
    tmUpdate->setInterval(static_cast<int>(ms));
    edPerUpd->setText(QString::number(ms));
}

// --- Channel selection ---

void TPidVal::toggleRegChannel(int p, int row) {
    MonitorChannel& ch = RegChannels[p - 1][row - 1];
    ch.selected = !ch.selected;
}

bool TPidVal::sgSTATESelectCell(int col, int row) {
    if (col >= 1 && row >= 1 && !selectionFrozen()) {
        toggleRegChannel(col, row);
        sgSTATE->viewport()->update();
    }
    return false;
}

void TPidVal::sgSTATEMouseUp(int col, int row, Qt::MouseButton button) {
    if (button != Qt::LeftButton || selectionFrozen() || col < 0 || row < 0) return;
    if (col == 0 && row == 0) {
        cornerFlag_ = !cornerFlag_;
        for (auto& reg : RegChannels)
            for (MonitorChannel& ch : reg)
                ch.selected = cornerFlag_;
    } else if (row == 0) {
        bool& flag = colFlags_[col - 1];
        flag = !flag;
        for (MonitorChannel& ch : RegChannels[col - 1])
            ch.selected = flag;
    } else if (col == 0) {
        bool& flag = rowFlags_[row - 1];
        flag = !flag;
        for (auto& reg : RegChannels)
            reg[row - 1].selected = flag;
    } else {
        return;
    }
    sgSTATE->viewport()->update();
}

bool TPidVal::sgModValuesSelectCell(int col, int row) {
    return col == 1 && row == 4;
}

void TPidVal::sgValuesEnter() {
    sgModValues->focusCell(1, 4);
}

void TPidVal::sgModValuesMouseUp(int col, int row, Qt::MouseButton button) {
    if (button != Qt::LeftButton || selectionFrozen() || col != 1 || row != 0) return;
    for (MonitorChannel& ch : ModChannels)
        ch.selected = !ch.selected;
    sgModValues->viewport()->update();
}

// --- Expanding, closing ---

void TPidVal::btAdvancedClick() {
    if (btAdvanced->text() == QStringLiteral("Дополнительно >>")) {
        setFixedSize(ClientWidth, ExpandedHeight);
        btAdvanced->setText(QStringLiteral("Дополнительно <<"));
    } else {
        setFixedSize(ClientWidth, CollapsedHeight);
        btAdvanced->setText(QStringLiteral("Дополнительно >>"));
    }
}

void TPidVal::keyPressEvent(QKeyEvent* event) {
    // Esc in a field is no way to close the window; the close box is.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TPidVal::setStatusColour(QLabel* l, bool on) {
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, on ? QColor(255, 0, 0) : Grey);
    l->setPalette(pal);
}
