#include "app/Control.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace qmt::sim {

namespace {

bool toLong(const std::string& s, long min, long max, long& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(s.c_str(), &end, 0); // decimal, or 0x hexadecimal
    if (errno || *end || v < min || v > max) return false;
    out = v;
    return true;
}

bool toDouble(const std::string& s, double& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(s.c_str(), &end);
    if (errno || *end || !std::isfinite(v)) return false;
    out = v;
    return true;
}

bool toInput(const std::string& s, int& input) {
    long v;
    if (!toLong(s, 1, Module::Inputs, v)) return false;
    input = static_cast<int>(v) - 1;
    return true;
}

std::string writeFile(const std::string& path, const std::string& text) {
    // written beside and renamed, so a reader never sees half a dump
    const std::string tmp = path + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "w");
    if (!f) return "cannot write " + path;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return "cannot write " + path;
    }
    return {};
}

} // namespace

std::string meterReading(const Module& module, const std::string& unit) {
    constexpr uint16_t CurrentMode = 1; // register 59: 1 current, 2 voltage
    const bool current = unit.empty() ? module.reg(reg::OutputMode) == CurrentMode : unit == "uA";
    // The converter's real transfer, not the nominal one: what the calibration corrects.
    const double value = current ? module.outputMicroamps() : module.outputMillivolts();
    return "meter " + std::to_string(std::lround(value)) + (current ? " uA" : " mV");
}

std::vector<uint8_t> moduleReply(Module& module, Faults& faults,
                                 const std::vector<uint8_t>& request) {
    const bool forUs = request.size() >= 4 && request[0] == module.address() &&
                       crc16(request.data(), request.size()) == 0;
    if (faults.exceptions > 0 && forUs) {
        --faults.exceptions;
        return module.refuse(request.data(), request.size(),
                             static_cast<uint8_t>(faults.exceptionCode));
    }
    return module.handleFrame(request.data(), request.size());
}

void Line::add(Module& module) {
    modules_.push_back(&module);
    silent_.push_back(0);
}

int Line::find(int address) const {
    for (size_t i = 0; i < modules_.size(); ++i)
        if (modules_[i]->address() == address) return static_cast<int>(i);
    return -1;
}

std::vector<uint8_t> Line::reply(Faults& faults, const std::vector<uint8_t>& request,
                                 const std::function<bool(const Module&)>& accepts,
                                 const Module** replying) {
    // Every station hears every request (broadcasts included); only the one
    // addressed answers.
    std::vector<uint8_t> answer;
    for (size_t i = 0; i < modules_.size(); ++i) {
        Module& m = *modules_[i];
        if (silent_[i] || (accepts && !accepts(m))) continue;
        std::vector<uint8_t> r = moduleReply(m, faults, request);
        if (!r.empty() && answer.empty()) {
            answer = std::move(r);
            if (replying) *replying = &m;
        }
    }
    return answer;
}

void Line::advance(double seconds) {
    for (Module* m : modules_)
        m->advance(seconds);
}

namespace {

// "silent N [on|off]": one station of the line cut from it, or back.
std::string silentStation(const std::vector<std::string>& w, ControlState& st) {
    long address = 0;
    const bool on = w.size() == 2 || w[2] == "on";
    if (!toLong(w[1], 1, 247, address) || (w.size() == 3 && w[2] != "on" && w[2] != "off"))
        return "usage: silent on|off | silent STATION [on|off]";
    if (!st.line) {
        if (address != st.module.address()) return "no station " + w[1];
        st.silent = on;
        return {};
    }
    const int i = st.line->find(static_cast<int>(address));
    if (i < 0) return "no station " + w[1];
    st.line->setSilent(static_cast<size_t>(i), on);
    return {};
}

} // namespace

