// Any bytes on curvix's standard input, through the frame reader, the message
// and record decoders and into the sample store, as the reader thread and the
// window take them. However the bytes are split, the frames are the same;
// every decoded record is either usable or carries a reason; a sample record
// encodes back to the bytes it came from; the store's times never go back.
//
// Byte 0 sets the chunk sizes the stream arrives in; the rest is the stream.
#include "common/TrendProtocol.h"
#include "core/Dataset.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace curvix;

constexpr uint32_t kToken = 0x00C0FFEE;

void check(bool ok) {
    if (!ok) abort();
}

// The frames of the whole stream read in one piece, to compare against.
std::vector<std::string> referenceFrames(const std::string& s, bool& broken) {
    std::vector<std::string> out;
    size_t pos = 0;
    broken = false;
    while (s.size() - pos >= 4) {
        const auto* b = reinterpret_cast<const unsigned char*>(s.data() + pos);
        const uint32_t len = b[0] | b[1] << 8 | b[2] << 16 | uint32_t(b[3]) << 24;
        if (len > kMaxFrameSize) {
            broken = true;
            break;
        }
        if (s.size() - pos - 4 < len) break;
        out.push_back(s.substr(pos + 4, len));
        pos += 4 + len;
    }
    return out;
}

void checkSeries(const Series& s) {
    for (int64_t i = 1; i < s.size(); ++i)
        check(s.time(i - 1) <= s.time(i));
    if (s.empty()) return;
    check(s.lowerBound(s.firstTime()) == 0 && s.upperBound(s.lastTime()) == s.size());
    float lo, hi;
    if (s.minMax(0, s.size(), lo, hi)) check(lo <= hi);
    const int64_t mid = s.size() / 2;
    if (s.minMax(mid / 3, mid + 17, lo, hi)) check(lo <= hi);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const size_t chunk = 1 + data[0] % 64;
    const std::string stream(reinterpret_cast<const char*>(data + 1), size - 1);

    FrameReader reader;
    std::vector<std::string> frames;
    std::string frame;
    for (size_t pos = 0; pos < stream.size(); pos += chunk) {
        reader.feed(stream.data() + pos, std::min(chunk, stream.size() - pos));
        while (reader.next(frame))
            frames.push_back(frame);
    }
    bool broken = false;
    check(frames == referenceFrames(stream, broken));
    check(reader.broken() == broken);

    Dataset dataset;
    int64_t samples = 0, now = 1700000000000;
    for (const std::string& f : frames) {
        const Message m = parseMessage(f);
        if (m.kind != MessageKind::CopyData || !m.complete) continue;
        const Record r = decodeRecord(m.record);
        check((r.type == RecordType::Invalid) == !r.error.isEmpty());
        if (r.type == RecordType::Sample) {
            ++samples;
            check(validStamp(r.stamp));
            const std::string again = sampleRecord(r.id, r.value, r.stamp);
            check(again.size() == kSampleSize && m.record.substr(0, kSampleSize) == again);
        }
        if (m.wParam == kToken || (m.wParam & 1)) dataset.apply(r, now += 200);
    }
    int64_t stored = 0;
    for (const Channel* c : dataset.channels()) {
        checkSeries(c->samples);
        stored += c->samples.size();
    }
    check(stored == dataset.sampleCount() && stored <= samples);
    return 0;
}
