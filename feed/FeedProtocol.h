#pragma once
// The feed socket's wire protocol: how another program of the same user posts messages to the
// monitor's view over a Unix-domain stream socket.
//
// The client sends, in order:
//
//   hello   8 bytes   "KVFD", version (uint16), record size in bytes (uint16)
//   records 16 bytes  message number (uint32), wParam (uint32), lParam (int32), flags (uint32)
//
// then shuts down its writing side. Every integer is little-endian. Version 1 has 16-byte
// records whose flags are 0. The only message accepted is the view's feed message 0x8001, the
// character being wParam's low 8 bits: messages that carry pointers (text, streaming and
// selection messages) would hand another process's addresses to the view, so they are never
// taken.
//
// The monitor answers once, with 16 bytes, and closes:
//
//   reply   16 bytes  "KVFD", status (uint32), count (uint64)
//
// Status 0 comes after the client's end: every record was posted and the view has handled it;
// count is the number of records. Any other status is a refusal (FeedStatus below): count
// records were posted before the one refused, the rest is discarded, and the monitor closes at
// once, so a client still writing gets EPIPE and should then read the reply.
//
// The monitor reads a bounded slice of records at a time and reads on only when the view has
// handled it; a fast client is held back by the socket's own buffer, never by the monitor's
// memory.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace feedwire {

inline constexpr unsigned char Magic[4] = {'K', 'V', 'F', 'D'};
inline constexpr std::uint16_t Version = 1;
inline constexpr std::size_t HelloSize = 8;
inline constexpr std::size_t RecordSize = 16;
inline constexpr std::size_t ReplySize = 16;
// The view's feed message (one character in wParam's low 8 bits).
inline constexpr std::uint32_t FeedCharMessage = 0x8001;

enum class FeedStatus : std::uint32_t {
    Ok = 0,
    BadHello = 1,           // not this protocol
    UnsupportedVersion = 2, // a version this monitor does not speak
    BadRecordSize = 3,      // a record size other than the version's
    MessageRefused = 4,     // a message other than the feed message
    MalformedRecord = 5,    // flags that are not 0
    TruncatedRecord = 6,    // the stream ended inside a record or the hello
    NotPermitted = 7,       // the peer runs as another user
    Busy = 8,               // too many feeding programs at once
    ViewGone = 9,           // the view's window no longer exists
};

// One line of text for a status, for the command's error messages and the monitor's log.
const char* StatusText(std::uint32_t status);

struct Record {
    std::uint32_t message = 0;
    std::uint32_t wParam = 0;
    std::int32_t lParam = 0;
    std::uint32_t flags = 0;
};

struct Reply {
    std::uint32_t status = 0;
    std::uint64_t count = 0;
};

void EncodeHello(unsigned char* out, std::uint16_t version = Version,
                 std::uint16_t recordSize = RecordSize);
// Checks a hello; Ok or the refusal it deserves.
FeedStatus CheckHello(const unsigned char* in);

void EncodeRecord(const Record& record, unsigned char* out);
Record DecodeRecord(const unsigned char* in);
// Ok for a record the view may take from another process, else why not.
FeedStatus CheckRecord(const Record& record);

void EncodeReply(const Reply& reply, unsigned char* out);
// nullopt for bytes that are no reply of this protocol.
std::optional<Reply> DecodeReply(const unsigned char* in);

} // namespace feedwire
