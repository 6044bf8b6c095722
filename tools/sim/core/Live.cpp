#include "core/Module.h"

#include <algorithm>
#include <cmath>

#include "core/Detail.h"

// Live behaviour of the module: analog front end, regulators, plants, PWM.
namespace qmt::sim {

using namespace detail;

bool Module::outputFromRegister() const {
    int16_t src = s16(image_[reg::SwOut]);
    return image_[reg::ModuleMode] != 2 || src < -1 || src == 0 || src > 3;
}

double Module::outputTarget() const {
    if (outputFromRegister()) return s16(image_[reg::OutputValue]);
    int16_t src = s16(image_[reg::SwOut]);
    return src == -1 ? 0.0 : regs_[src - 1].y;
}

int16_t Module::inputValue(int i) const {
    bool current = image_[reg::InputMode + i] == kCurrentMode;
    uint16_t block = (current ? reg::InputCurrentBlock : reg::InputVoltageBlock) + 4 * i;
    return clampS16(applyBlock(image_.data(), block, inputs_[i].raw));
}

void Module::refreshPhysics() {
    bool current = image_[reg::OutputMode] == kCurrentMode;
    double code = applyBlock(image_.data(),
                             current ? reg::OutputCurrentBlock : reg::OutputVoltageBlock, output_);
    dacCode_ = static_cast<int>(std::clamp(code, 0.0, double(kDacMax)));

    for (int i = 0; i < Inputs; ++i) {
        Input& in = inputs_[i];
        const InputConnection& c = in.conn;
        double counts = 0.0;
        switch (c.kind) {
        case InputConnection::Process:
            counts = plantCounts(i);
            break;
        case InputConnection::Open:
            break;
        case InputConnection::VoltageOutput:
            counts = c.polarity * outputMillivolts() * kCountsPerMv;
            break;
        case InputConnection::CurrentOutput:
            counts = c.polarity * outputMicroamps() * kCountsPerUa;
            break;
        case InputConnection::VoltageSource:
            counts = c.value * kCountsPerMv;
            break;
        case InputConnection::CurrentSource:
            counts = c.value * kCountsPerUa;
            break;
        }
        in.raw = std::clamp(static_cast<int>(std::lround(2048 + counts)) + in.noise, 0, 4095);
        image_[reg::InputValue + i] = static_cast<uint16_t>(inputValue(i));
    }
}

void Module::connectInput(int input, const InputConnection& c) {
    inputs_.at(input).conn = c;
    refreshPhysics();
}

void Module::advance(double seconds) {
    pending_ += seconds;
    while (pending_ >= kCycle - 1e-9) {
        pending_ -= kCycle;
        cycle(kCycle);
    }
}

void Module::cycle(double dt) {
    time_ += dt;
    // Commands left by the master since the last cycle.
    uint16_t& reset = image_[reg::ResetRegister];
    for (int n = 0; n < Regulators; ++n) {
        if (reset & (1u << n)) {
            regs_[n].integrator = regs_[n].prevError = regs_[n].sinceSample = 0.0;
            regs_[n].y = 0;
            live(n, pid::LiveY) = 0;
            live(n, pid::LiveState) = 0;
            reset &= static_cast<uint16_t>(~(1u << n));
        }
        if (live(n, pid::LiveState) & pid::StateSetIntegrator) {
            regs_[n].integrator = s16(live(n, pid::LiveIval));
            live(n, pid::LiveState) &= static_cast<uint16_t>(~pid::StateSetIntegrator);
        }
    }

    std::uniform_int_distribution<int> small(-noise_, noise_), wide(-4 * noise_, 4 * noise_);
    for (Input& in : inputs_)
        in.noise = in.conn.kind == InputConnection::Open ? wide(rng_) : small(rng_);

    for (int n = 0; n < Regulators; ++n) {
        if (image_[reg::ModuleMode] == 2) {
            regulatorCycle(n, dt);
        } else {
            regs_[n].y = 0;
            live(n, pid::LiveY) = 0;
        }
        plantCycle(n, dt);
    }

    double target = outputTarget();
    double slew = image_[reg::OutputSlew] * dt * 1000.0; // per millisecond
    if (slew <= 0.0 || std::fabs(target - output_) <= slew)
        output_ = target;
    else
        output_ += target > output_ ? slew : -slew;
    if (!outputFromRegister()) // the register shows what a regulator drives
        image_[reg::OutputValue] = static_cast<uint16_t>(clampS16(std::lround(output_)));

    refreshPhysics();
    pwmCycle(0, output_, dt);
    pwmCycle(1, -output_, dt);
}

void Module::regulatorCycle(int n, double dt) {
    Regulator& r = regs_[n];
    const int16_t insw = s16(pidReg(n, pid::InSw));
    const int16_t xm = clampS16(double(inputValue(n)) + s16(pidReg(n, pid::OffsetIn)));
    live(n, pid::LiveXm) = static_cast<uint16_t>(xm);
    if (insw < 0 || insw > 6) {
        // switched off: its input serves another regulator
        r.integrator = r.prevError = r.sinceSample = 0.0;
        r.y = 0;
        live(n, pid::LiveXs) = 0;
        live(n, pid::LiveY) = 0;
        live(n, pid::LiveState) &= pid::StateSetIntegrator;
        return;
    }
    const double ts = std::max<int>(1, pidReg(n, pid::Ts)) * kCycle;
    r.sinceSample += dt;
    if (r.sinceSample < ts - 1e-9) return;
    r.sinceSample -= ts;

    double xs = 0.0;
    if (insw == 0)
        xs = s16(pidReg(n, pid::XsDef));
    else if (insw <= 3)
        xs = regs_[insw - 1].y;
    else
        xs = inputValue(insw - 4);

    const uint16_t control = pidReg(n, pid::Control);
    double e = xs - xm;
    if (control & pid::ControlReverse) e = -e;
    if ((control & pid::ControlDeadZone) && e >= -double(pidReg(n, pid::dXdz1)) &&
        e <= double(pidReg(n, pid::dXdz2)))
        e = 0.0;

    const double kp = pidReg(n, pid::Kp) / 100.0;
    const double ti = pidReg(n, pid::Ti) * kCycle;
    const double td = pidReg(n, pid::Td) * 1e-4;
    double integrator = r.integrator + (ti > 0 ? kp * e * ts / ti : 0.0);
    double y = kp * e + integrator + kp * td * (e - r.prevError) / ts + s16(pidReg(n, pid::Offset));

    uint16_t state = 0;
    if (y > 32767 || y < -32768) state |= pid::StateOverflow;
    if (control & pid::ControlForced) {
        y = s16(live(n, pid::LiveXfo));
        integrator = r.integrator;
    }
    const double ymax = s16(pidReg(n, pid::Ymax)), ymin = s16(pidReg(n, pid::Ymin));
    if (y >= ymax) {
        y = ymax;
        state |= pid::StateMax;
        if (e > 0) // no wind-up past the limit
            integrator = std::min(integrator, r.integrator);
    } else if (y <= ymin) {
        y = ymin;
        state |= pid::StateMin;
        if (e < 0) integrator = std::max(integrator, r.integrator);
    }
    r.integrator = integrator;
    r.prevError = e;
    r.y = clampS16(y);
    live(n, pid::LiveXs) = static_cast<uint16_t>(clampS16(xs));
    live(n, pid::LiveY) = static_cast<uint16_t>(r.y);
    live(n, pid::LiveState) = state | (live(n, pid::LiveState) & pid::StateSetIntegrator);
}

// Xm counts of a regulator's plant on its input. A configured plant's gain is
// the one the program sees, so it is taken back through the input's block.
double Module::plantCounts(int i) const {
    const bool current = image_[reg::InputMode + i] == kCurrentMode;
    if (!plants_[i]) return regs_[i].plant * (current ? kCountsPerUa : kCountsPerMv);
    const uint16_t block = (current ? reg::InputCurrentBlock : reg::InputVoltageBlock) + 4 * i;
    const double g = blockGain(image_.data(), block);
    return g != 0.0 ? regs_[i].plant / g : regs_[i].plant;
}

// The plant's answer to the output over one cycle: the built-in lag on the
// physical quantity, or the configured lags after the dead time. The load
// disturbance enters beside the output.
void Module::plantCycle(int n, double dt) {
    Regulator& r = regs_[n];
    // a slow load disturbance keeps the curves alive at a steady state
    const double load = load_ * std::sin(kTwoPi * time_ / (17.0 + 6.0 * n));
    if (!plants_[n]) {
        r.plant += (r.y + load - r.plant) * dt / (kPlantTau * (1 + n));
        return;
    }
    const Plant& p = *plants_[n];
    double u = r.y;
    if (!r.delayed.empty()) { // the oldest output leaves the line, the newest enters
        u = r.delayed[r.delayAt];
        r.delayed[r.delayAt] = r.y;
        r.delayAt = (r.delayAt + 1) % r.delayed.size();
    }
    // each lag exact for an input held over the cycle
    double x = p.gain * (u + load);
    if (p.t2 > 0) {
        r.lag += (x - r.lag) * -std::expm1(-dt / p.t2);
        x = r.lag;
    }
    r.plant += (x - r.plant) * -std::expm1(-dt / p.t1);
}

void Module::setPlant(int n, const std::optional<Plant>& plant) {
    plants_.at(n) = plant;
    resetPlant(n);
    refreshPhysics();
}

// At rest at the regulator's present output: nothing on its way through.
void Module::resetPlant(int n) {
    Regulator& r = regs_[n];
    r.delayed.clear();
    r.delayAt = 0;
    if (!plants_[n]) {
        r.plant = r.y;
        return;
    }
    const Plant& p = *plants_[n];
    r.plant = r.lag = p.gain * r.y;
    r.delayed.assign(static_cast<size_t>(std::lround(p.deadTime / kCycle)), r.y);
}

// PWM k: output k + 1 follows the positive (k = 0) or negative (k = 1) part of
// the analog output signal as a sawtooth-compared duty cycle.
void Module::pwmCycle(int k, double x, double dt) {
    Pwm& p = pwm_[k];
    const uint16_t base = k == 0 ? reg::Pwm1 : reg::Pwm2;
    const double dz1 = image_[base], dz2 = image_[base + 1];
    const double period = std::max(2.0, double(image_[base + 2])) / 1000.0;
    const double xmax = image_[base + 3], dy = s16(image_[base + 4]);
    if (x <= dz1)
        p.active = false;
    else if (x >= dz2)
        p.active = true;
    double duty = 0.0;
    if (p.active) {
        duty = xmax > 0 ? std::clamp(x / xmax, 0.0, 1.0) : 1.0;
        if (dy > 0 && x >= xmax - dy) duty = 1.0;
    }
    p.phase = std::fmod(p.phase + dt, period);
    const uint16_t st = image_[reg::PwmState];
    const uint16_t bit = static_cast<uint16_t>(4u << k);
    if (st & 1) {
        p.phase = 0.0;
        p.level = false; // reset held
    } else if (image_[reg::OutputControl1 + k]) {
        p.level = true; // switched on by hand
    } else if (st & 2) {
        p.level = st & bit; // discrete mode: the bit is the level
    } else {
        p.level = (p.phase < duty * period) != bool(st & bit);
    }
}

} // namespace qmt::sim
