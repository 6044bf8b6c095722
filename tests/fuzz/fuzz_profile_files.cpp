// Any text as the settings file and as a .pid file. Reading never fails, and
// a load followed by a save and a second load gives the same settings and the
// same configuration model: nothing a file holds changes by being saved.
//
// Byte 0 picks the locale (the decimal separator of Kp and Td depends on it);
// the rest is the file.
#include "config/ModuleConfig.h"
#include "config/PidFile.h"
#include "link/IniFile.h"
#include "link/PortSettings.h"
#include "link/Settings.h"

#include <QByteArray>
#include <QLocale>

#include <cstdint>
#include <cstdlib>

namespace {

using namespace qmt;

void check(bool ok) {
    if (!ok) abort();
}

bool operator==(const TPortSettings& a, const TPortSettings& b) {
    return a.portName == b.portName && a.baud == b.baud && a.parity == b.parity &&
           a.address == b.address;
}

bool sameModel(const ModuleConfig& a, const ModuleConfig& b) {
    for (int n = 0; n < 3; ++n)
        if (a.pid[n].w != b.pid[n].w) return false;
    return a.SwOut == b.SwOut && a.io == b.io;
}

// Reads the bytes, writes the model back into the same lines as a save does,
// and returns what a save would leave on disk.
template <typename Model, typename Read, typename Write>
QByteArray roundTrip(const QByteArray& bytes, Model& model, Read read, Write write) {
    IniFile ini(QString{});
    ini.loadData(bytes);
    read(ini, model);
    write(model, ini);
    return ini.data();
}

const QLocale kLocales[] = {QLocale::c(), QLocale(QLocale::Russian, QLocale::Russia),
                            QLocale(QLocale::German, QLocale::Germany),
                            QLocale(QLocale::English, QLocale::UnitedStates)};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    QLocale::setDefault(kLocales[data[0] % 4]);
    const QByteArray text(reinterpret_cast<const char*>(data + 1), static_cast<int>(size - 1));

    TPortSettings first, second;
    const QByteArray saved = roundTrip(text, first, ReadPortSettings, WritePortSettings);
    const QByteArray again = roundTrip(saved, second, ReadPortSettings, WritePortSettings);
    check(first == second);
    // A save may settle the line ends once (a lone CR before the appended lines
    // makes the file CR LF); after that it changes nothing.
    TPortSettings third;
    check(roundTrip(again, third, ReadPortSettings, WritePortSettings) == again);

    ModuleConfig a, b;
    const QByteArray savedPid = roundTrip(text, a, ReadPidConfig, WritePidConfig);
    const QByteArray againPid = roundTrip(savedPid, b, ReadPidConfig, WritePidConfig);
    check(sameModel(a, b));
    ModuleConfig c;
    check(roundTrip(againPid, c, ReadPidConfig, WritePidConfig) == againPid && sameModel(b, c));
    return 0;
}
