#pragma once
// The exporter's metrics in the Prometheus text format: the families with
// their HELP and TYPE lines, and a scrape made of the samples each line's
// poller last reported. Samples are text lines such as
//   qmt584_up{line="boiler",station="3"} 1
// and are grouped here under their family, whichever line they came from.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace qmt::exporter {

struct Family {
    const char* name;
    const char* type; // gauge, counter, histogram
    const char* help;
};

// Every family the exporter publishes, in the order a scrape shows them.
const std::vector<Family>& Families();

// A label value as the text format wants it: backslash, quote and line
// break escaped.
QString LabelValue(const QString& value);

// The family a sample line belongs to (a histogram's _bucket, _sum and _count
// lines belong to the histogram); -1 for none of ours.
int FamilyOf(const QString& sample);

// The page served at /metrics from the samples of every line.
QByteArray RenderScrape(const std::vector<QStringList>& lineSamples);

// The content type of that page.
inline constexpr char ScrapeContentType[] = "text/plain; version=0.0.4; charset=utf-8";

} // namespace qmt::exporter
