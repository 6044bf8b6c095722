// The calibration wizard's run: line settings, the step loop over the table of
// the module's type, the checks of each value and the blocks computed from them.
#include "calib/Calibration.h"

#include "calib/CalibrationSteps.h"
#include "calib/TCalibr1.h"
#include "common/Ui.h"
#include "dialogs/PackedDate.h"
#include "dialogs/TPassword.h"
#include "link/Errors.h"
#include "link/Forms.h"
#include "link/PortSettings.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"
#include "link/StatusReport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>

#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

using namespace qmt::reg;
using namespace qmt::calib;

// Line settings of every module during calibration.
constexpr uint8_t CalibrationStation = 1;
constexpr int32_t CalibrationBaud = 19200;
constexpr uint8_t CalibrationParity = 2;

constexpr uint16_t CalibratingDate = 0xFFFF; // not a date: a calibration is under way
constexpr uint16_t CalibrationIntegrationMs = 40;
constexpr int GapMs = 10;
constexpr int InputsOnlyGapMs = 100;
constexpr int SettleMs = 2000; // the output and the inputs' integration settle

// Raised for a typed value that is not an integer; answered by a message of its own.
struct NotAnInteger {};

void wait(int ms) {
    qmt::clock().sleepMs(ms);
}

// The value of one point, or ECalibError when it is out of tolerance.
int checked(const Step& step, const Point& point, int value) {
    const long off = step.eitherSign ? std::labs(std::labs(value) - std::labs(point.expected))
                                     : std::labs(long(value) - point.expected);
    if (off > step.tolerance) throw qmt::ECalibError(value);
    if (!step.eitherSign) return value;
    return point.expected < 0 ? -std::abs(value) : std::abs(value);
}

// The calibration line settings for as long as it lives, from the first
// request of the wizard (the module type) on: the module answers there
// whatever the port is set to. PortSettings' own baud rate and parity stay,
// and the port is reopened with them however the run ends.
class CalibrationLine {
public:
    CalibrationLine() : savedAddress_(qmt::PortSettings.address) {
        qmt::PortSettings.address = CalibrationStation;
        qmt::OpenPort(qmt::PortSettings.portName, CalibrationBaud, CalibrationParity);
    }
    ~CalibrationLine() {
        qmt::PortSettings.address = savedAddress_;
        const qmt::TPortSettings& settings = qmt::PortSettings;
        qmt::OpenPort(settings.portName, settings.baud, settings.parity);
    }
    CalibrationLine(const CalibrationLine&) = delete;
    CalibrationLine& operator=(const CalibrationLine&) = delete;

private:
    uint8_t savedAddress_;
};

class Wizard {
public:
    Wizard(QWidget* owner, const Sequence& sequence)
        : owner_(owner), seq_(sequence), value_(std::size_t(sequence.count)) {}

    void run() {
        try {
            steps();
        } catch (...) {
            finish();
            throw;
        }
        finish();
        if (completed_)
            qmt::status().confirm(QStringLiteral("Калибровка завершена: ") + blocksWritten());
    }

private:
    QString blocksWritten() const { return QString::fromUtf8(seq_.blocks); }

    void steps() {
        {
            qmt::BusyCursor busy;
            qmt::WriteRegister(CalibrationDate, CalibratingDate);
            for (int i = 0; i < 3; ++i) {
                qmt::WriteProtectedRegister(InputIntegrationTime(i), CalibrationIntegrationMs);
                wait(GapMs);
            }
            if (seq_.withOutput) qmt::WriteProtectedRegister(OutputSlewRate, 0);
            wait(GapMs);
        }
        dialog_ = new TCalibr1(owner_);
        Calibr1 = dialog_;
        if (!seq_.withOutput) dialog_->Edit1->hide();

        int m = 0;
        while (m < seq_.count) {
            prepare(m);
            const int result = qmt::prompts().execModal(dialog_);
            if (!dialog_) return;
            if (result == TCalibr1::ResultOk) {
                if (perform(m)) ++m;
            } else if (result == TCalibr1::ResultRetry) {
                if (m > 0) --m;
            } else if (result == TCalibr1::ResultCancel || result == TCalibr1::ResultAbort) {
                return;
            }
        }
    }

