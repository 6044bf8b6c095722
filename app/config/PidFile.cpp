// Keys and number forms of .pid files, apart from any window.
#include "config/PidFile.h"

#include "link/Errors.h"
#include "link/IniFile.h"
#include "link/RegisterMap.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace qmt {
namespace {

enum class Form { Signed, Unsigned, Hundredths, Tenths };

struct Key {
    const char* name;
    int word;
    Form form;
    int def; // the word a missing or unreadable key gives
};

// PID sections, in the order Save writes them.
const Key PidKeys[] = {
    {"InSw", reg::pid::InSw, Form::Signed, 0},
    {"XsDef", reg::pid::XsDef, Form::Signed, 0},
    {"dXdz1", reg::pid::dXdz1, Form::Unsigned, 0},
    {"dXdz2", reg::pid::dXdz2, Form::Unsigned, 0},
    {"Kp", reg::pid::Kp, Form::Hundredths, 100},
    {"Ti", reg::pid::Ti, Form::Unsigned, 65535},
    {"Td", reg::pid::Td, Form::Tenths, 0},
    {"Ts", reg::pid::Ts, Form::Unsigned, 2},
    {"Ymax", reg::pid::Ymax, Form::Signed, 20000},
    {"Ymin", reg::pid::Ymin, Form::Signed, -20000},
    {"Offset", reg::pid::Offset, Form::Signed, 0},
    {"PIDControl", reg::pid::PIDControl, Form::Signed, 0},
    {"XfoDef", reg::pid::XfoDef, Form::Signed, 0},
    {"OffsetIN", reg::pid::OffsetIN, Form::Signed, 0},
};

struct IoKey {
    const char* section;
    const char* name;
    int word;
    int def;
};

// The defaults of DAC/Vi and PWM2 differ from those of New; files rely on them.
const IoKey IoKeys[] = {
    {"ADC1", "Ti", io::InputTi0 + 0, 40},
    {"ADC1", "Mode", io::InputMode0 + 0, 2},
    {"ADC2", "Ti", io::InputTi0 + 1, 40},
    {"ADC2", "Mode", io::InputMode0 + 1, 2},
    {"ADC3", "Ti", io::InputTi0 + 2, 40},
    {"ADC3", "Mode", io::InputMode0 + 2, 2},
    {"DAC", "Vi", io::DacVi, 0},
    {"DAC", "Mode", io::DacMode, 2},
    {"DAC", "Value", io::DacValue, 0},
    {"PWM1", "dXdz1_pwm", io::Pwm1 + 0, 100},
    {"PWM1", "dXdz2_pwm", io::Pwm1 + 1, 200},
    {"PWM1", "Tpwm", io::Pwm1 + 2, 60000},
    {"PWM1", "Xmax", io::Pwm1 + 3, 20000},
    {"PWM1", "dY", io::Pwm1 + 4, 0},
    {"PWM2", "dXdz1_pwm", io::Pwm2 + 0, 0},
    {"PWM2", "dXdz2_pwm", io::Pwm2 + 1, 0},
    {"PWM2", "Tpwm", io::Pwm2 + 2, 1000},
    {"PWM2", "Xmax", io::Pwm2 + 3, 20000},
    {"PWM2", "dY", io::Pwm2 + 4, 0},
};

const char* const SwOutSection = "PID";
const char* const SwOutKey = "SwOut";

QString pidSection(int n) {
    return QStringLiteral("PID%1").arg(n + 1);
}

uint16_t low16(long long value) {
    return static_cast<uint16_t>(static_cast<unsigned long long>(value) & 0xFFFFu);
}

uint16_t readInteger(const IniFile& ini, const QString& section, const char* key, int def) {
    return low16(ini.readInteger(section, QLatin1String(key), def));
}

// A decimal fraction with a comma or a point, so files move between locales.
// The word is the value scaled and truncated toward zero; anything that is not a
// finite number of sensible size gives the default word.
uint16_t readFraction(const IniFile& ini, const QString& section, const char* key, int scale,
                      int defWord) {
    const auto text = ini.value(section, QLatin1String(key));
    if (!text) return static_cast<uint16_t>(defWord);
    QString t = text->trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    double value = QLocale::c().toDouble(t, &ok);
    if (!ok) value = QLocale().toDouble(text->trimmed(), &ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > 1e12)
        return static_cast<uint16_t>(defWord);
    // 0,29 is 0.28999999999999998 in binary: the product lands a hair below 29 and
    // would truncate to 28, so a file saved and opened again would lose a step.
    // A product within rounding noise of an integer is that integer.
    const double product = value * scale;
    const double nearest = std::round(product);
    const bool noise = std::fabs(product - nearest) <= 1e-12 * std::max(1.0, std::fabs(product));
    return low16(static_cast<long long>(noise ? nearest : std::trunc(product)));
}

// Shortest general form with up to 15 significant digits and the user's decimal
// separator. Digits stay ASCII whatever the locale writes, so the file reads back.
QString formatFraction(uint16_t word, double factor) {
    QString text = QLocale::c().toString(word * factor, 'g', 15);
    const QString point = QLocale().decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() < 128)
        text.replace(QLatin1Char('.'), point.at(0));
    return text;
}

} // namespace

