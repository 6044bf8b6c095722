#include "export/StationSamples.h"

#include "export/Metrics.h"
#include "link/RegisterMap.h"
#include "link/StationScan.h"
#include "monitor/ValuesCycle.h"

namespace qmt::exporter {
namespace {

QString number(double value) {
    return QString::number(value, 'g', 15);
}

class Samples {
public:
    explicit Samples(QStringList& out) : out_(out) {}
    // name{labels} value; labels are pairs already escaped.
    void add(const char* name, const QString& labels, double value) {
        out_ << QStringLiteral("%1{%2} %3").arg(QLatin1String(name), labels, number(value));
    }

private:
    QStringList& out_;
};

QString label(const char* key, const QString& value) {
    return QStringLiteral("%1=\"%2\"").arg(QLatin1String(key), LabelValue(value));
}

} // namespace

void LineCounters::observeResponse(double seconds) {
    ++responses;
    responseSeconds += seconds;
    for (size_t i = 0; i < ResponseBuckets.size(); ++i) {
        if (seconds <= ResponseBuckets[i]) {
            ++buckets[i];
            return;
        }
    }
}

void TakeReading(const ValuesReading& reading, StationReading& out) {
    for (int p = 1; p <= 3; ++p) {
        RegulatorValues& r = out.regulators[p - 1];
        r.xs = reading.stateText(p, 1).toInt();
        r.xm = reading.stateText(p, 2).toInt();
        r.y = reading.stateText(p, 3).toInt();
        r.state = static_cast<uint16_t>(reading.stateText(p, 4).toUInt(nullptr, 16));
    }
    for (int row = 1; row <= 3; ++row)
        out.inputs[row - 1] = reading.moduleText(row).toInt();
    out.output = reading.moduleText(4).toInt();
}

QStringList LineSamples(const QString& line, bool connected,
                        const std::vector<StationReading>& stations, const LineCounters& counters) {
    QStringList out;
    Samples s(out);
    const QString lineLabel = label("line", line);
    for (const StationReading& st : stations) {
        const QString at =
            lineLabel + QLatin1Char(',') + label("station", QString::number(st.station));
        s.add("qmt584_up", at, st.up ? 1 : 0);
        if (st.lastGoodSeconds > 0)
            s.add("qmt584_last_good_cycle_timestamp_seconds", at, st.lastGoodSeconds);
        if (st.identity) {
            s.add("qmt584_module_info",
                  at + QLatin1Char(',') + label("type", QString::number(st.identity->type)) +
                      QLatin1Char(',') + label("serial", SerialNumberText(st.identity->serial)) +
                      QLatin1Char(',') + label("firmware", FirmwareVersionText(st.identity->firmware)),
                  1);
        }
        if (!st.up) continue;
        s.add("qmt584_module_restarts", at, st.restarts);
        for (int n = 0; n < 3; ++n) {
            const RegulatorValues& r = st.regulators[n];
            const QString regulator =
                at + QLatin1Char(',') + label("regulator", QString::number(n + 1));
            s.add("qmt584_regulator_xs", regulator, r.xs);
            s.add("qmt584_regulator_xm", regulator, r.xm);
            s.add("qmt584_regulator_y", regulator, r.y);
            const struct {
                const char* bit;
                uint16_t mask;
            } bits[] = {{"maximum", reg::live::AtMaximum},
                        {"minimum", reg::live::AtMinimum},
                        {"overflow", reg::live::Overflow}};
            for (const auto& b : bits)
                s.add("qmt584_regulator_state",
                      regulator + QLatin1Char(',') + label("bit", QLatin1String(b.bit)),
                      (r.state & b.mask) ? 1 : 0);
        }
        for (int k = 0; k < 3; ++k)
            s.add("qmt584_input_value",
                  at + QLatin1Char(',') + label("input", QString::number(k + 1)), st.inputs[k]);
        s.add("qmt584_output_value", at, st.output);
    }
    s.add("qmt584_line_connected", lineLabel, connected ? 1 : 0);
    s.add("qmt584_link_requests_total", lineLabel, double(counters.requests));
    s.add("qmt584_link_timeouts_total", lineLabel, double(counters.timeouts));
    s.add("qmt584_link_crc_errors_total", lineLabel, double(counters.crcErrors));
    s.add("qmt584_link_exceptions_total", lineLabel, double(counters.exceptions));
    s.add("qmt584_link_other_errors_total", lineLabel, double(counters.otherErrors));
    uint64_t cumulative = 0;
    for (size_t i = 0; i < ResponseBuckets.size(); ++i) {
        cumulative += counters.buckets[i];
        s.add("qmt584_link_response_seconds_bucket",
              lineLabel + QLatin1Char(',') + label("le", number(ResponseBuckets[i])),
              double(cumulative));
    }
    s.add("qmt584_link_response_seconds_bucket",
          lineLabel + QLatin1Char(',') + label("le", QStringLiteral("+Inf")),
          double(counters.responses));
    s.add("qmt584_link_response_seconds_sum", lineLabel, counters.responseSeconds);
    s.add("qmt584_link_response_seconds_count", lineLabel, double(counters.responses));
    return out;
}

} // namespace qmt::exporter
