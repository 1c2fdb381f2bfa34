#pragma once
// Clients of the feed socket for tests: kelvor-feed run as a program, and a raw connection
// that sends exactly the bytes a test gives it. Both wait by running the event loop (the
// monitor's end runs in the test's own thread), each wait with a time limit.

#include "feed/FeedProtocol.h"

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace feedtest {

using namespace std::chrono_literals;

struct FeedRun {
    int exitCode = -1; // -1 when it did not end in time or crashed
    std::string err;
};
// Runs kelvor-feed with args, input on its standard input, until it ends.
FeedRun RunFeed(const std::vector<std::string>& args, const std::string& input,
                std::chrono::milliseconds limit = 20s);

// The hello, then one record per entry.
std::string Hello(std::uint16_t version = feedwire::Version,
                  std::uint16_t recordSize = feedwire::RecordSize);
std::string Records(const std::vector<feedwire::Record>& records);
// Feed-character records for each byte of text.
std::string Chars(const std::string& text);

class RawClient {
public:
    explicit RawClient(const std::string& path); // connects (Connected() tells)
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connected() const { return FFd >= 0; }
    // Sends bytes (small enough for the socket's buffer) and, if end, shuts down writing.
    bool Send(const std::string& bytes, bool end = true);
    // The monitor's reply, pumping the event loop; nullopt when none came in time.
    std::optional<feedwire::Reply> AwaitReply(std::chrono::milliseconds limit = 5s);
    // Whether the monitor has closed the connection (after any reply).
    bool AwaitClosed(std::chrono::milliseconds limit = 5s);

private:
    int FFd = -1;
    std::string FIn;
};

// Connects to path from a child process running as user id uid (the parent must be root),
// sends bytes and reads the reply, pumping the event loop meanwhile. The reply's status, or
// 100 when the connect met EACCES, 101 for another connect error, 102 when no reply came,
// 103 when the child could not become uid, -1 when it did not end in time.
int ExchangeAsUser(const std::string& path, uid_t uid, const std::string& bytes);

// Leaves a socket at path as a monitor that died would: bound, closed, never removed.
bool LeaveAbandonedSocket(const std::string& path);

// What the credential lookup says about the peer of a fresh socket pair of this process.
std::optional<uid_t> PeerUidOfOwnSocketPair();

} // namespace feedtest
