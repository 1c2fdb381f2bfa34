#include "feed/FeedProtocol.h"

#include "platform/LittleEndian.h"

#include <cstring>

namespace feedwire {

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
    PutLittleEndian<std::uint16_t>(out + 4, version);
    PutLittleEndian<std::uint16_t>(out + 6, recordSize);
}

FeedStatus CheckHello(const unsigned char* in) {
    if (std::memcmp(in, Magic, 4) != 0)
        return FeedStatus::BadHello;
    if (GetLittleEndian<std::uint16_t>(in + 4) != Version)
        return FeedStatus::UnsupportedVersion;
    if (GetLittleEndian<std::uint16_t>(in + 6) != RecordSize)
        return FeedStatus::BadRecordSize;
    return FeedStatus::Ok;
}

void EncodeRecord(const Record& record, unsigned char* out) {
    PutLittleEndian(out, record.message);
    PutLittleEndian(out + 4, record.wParam);
    PutLittleEndian(out + 8, static_cast<std::uint32_t>(record.lParam));
    PutLittleEndian(out + 12, record.flags);
}

Record DecodeRecord(const unsigned char* in) {
    const auto u32 = [in](int at) { return GetLittleEndian<std::uint32_t>(in + at); };
    return Record{u32(0), u32(4), static_cast<std::int32_t>(u32(8)), u32(12)};
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
    PutLittleEndian(out + 4, reply.status);
    PutLittleEndian(out + 8, reply.count);
}

std::optional<Reply> DecodeReply(const unsigned char* in) {
    if (std::memcmp(in, Magic, 4) != 0)
        return std::nullopt;
    return Reply{GetLittleEndian<std::uint32_t>(in + 4), GetLittleEndian<std::uint64_t>(in + 8)};
}

} // namespace feedwire
