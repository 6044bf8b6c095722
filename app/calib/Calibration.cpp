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

#include <cmath>
#include <cstdlib>
#include <limits>

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

constexpr int TypedTolerance = 200;
constexpr int ReadingTolerance = 80;

// Output-and-inputs sequence: the raw output codes of the four measured steps.
const uint16_t MeasuredOutputCodes[] = {328, 15599, 328, 16056};
constexpr int FirstVoltageStep = 4, FirstCurrentStep = 7;
constexpr int16_t VoltageLowMv = -9980, VoltageHighMv = 9980, CurrentUa = 19960;
// What is typed at the measured steps, and read back at the voltage and current steps.
constexpr int TypedExpected[] = {421, 20000, 9830, 9830};
constexpr int VoltageLowReading = 272, VoltageHighReading = 3824;
constexpr int CurrentPositiveReading = 3587, CurrentNegativeReading = 509;

// Raised for a typed value that is not an integer; answered by a message of its own.
struct NotAnInteger {};

void wait(int ms) {
    qmt::clock().sleepMs(ms);
}

// |v - expected| <= tolerance, or the value is refused.
void check(long value, long expected, long tolerance) {
    if (std::labs(value - expected) > tolerance) throw qmt::ECalibError(value);
}

void checkMagnitude(long value, long expected, long tolerance) {
    if (std::labs(std::labs(value) - expected) > tolerance) throw qmt::ECalibError(value);
}

class Wizard {
public:
    Wizard(QWidget* owner, bool withOutput) : owner_(owner), withOutput_(withOutput) {}

    void run() {
        const uint8_t saved = qmt::PortSettings.address;
        qmt::PortSettings.address = CalibrationStation;
        qmt::OpenPort(qmt::PortSettings.portName, CalibrationBaud, CalibrationParity);
        try {
            steps();
        } catch (...) {
            finish(saved);
            throw;
        }
        finish(saved);
        if (completed_)
            qmt::status().confirm(QStringLiteral("Калибровка завершена: ") + blocksWritten());
    }

private:
    int stepCount() const { return withOutput_ ? 14 : 13; }
    QString blocksWritten() const {
        return QString::fromUtf8(withOutput_ ? OutputAndInputBlocks : InputBlocks);
    }
    const StepText& text(int m) const {
        return withOutput_ ? OutputAndInputSteps[m] : InputOnlySteps[m];
    }