bool HasPidConfig(const IniFile& ini) {
    for (int n = 0; n < 3; ++n)
        if (ini.hasSection(pidSection(n))) return true;
    if (ini.hasSection(QLatin1String(SwOutSection))) return true;
    return std::any_of(std::begin(IoKeys), std::end(IoKeys), [&ini](const IoKey& key) {
        return ini.hasSection(QLatin1String(key.section));
    });
}

std::optional<PidKeyFault> FirstUnreadablePidKey(const IniFile& ini) {
    // A text that gives a number reads the same whatever the default; one that
    // does not gives back whichever default it is handed.
    auto fault = [&ini](const QString& section, const char* key, int scale) {
        const QString name = QLatin1String(key);
        std::optional<PidKeyFault> found;
        if (!ini.value(section, name))
            found = PidKeyFault{section, name, true};
        else if (scale ? readFraction(ini, section, key, scale, 0) !=
                             readFraction(ini, section, key, scale, 1)
                       : ini.readInteger(section, name, 0) != ini.readInteger(section, name, 1))
            found = PidKeyFault{section, name, false};
        return found;
    };
    for (int n = 0; n < 3; ++n) {
        for (const Key& key : PidKeys) {
            const int scale = key.form == Form::Hundredths ? 100
                              : key.form == Form::Tenths   ? 10
                                                           : 0;
            if (auto f = fault(pidSection(n), key.name, scale)) return f;
        }
    }
    if (auto f = fault(QLatin1String(SwOutSection), SwOutKey, 0)) return f;
    for (const IoKey& key : IoKeys)
        if (auto f = fault(QLatin1String(key.section), key.name, 0)) return f;
    return std::nullopt;
}

void ReadPidConfig(const IniFile& ini, ModuleConfig& config) {
    for (int n = 0; n < 3; ++n) {
        const QString section = pidSection(n);
        std::array<uint16_t, 14>& w = config.pid[n].w;
        for (const Key& key : PidKeys) {
            switch (key.form) {
            case Form::Signed:
            case Form::Unsigned:
                w[key.word] = readInteger(ini, section, key.name, key.def);
                break;
            case Form::Hundredths:
                w[key.word] = readFraction(ini, section, key.name, 100, key.def);
                break;
            case Form::Tenths:
                w[key.word] = readFraction(ini, section, key.name, 10, key.def);
                break;
            }
        }
    }
    config.SwOut = readInteger(ini, QLatin1String(SwOutSection), SwOutKey, 0);
    for (const IoKey& key : IoKeys)
        config.io[key.word] = readInteger(ini, QLatin1String(key.section), key.name, key.def);
}

void WritePidConfig(const ModuleConfig& config, IniFile& ini) {
    for (int n = 0; n < 3; ++n) {
        const QString section = pidSection(n);
        const std::array<uint16_t, 14>& w = config.pid[n].w;
        for (const Key& key : PidKeys) {
            const QString name = QLatin1String(key.name);
            const uint16_t word = w[key.word];
            switch (key.form) {
            case Form::Signed:
                ini.writeInteger(section, name, static_cast<int16_t>(word));
                break;
            case Form::Unsigned:
                ini.writeInteger(section, name, word);
                break;
            case Form::Hundredths:
                ini.writeString(section, name, formatFraction(word, 0.01));
                break;
            case Form::Tenths:
                ini.writeString(section, name, formatFraction(word, 0.1));
                break;
            }
        }
    }
    ini.writeInteger(QLatin1String(SwOutSection), QLatin1String(SwOutKey),
                     static_cast<int16_t>(config.SwOut));
    for (const IoKey& key : IoKeys)
        ini.writeInteger(QLatin1String(key.section), QLatin1String(key.name), config.io[key.word]);
}

ModuleConfig LoadPidFile(const QString& path, const ModuleConfig& base) {
    IniFile ini(path);
    // A file that exists but cannot be read must not pass for an empty one:
    // the user would get the defaults in place of the configuration.
    const IniFile::LoadStatus status = ini.load();
    if (status == IniFile::LoadStatus::Unreadable)
        throw Exception(QStringLiteral("Невозможно прочитать файл ") + path);
    // Nor may any other text file: it would load as the defaults, ready to be
    // written to the module. (A file gone since the dialog gives the defaults.)
    if (status == IniFile::LoadStatus::Ok && !HasPidConfig(ini))
        throw Exception(QStringLiteral("Файл ") + path +
                        QStringLiteral(" не является файлом конфигурации QMT-584"));
    ModuleConfig loaded = base;
    ReadPidConfig(ini, loaded);
    return loaded;
}

void SavePidFile(const QString& path, const ModuleConfig& config) {
    IniFile ini(path);
    const QString failure = QStringLiteral("Unable to write to ") + path;
    // Lines we cannot read could not be kept; leave such a file alone.
    if (ini.load() == IniFile::LoadStatus::Unreadable) throw Exception(failure);
    WritePidConfig(config, ini);
    // The whole file is built in memory and replaces the old one in one step.
    if (!ini.save()) throw Exception(failure);
}

} // namespace qmt
