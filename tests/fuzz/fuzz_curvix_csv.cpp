// Any bytes as a file opened in curvix: the loader tells a value log from a
// CSV and never fails; it loads whole rows or leaves the dataset as it was.
// What it loads is measured over the whole run and exported again.
#include "core/Csv.h"
#include "core/CsvRead.h"
#include "core/Measure.h"
#include "curvix_checks.h"

#include <QBuffer>
#include <QByteArray>

#include <cmath>
#include <cstdint>

using namespace curvix;
using namespace curvix_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    Dataset dataset(TimeBase::LocalTime);
    dataset.addSample(dataset.channel(99), 5, 1.0f);
    const FileLoad load = loadDataFile(bytes, dataset);
    if (!load.error.isEmpty()) {
        check(dataset.sampleCount() == 1 && !dataset.fromFile());
        return 0;
    }
    check(dataset.fromFile());
    check(int64_t(dataset.channels().size()) == load.channels);
    check(dataset.sampleCount() <= load.rows * load.channels);
    check(load.skipped == 0 || load.firstSkipped >= 1);
    checkTimeOrdered(dataset);

    const Measurements m = measure(dataset, dataset.firstTime(), dataset.lastTime());
    for (const ChannelStats& s : m.channels) {
        check(s.stats.count >= 0);
        // The mean lies between the extremes (up to rounding).
        if (s.stats.count > 0 && std::isfinite(s.stats.mean)) {
            const double slack = 1e-6 * std::fabs(s.stats.mean);
            check(s.stats.min <= s.stats.mean + slack && s.stats.mean <= s.stats.max + slack);
        }
    }
    CsvOptions options;
    options.comments = measurementComments(dataset, m);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    check(writeCsv(dataset, INT64_MIN, INT64_MAX, out, options));
    return 0;
}
