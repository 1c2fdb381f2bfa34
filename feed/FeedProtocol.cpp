#include "feed/FeedProtocol.h"

#include <cstring>

namespace feedwire {

namespace {

// Byte by byte, so the wire stays little-endian whatever the machine is.
void Put16(unsigned char* out, std::uint16_t v) {
    out[0] = static_cast<unsigned char>(v);
    out[1] = static_cast<unsigned char>(v >> 8);
}
void Put32(unsigned char* out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>(v >> (8 * i));
}
void Put64(unsigned char* out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<unsigned char>(v >> (8 * i));
}
std::uint16_t Get16(const unsigned char* in) {
    return static_cast<std::uint16_t>(in[0] | (in[1] << 8));
}
std::uint32_t Get32(const unsigned char* in) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | in[i];
    return v;
}
std::uint64_t Get64(const unsigned char* in) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | in[i];
    return v;
}

} // namespace

const char* StatusText(std::uint32_t status) {
    switch (static_cast<FeedStatus>(status)) {
    case FeedStatus::Ok:
        return "accepted";
    case FeedStatus::BadHello:
        return "the connection did not start with the feed protocol's hello";
    case FeedStatus::UnsupportedVersion:
        return "the monitor does not speak this protocol version";
    case FeedStatus::BadRecordSize:
        return "the record size does not match the protocol version";
    case FeedStatus::MessageRefused:
        return "only the feed character message is accepted from other programs";
    case FeedStatus::MalformedRecord:
        return "a record's flags are not 0";
    case FeedStatus::TruncatedRecord:
        return "the stream ended inside a record";
    case FeedStatus::NotPermitted:
        return "only the monitor's own user may feed it";
    case FeedStatus::Busy:
        return "too many programs are feeding the monitor at once";
    case FeedStatus::ViewGone:
        return "the monitor's view is closed";
    }
    return "unknown refusal";
}

void EncodeHello(unsigned char* out, std::uint16_t version, std::uint16_t recordSize) {
    std::memcpy(out, Magic, 4);
    Put16(out + 4, version);
    Put16(out + 6, recordSize);
}

FeedStatus CheckHello(const unsigned char* in) {
    if (std::memcmp(in, Magic, 4) != 0)
        return FeedStatus::BadHello;
    if (Get16(in + 4) != Version)
        return FeedStatus::UnsupportedVersion;
    if (Get16(in + 6) != RecordSize)
        return FeedStatus::BadRecordSize;
    return FeedStatus::Ok;
}

void EncodeRecord(const Record& record, unsigned char* out) {
    Put32(out, record.message);
    Put32(out + 4, record.wParam);
    Put32(out + 8, static_cast<std::uint32_t>(record.lParam));
    Put32(out + 12, record.flags);
}

Record DecodeRecord(const unsigned char* in) {
    return Record{Get32(in), Get32(in + 4), static_cast<std::int32_t>(Get32(in + 8)),
                  Get32(in + 12)};
}

FeedStatus CheckRecord(const Record& record) {
    if (record.message != FeedCharMessage)
        return FeedStatus::MessageRefused;
    if (record.flags != 0)
        return FeedStatus::MalformedRecord;
    return FeedStatus::Ok;
}

void EncodeReply(const Reply& reply, unsigned char* out) {
    std::memcpy(out, Magic, 4);
    Put32(out + 4, reply.status);
    Put64(out + 8, reply.count);
}

std::optional<Reply> DecodeReply(const unsigned char* in) {
    if (std::memcmp(in, Magic, 4) != 0)
        return std::nullopt;
    return Reply{Get32(in + 4), Get64(in + 8)};
}

} // namespace feedwire
