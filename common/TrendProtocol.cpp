#include "common/TrendProtocol.h"

#include "common/Cp1251.h"

#include <cstring>

namespace curvix {
namespace {

uint32_t readU32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

uint16_t readU16(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return uint16_t(b[0] | b[1] << 8);
}

void putU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void putU16(std::string& out, uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

} // namespace

void FrameReader::feed(const char* data, std::size_t size) {
    if (broken_) return;
    // Drop consumed bytes now and then instead of on every frame.
    if (pos_ > 0 && pos_ >= buffer_.size() / 2) {
        buffer_.erase(0, pos_);
        pos_ = 0;
    }
    buffer_.append(data, size);
}

bool FrameReader::next(std::string& frame) {
    if (broken_ || buffer_.size() - pos_ < 4) return false;
    const uint32_t length = readU32(buffer_.data() + pos_);
    if (length > kMaxFrameSize) {
        broken_ = true;
        badLength_ = length;
        buffer_.clear();
        pos_ = 0;
        return false;
    }
    if (buffer_.size() - pos_ - 4 < length) return false;
    frame.assign(buffer_, pos_ + 4, length);
    pos_ += 4 + length;
    return true;
}

Message parseMessage(std::string_view frame) {
    Message m;
    if (frame.empty()) return m;
    if (frame[0] == 'P') {
        if (frame.size() == 9 && readU32(frame.data() + 1) == kUserMessage) {
            m.kind = MessageKind::Thread;
            m.wParam = readU32(frame.data() + 5);
            m.complete = true;
        }
        return m;
    }
    if (frame[0] == 'C') {
        m.kind = MessageKind::CopyData;
        if (frame.size() >= 5) {
            m.complete = true;
            m.wParam = readU32(frame.data() + 1);
            m.record = frame.substr(5);
        }
    }
    return m;
}

std::string frame(std::string_view payload) {
    std::string out;
    putU32(out, static_cast<uint32_t>(payload.size()));
    out.append(payload);
    return out;
}

std::string registrationFrame(uint32_t token) {
    std::string payload(1, 'P');
    putU32(payload, kUserMessage);
    putU32(payload, token);
    return frame(payload);
}

std::string threadFrame(uint32_t threadId) {
    return registrationFrame(threadId); // the same layout in the other direction
}

bool isAcknowledgement(std::string_view frame) {
    return frame == "A";
}

std::string acknowledgementFrame() {
    return frame("A");
}

std::string copyDataFrame(uint32_t token, std::string_view record) {
    std::string payload(1, 'C');
    putU32(payload, token);
    payload.append(record);
    return frame(payload);
}

StampFields stampOf(const QDateTime& t) {
    const QDate d = t.date();
    const QTime h = t.time();
    auto u16 = [](int v) { return static_cast<uint16_t>(v); };
    return {u16(d.year()), u16(d.month()),  u16(d.dayOfWeek() % 7), u16(d.day()),
            u16(h.hour()), u16(h.minute()), u16(h.second()),        u16(h.msec())};
}

bool validStamp(const StampFields& s) {
    static const uint8_t days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (s.year < 1601 || s.year > 30827) return false;
    if (s.month < 1 || s.month > 12) return false;
    if (s.day < 1 || s.day > days[s.month - 1]) return false;
    if (s.month == 2 && s.day == 29) {
        const bool leap = (s.year % 4 == 0 && s.year % 100 != 0) || s.year % 400 == 0;
        if (!leap) return false;
    }
    return s.hour < 24 && s.minute < 60 && s.second < 60 && s.millisecond < 1000;
}

Record decodeRecord(std::string_view bytes) {
    Record r;
    if (bytes.empty()) {
        r.error = QStringLiteral("пустая запись");
        return r;
    }
    const auto type = static_cast<uint8_t>(bytes[0]);
    switch (type) {
    case kBeginType:
        r.type = RecordType::Begin;
        return r;
    case kStartType:
        r.type = RecordType::Start;
        return r;
    case kChannelType: {
        if (bytes.size() < 6) {
            r.error = QStringLiteral("запись канала короче 6 байт");
            return r;
        }
        r.type = RecordType::Channel;
        r.id = static_cast<int32_t>(readU32(bytes.data() + 1));
        std::string_view name = bytes.substr(5);
        const std::size_t zero = name.find('\0');
        if (zero == std::string_view::npos) {
            // The record's end bounds the name; keep what was sent.
            r.nameUnterminated = true;
        } else {
            name = name.substr(0, zero);
        }
        r.name = qmt::fromCp1251(name);
        return r;
    }
    case kSampleType: {
        if (bytes.size() < kSampleSize) {
            r.error = QStringLiteral("запись отсчёта короче 25 байт");
            return r;
        }
        r.id = static_cast<int32_t>(readU32(bytes.data() + 1));
        const uint32_t bits = readU32(bytes.data() + 5);
        std::memcpy(&r.value, &bits, sizeof bits);
        uint16_t f[8];
        for (int i = 0; i < 8; ++i)
            f[i] = readU16(bytes.data() + 9 + 2 * i);
        r.stamp = {f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]};
        if (!validStamp(r.stamp)) {
            r.error = QStringLiteral("неверная метка времени");
            return r;
        }
        r.type = RecordType::Sample;
        return r;
    }
    default:
        r.error = QStringLiteral("неизвестный тип записи %1").arg(type);
        return r;
    }
}

std::string beginRecord() {
    return std::string(1, static_cast<char>(kBeginType));
}

std::string startRecord() {
    return std::string(1, static_cast<char>(kStartType));
}

std::string channelRecord(int32_t id, std::string_view nameCp1251) {
    std::string out(1, static_cast<char>(kChannelType));
    putU32(out, static_cast<uint32_t>(id));
    out.append(nameCp1251);
    out.push_back('\0');
    return out;
}

std::string sampleRecord(int32_t id, float value, const StampFields& s) {
    std::string out(1, static_cast<char>(kSampleType));
    putU32(out, static_cast<uint32_t>(id));
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    putU32(out, bits);
    for (uint16_t v :
         {s.year, s.month, s.dayOfWeek, s.day, s.hour, s.minute, s.second, s.millisecond})
        putU16(out, v);
    return out;
}

} // namespace curvix
