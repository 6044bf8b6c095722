#pragma once
// The command line of qmt584-cli: the line settings for this run, the
// command and its own options. Parsing only; nothing here touches the module.

#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace qmt::cli {

struct Invocation {
    // Line settings given on the command line; the rest come from the
    // settings file.
    std::optional<QString> port;
    std::optional<int32_t> baud;
    std::optional<uint8_t> parity;
    std::vector<uint8_t> stations; // --address; empty: the settings file's
    QString settingsFile;          // --settings; empty: the program's own
    QString traceFile;             // --trace; empty: no trace of the frames

    QString command;
    QStringList arguments;       // the command's arguments that are not options
    uint16_t firstRegister = 0;  // get: ADDR[..ADDR]; set: ADDR
    uint16_t lastRegister = 0;   // get
    uint16_t value = 0;          // set: VALUE as its 16 bits
    bool dryRun = false;         // write-config
    bool changedOnly = false;    // write-config --changed
    int firstStation = 1;        // scan --from
    int lastStation = 247;       // scan --to
    int periodMs = 1000;         // values
    long long count = -1;        // values; -1: until interrupted
    QString logFile;             // values
    bool overwrite = false;      // values: an existing log may be replaced
    bool protectedWrite = false; // set
    bool clear = false;          // restarts
    QString moduleVersion;       // search
    QString serialNumber;        // search
    // Options a command reads itself (tune), by name; a flag has an empty value.
    QHash<QString, QString> options;
};

// tune's options, read whole before the port is opened.
struct TuneOptions {
    int regulator = 0; // 0..2 (--regulator 1..3)
    int step = 0;      // ΔY
    bool lambda = false;
    double tc = 0.0; // 0: SIMC's "плавно"
    double maxTime = 600.0;
    bool write = false;
};
// An empty result is success; otherwise the usage error.
QString ParseTuneOptions(const Invocation& invocation, TuneOptions& out);

// Fills out from the arguments (without the program name). An empty result
// is success; otherwise the usage error to report.
QString ParseInvocation(const QStringList& args, Invocation& out);

// A number typed for a register, read as the whole text: decimal with an
// optional minus, or 0x and hexadecimal digits, within min..max. An empty
// result is success; otherwise the program's own message for a field.
QString ParseWholeInteger(const QString& text, long long min, long long max, long long& value);

// "1,3,5-9" -> 1 3 5 6 7 8 9, each a station 1..247, in the order given and
// without repeats; nothing for a malformed list.
std::optional<std::vector<uint8_t>> ParseStations(const QString& text);

// "none" | "odd" | "even" -> 0 | 1 | 2.
std::optional<uint8_t> ParseParity(const QString& text);
QString ParityName(uint8_t parity);

// The commands the tool knows.
const QStringList& Commands();

} // namespace qmt::cli
