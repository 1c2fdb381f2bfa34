// Fuzz target for the feed socket's protocol: another program's bytes, read by a real
// FeedListener in this process. The first two input bytes give the sizes of the pieces the
// client writes (in turn, 1 to 256 bytes each, with the event loop run between pieces); the
// third, when its high bit is set, asks for a stream of several slices: (its low 6 bits) KiB
// at least, made by repeating what follows the hello, in pieces 64 times as large. The rest
// is what the client sends before it shuts down its writing side.
//
// The pure decoding is checked first: a record or reply decoded and encoded again gives its
// bytes back; the hello, record and reply checks agree with the byte layout read here by hand.
//
// Then the exchange: the monitor answers once with a well-formed reply and closes. Status 0
// exactly when the stream is a good hello and whole good records (or nothing at all); else the
// refusal the first fault in the stream deserves. The reply's count is the number of records
// before that fault, and the target window got exactly those records' characters, in order.
//
// Run: fuzz_feed -dict=fuzz/feed.dict -max_total_time=60 fuzz/corpus/feed

#include "feed/FeedListener.h"
#include "feed/FeedPaths.h"
#include "feed/FeedProtocol.h"
#include "fuzz/Property.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>
#include <vector>

using feedwire::FeedStatus;

namespace {

std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

const unsigned char* Bytes(std::string_view s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

// --- what the monitor must answer, worked out from the bytes -----------------------------

struct Expected {
    std::uint32_t status = 0;
    std::uint64_t count = 0;
};

std::uint32_t HelloFault(std::string_view hello) {
    const auto* p = Bytes(hello);
    if (hello.substr(0, 4) != "KVFD")
        return std::uint32_t(FeedStatus::BadHello);
    if (p[4] != 1 || p[5] != 0)
        return std::uint32_t(FeedStatus::UnsupportedVersion);
    if (p[6] != 16 || p[7] != 0)
        return std::uint32_t(FeedStatus::BadRecordSize);
    return 0;
}

std::uint32_t RecordFault(const unsigned char* p) {
    if (Le32(p) != 0x8001)
        return std::uint32_t(FeedStatus::MessageRefused);
    if (Le32(p + 12) != 0)
        return std::uint32_t(FeedStatus::MalformedRecord);
    return 0;
}

Expected Expect(std::string_view stream) {
    if (stream.empty())
        return {}; // a feed of nothing
    if (stream.size() < 8)
        return {std::uint32_t(FeedStatus::TruncatedRecord), 0};
    if (const std::uint32_t fault = HelloFault(stream.substr(0, 8)))
        return {fault, 0};
    const std::string_view records = stream.substr(8);
    std::uint64_t count = 0;
    for (; (count + 1) * 16 <= records.size(); ++count)
        if (const std::uint32_t fault = RecordFault(Bytes(records) + count * 16))
            return {fault, count};
    if (records.size() % 16 != 0)
        return {std::uint32_t(FeedStatus::TruncatedRecord), count};
    return {0, count};
}

// --- the codec alone ------------------------------------------------------------------------

void CheckCodec(std::string_view stream) {
    if (stream.size() >= 8) {
        const FeedStatus hello = feedwire::CheckHello(Bytes(stream));
        Require(std::uint32_t(hello) == HelloFault(stream.substr(0, 8)),
                "CheckHello refuses what the layout refuses");
        // A hello made from its own fields checks the same way.
        unsigned char again[feedwire::HelloSize];
        const auto* p = Bytes(stream);
        feedwire::EncodeHello(again, std::uint16_t(p[4] | p[5] << 8),
                              std::uint16_t(p[6] | p[7] << 8));
        Require(stream.substr(0, 4) != "KVFD" || std::memcmp(again, p, sizeof again) == 0,
                "a hello encodes back to its bytes");
    }
    for (std::size_t at = 0; at + 16 <= stream.size(); at += 16) {
        const auto* p = Bytes(stream) + at;
        const feedwire::Record record = feedwire::DecodeRecord(p);
        unsigned char again[feedwire::RecordSize];
        feedwire::EncodeRecord(record, again);
        Require(std::memcmp(again, p, sizeof again) == 0, "a record encodes back to its bytes");
        Require(record.message == Le32(p) && record.wParam == Le32(p + 4) &&
                    record.lParam == std::int32_t(Le32(p + 8)) && record.flags == Le32(p + 12),
                "a record's fields are its little-endian words");
        Require(std::uint32_t(feedwire::CheckRecord(record)) == RecordFault(p),
                "CheckRecord takes exactly the feed message with flags 0");

        const auto reply = feedwire::DecodeReply(p);
        Require(reply.has_value() == (std::string_view(stream).substr(at, 4) == "KVFD"),
                "a reply is recognised by its magic");
        if (reply) {
            feedwire::EncodeReply(*reply, again);
            Require(std::memcmp(again, p, sizeof again) == 0, "a reply encodes back to its bytes");
            const char* text = feedwire::StatusText(reply->status);
            Require(text && *text, "every status has a text");
        }
    }
}

// --- the exchange with a real listener ------------------------------------------------------

constexpr UINT DoneMessage = 0x8100; // posted after the reply: everything before it has arrived

struct Received {
    std::vector<std::pair<WPARAM, LPARAM>> chars;
    bool done = false;
};

std::string Folder;
std::string SocketPath;
Received Got;
HWND Target = nullptr;
feedsocket::FeedListener* Listener = nullptr;
std::vector<std::string> Said;

void Cleanup() {
    delete Listener;
    Listener = nullptr;
    DeallocateHWnd(Target);
    ::unlink((SocketPath + ".lock").c_str());
    ::rmdir((Folder + "/run").c_str());
    ::rmdir(Folder.c_str());
}

// Runs the event loop until done() holds; false when a few seconds passed first.
template <typename Done> bool PumpUntil(Done done) {
    bool late = false;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [&] { late = true; });
    limit.start(5000);
    while (!done() && !late)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return done();
}

int Connect() {
    const sockaddr_un address = feedsocket::UnixAddress(SocketPath).value();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    Require(fd >= 0, "a client socket");
    Require(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0,
            "the listener takes the connection");
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QCoreApplication app(*argc, *argv);
    std::string pattern = "/tmp/kelvor-fuzz-feed-XXXXXX";
    Require(::mkdtemp(pattern.data()) != nullptr, "a private folder");
    Folder = pattern;
    SocketPath = Folder + "/run/feed";
    Target = AllocateHWnd([](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == feedwire::FeedCharMessage)
            Got.chars.emplace_back(wParam, lParam);
        else if (msg == DoneMessage)
            Got.done = true;
        else
            return DefWindowProc(hwnd, msg, wParam, lParam);
        return LRESULT(0);
    });
    Listener = new feedsocket::FeedListener([] { return Target; },
                                            [](const std::string& line) { Said.push_back(line); });
    if (!Listener->Listen(SocketPath)) {
        std::fprintf(stderr, "%s\n", Listener->ErrorText().c_str());
        std::abort();
    }
    std::atexit(Cleanup);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    const bool grown = (data[2] & 0x80) != 0;
    const unsigned scale = grown ? 64 : 1;
    const unsigned pieces[2] = {(1u + data[0]) * scale, (1u + data[1]) * scale};
    std::string_view stream(reinterpret_cast<const char*>(data) + 3, size - 3);
    CheckCodec(stream);
    std::string made;
    if (grown && stream.size() > 8) {
        // Long enough to cross slices, with records cut at every place a slice may end.
        made.assign(stream);
        const std::size_t least = std::size_t(data[2] & 0x3F) * 1024;
        while (made.size() < least)
            made.append(stream.substr(8));
        stream = made;
    }

