#include "config/ConfigTransfer.h"

#include "common/Seams.h"
#include "link/Errors.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"
#include "link/StatusReport.h"

#include <algorithm>

namespace qmt {
namespace {

constexpr int PidHalf = 7; // a block is read as two requests of 7 registers
constexpr int WriteWaitMs = 100;

// Steps of the write: the four mode words, the three PID blocks, the output
// source, the output's initial value, the module mode, the integration times
// and the output slew, then the two PWM blocks.
constexpr int FirstPidStep = 4;
constexpr int SwOutStep = FirstPidStep + 3 * reg::PidBlockSize; // 46
constexpr int DacValueStep = SwOutStep + 1;
constexpr int ModuleModeStep = DacValueStep + 1;
constexpr int FirstTiStep = ModuleModeStep + 1;
static_assert(FirstTiStep + 4 == FirstPwmStep, "the PWM writes follow the four integration times");
static_assert(FirstPwmStep + 2 * reg::PwmBlockSize == ConfigWriteSteps, "63 writes in all");

// Registers of a whole configuration; the PWM blocks are known to be there
// only once the firmware version is read, at the end, so the count assumes them.
constexpr int ConfigRegisters = 3 * reg::PidBlockSize + 1 + 1 + 1 + 4 + 4 + 2 * reg::PwmBlockSize;

// Reads into a scratch buffer so that a failed request leaves the model as it was.
void readInto(reg::Address address, uint16_t count, uint16_t* target) {
    uint16_t buffer[PidHalf] = {};
    ReadRegisters(address, count, buffer);
    std::copy(buffer, buffer + count, target);
}

// Progress of a transfer, register by register.
class TransferNote {
public:
    explicit TransferNote(const char* what) : what_(QString::fromUtf8(what)) { show(); }
    void add(int registers) {
        done_ += registers;
        show();
    }
    int done() const { return done_; }
    void end() { note_.end(); }

private:
    void show() {
        note_.show(what_ + QStringLiteral(": %1 из %2").arg(done_).arg(ConfigRegisters));
    }
    QString what_;
    int done_ = 0;
    ProgressNote note_;
};

// The word a step writes, for both constness.
template <class Config> auto& wordOf(Config& config, int step) {
    if (step < FirstPidStep) return config.io[io::InputMode0 + step];
    if (step < SwOutStep) {
        const int n = (step - FirstPidStep) / reg::PidBlockSize;
        return config.pid[n].w[(step - FirstPidStep) % reg::PidBlockSize];
    }
    if (step == SwOutStep) return config.SwOut;
    if (step == DacValueStep) return config.io[io::DacValue];
    if (step == ModuleModeStep) return config.io[io::ModuleMode];
    if (step < FirstPwmStep) return config.io[io::InputTi0 + step - FirstTiStep];
    return config.io[io::Pwm1 + step - FirstPwmStep];
}

} // namespace

ConfigStep ConfigWriteStep(int step) {
    if (step < FirstPidStep) return {reg::InputMode(step), true, true};
    if (step < SwOutStep) {
        const int n = (step - FirstPidStep) / reg::PidBlockSize;
        return {reg::PidWord(n, (step - FirstPidStep) % reg::PidBlockSize), false, true};
    }
    if (step == SwOutStep) return {reg::OutputSource, false, true};
    if (step == DacValueStep) return {reg::OutputInitialValue, true, true};
    if (step == ModuleModeStep) return {reg::ModuleMode, true, true};
    if (step < FirstPwmStep) return {reg::InputIntegrationTime(step - FirstTiStep), true, true};
    const int i = step - FirstPwmStep;
    const reg::Address block = i < reg::PwmBlockSize ? reg::Pwm1 : reg::Pwm2;
    return {static_cast<uint16_t>(block + i % reg::PwmBlockSize), false, false};
}

uint16_t& ConfigWord(ModuleConfig& config, int step) {
    return wordOf(config, step);
}

uint16_t ConfigWord(const ModuleConfig& config, int step) {
    return wordOf(config, step);
}

const std::array<QString, ConfigWriteSteps>& WriteStepNames() {
    static const std::array<QString, ConfigWriteSteps> names = [] {
        const char* const pidNames[reg::PidBlockSize] = {
            "Коммутатор значения уставки",         "Уставка",
            "Верхняя граница зоны нечувствительности", "коэффициент пропорциональности",
            "постоянная времени интегрирования",   "постоянная времени дифференцирования",
            "период входных  выборок",             "уровень ограничения по максимуму",
            "уровень ограничения по минимуму",     "смещение выхода ПИД-регулятора",
            "регистр управления ПИД-регулятора",   "значение для принудительного вывода",
            "смещение входа ПИД-регулятора",       "нижняя граница зоны нечувствительности"};
        // Each PWM name once, for the positive and then the negative component.
        const char* const pwmNames[reg::PwmBlockSize] = {
            "нижняя граница зоны нечувствительности около нуля",
            "верхняя граница зоны нечувствительности около нуля", "период формирования пилы ШИМ",
            "максимальная амплитуда пилы ШИМ",
            "величина зоны нечувствительности около амплитуды пилы"};
        const char* const components[2] = {"положительной", "отрицательной"};
        const QString q = QStringLiteral("\"");
        std::array<QString, ConfigWriteSteps> t;
        int k = 0;
        for (int c = 1; c <= 3; ++c)
            t[k++] = QStringLiteral("\"Режим работы входа (канал %1)\"").arg(c);
        t[k++] = QStringLiteral("\"Режим работы выхода \"");
        for (int n = 0; n < 3; ++n)
            for (const char* name : pidNames)
                t[k++] = q + QString::fromUtf8(name) + QStringLiteral("(ПИД%1)").arg(n + 1) + q;
        t[k++] = QStringLiteral("\"коммутатор выхода\"");
        t[k++] = QStringLiteral("\"Начальное значение выхода\"");
        t[k++] = QStringLiteral("\"Режим работы преобразователя\"");
        for (int c = 1; c <= 3; ++c)
            t[k++] = QStringLiteral("\"Время интегрирования канала %1\"").arg(c);
        t[k++] = QStringLiteral("\"Скорость нарастания/спада выходного сигнала\"");
        for (const char* component : components) {
            for (const char* name : pwmNames) {
                // Only the very first PWM name carries the block's name.
                const QString block = k == FirstPwmStep ? QStringLiteral("(ШИМ1)") : QString();
                t[k++] = q + QString::fromUtf8(name) + QStringLiteral(" для ") +
                         QString::fromUtf8(component) + QStringLiteral(" составляющей") + block +
                         q;
            }
        }
        return t;
    }();
    return names;
}

bool HasPwm(uint16_t firmwareVersion) {
    return firmwareVersion >= reg::FirstVersionWithPwm;
}

ConfigRead ReadConfiguration(ModuleConfig& config,
                             const std::function<void(uint16_t mode)>& onModeRead) {
    TransferNote note("Чтение конфигурации");
    auto read = [&note](reg::Address address, uint16_t count, uint16_t* target) {
        readInto(address, count, target);
        note.add(count);
    };
    for (int n = 0; n < 3; ++n) {
        uint16_t* words = config.pid[n].w.data();
        read(reg::PidBlock(n), PidHalf, words);
        read(reg::PidBlock(n) + PidHalf, PidHalf, words + PidHalf);
    }
    config.SwOut = ReadRegister(reg::OutputSource);
    note.add(1);
    read(reg::InputIntegrationTime(0), 4, &config.io[io::InputTi0]);
    read(reg::OutputInitialValue, 1, &config.io[io::DacValue]);
    read(reg::InputMode(0), 4, &config.io[io::InputMode0]);
    read(reg::ModuleMode, 1, &config.io[io::ModuleMode]);
    if (onModeRead) onModeRead(config.io[io::ModuleMode]);

    ConfigRead result;
    result.pwm = HasPwm(ReadRegister(reg::FirmwareVersion));
    if (result.pwm) {
        read(reg::Pwm1, reg::PwmBlockSize, &config.io[io::Pwm1]);
        read(reg::Pwm2, reg::PwmBlockSize, &config.io[io::Pwm2]);
    }
    result.registers = note.done();
    return result;
}

int WriteConfiguration(const ModuleConfig& config) {
    uint16_t k = 0; // writes completed; names the parameter of a failure
    TransferNote note("Запись конфигурации");
    try {
        for (int step = 0; step < ConfigWriteSteps; ++step) {
            // The version read does not count as a write.
            if (step == FirstPwmStep && !HasPwm(ReadRegister(reg::FirmwareVersion))) break;
            const ConfigStep s = ConfigWriteStep(step);
            if (s.protectedWrite)
                WriteProtectedRegister(s.address, ConfigWord(config, step));
            else
                WriteRegister(s.address, ConfigWord(config, step));
            // Each register written is counted before the wait that follows it.
            ++k;
            note.add(1);
            if (s.waitAfter) clock().sleepMs(WriteWaitMs);
        }
    } catch (ECommError& error) {
        error.setMessage(error.message() + QStringLiteral("\nпараметр:\n") +
                         WriteStepNames().at(std::min<size_t>(k, WriteStepNames().size() - 1)));
        throw;
    }
    note.end();
    return note.done();
}

uint16_t ReadRestartCounter() {
    return ReadRegister(reg::RestartCounter);
}

void ClearRestartCounter() {
    WriteRegister(reg::RestartCounter, 0);
}

std::vector<ConfigDifference> CompareConfigurations(const ModuleConfig& module,
                                                    const ModuleConfig& wanted, bool pwm) {
    std::vector<ConfigDifference> differences;
    const int steps = pwm ? ConfigWriteSteps : FirstPwmStep;
    for (int step = 0; step < steps; ++step) {
        const uint16_t have = ConfigWord(module, step), want = ConfigWord(wanted, step);
        if (have != want)
            differences.push_back(
                {step, ConfigWriteStep(step).address, have, want, WriteStepNames()[step]});
    }
    return differences;
}

} // namespace qmt
