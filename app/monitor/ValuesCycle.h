#pragma once
// The values window's read cycle without the window: the registers of the
// three regulators and of the module turned into the texts the grids show,
// the channels those texts belong to, and which of them go into the value log
// in which order. The values window and the command line both run these.

#include "monitor/MonitorChannel.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>

namespace qmt {

// Regulator p (1..3): rows 1..7 of its sgSTATE column (set-point, feedback,
// output, state word in hexadecimal, its three bits as "1"/"0") and rows 0..1
// of its sgWriteVal column (value for forced output, integrator set-point).
struct RegulatorTexts {
    std::array<QString, 7> state;
    std::array<QString, 2> written;
};

// One request each; ECommError when the module does not answer.
RegulatorTexts ReadRegulatorTexts(int p);
// The three analog inputs' and the output's values, rows 1..4 of sgModValues.
std::array<QString, 4> ReadModuleTexts();

using RegulatorChannelTable = std::array<std::array<MonitorChannel, 7>, 3>;
using ModuleChannelTable = std::array<MonitorChannel, 4>;
// The channels as the window fixes them at its creation, all selected.
RegulatorChannelTable RegulatorChannels();
ModuleChannelTable ModuleChannels();

// The selected channels in the log's order (regulators 1..3 with their rows
// 1..7, then the module values): their names for the header, and their cell
// texts for a data line from the given texts.
QStringList LogChannelNames(const RegulatorChannelTable& regulators,
                            const ModuleChannelTable& module);
QStringList LogCellTexts(const RegulatorChannelTable& regulators, const ModuleChannelTable& module,
                         const std::function<QString(int p, int row)>& stateText,
                         const std::function<QString(int row)>& moduleText);

// One whole read cycle, as "Обновить" runs it, into texts kept here.
struct ValuesReading {
    std::array<RegulatorTexts, 3> regulators;
    std::array<QString, 4> module;

    // Reads the regulators in turn, then the module; a failure leaves the
    // blocks read before it updated.
    void read();
    QString stateText(int p, int row) const { return regulators[p - 1].state[row - 1]; }
    QString moduleText(int row) const { return module[row - 1]; }
    QStringList logTexts(const RegulatorChannelTable& regulatorChannels,
                         const ModuleChannelTable& moduleChannels) const;
};

} // namespace qmt
