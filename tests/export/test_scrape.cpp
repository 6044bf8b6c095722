// The scrape page: every family once with its HELP and TYPE, the samples of
// all lines under it, and a silent station shown as down without old values.
#include "export/Metrics.h"
#include "export/StationSamples.h"

#include <gtest/gtest.h>

using namespace qmt::exporter;

namespace {

StationReading answering(uint8_t station) {
    StationReading s;
    s.station = station;
    s.up = true;
    s.lastGoodSeconds = 1700000000.5;
    s.identity = Identity{2, 3 * 2048 + 15, 0x0201};
    s.regulators[1] = {100, -250, 32767, 0x0005};
    s.inputs = {4000, -1, 0};
    s.output = 20000;
    s.restarts = 7;
    return s;
}

TEST(Scrape, FamiliesOnceWithTheSamplesOfEveryLine) {
    LineCounters counts;
    counts.observeResponse(0.004);
    counts.observeResponse(0.03);
    counts.observeResponse(5.0); // beyond the last bound: only +Inf holds it
    const QStringList a = LineSamples(QStringLiteral("a"), true, {answering(1)}, counts);
    const QStringList b = LineSamples(QStringLiteral("b\"2"), true, {answering(9)}, counts);
    const QString page =
        QString::fromUtf8(RenderScrape({a, b, {QStringLiteral("other_metric 1")}}));

    for (const Family& f : Families()) {
        const QString help = QStringLiteral("# HELP %1 ").arg(QLatin1String(f.name));
        EXPECT_EQ(page.count(help), 1) << f.name;
        EXPECT_EQ(
            page.count(
                QStringLiteral("# TYPE %1 %2\n").arg(QLatin1String(f.name), QLatin1String(f.type))),
            1);
    }
    EXPECT_FALSE(page.contains(QLatin1String("other_metric")));
    // Both lines' samples stand together under their family's header.
    const int header = page.indexOf(QLatin1String("# TYPE qmt584_regulator_xm gauge\n"));
    const int first = page.indexOf(
        QLatin1String("qmt584_regulator_xm{line=\"a\",station=\"1\",regulator=\"2\"} -250"));
    const int second = page.indexOf(
        QLatin1String("qmt584_regulator_xm{line=\"b\\\"2\",station=\"9\",regulator=\"2\"} -250"));
    const int next = page.indexOf(QLatin1String("# HELP qmt584_regulator_y "));
    EXPECT_TRUE(header < first && first < second && second < next) << page.toStdString();

    const char* const expected[] = {
        "qmt584_regulator_state{line=\"a\",station=\"1\",regulator=\"2\",bit=\"maximum\"} 1",
        "qmt584_regulator_state{line=\"a\",station=\"1\",regulator=\"2\",bit=\"minimum\"} 0",
        "qmt584_regulator_state{line=\"a\",station=\"1\",regulator=\"2\",bit=\"overflow\"} 1",
        "qmt584_regulator_y{line=\"a\",station=\"1\",regulator=\"2\"} 32767",
        "qmt584_module_info{line=\"a\",station=\"1\",type=\"2\",serial=\"C0015\",firmware=\"02."
        "01\"} 1",
        "qmt584_last_good_cycle_timestamp_seconds{line=\"a\",station=\"1\"} 1700000000.5",
        "qmt584_input_value{line=\"a\",station=\"1\",input=\"2\"} -1",
        "qmt584_output_value{line=\"a\",station=\"1\"} 20000",
        "qmt584_module_restarts{line=\"a\",station=\"1\"} 7",
        "qmt584_link_response_seconds_bucket{line=\"a\",le=\"0.005\"} 1",
        "qmt584_link_response_seconds_bucket{line=\"a\",le=\"0.05\"} 2",
        "qmt584_link_response_seconds_bucket{line=\"a\",le=\"2\"} 2",
        "qmt584_link_response_seconds_bucket{line=\"a\",le=\"+Inf\"} 3",
        "qmt584_link_response_seconds_count{line=\"a\"} 3",
        "qmt584_link_response_seconds_sum{line=\"a\"} 5.034",
    };
    for (const char* sample : expected)
        EXPECT_TRUE(page.contains(QLatin1String(sample) + QLatin1Char('\n'))) << sample;
}

TEST(Scrape, SilentStationIsDownWithoutOldValues) {
    StationReading silent = answering(4);
    silent.up = false; // its values are those of an earlier cycle
    const QStringList samples = LineSamples(QStringLiteral("a"), true, {silent}, LineCounters{});
    const QStringList stationSamples = samples.filter(QLatin1String("station=\"4\""));
    EXPECT_TRUE(stationSamples.contains(QStringLiteral("qmt584_up{line=\"a\",station=\"4\"} 0")));
    for (const QString& s : stationSamples)
        EXPECT_TRUE(s.startsWith(QLatin1String("qmt584_up{")) ||
                    s.startsWith(QLatin1String("qmt584_last_good_cycle_timestamp_seconds{")) ||
                    s.startsWith(QLatin1String("qmt584_module_info{")))
            << s.toStdString();
}

TEST(Scrape, LabelValuesAndFamilies) {
    EXPECT_EQ(LabelValue(QStringLiteral("a\\b\"c\nd")), QStringLiteral("a\\\\b\\\"c\\nd"));
    EXPECT_EQ(LabelValue(QStringLiteral("котёл 2")), QStringLiteral("котёл 2"));
    const struct {
        const char* sample;
        const char* family; // nullptr: none of ours
    } cases[] = {
        {"qmt584_up{line=\"a\"} 1", "qmt584_up"},
        {"qmt584_link_response_seconds_bucket{le=\"1\"} 3", "qmt584_link_response_seconds"},
        {"qmt584_link_response_seconds_sum 3", "qmt584_link_response_seconds"},
        {"qmt584_up_bucket{} 1", nullptr},
        {"qmt584_upper 1", nullptr}};
    for (const auto& c : cases) {
        const int f = FamilyOf(QLatin1String(c.sample));
        EXPECT_STREQ(f < 0 ? nullptr : Families()[f].name, c.family) << c.sample;
    }
}

} // namespace
