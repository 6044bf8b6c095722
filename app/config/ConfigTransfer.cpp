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

// The parameter of each write as a failure names it, in the order of the
// writes; whole texts, so that a message a user reports is found here.
const char* const StepNames[ConfigWriteSteps] = {
    // clang-format off
    "Режим работы входа (канал 1)",
    "Режим работы входа (канал 2)",
    "Режим работы входа (канал 3)",
    "Режим работы выхода ",
    "Коммутатор значения уставки(ПИД1)",
    "Уставка(ПИД1)",
    "Верхняя граница зоны нечувствительности(ПИД1)",
    "коэффициент пропорциональности(ПИД1)",
    "постоянная времени интегрирования(ПИД1)",
    "постоянная времени дифференцирования(ПИД1)",
    "период входных  выборок(ПИД1)",
    "уровень ограничения по максимуму(ПИД1)",
    "уровень ограничения по минимуму(ПИД1)",
    "смещение выхода ПИД-регулятора(ПИД1)",
    "регистр управления ПИД-регулятора(ПИД1)",
    "значение для принудительного вывода(ПИД1)",
    "смещение входа ПИД-регулятора(ПИД1)",
    "нижняя граница зоны нечувствительности(ПИД1)",
    "Коммутатор значения уставки(ПИД2)",
    "Уставка(ПИД2)",
    "Верхняя граница зоны нечувствительности(ПИД2)",
    "коэффициент пропорциональности(ПИД2)",
    "постоянная времени интегрирования(ПИД2)",
    "постоянная времени дифференцирования(ПИД2)",
    "период входных  выборок(ПИД2)",
    "уровень ограничения по максимуму(ПИД2)",
    "уровень ограничения по минимуму(ПИД2)",
    "смещение выхода ПИД-регулятора(ПИД2)",
    "регистр управления ПИД-регулятора(ПИД2)",
    "значение для принудительного вывода(ПИД2)",
    "смещение входа ПИД-регулятора(ПИД2)",
    "нижняя граница зоны нечувствительности(ПИД2)",
    "Коммутатор значения уставки(ПИД3)",
    "Уставка(ПИД3)",
    "Верхняя граница зоны нечувствительности(ПИД3)",
    "коэффициент пропорциональности(ПИД3)",
    "постоянная времени интегрирования(ПИД3)",
    "постоянная времени дифференцирования(ПИД3)",
    "период входных  выборок(ПИД3)",
    "уровень ограничения по максимуму(ПИД3)",
    "уровень ограничения по минимуму(ПИД3)",
    "смещение выхода ПИД-регулятора(ПИД3)",
    "регистр управления ПИД-регулятора(ПИД3)",
    "значение для принудительного вывода(ПИД3)",
    "смещение входа ПИД-регулятора(ПИД3)",
    "нижняя граница зоны нечувствительности(ПИД3)",
    "коммутатор выхода",
    "Начальное значение выхода",
    "Режим работы преобразователя",
    "Время интегрирования канала 1",
    "Время интегрирования канала 2",
    "Время интегрирования канала 3",
    "Скорость нарастания/спада выходного сигнала",
    "нижняя граница зоны нечувствительности около нуля для положительной составляющей(ШИМ1)",
    "верхняя граница зоны нечувствительности около нуля для положительной составляющей",
    "период формирования пилы ШИМ для положительной составляющей",
    "максимальная амплитуда пилы ШИМ для положительной составляющей",
    "величина зоны нечувствительности около амплитуды пилы для положительной составляющей",
    "нижняя граница зоны нечувствительности около нуля для отрицательной составляющей",
    "верхняя граница зоны нечувствительности около нуля для отрицательной составляющей",
    "период формирования пилы ШИМ для отрицательной составляющей",
    "максимальная амплитуда пилы ШИМ для отрицательной составляющей",
    "величина зоны нечувствительности около амплитуды пилы для отрицательной составляющей",
    // clang-format on
};

const std::array<QString, ConfigWriteSteps>& WriteStepNames() {
    static const std::array<QString, ConfigWriteSteps> names = [] {
        std::array<QString, ConfigWriteSteps> t;
        for (int k = 0; k < ConfigWriteSteps; ++k)
            t[k] = QLatin1Char('"') + QString::fromUtf8(StepNames[k]) + QLatin1Char('"');
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
        error.setMessage(QStringLiteral("%1\nпараметр:\n%2")
                             .arg(error.message(), WriteStepNames().at(std::min<size_t>(
                                                       k, WriteStepNames().size() - 1))));
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
