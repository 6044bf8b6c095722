#include "core/MeasureCommand.h"

#include "core/CsvRead.h"
#include "core/Measure.h"

#include <cmath>
#include <cstring>

namespace curvix {
namespace {

int usage(std::FILE* err, const QString& what) {
    std::fprintf(err, "curvix: %s (curvix --help lists the options)\n", qPrintable(what));
    return 2;
}

// Seconds with a point or a comma.
bool parseSeconds(const QString& text, double& s) {
    bool ok = false;
    s = QString(text).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    return ok && std::isfinite(s) && std::fabs(s) < 1e12;
}

} // namespace

bool wantsMeasure(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0 || std::strcmp(argv[i], "--help") == 0 ||
            std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--version") == 0)
            return false;
        if (std::strcmp(argv[i], "--measure") == 0) return true;
    }
    return false;
}

int measureCommand(const QStringList& args, std::FILE* out, std::FILE* err) {
    QString path;
    double from = NAN, to = NAN;
    bool csv = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool valued = a == QLatin1String("--measure") || a == QLatin1String("--from") ||
                            a == QLatin1String("--to");
        if (a == QLatin1String("--csv")) {
            csv = true;
        } else if (valued && i + 1 >= args.size()) {
            return usage(err, QStringLiteral("после %1 нужно значение").arg(a));
        } else if (a == QLatin1String("--measure")) {
            path = args[++i];
        } else if (valued) {
            double& s = a == QLatin1String("--from") ? from : to;
            if (!parseSeconds(args[++i], s))
                return usage(err, QStringLiteral("%1: «%2» не число секунд").arg(a, args[i]));
        } else {
            return usage(err, QStringLiteral("неизвестный параметр «%1»").arg(a));
        }
    }
    Dataset data;
    const FileLoad load = loadDataFile(path, data);
    if (!load.error.isEmpty()) {
        std::fprintf(err, "curvix: %s\n", qPrintable(load.error));
        return 1;
    }
    // Seconds on the viewer's time axis: from the log's start, or from the
    // first sample of a file stamped with clock times.
    const int64_t first = data.firstTime(), last = data.lastTime();
    const int64_t origin = data.timeBase() == TimeBase::LocalTime ? first : 0;
    const int64_t t0 = std::isnan(from) ? first : origin + std::llround(from * 1000);
    const int64_t t1 = std::isnan(to) ? last : origin + std::llround(to * 1000);
    if (t1 < t0) return usage(err, QStringLiteral("--to раньше --from"));
    for (const QString& line : measurementReport(data, measure(data, t0, t1), csv))
        std::fprintf(out, "%s\n", line.toUtf8().constData());
    return 0;
}

} // namespace curvix