    void finish() {
        delete dialog_.data();
        if (Calibr1 == dialog_) Calibr1 = nullptr;
    }

    // Every block neutral and the inputs in current mode: the first step
    // measures through no coefficients at all.
    void startOver() {
        const int gap = seq_.withOutput ? GapMs : InputsOnlyGapMs;
        for (int k = 0; k < CoefficientBlockCount; ++k) {
            qmt::WriteProtectedRegisters(CoefficientBlock(k), CoefficientBlockSize,
                                         IdentityCoefficients);
            wait(gap);
        }
        if (seq_.withOutput) {
            qmt::WriteProtectedRegister(InputMode(0), ModeCurrent);
        } else {
            const uint16_t modes[3] = {ModeCurrent, ModeCurrent, ModeCurrent};
            qmt::WriteProtectedRegisters(InputMode(0), 3, modes);
        }
        wait(gap);
    }

    // What is written and shown before step m waits for the engineer.
    void prepare(int m) {
        qmt::BusyCursor busy;
        const Step& step = seq_.steps[m];
        if (m == 0) startOver();
        dialog_->btPrev->setVisible(m > 0);
        const bool typing = step.source == Source::Typed;
        if (seq_.withOutput) {
            dialog_->Edit1->clear();
            dialog_->Edit1->setVisible(typing);
        }
        // With no field to type into, the focus would pass to "<< Назад": Enter
        // must go on, not back.
        if (typing)
            dialog_->Edit1->setFocus();
        else
            dialog_->btNext->setFocus();
        const bool last = m == seq_.count - 1;
        dialog_->setLastStep(last);
        dialog_->setWindowTitle(QStringLiteral("Калибровка - шаг %1").arg(m + 1));
        completed_ = last;
        dialog_->lbTip->setText(last ? QStringLiteral("Записаны коэффициенты: ") + blocksWritten()
                                     : QString::fromUtf8(step.tip));
        dialog_->lbInstr->setText(QString::fromUtf8(last ? FinishedText : step.instruction));
        // The engineer measures the output while it puts out the raw code.
        if (typing && step.points[0].output != NoOutput)
            qmt::WriteRegister(OutputValue, static_cast<uint16_t>(step.points[0].output));
    }

    // Runs the action of step m; false when the value was refused and the step
    // is to be shown again. Communication failures end the run.
    bool perform(int m) {
        try {
            qmt::BusyCursor busy;
            act(m);
            qmt::WriteRegister(CalibrationDate, qmt::PackDate(qmt::clock().now().date()));
            return true;
        } catch (const qmt::ECalibError& error) {
            qmt::showException(error);
        } catch (const NotAnInteger&) {
            qmt::showMessage(QStringLiteral("Введите корректное значение!"),
                             QStringLiteral("Ошибка!"), qmt::MsgIcon::Error, dialog_);
        }
        return false;
    }

    int typed() const {
        static const QRegularExpression integer(QStringLiteral("^\\s*[+-]?[0-9]{1,9}\\s*$"));
        const QString text = dialog_->Edit1->text();
        if (!integer.match(text).hasMatch()) throw NotAnInteger{};
        return text.trimmed().toInt();
    }

    // The raw reading of the step's input, after the output's value has
    // settled where the point drives it.
    static int reading(const Step& step, const Point& point) {
        if (point.output != NoOutput) {
            qmt::WriteRegister(OutputValue, static_cast<uint16_t>(point.output));
            const qmt::ProgressNote note(
                QStringLiteral("Калибровка: ожидание %1 с").arg(SettleMs / 1000));
            wait(SettleMs);
        }
        return static_cast<int16_t>(qmt::ReadRegister(InputValue(step.input)));
    }

