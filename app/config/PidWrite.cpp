#include "config/PidWrite.h"

#include "common/Seams.h"
#include "config/ModuleConfig.h"
#include "link/Errors.h"
#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"

#include <QString>

namespace qmt {
namespace {

constexpr int WriteWaitMs = 100;

const char* const Names[] = {"Уставка",
                             "верхняя граница зоны нечувствительности",
                             "коэффициент пропорциональности",
                             "постоянная времени интегрирования",
                             "постоянная времени дифференцирования",
                             "период входных  выборок",
                             "уровень ограничения по максимуму",
                             "уровень ограничения по минимуму",
                             "смещение выхода ПИД-регулятора",
                             "регистр управления ПИД-регулятора",
                             "значение для принудительного вывода",
                             "смещение входа ПИД-регулятора",
                             "нижняя граница зоны нечувствительности"};

} // namespace

QString PidParameterName(int offset) {
    return offset >= 0 && offset < 13 ? QString::fromUtf8(Names[offset]) : QString();
}

void WritePidParameters(int n, const std::vector<std::pair<int, uint16_t>>& values,
                        const std::function<void(int)>& progress) {
    int written = 0;
    for (const auto& [offset, value] : values) {
        try {
            WriteRegisters(reg::PidWord(n, reg::pid::XsDef + offset), 1, &value);
        } catch (ECommError& error) {
            error.setMessage(QStringLiteral("%1\nпараметр \"%2\"")
                                 .arg(error.message(), PidParameterName(offset)));
            throw;
        }
        if (progress) progress(++written);
        // The module stores each parameter before it takes the next one.
        clock().sleepMs(WriteWaitMs);
    }
}

void StorePidParameters(int n, const std::vector<std::pair<int, uint16_t>>& values) {
    PidBlock& block = Config.pid.at(size_t(n));
    for (const auto& [offset, value] : values)
        block.w[size_t(reg::pid::XsDef + offset)] = value;
}

} // namespace qmt
