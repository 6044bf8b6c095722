#include "app/Options.h"

#include "app/TcpServer.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace qmt::sim {

namespace {

bool parseUnsigned(const std::string& s, int base, unsigned long max, unsigned long& out) {
    if (s.empty() || !std::isxdigit(static_cast<unsigned char>(s[0]))) return false;
    char* end = nullptr;
    errno = 0;
    unsigned long v = std::strtoul(s.c_str(), &end, base);
    if (errno || *end || v > max) return false;
    out = v;
    return true;
}

bool parseReal(const std::string& s, double min, double max, double& out) {
    if (s.empty() || std::isspace(static_cast<unsigned char>(s[0]))) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(s.c_str(), &end);
    if (errno || *end || !std::isfinite(v) || v < min || v > max) return false;
    out = v;
    return true;
}

} // namespace

bool parsePlant(const std::string& text, int& regulator, Plant& plant, std::string& why) {
    why = "N:K,T,L or N:K,T1,T2,L, such as 1:0.5,10,2";
    const size_t colon = text.find(':');
    unsigned long n = 0;
    if (colon == std::string::npos || !parseUnsigned(text.substr(0, colon), 10, 3, n) || n == 0)
        return false;
    std::vector<std::string> parts;
    for (size_t start = colon + 1;;) {
        const size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (parts.size() != 3 && parts.size() != 4) return false;
    Plant p;
    const bool second = parts.size() == 4;
    // The dead time is held cycle by cycle, so it has a bound; so have the others.
    if (!parseReal(parts[0], -1000, 1000, p.gain) || p.gain == 0.0) {
        why = "the gain K is a number from -1000 to 1000, not 0";
        return false;
    }
    if (!parseReal(parts[1], 0.002, 36000, p.t1) ||
        (second && !parseReal(parts[2], 0.002, 36000, p.t2))) {
        why = "time constants are seconds from 0.002 to 36000";
        return false;
    }
    if (!parseReal(parts.back(), 0, 600, p.deadTime)) {
        why = "the dead time L is seconds from 0 to 600";
        return false;
    }
    regulator = static_cast<int>(n) - 1;
    plant = p;
    return true;
}

const char* usageText() {
    return "usage: qmt584-sim --link PATH [--baud N] [--parity none|odd|even] [--address N[,N...]]\n"
           "       qmt584-sim --tcp HOST:PORT [--framing rtu|mbap] [--address N[,N...]]\n"
           "                  [--type N] [--serial L####] [--firmware 0xHHLL] [--trace FILE]\n"
           "                  [--control PATH] [--state FILE] [--no-pace] [--turnaround MS]\n"
           "                  [--seed N] [--plant N:K,T[,T2],L]... [--load A] [--noise N]\n"
           "                  [--time-scale X]\n";
}

bool parseSerial(const std::string& text, uint16_t& code) {
    if (text.size() < 2 || text.size() > 5 || !std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    unsigned long number;
    for (size_t i = 1; i < text.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    if (!parseUnsigned(text.substr(1), 10, 2047, number)) return false;
    int letter = std::toupper(static_cast<unsigned char>(text[0])) - 'A' + 1;
    code = static_cast<uint16_t>(letter * 2048 + number);
    return true;
}

bool parseOptions(int argc, const char* const* argv, SimOptions& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "--help" || opt == "-h") {
            o.help = true;
            return true;
        }
        if (opt == "--version") {
            o.version = true;
            return true;
        }
        if (opt == "--no-pace") {
            o.pace = false;
            continue;
        }
        static const char* const withValue[] = {
            "--link",     "--baud",  "--parity",  "--address",   "--type",       "--serial",
            "--firmware", "--trace", "--control", "--state",     "--turnaround", "--seed",
            "--plant",    "--load",  "--noise",   "--time-scale"};
        bool known = opt == "--tcp" || opt == "--framing";
        for (const char* w : withValue)
            known = known || opt == w;
        if (!known) {
            error = "unknown option " + opt;
            return false;
        }
        if (i + 1 >= argc) {
            error = opt + " needs a value";
            return false;
        }
        const std::string v = argv[++i];
        unsigned long n = 0;
        auto bad = [&](const char* what) {
            error = "bad value '" + v + "' for " + opt + ": " + what;
            return false;
        };
        if (opt == "--link") {
            if (v.empty()) return bad("a path is needed");
            o.link = v;
        } else if (opt == "--baud") {
            static const unsigned long rates[] = {2400,  4800,  9600,  19200,
                                                  28800, 38400, 57600, 115200};
            bool ok = parseUnsigned(v, 10, 115200, n);
            bool listed = false;
            for (unsigned long r : rates)
                listed = listed || r == n;
            if (!ok || !listed) return bad("one of 2400 4800 9600 19200 28800 38400 57600 115200");
            o.module.baud = static_cast<uint32_t>(n);
            o.hasBaud = true;
        } else if (opt == "--parity") {
            if (v == "none")
                o.module.parity = 0;
            else if (v == "odd")
                o.module.parity = 1;
            else if (v == "even")
                o.module.parity = 2;
            else
                return bad("none, odd or even");
            o.hasParity = true;
        } else if (opt == "--address") {
            std::vector<uint8_t> stations;
            size_t start = 0;
            for (;;) {
                const size_t comma = v.find(',', start);
                const std::string one = v.substr(start, comma - start);
                if (!parseUnsigned(one, 10, 247, n) || n == 0)
                    return bad("station addresses 1 to 247, such as 1 or 1,2,3");
                for (uint8_t s : stations)
                    if (s == n) return bad("each station once");
                stations.push_back(static_cast<uint8_t>(n));
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
            o.module.address = stations.front();
            o.moreStations.assign(stations.begin() + 1, stations.end());
            o.hasAddress = true;
        } else if (opt == "--type") {
            if (!parseUnsigned(v, 10, 65535, n)) return bad("a type code 0 to 65535");
            o.module.type = static_cast<uint16_t>(n);
            o.hasType = true;
        } else if (opt == "--serial") {
            if (!parseSerial(v, o.module.serial))
                return bad("a letter A to Z and a number 0 to 2047, such as A0001");
            o.hasSerial = true;
        } else if (opt == "--firmware") {
            if (v.size() < 3 || (v.compare(0, 2, "0x") != 0 && v.compare(0, 2, "0X") != 0) ||
                !parseUnsigned(v.substr(2), 16, 0xFFFF, n))
                return bad("a version such as 0x0200");
            o.module.firmware = static_cast<uint16_t>(n);
            o.hasFirmware = true;
        } else if (opt == "--tcp") {
            // Numeric addresses only: a test server never waits for a name look-up.
            std::string host, port;
            if (!splitHostPort(v, host, port))
                return bad("HOST:PORT, such as 127.0.0.1:1502 or [::1]:1502");
            o.tcp = v;
        } else if (opt == "--framing") {
            if (v != "rtu" && v != "mbap") return bad("rtu or mbap");
            o.mbap = v == "mbap";
        } else if (opt == "--trace") {
            o.trace = v;
        } else if (opt == "--control") {
            o.control = v;
        } else if (opt == "--state") {
            o.state = v;
        } else if (opt == "--turnaround") {
            if (!parseUnsigned(v, 10, 10000, n)) return bad("milliseconds 0 to 10000");
            o.turnaroundMs = static_cast<int>(n);
        } else if (opt == "--seed") {
            if (!parseUnsigned(v, 10, 0xFFFFFFFFul, n)) return bad("an unsigned number");
            o.module.seed = static_cast<uint32_t>(n);
        } else if (opt == "--plant") {
            int regulator = 0;
            Plant plant;
            std::string why;
            if (!parsePlant(v, regulator, plant, why)) return bad(why.c_str());
            o.module.plants[regulator] = plant;
        } else if (opt == "--load") {
            if (!parseReal(v, 0, 32767, o.module.load)) return bad("an amplitude 0 to 32767");
        } else if (opt == "--noise") {
            if (!parseUnsigned(v, 10, 1000, n)) return bad("counts 0 to 1000");
            o.module.noise = static_cast<int>(n);
        } else if (opt == "--time-scale") {
            // the model runs every 2 ms of its own time: a thousand times the
            // wall clock is about what one core keeps up with
            if (!parseReal(v, 0.01, 1000, o.timeScale)) return bad("a factor 0.01 to 1000");
        }
    }
    if (o.link.empty() && o.tcp.empty()) {
        error = "--link PATH or --tcp HOST:PORT is required";
        return false;
    }
    return true;
}

} // namespace qmt::sim