    void steps() {
        {
            qmt::BusyCursor busy;
            qmt::WriteRegister(CalibrationDate, CalibratingDate);
            for (int i = 0; i < 3; ++i) {
                qmt::WriteProtectedRegister(InputIntegrationTime(i), CalibrationIntegrationMs);
                wait(GapMs);
            }
            if (withOutput_) qmt::WriteProtectedRegister(OutputSlewRate, 0);
            wait(GapMs);
        }
        dialog_ = new TCalibr1(owner_);
        Calibr1 = dialog_;
        if (!withOutput_) dialog_->Edit1->hide();

        int m = 0;
        while (m < stepCount()) {
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

    void finish(uint8_t savedAddress) {
        delete dialog_.data();
        if (Calibr1 == dialog_) Calibr1 = nullptr;
        qmt::PortSettings.address = savedAddress;
        const qmt::TPortSettings& settings = qmt::PortSettings;
        qmt::OpenPort(settings.portName, settings.baud, settings.parity);
    }

    // What is written and shown before step m waits for the engineer.
    void prepare(int m) {
        qmt::BusyCursor busy;
        if (m == 0) {
            const int gap = withOutput_ ? GapMs : InputsOnlyGapMs;
            for (int k = 0; k < CoefficientBlockCount; ++k) {
                qmt::WriteProtectedRegisters(CoefficientBlock(k), CoefficientBlockSize,
                                             IdentityCoefficients);
                wait(gap);
            }
            if (withOutput_) {
                qmt::WriteProtectedRegister(InputMode(0), ModeCurrent);
            } else {
                const uint16_t modes[3] = {ModeCurrent, ModeCurrent, ModeCurrent};
                qmt::WriteProtectedRegisters(InputMode(0), 3, modes);
            }
            wait(gap);
            dialog_->btPrev->hide();
        } else {
            dialog_->btPrev->show();
        }
        const bool typing = withOutput_ && m < FirstVoltageStep;
        if (withOutput_) {
            dialog_->Edit1->clear();
            dialog_->Edit1->setVisible(typing);
        }
        // With no field to type into, the focus would pass to "<< Назад": Enter
        // must go on, not back.
        if (typing)
            dialog_->Edit1->setFocus();
        else
            dialog_->btNext->setFocus();
        dialog_->setLastStep(m == stepCount() - 1);
        dialog_->setWindowTitle(QStringLiteral("Калибровка - шаг ") + QString::number(m + 1));
        const bool last = m == stepCount() - 1;
        completed_ = last;
        dialog_->lbTip->setText(last ? QStringLiteral("Записаны коэффициенты: ") + blocksWritten()
                                     : QString::fromUtf8(text(m).tip));
        dialog_->lbInstr->setText(QString::fromUtf8(last ? FinishedText : text(m).instruction));
        if (typing) qmt::WriteRegister(OutputValue, MeasuredOutputCodes[m]);
    }

    // Runs the action of step m; false when the value was refused and the step
    // is to be shown again. Communication failures end the run.
    bool perform(int m) {
        try {
            qmt::BusyCursor busy;
            if (withOutput_)
                actWithOutput(m);
            else
                actInputsOnly(m);
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

    static int reading(int input) {
        return static_cast<int16_t>(qmt::ReadRegister(InputValue(input)));
    }

    static int readAt(int16_t output, int input) {
        qmt::WriteRegister(OutputValue, static_cast<uint16_t>(output));
        const qmt::ProgressNote note(
            QStringLiteral("Калибровка: ожидание %1 с").arg(SettleMs / 1000));
        wait(SettleMs);
        return reading(input);
    }

    static void writeBlock(Address block, const std::array<uint16_t, 3>& words) {
        qmt::WriteProtectedRegisters(block, CoefficientBlockSize, words.data());
        wait(GapMs);
    }

    void actWithOutput(int m) {
        int* v = value_[m];
        switch (m) {
        case 0:
            v[0] = typed();
            check(v[0], TypedExpected[0], TypedTolerance);
            return;
        case 1:
            v[0] = typed();
            check(v[0], TypedExpected[1], TypedTolerance);
            return;
        case 2:
            v[0] = typed();
            checkMagnitude(v[0], TypedExpected[2], TypedTolerance);
            return;
        case 3: {
            v[0] = typed();
            checkMagnitude(v[0], TypedExpected[3], TypedTolerance);
            // Both blocks first: a refused pair must leave the output as it was
            // measured, so that the step can be repeated.
            const auto current = qmt::CalibrationBlock(328, value_[0][0], 15599, value_[1][0]);
            // The meter may be wired either way round: code 328 is the negative
            // end of the output and code 16056 the positive one, whatever the
            // signs typed (the checks took the magnitudes).
            int& u1 = value_[2][0];
            int& u2 = v[0];
            u1 = -std::abs(u1);
            u2 = std::abs(u2);
            const auto voltage = qmt::CalibrationBlock(328, u1, 16056, u2);
            writeBlock(OutputCurrentCoefficients, current);
            writeBlock(OutputVoltageCoefficients, voltage);
            qmt::WriteProtectedRegister(OutputMode, ModeVoltage);
            return;
        }
        case 4:
        case 5:
        case 6: {
            const int input = m - FirstVoltageStep;
            v[0] = readAt(VoltageLowMv, input);
            check(v[0], VoltageLowReading, ReadingTolerance);
            v[1] = readAt(VoltageHighMv, input);
            check(v[1], VoltageHighReading, ReadingTolerance);
            return;
        }
        default: {
            const bool positive = (m - FirstCurrentStep) % 2 == 0;
            const int input = (m - FirstCurrentStep) / 2;
            qmt::WriteProtectedRegister(OutputMode, ModeCurrent);
            wait(GapMs);
            v[0] = readAt(CurrentUa, input);
            check(v[0], positive ? CurrentPositiveReading : CurrentNegativeReading,
                  ReadingTolerance);
            if (m == 12) writeInputBlocksWithOutput();
            return;
        }
        }
    }

    void writeInputBlocksWithOutput() {
        std::array<uint16_t, 3> blocks[6];
        for (int i = 0; i < 3; ++i) {
            const int* volts = value_[FirstVoltageStep + i];
            blocks[i] = qmt::CalibrationBlock(VoltageLowMv, volts[0], VoltageHighMv, volts[1]);
            blocks[3 + i] =
                qmt::CalibrationBlock(CurrentUa, value_[FirstCurrentStep + 2 * i][0], -CurrentUa,
                                      value_[FirstCurrentStep + 2 * i + 1][0]);
        }
        for (int i = 0; i < 3; ++i)
            writeBlock(InputVoltageCoefficients(i), blocks[i]);
        for (int i = 0; i < 3; ++i)
            writeBlock(InputCurrentCoefficients(i), blocks[3 + i]);
    }

    void actInputsOnly(int m) {
        // Steps 0-5 voltages, 6-11 currents; each input gets a positive then a negative step.
        const bool current = m >= 6;
        const bool positive = m % 2 == 0;
        const int input = (m % 6) / 2;
        int& v = value_[m][0];
        v = reading(input);
        check(v, current ? (positive ? 3590 : 506) : (positive ? 3827 : 269), ReadingTolerance);
        if (m != 11) return;
        std::array<uint16_t, 3> blocks[6];
        for (int i = 0; i < 3; ++i) {
            blocks[i] =
                qmt::CalibrationBlock(10000, value_[2 * i][0], -10000, value_[2 * i + 1][0]);
            blocks[3 + i] =
                qmt::CalibrationBlock(20000, value_[6 + 2 * i][0], -20000, value_[7 + 2 * i][0]);
        }
        for (int i = 0; i < 3; ++i)
            writeBlock(InputVoltageCoefficients(i), blocks[i]);
        for (int i = 0; i < 3; ++i)
            writeBlock(InputCurrentCoefficients(i), blocks[3 + i]);
    }

    QWidget* owner_;
    bool withOutput_;
    QPointer<TCalibr1> dialog_;
    int value_[14][2] = {};  // what was typed or read at each step
    bool completed_ = false; // the last step was reached: every block is written
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
    const uint16_t type = ReadRegister(reg::ModuleType);
    if (type != reg::TypeQmt584 && type != reg::TypeQmt5841) {
        showMessage(QStringLiteral("Неизвестный тип модуля!"), QStringLiteral("Ошибка!"),
                    MsgIcon::Error, owner);
        return;
    }
    Wizard(owner, type == reg::TypeQmt584).run();
}

} // namespace qmt
