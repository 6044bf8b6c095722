// SIMC (Skogestad 2003) and lambda/IMC (Rivera, Morari and Skogestad 1986,
// ideal-form PID with a first-order Padé of the dead time), both on a first
// order plus dead time model, and the conversion to the module's words.
#include "tune/Rules.h"

#include <algorithm>
#include <cmath>

namespace qmt::tune {

namespace {

constexpr double kCycle = 0.002;   // the module's cycle: unit of Ti and Ts
constexpr double kTdUnit = 0.0001; // tenths of a millisecond

// As the dialogs show numbers: a decimal comma.
QString decimal(double v, int places) {
    return QString::number(v, 'f', places).replace(QLatin1Char('.'), QLatin1Char(','));
}

} // namespace

double samplePeriod(uint16_t tsWord) {
    return std::max<int>(1, tsWord) * kCycle;
}

double effectiveDeadTime(const Model& model, uint16_t tsWord) {
    return model.deadTime + samplePeriod(tsWord) / 2;
}

double closedLoopTime(Speed speed, const Model& model, uint16_t tsWord) {
    const double theta = effectiveDeadTime(model, tsWord);
    return speed == Speed::Fast ? theta : 3 * theta;
}

PidValues ruleValues(Rule rule, const Model& model, double tc, uint16_t tsWord) {
    const double k = std::fabs(model.gain), t = model.timeConstant;
    const double theta = effectiveDeadTime(model, tsWord);
    tc = std::max(tc, 0.0);
    PidValues v;
    if (rule == Rule::Simc) {
        v.kp = t / (k * (tc + theta));
        v.ti = std::min(t, 4 * (tc + theta));
    } else {
        v.kp = (2 * t + theta) / (k * (2 * tc + theta));
        v.ti = t + theta / 2;
        v.td = t * theta / (2 * t + theta);
    }
    return v;
}

// clang-format off
Words toWords(const PidValues& v) {
    Words w;
    auto word = [](double x) { return std::isnan(x) ? 0.0 : std::round(x); }; // NaN: no value at all
    const double kp = word(v.kp * 100), ti = word(v.ti / kCycle), td = word(v.td / kTdUnit);
    if (kp > 65535) w.notes << QStringLiteral("Kp = %1 больше наибольшего 655,35: предложено 655,35.").arg(decimal(v.kp, 2));
    if (kp < 1) w.notes << QStringLiteral("Kp = %1 меньше наименьшего 0,01: предложено 0,01.").arg(decimal(v.kp, 4));
    if (ti > 65535) w.notes << QStringLiteral("Ti = %1 мс больше наибольшего 131070 мс: предложено 131070 мс.").arg(decimal(v.ti * 1000, 0));
    if (ti < 1) w.notes << QStringLiteral("Ti = %1 мс меньше наименьшего 2 мс: предложено 2 мс.").arg(decimal(v.ti * 1000, 2));
    if (td > 65535) w.notes << QStringLiteral("Td = %1 мс больше наибольшего 6553,5 мс: предложено 6553,5 мс.").arg(decimal(v.td * 1000, 1));
    w.words.kp = static_cast<uint16_t>(std::clamp(kp, 1.0, 65535.0));
    w.words.ti = static_cast<uint16_t>(std::clamp(ti, 1.0, 65535.0));
    w.words.td = static_cast<uint16_t>(std::clamp(td, 0.0, 65535.0));
    return w;
}
// clang-format on

PidValues fromWords(const PidWords& w) {
    return {w.kp / 100.0, w.ti * kCycle, w.td * kTdUnit};
}

Proposal propose(const Model& model, Rule rule, double tc, uint16_t tsWord) {
    Proposal p;
    p.rule = rule;
    p.tc = tc;
    p.ideal = ruleValues(rule, model, tc, tsWord);
    Words w = toWords(p.ideal);
    p.words = w.words;
    p.notes = w.notes;
    p.written = fromWords(p.words);
    return p;
}

} // namespace qmt::tune
