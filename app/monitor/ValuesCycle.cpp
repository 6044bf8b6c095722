#include "monitor/ValuesCycle.h"

#include "link/RegisterAccess.h"
#include "link/RegisterMap.h"

namespace qmt {
namespace {

QString signedText(uint16_t word) {
    return QString::number(static_cast<int16_t>(word));
}

QString bitText(uint16_t word, uint16_t bit) {
    return (word & bit) ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

RegulatorTexts ReadRegulatorTexts(int p) {
    uint16_t w[reg::LiveBlockSize];
    ReadRegisters(reg::LiveBlock(p - 1), reg::LiveBlockSize, w);
    const uint16_t state = w[reg::live::State];
    RegulatorTexts t;
    t.state = {signedText(w[reg::live::Xs]),
               signedText(w[reg::live::Xm]),
               signedText(w[reg::live::Y]),
               FormatRegisterValue(state, 3),
               bitText(state, reg::live::AtMaximum),
               bitText(state, reg::live::AtMinimum),
               bitText(state, reg::live::Overflow)};
    t.written = {signedText(w[reg::live::Xfo]), signedText(w[reg::live::Ival])};
    return t;
}

std::array<QString, 4> ReadModuleTexts() {
    uint16_t w[4];
    ReadRegisters(reg::InputValue(0), 4, w);
    std::array<QString, 4> texts;
    for (int r = 0; r < 4; ++r)
        texts[r] = signedText(w[r]);
    return texts;
}

RegulatorChannelTable RegulatorChannels() {
    // Row 5 ("Максимум") is Dmin and row 6 ("Минимум") Dmax: the names the
    // viewer and old logs know.
    static const char* const names[7] = {"Xs(k)", "Xm(k)", "Y(k)", "STATE", "Dmin", "Dmax", "OV"};
    RegulatorChannelTable table;
    for (int n = 0; n < 3; ++n) {
        for (int r = 0; r < 7; ++r) {
            MonitorChannel& ch = table[n][r];
            ch.id = 7 * n + r + 1;
            ch.name = QLatin1String(names[r]) + QString::number(n + 1);
        }
    }
    return table;
}

ModuleChannelTable ModuleChannels() {
    static const char* const names[4] = {"АЦП1", "АЦП2", "АЦП3", "ЦАП"};
    ModuleChannelTable table;
    for (int r = 0; r < 4; ++r) {
        table[r].id = 31 + r;
        table[r].name = QString::fromUtf8(names[r]);
    }
    return table;
}

QStringList LogChannelNames(const RegulatorChannelTable& regulators,
                            const ModuleChannelTable& module) {
    QStringList names;
    for (const auto& regulator : regulators)
        for (const MonitorChannel& ch : regulator)
            if (ch.selected) names << ch.name;
    for (const MonitorChannel& ch : module)
        if (ch.selected) names << ch.name;
    return names;
}

QStringList LogCellTexts(const RegulatorChannelTable& regulators, const ModuleChannelTable& module,
                         const std::function<QString(int p, int row)>& stateText,
                         const std::function<QString(int row)>& moduleText) {
    QStringList texts;
    for (int p = 1; p <= 3; ++p)
        for (int row = 1; row <= 7; ++row)
            if (regulators[p - 1][row - 1].selected) texts << stateText(p, row);
    for (int row = 1; row <= 4; ++row)
        if (module[row - 1].selected) texts << moduleText(row);
    return texts;
}

void ValuesReading::read() {
    for (int p = 1; p <= 3; ++p)
        regulators[p - 1] = ReadRegulatorTexts(p);
    module = ReadModuleTexts();
}

QStringList ValuesReading::logTexts(const RegulatorChannelTable& regulatorChannels,
                                    const ModuleChannelTable& moduleChannels) const {
    return LogCellTexts(
        regulatorChannels, moduleChannels, [this](int p, int row) { return stateText(p, row); },
        [this](int row) { return moduleText(row); });
}

} // namespace qmt
