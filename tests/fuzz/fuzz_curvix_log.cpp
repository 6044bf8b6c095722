// Any text as a value log, through curvix's log reader and into the sample
// store. The reader never fails: it gives a header and whole rows, counts the
// lines it leaves out, or says why there is nothing to show; the store holds
// every cell of every row, in time order per channel.
#include "core/Dataset.h"
#include "core/ValueLog.h"
#include "curvix_checks.h"

#include <QByteArray>

#include <cstdint>

using namespace curvix;
using namespace curvix_fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const ValueLog log = parseValueLog(bytes);
    if (!log.error.isEmpty()) {
        check(log.timesMs.empty());
        return 0;
    }
    check(log.columns.size() == static_cast<size_t>(log.names.size()));
    for (const auto& column : log.columns)
        check(column.size() == log.timesMs.size());
    check(log.skipped == 0 || log.firstSkipped >= 2);

    Dataset dataset(TimeBase::Elapsed);
    loadValueLog(log, dataset);
    check(dataset.sampleCount() ==
          static_cast<int64_t>(log.timesMs.size()) * static_cast<int64_t>(log.names.size()));
    for (const Channel* c : dataset.channels())
        check(c->announced);
    checkTimeOrdered(dataset);
    return 0;
}
