// Keys and number forms of .pid files, apart from any window.
#include "config/PidFile.h"

#include "link/Errors.h"
#include "link/IniFile.h"
#include "link/RegisterMap.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

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

// What a register word holds, read as signed or as unsigned.
constexpr long long WordMin = -32768;
constexpr long long WordMax = 65535;
// Stands for a number too wide even for 64 bits: outside any word.
constexpr long long TooWide = std::numeric_limits<long long>::max();

// A whole number in the file's integer form: decimal, or hexadecimal after 0x.
std::optional<long long> integerNumber(const QString& text) {
    if (const auto n = IniFile::parseInteger(text)) return n;
    // Digits alone that overflow are still a number, and far out of range.
    QString t = text.trimmed();
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) t.remove(0, 1);
    const bool hex = t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
    if (hex) t.remove(0, 2);
    if (t.isEmpty()) return std::nullopt;
    for (QChar c : t)
        if (!(c.unicode() < 128 && (hex ? isxdigit(c.toLatin1()) : isdigit(c.toLatin1()))))
            return std::nullopt;
    return TooWide;
}

// A decimal fraction with a comma or a point, so files move between locales,
// scaled and truncated toward zero.
std::optional<long long> fractionNumber(const QString& text, int scale) {
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    double value = QLocale::c().toDouble(t, &ok);
    if (!ok) value = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    // 0,29 is 0.28999999999999998 in binary: the product lands a hair below 29 and
    // would truncate to 28, so a file saved and opened again would lose a step.
    // A product within rounding noise of an integer is that integer.
    const double product = value * scale;
    if (std::fabs(product) > 1e15) return TooWide;
    const double nearest = std::round(product);
    const bool noise = std::fabs(product - nearest) <= 1e-12 * std::max(1.0, std::fabs(product));
    return static_cast<long long>(noise ? nearest : std::trunc(product));
}

int scaleOf(Form form) {
    return form == Form::Hundredths ? 100 : form == Form::Tenths ? 10 : 1;
}

// The key's number as the word it stands for, before any cut to 16 bits;
// nothing for a missing key or a text that is no number (the default applies).
std::optional<long long> keyNumber(const IniFile& ini, const QString& section, const char* key,
                                   Form form) {
    const auto text = ini.value(section, QLatin1String(key));
    if (!text) return std::nullopt;
    if (form == Form::Signed || form == Form::Unsigned) return integerNumber(*text);
    return fractionNumber(*text, scaleOf(form));
}

bool fits(long long number) {
    return number >= WordMin && number <= WordMax;
}

// Every key of the file with the word of the model it fills, in the table's order.
template <class F> void forEachKey(ModuleConfig& config, F&& visit) {
    for (int n = 0; n < 3; ++n) {
        const QString section = pidSection(n);
        for (const Key& key : PidKeys)
            visit(section, key.name, key.form, key.def, config.pid[n].w[key.word]);
    }
    visit(QLatin1String(SwOutSection), SwOutKey, Form::Signed, 0, config.SwOut);
    for (const IoKey& key : IoKeys)
        visit(QLatin1String(key.section), key.name, Form::Unsigned, key.def, config.io[key.word]);
}

// Shortest general form with up to 15 significant digits and the user's decimal
// separator. Digits stay ASCII whatever the locale writes, so the file reads back.
QString formatFraction(double value) {
    QString text = QLocale::c().toString(value, 'g', 15);
    const QString point = QLocale().decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() < 128)
        text.replace(QLatin1Char('.'), point.at(0));
    return text;
}

// A limit of the key's text form: the word's limit in the key's own scale.
QString limitText(long long word, Form form) {
    if (form == Form::Signed || form == Form::Unsigned) return QString::number(word);
    return formatFraction(static_cast<double>(word) / scaleOf(form));
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
    ModuleConfig scratch;
    std::optional<PidKeyFault> found;
    forEachKey(scratch, [&](const QString& section, const char* name, Form form, int, uint16_t&) {
        if (found) return;
        const QString key = QLatin1String(name);
        if (!ini.value(section, key))
            found = PidKeyFault{section, key, true};
        else if (!keyNumber(ini, section, name, form))
            found = PidKeyFault{section, key, false};
    });
    return found;
}

void ReadPidConfig(const IniFile& ini, ModuleConfig& config) {
    forEachKey(config, [&ini](const QString& section, const char* name, Form form, int def,
                              uint16_t& word) {
        const std::optional<long long> number = keyNumber(ini, section, name, form);
        // A number no word holds never becomes one by losing its high bits.
        word = number && fits(*number) ? low16(*number) : static_cast<uint16_t>(def);
    });
}

std::optional<QString> PidRangeError(const IniFile& ini, const QString& path) {
    ModuleConfig scratch;
    std::optional<QString> error;
    forEachKey(scratch, [&](const QString& section, const char* name, Form form, int, uint16_t&) {
        if (error) return;
        const std::optional<long long> number = keyNumber(ini, section, name, form);
        if (!number || fits(*number)) return;
        error =
            QStringLiteral(
                "Файл %1 не загружен: в разделе [%2] значение %3=%4 выходит за пределы %5 - %6!")
                .arg(path, section, QLatin1String(name),
                     ini.value(section, QLatin1String(name))->trimmed(), limitText(WordMin, form),
                     limitText(WordMax, form));
    });
    return error;
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
                ini.writeString(section, name, formatFraction(word * 0.01));
                break;
            case Form::Tenths:
                ini.writeString(section, name, formatFraction(word * 0.1));
                break;
            }
        }
    }
    ini.writeInteger(QLatin1String(SwOutSection), QLatin1String(SwOutKey),
                     static_cast<int16_t>(config.SwOut));
    for (const IoKey& key : IoKeys)
        ini.writeInteger(QLatin1String(key.section), QLatin1String(key.name), config.io[key.word]);
}

QString SetpointFaultText(int n) {
    return QStringLiteral("Коммутатор уставки для ПИД-регулятора %1\n имеет некоррекное значение!")
        .arg(n + 1);
}

ModuleConfig LoadPidFile(const QString& path, const ModuleConfig& base) {
    IniFile ini(path);
    // A file that exists but cannot be read must not pass for an empty one:
    // the user would get the defaults in place of the configuration.
    const IniFile::LoadStatus status = ini.load();
    if (status == IniFile::LoadStatus::Unreadable)
        throw Exception(QStringLiteral("Невозможно прочитать файл %1").arg(path));
    // Nor may any other text file: it would load as the defaults, ready to be
    // written to the module. (A file gone since the dialog gives the defaults.)
    if (status == IniFile::LoadStatus::Ok && !HasPidConfig(ini))
        throw Exception(
            QStringLiteral("Файл %1 не является файлом конфигурации QMT-584").arg(path));
    // A number no register word holds stops the whole file: loaded cut to its
    // low 16 bits it would reach the module as a value nobody wrote.
    if (const auto error = PidRangeError(ini, path)) throw Exception(*error);
    ModuleConfig loaded = base;
    ReadPidConfig(ini, loaded);
    return loaded;
}

void SavePidFile(const QString& path, const ModuleConfig& config) {
    IniFile ini(path);
    const QString failure = QStringLiteral("Unable to write to %1").arg(path);
    // Lines we cannot read could not be kept; leave such a file alone.
    if (ini.load() == IniFile::LoadStatus::Unreadable) throw Exception(failure);
    WritePidConfig(config, ini);
    // The whole file is built in memory and replaces the old one in one step.
    if (!ini.save()) throw Exception(failure);
}

} // namespace qmt