std::string runControl(const std::string& line, ControlState& control, std::string* printed) {
    // The commands below reach the station "station N" chose.
    ControlState st{control.line ? control.line->module(control.line->current) : control.module,
                    control.faults, control.silent, control.line};
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string word; in >> word;)
        w.push_back(word);
    if (w.empty()) return "empty command";
    const std::string& cmd = w[0];
    const size_t n = w.size();
    long a = 0, b = 0;
    int input = 0;

    if (cmd == "silent" && n == 2 && (w[1] == "on" || w[1] == "off")) {
        st.silent = w[1] == "on";
    } else if (cmd == "silent" && (n == 2 || n == 3)) {
        return silentStation(w, st);
    } else if (cmd == "station" && n == 2) {
        const int i = st.line && toLong(w[1], 1, 247, a) ? st.line->find(static_cast<int>(a)) : -1;
        if (i < 0) return "usage: station N, one of the line's station addresses";
        st.line->current = static_cast<size_t>(i);
    } else if (cmd == "set" && n == 3) {
        if (!toLong(w[1], 0, 65535, a) || !toLong(w[2], -32768, 65535, b))
            return "usage: set ADDR VALUE (ADDR 0..65535, VALUE -32768..65535)";
        st.module.setReg(static_cast<uint16_t>(a), static_cast<uint16_t>(b));
    } else if (cmd == "wire" && n == 4) {
        InputConnection c;
        if (!toInput(w[1], input) || (w[2] != "voltage" && w[2] != "current") ||
            (w[3] != "+" && w[3] != "-"))
            return "usage: wire IN voltage|current +|-";
        c.kind =
            w[2] == "voltage" ? InputConnection::VoltageOutput : InputConnection::CurrentOutput;
        c.polarity = w[3] == "+" ? 1 : -1;
        st.module.connectInput(input, c);
    } else if (cmd == "source" && n == 4) {
        InputConnection c;
        if (!toInput(w[1], input) || (w[2] != "mV" && w[2] != "uA") || !toDouble(w[3], c.value))
            return "usage: source IN mV|uA VALUE";
        c.kind = w[2] == "mV" ? InputConnection::VoltageSource : InputConnection::CurrentSource;
        st.module.connectInput(input, c);
    } else if ((cmd == "open" || cmd == "process") && n == 2) {
        if (!toInput(w[1], input)) return "usage: " + cmd + " IN (1..3)";
        InputConnection c;
        c.kind = cmd == "open" ? InputConnection::Open : InputConnection::Process;
        st.module.connectInput(input, c);
    } else if (cmd == "fault" && n >= 2) {
        const std::string& what = w[1];
        Faults& f = st.faults;
        if (what == "clear" && n == 2) {
            f = Faults{};
        } else if (what == "crc" && n == 3 && toLong(w[2], 0, 1000000, a)) {
            f.crc = static_cast<int>(a);
        } else if (what == "exception" && n == 4 && toLong(w[2], 1, 255, a) &&
                   toLong(w[3], 0, 1000000, b)) {
            f.exceptionCode = static_cast<int>(a);
            f.exceptions = static_cast<int>(b);
        } else if (what == "delay" && n == 3 && toLong(w[2], 0, 60000, a)) {
            f.delayMs = static_cast<int>(a);
        } else if (what == "split" && n == 3 && toLong(w[2], 0, 60000, a)) {
            f.splitMs = static_cast<int>(a);
        } else if (what == "drop" && n == 2) {
            f.drops = 1;
        } else {
            return "usage: fault crc N | fault exception CODE N | fault delay MS | "
                   "fault split MS | fault drop | fault clear";
        }
    } else if (cmd == "load" && n == 2) {
        double amplitude = 0.0;
        if (!toDouble(w[1], amplitude) || amplitude < 0 || amplitude > 32767)
            return "usage: load A (amplitude 0..32767, 0 for none)";
        st.module.setLoad(amplitude);
    } else if (cmd == "noise" && n == 2) {
        if (!toLong(w[1], 0, 1000, a)) return "usage: noise N (counts 0..1000, 0 for none)";
        st.module.setNoise(static_cast<int>(a));
    } else if (cmd == "restart" && n == 1) {
        st.module.restart();
    } else if (cmd == "meter" && n <= 2) {
        if (n == 2 && w[1] != "uA" && w[1] != "mV") return "usage: meter [uA|mV]";
        const std::string reading = meterReading(st.module, n == 2 ? w[1] : std::string());
        if (printed) *printed = reading;
    } else if (cmd == "dump" && n == 2) {
        return writeFile(w[1], st.module.dump());
    } else {
        return "unknown or malformed command";
    }
    return {};
}

} // namespace qmt::sim
