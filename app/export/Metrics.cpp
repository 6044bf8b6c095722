#include "export/Metrics.h"

namespace qmt::exporter {

const std::vector<Family>& Families() {
    static const std::vector<Family> families = {
        {"qmt584_up", "gauge",
         "1 when the station answered its last read cycle completely, 0 when it did not."},
        {"qmt584_last_good_cycle_timestamp_seconds", "gauge",
         "Unix time of the station's last complete read cycle."},
        {"qmt584_module_info", "gauge",
         "Identity of the module at the station: type code (2 QMT-584, 8 QMT-584.1), serial "
         "number and firmware version; read at start and after each restart. Always 1."},
        {"qmt584_module_restarts", "gauge",
         "The module's own restart counter; an engineer may clear it, so it can fall to 0."},
        {"qmt584_regulator_xs", "gauge", "Current set point Xs(k) of the regulator, raw units."},
        {"qmt584_regulator_xm", "gauge",
         "Feedback (measured value) Xm(k) of the regulator, raw units."},
        {"qmt584_regulator_y", "gauge", "Output Y(k) of the regulator, raw units."},
        {"qmt584_regulator_state", "gauge",
         "State bits of the regulator: 1 while the output is at its maximum, at its minimum, or "
         "the integrator overflowed."},
        {"qmt584_input_value", "gauge",
         "Value of the analog input: microamperes in current mode, millivolts in voltage mode."},
        {"qmt584_output_value", "gauge",
         "Value of the analog output: microamperes in current mode, millivolts in voltage mode."},
        {"qmt584_line_connected", "gauge",
         "1 while the line's port or gateway connection is open, 0 while it is being reopened."},
        {"qmt584_link_requests_total", "counter", "Modbus requests sent on the line."},
        {"qmt584_link_timeouts_total", "counter",
         "Requests on the line that got no answer in time."},
        {"qmt584_link_crc_errors_total", "counter", "Replies on the line with a CRC error."},
        {"qmt584_link_exceptions_total", "counter", "Modbus exception replies on the line."},
        {"qmt584_link_other_errors_total", "counter",
         "Replies on the line refused for another reason (wrong station, length, function)."},
        {"qmt584_link_response_seconds", "histogram",
         "Time from a request to its good reply on the line, the library's pause included."},
    };
    return families;
}

QString LabelValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('"'))
            out += QLatin1String("\\\"");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else
            out += c;
    }
    return out;
}

int FamilyOf(const QString& sample) {
    int end = 0;
    while (end < sample.size() && sample[end] != QLatin1Char('{') &&
           sample[end] != QLatin1Char(' '))
        ++end;
    const QStringView name = QStringView(sample).left(end);
    const auto& families = Families();
    for (size_t i = 0; i < families.size(); ++i) {
        const QLatin1String family(families[i].name);
        if (name == family) return int(i);
        if (qstrcmp(families[i].type, "histogram") != 0 || !name.startsWith(family)) continue;
        const QStringView suffix = name.mid(family.size());
        if (suffix == QLatin1String("_bucket") || suffix == QLatin1String("_sum") ||
            suffix == QLatin1String("_count"))
            return int(i);
    }
    return -1;
}

QByteArray RenderScrape(const std::vector<QStringList>& lineSamples) {
    const auto& families = Families();
    std::vector<QStringList> grouped(families.size());
    for (const QStringList& samples : lineSamples)
        for (const QString& sample : samples)
            if (const int f = FamilyOf(sample); f >= 0) grouped[f] << sample;

    QByteArray page;
    page.reserve(64 * 1024);
    for (size_t i = 0; i < families.size(); ++i) {
        page += "# HELP ";
        page += families[i].name;
        page += ' ';
        page += families[i].help;
        page += "\n# TYPE ";
        page += families[i].name;
        page += ' ';
        page += families[i].type;
        page += '\n';
        for (const QString& sample : grouped[i]) {
            page += sample.toUtf8();
            page += '\n';
        }
    }
    return page;
}

} // namespace qmt::exporter
