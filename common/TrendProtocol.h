#pragma once
// The pipe protocol between the program and the trend viewer curvix: frames (a
// 32-bit little-endian length, then that many bytes), the messages they carry
// and the records inside the copy-data messages. The one encoder and the one
// decoder of both sides: the program writes with the builders, the viewer reads
// with the decoders, and tests and fuzzers exercise exactly that code. Pure
// functions and values only.

#include <QDateTime>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace curvix {

// No record comes close; a longer length means the stream is out of step.
constexpr uint32_t kMaxFrameSize = 64 * 1024;
constexpr uint32_t kUserMessage = 0x0400;

// Cuts a byte stream into frames. Bytes may arrive split anywhere.
class FrameReader {
public:
    void feed(const char* data, std::size_t size);
    // Takes the next complete frame; false when none is complete yet or the
    // stream is broken.
    bool next(std::string& frame);
    // A length beyond kMaxFrameSize was announced: nothing after it can be trusted.
    bool broken() const { return broken_; }
    uint32_t badLength() const { return badLength_; }
    // Bytes of a frame that has begun but not ended.
    std::size_t pending() const { return buffer_.size() - pos_; }

private:
    std::string buffer_;
    std::size_t pos_ = 0;
    bool broken_ = false;
    uint32_t badLength_ = 0;
};

enum class MessageKind {
    Thread,   // 'P' with the user message code: asks for a registration
    CopyData, // 'C': carries one record
    Other,    // anything else, ignored
};

struct Message {
    MessageKind kind = MessageKind::Other;
    uint32_t wParam = 0;
    bool complete = false;   // copy-data: the header (type and wParam) is all there
    std::string_view record; // copy-data: the bytes after the header
};

Message parseMessage(std::string_view frame);
// The viewer's answer to a copy-data message.
bool isAcknowledgement(std::string_view frame);

std::string registrationFrame(uint32_t token);
std::string acknowledgementFrame();
std::string frame(std::string_view payload);

// Local time as the program sends it: eight 16-bit fields.
struct StampFields {
    uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
    uint16_t hour = 0, minute = 0, second = 0, millisecond = 0;
};

enum class RecordType { Begin, Channel, Start, Sample, Invalid };

struct Record {
    RecordType type = RecordType::Invalid;
    int32_t id = 0;
    QString name;                  // channel
    bool nameUnterminated = false; // channel name ran to the end of the record
    float value = 0;               // sample
    StampFields stamp;             // sample
    QString error;                 // invalid: what was wrong, for the status bar
};

constexpr uint8_t kBeginType = 2;
constexpr uint8_t kChannelType = 3;
constexpr uint8_t kStartType = 6;
constexpr uint8_t kSampleType = 9;
constexpr std::size_t kSampleSize = 25;

Record decodeRecord(std::string_view bytes);

// The fields of a local time as the program sends them (day of week 0 = Sunday).
StampFields stampOf(const QDateTime& localTime);

// Builders of the program's records (the program, tests, benchmark driver).
std::string beginRecord();
std::string channelRecord(int32_t id, std::string_view nameCp1251);
std::string startRecord();
std::string sampleRecord(int32_t id, float value, const StampFields& stamp);
std::string copyDataFrame(uint32_t token, std::string_view record);
std::string threadFrame(uint32_t threadId);

// A time stamp that names a real moment of the calendar.
bool validStamp(const StampFields& stamp);

} // namespace curvix
