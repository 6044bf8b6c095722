// Tuning rules on an identified model, and their results in the module's
// words: Kp in hundredths, Ti in units of 2 ms, Td in tenths of a millisecond,
// for the module's ideal-form law at its sample period Ts.
#pragma once

#include "tune/Model.h"

#include <QStringList>

#include <cstdint>

namespace qmt::tune {

enum class Rule {
    Simc,   // Skogestad's SIMC: a PI regulator
    Lambda, // lambda (IMC) tuning: a PID regulator
};

// The closed-loop time constant (SIMC's τc, the lambda rule's λ) the engineer
// picks by name: "быстро" the dead time, "плавно" three times it.
enum class Speed { Fast, Smooth };

// Engineering values: gain, integral and derivative time in seconds.
struct PidValues {
    double kp = 0.0;
    double ti = 0.0;
    double td = 0.0;
};

struct PidWords {
    uint16_t kp = 0;
    uint16_t ti = 0;
    uint16_t td = 0;
};

// The module's sample period for its Ts word, in seconds.
double samplePeriod(uint16_t tsWord);

// The dead time the rules see: the model's and half the module's sample
// period, which a sampled regulator adds.
double effectiveDeadTime(const Model& model, uint16_t tsWord);

// τc (or λ) of a named speed, in seconds.
double closedLoopTime(Speed speed, const Model& model, uint16_t tsWord);

// The rule's values for a closed-loop time constant tc in seconds. The
// gain's sign is left to the regulator's action: Kp is always positive.
PidValues ruleValues(Rule rule, const Model& model, double tc, uint16_t tsWord);

// Nearest words; a value past a word's range is clipped, with a note.
struct Words {
    PidWords words;
    QStringList notes;
};
Words toWords(const PidValues& values);
PidValues fromWords(const PidWords& words);

struct Proposal {
    Rule rule = Rule::Simc;
    double tc = 0.0;
    PidValues ideal;   // what the rule gives
    PidWords words;    // what would be written
    PidValues written; // what the words mean
    QStringList notes; // clipped words
};
Proposal propose(const Model& model, Rule rule, double tc, uint16_t tsWord);

} // namespace qmt::tune