    const Expected expected = Expect(stream);
    const std::uint64_t postedBefore = Listener->PostedRecords();
    Got = {};
    Said.clear();
    const int fd = Connect();
    // Wakes the loop for the reply.
    auto readable = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);

    // Piece by piece while the monitor reads; after a refusal the monitor has closed, and what
    // is left can no longer be sent.
    std::size_t at = 0;
    for (int turn = 0; at < stream.size(); turn ^= 1) {
        const std::size_t n = std::min<std::size_t>(pieces[turn], stream.size() - at);
        const ssize_t sent = ::send(fd, stream.data() + at, n, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            break;
        if (sent > 0)
            at += std::size_t(sent);
        QCoreApplication::processEvents();
    }
    ::shutdown(fd, SHUT_WR);

    std::string reply;
    bool closed = false;
    const bool ended = PumpUntil([&] {
        char buffer[64];
        ssize_t n;
        while ((n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
            reply.append(buffer, std::size_t(n));
        closed = n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
        return closed;
    });
    readable.reset();
    ::close(fd);
    Require(ended, "the monitor answers and closes in time");
    Require(reply.size() == feedwire::ReplySize, "one reply of 16 bytes, then the end");
    const auto answer = feedwire::DecodeReply(Bytes(reply));
    Require(answer.has_value(), "the reply is the protocol's");
    if (answer->status != expected.status || answer->count != expected.count) {
        std::fprintf(stderr, "reply %u/%llu, expected %u/%llu\n", answer->status,
                     static_cast<unsigned long long>(answer->count), expected.status,
                     static_cast<unsigned long long>(expected.count));
        std::abort();
    }

    // Records posted before a refusal still arrive, after the reply.
    Require(PostMessage(Target, DoneMessage, 0, 0), "the target window takes a message");
    Require(PumpUntil([] { return Got.done; }), "posted messages arrive");
    Require(Got.chars.size() == answer->count, "the window got as many messages as the count");
    Require(Listener->PostedRecords() - postedBefore == answer->count,
            "the listener posted as many records as the count");
    const std::string_view records = stream.size() > 8 ? stream.substr(8) : std::string_view();
    for (std::size_t i = 0; i < Got.chars.size(); ++i) {
        const auto* p = Bytes(records) + i * 16;
        Require(Got.chars[i].first == WPARAM(Le32(p + 4)) &&
                    Got.chars[i].second == LPARAM(std::int32_t(Le32(p + 8))),
                "the window got the records' own parameters, in order");
    }
    Require(Listener->ConnectionCount() == 0, "a finished connection is gone");
    Require(Said.empty() == (answer->status == 0), "every refusal is told, and only a refusal");
    return 0;
}