    void act(int m) {
        const Step& step = seq_.steps[m];
        if (step.modeBefore != NoMode) {
            qmt::WriteProtectedRegister(OutputMode, step.modeBefore);
            wait(GapMs);
        }
        for (int k = 0; k < step.pointCount; ++k) {
            const Point& point = step.points[k];
            const int value = step.source == Source::Typed ? typed() : reading(step, point);
            value_[m][k] = checked(step, point, value);
        }
        if (!step.writesBlocks) return;
        writeBlocks(m);
        if (step.modeAfter != NoMode) qmt::WriteProtectedRegister(OutputMode, step.modeAfter);
    }

    // The blocks fed by the steps since the last that wrote any, in the order
    // the steps first name them. All are computed before the first is written:
    // a refused pair leaves the module as it was, so the step can be repeated.
    void writeBlocks(int m) {
        struct Pair {
            Address block;
            int n;
            double x[2], y[2];
        };
        Pair pairs[CoefficientBlockCount] = {};
        int count = 0;
        int first = m;
        while (first > 0 && !seq_.steps[first - 1].writesBlocks)
            --first;
        for (int s = first; s <= m; ++s) {
            const Step& step = seq_.steps[s];
            if (step.block == NoBlock) continue;
            int i = 0;
            while (i < count && pairs[i].block != step.block)
                ++i;
            if (i == count) pairs[count++].block = step.block;
            for (int k = 0; k < step.pointCount && pairs[i].n < 2; ++k, ++pairs[i].n) {
                pairs[i].x[pairs[i].n] = step.points[k].x;
                pairs[i].y[pairs[i].n] = value_[s][k];
            }
        }
        std::array<uint16_t, 3> words[CoefficientBlockCount];
        for (int i = 0; i < count; ++i)
            words[i] =
                qmt::CalibrationBlock(pairs[i].x[0], pairs[i].y[0], pairs[i].x[1], pairs[i].y[1]);
        for (int i = 0; i < count; ++i) {
            qmt::WriteProtectedRegisters(pairs[i].block, CoefficientBlockSize, words[i].data());
            wait(GapMs);
        }
    }

    QWidget* owner_;
    const Sequence& seq_;
    QPointer<TCalibr1> dialog_;
    std::vector<std::array<int, 2>> value_; // what was typed or read at each step
    bool completed_ = false;                // the last step was reached: every block is written
};

} // namespace

namespace qmt {

std::array<uint16_t, 3> CalibrationBlock(double x1, double y1, double x2, double y2) {
    if (y1 == y2) throw ECalibError::equalReadings(std::lround(y2));
    const double gain = std::trunc((x2 - x1) * 65536.0 / (y2 - y1));
    // Out of 32 bits no reading the checks let through can take it.
    if (gain > std::numeric_limits<int32_t>::max() || gain < std::numeric_limits<int32_t>::min())
        throw ECalibError(std::lround(y2));
    const int32_t g = static_cast<int32_t>(gain);
    const double offset = std::trunc((x2 * 65536.0 - double(g) * y2) / 65536.0);
    const auto offsetBits = static_cast<uint32_t>(static_cast<int64_t>(offset));
    const auto gainBits = static_cast<uint32_t>(g);
    return {static_cast<uint16_t>(gainBits & 0xFFFF), static_cast<uint16_t>(gainBits >> 16),
            static_cast<uint16_t>(offsetBits & 0xFFFF)};
}

void RunCalibration(QWidget* owner) {
    if (!AskPassword()) return;
    if (showMessage(QStringLiteral("Калибровочные коэффициенты будут переписаны!\nПродолжить?"),
                    QStringLiteral("Внимание!"), MsgIcon::Warning, owner,
                    QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    const CalibrationLine line;
    const uint16_t type = ReadRegister(reg::ModuleType);
    if (type != reg::TypeQmt584 && type != reg::TypeQmt5841) {
        showMessage(QStringLiteral("Неизвестный тип модуля!"), QStringLiteral("Ошибка!"),
                    MsgIcon::Error, owner);
        return;
    }
    Wizard(owner, type == reg::TypeQmt584 ? OutputAndInputs : InputsOnly).run();
}

} // namespace qmt
