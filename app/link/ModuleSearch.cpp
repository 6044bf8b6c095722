#include "link/ModuleSearch.h"

#include "link/Library.h"
#include "link/PortSettings.h"

#include <QByteArray>

namespace qmt {

namespace {

constexpr int NoAnswer = 14;
constexpr int PortFailed = 11;

} // namespace

LineSetting SearchCombination(int index) {
    if (index < 0 || index >= SearchCombinations) return {};
    return {static_cast<uint32_t>(SearchSpeed(index)),
            static_cast<uint8_t>(index % VL_SEARCH_PARITIES)};
}

int32_t SearchModule(const SearchRequest& request, LineSetting& found, const SearchStep& onStep) {
    const QByteArray port = request.port.toLocal8Bit();
    const LibraryApi& api = library();
    uint32_t baud = 0;
    uint8_t parity = 0;
    int32_t status = NoAnswer;
    if (api.EnumParametersAt) {
        for (int i = 0; i < SearchCombinations && status == NoAnswer; ++i) {
            if (onStep) onStep(i, SearchCombination(i));
            status = api.EnumParametersAt(port.constData(), request.version, request.serial,
                                          request.address, static_cast<uint8_t>(i), &baud, &parity);
        }
    } else if (api.EnumParameters) {
        if (onStep) onStep(-1, {});
        status = api.EnumParameters(port.constData(), request.version, request.serial,
                                    request.address, &baud, &parity);
    } else {
        status = PortFailed;
    }
    if (status == 0) found = {baud, parity};
    return status;
}

QString SearchStepText(int index) {
    const LineSetting s = SearchCombination(index);
    return QStringLiteral("%1 бод, %2 (%3 из %4)")
        .arg(s.baud)
        .arg(ParityName(s.parity))
        .arg(index + 1)
        .arg(SearchCombinations);
}

} // namespace qmt
