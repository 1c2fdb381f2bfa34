// The feed socket with the real main window: kelvor-feed run as a program, raw clients that
// send what kelvor-feed never would, other users, and the socket's place on disk.

#include "app/Main.h"
#include "feed/FeedListener.h"
#include "feed/FeedPaths.h"
#include "framework/Application.h"
#include "tests/feed/FeedClient.h"
#include "tests/support/Pump.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using feedtest::Chars;
using feedtest::Hello;
using feedtest::RawClient;
using feedtest::Records;
using feedtest::RunFeed;
using feedwire::FeedStatus;

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

class FeedSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.isValid());
        folder_ = temp_.path().toStdString() + "/run";
        path_ = folder_ + "/feed";
        app_.Initialize();
        form_ = std::make_unique<TForm1>(nullptr);
        form_->HandleNeeded();
        listener_ = MakeListener();
    }
    void TearDown() override {
        listener_.reset();
        MessageDlgScriptedAnswer = [](const std::string&, TMsgDlgButtons) { return mrNo; };
        form_.reset();
        MessageDlgScriptedAnswer = nullptr;
    }

    std::unique_ptr<feedsocket::FeedListener> MakeListener() {
        return std::make_unique<feedsocket::FeedListener>(
            [this]() -> HWND { return form_ ? form_->KelvorEdit201->Handle() : nullptr; },
            [this](const std::string& line) { log_.push_back(line); });
    }
    std::u16string Text() { return form_->KelvorEdit201->WideText(); }
    std::vector<std::string> AllLines() {
        std::vector<std::string> lines;
        for (int i = 0; i < form_->KelvorEdit201->Lines()->Count(); ++i)
            lines.push_back(form_->KelvorEdit201->Lines()->Get(i));
        return lines;
    }
    // A raw client's whole exchange: the monitor's reply to bytes.
    std::optional<feedwire::Reply> Exchange(const std::string& bytes) {
        RawClient client(path_);
        if (!client.Connected() || !client.Send(bytes))
            return std::nullopt;
        auto reply = client.AwaitReply();
        EXPECT_TRUE(client.AwaitClosed());
        return reply;
    }

    QTemporaryDir temp_;
    std::string folder_, path_;
    TApplication app_;
    std::unique_ptr<TForm1> form_;
    std::vector<std::string> log_;
    std::unique_ptr<feedsocket::FeedListener> listener_;
};

TEST_F(FeedSocketTest, StandardInputReachesTheViewInOrderAmongAddedLines) {
    ASSERT_TRUE(listener_->Listen(path_)) << listener_->ErrorText();
    // Owner-only, whatever the umask was.
    EXPECT_TRUE(S_ISDIR(ModeOf(folder_)));
    EXPECT_EQ(ModeOf(folder_) & 07777, 0700u);
    EXPECT_TRUE(S_ISSOCK(ModeOf(path_)));
    EXPECT_EQ(ModeOf(path_) & 07777, 0600u);

    // CR ends a line, NUL shows nothing, LF is a character like any other.
    auto run = RunFeed({"--socket", path_}, std::string("one\rtw\0o\r", 9));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    form_->KelvorEdit201->Lines()->Add("added");
    run = RunFeed({"--socket=" + path_}, "three\rfo");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    run = RunFeed({"--socket", path_}, "ur");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    form_->KelvorEdit201->Lines()->Add("last");
    EXPECT_EQ(AllLines(),
              (std::vector<std::string>{"one", "two", "added", "three", "four", "last"}));
    EXPECT_EQ(Text(), u"one\rtwo\radded\rthree\rfour\rlast");
    // An empty input is a feed of nothing, confirmed.
    run = RunFeed({"--socket", path_}, "");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(listener_->RefusedConnections(), 0u);
    EXPECT_EQ(listener_->ConnectionCount(), 0u);
}

// Every byte value but NUL arrives as itself; high bytes are no sign-extended CRs.
TEST_F(FeedSocketTest, EveryByteValueArrivesAsItsCharacter) {
    ASSERT_TRUE(listener_->Listen(path_)) << listener_->ErrorText();
    std::string input;
    for (int b = 1; b < 256; ++b)
        input.push_back(static_cast<char>(b));
    const auto run = RunFeed({"--socket", path_}, input);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::u16string direct;
    {
        // The same characters sent to a second view by hand.
        TKelvorEdit20* other = new TKelvorEdit20(form_.get());
        other->SetParent(form_.get());
        other->HandleNeeded();
        for (const char c : input)
            SendMessage(other->Handle(), WM_FEEDCHAR, static_cast<unsigned char>(c), 0);
        direct = other->WideText();
    }
    EXPECT_EQ(Text(), direct);
    EXPECT_EQ(Text().size(), 255u);
}

// A megabyte of bit lines (KELVOR_FEED_TEST_MB asks for more): the window keeps answering while
// it arrives, the records waiting for the view never exceed one slice, and every line is there.
TEST_F(FeedSocketTest, ALargeFeedDoesNotFreezeTheWindow) {
    ASSERT_TRUE(listener_->Listen(path_)) << listener_->ErrorText();
    form_->Show();
    const char* mb = std::getenv("KELVOR_FEED_TEST_MB");
    const int lineCount = 1024 * std::clamp(mb ? std::atoi(mb) : 1, 1, 64);
    std::string input;
    input.reserve(static_cast<std::size_t>(lineCount) * 1024);
    for (int i = 0; i < lineCount; ++i) {
        std::string line(1023, '0');
        for (int bit = 0; bit < 16; ++bit)
            line[static_cast<std::size_t>(bit)] = ((i >> (15 - bit)) & 1) ? '1' : '0';
        input += line + '\r';
    }
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    std::int64_t waiting = 0; // most records posted and not yet in the view
    const HWND view = form_->KelvorEdit201->Handle();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
        GETTEXTLENGTHEX how{GTL_NUMCHARS, 1200};
        const auto shown = static_cast<std::int64_t>(
            SendMessage(view, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&how), 0));
        waiting = std::max(waiting, static_cast<std::int64_t>(listener_->PostedRecords()) - shown);
    });
    tick.start(10);
    const auto run = RunFeed({"--socket", path_}, input, 300s);
    tick.stop();
    const qint64 total = clock.elapsed();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::printf("[ figures  ] %zu bytes fed in %lld ms; longest gap of a 10 ms timer %lld ms; "
                "at most %lld records waiting for the view\n",
                input.size(), static_cast<long long>(total), static_cast<long long>(longest),
                static_cast<long long>(waiting));
    RecordProperty("longest_timer_gap_ms", static_cast<int>(longest));
    EXPECT_LT(longest, 500);
    EXPECT_GT(waiting, 0);
    EXPECT_LE(waiting, static_cast<std::int64_t>(feedsocket::FeedListener::SliceRecords));
    // Paragraphs, not laid-out lines: the shown window wraps these.
    const std::u16string text = Text();
    ASSERT_EQ(text.size(), input.size());
    EXPECT_EQ(std::count(text.begin(), text.end(), u'\r'), lineCount);
    EXPECT_TRUE(std::equal(text.begin(), text.end(), input.begin(),
                           [](char16_t a, char b) { return a == char16_t(b); }));
}

TEST_F(FeedSocketTest, BadRecordsAreRefusedAndTheViewKeepsItsText) {
    ASSERT_TRUE(listener_->Listen(path_)) << listener_->ErrorText();
    form_->KelvorEdit201->Lines()->Add("kept");
    struct Case {
        const char* what;
        std::string bytes;
        FeedStatus status;
        std::uint64_t count;
        std::u16string added;
    };
    const std::vector<Case> cases = {
        // A pointer-carrying message from another process, after two good characters.
        {"WM_SETTEXT", Hello() + Chars("ab") + Records({{WM_SETTEXT, 0, 0x1000}}) + Chars("c"),
         FeedStatus::MessageRefused, 2, u"ab"},
        {"feed message + 1", Hello() + Records({{WM_FEEDCHAR + 1, 'x', 0}}),
         FeedStatus::MessageRefused, 0, u""},
        {"flags", Hello() + Chars("d") + Records({{WM_FEEDCHAR, 'e', 0, 1}}),
         FeedStatus::MalformedRecord, 1, u"d"},
        {"not the protocol", "GET / HTTP/1.0\r\n\r\n", FeedStatus::BadHello, 0, u""},
        {"version 2", Hello(2) + Chars("f"), FeedStatus::UnsupportedVersion, 0, u""},
        {"oversized records", Hello(1, 64) + std::string(64, 'g'), FeedStatus::BadRecordSize, 0,
         u""},
        {"undersized records", Hello(1, 4) + "hhhh", FeedStatus::BadRecordSize, 0, u""},
        {"cut record", Hello() + Chars("ij") + std::string(7, '\x01'), FeedStatus::TruncatedRecord,
         2, u"ij"},
        {"cut hello", Hello().substr(0, 5), FeedStatus::TruncatedRecord, 0, u""},
    };
    std::u16string expected = Text();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto reply = Exchange(c.bytes);
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(reply->status, static_cast<std::uint32_t>(c.status));
        EXPECT_EQ(reply->count, c.count);
        testsupport::PumpPending(); // anything wrongly posted would land now
        expected += c.added;
        EXPECT_EQ(Text(), expected);
    }
    EXPECT_EQ(listener_->RefusedConnections(), cases.size());
    EXPECT_EQ(listener_->RefusedPeers(), 0u);
    EXPECT_EQ(log_.size(), cases.size());
    EXPECT_EQ(listener_->ConnectionCount(), 0u);
    // The monitor goes on serving.
    const auto run = RunFeed({"--socket", path_}, "ok");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Text(), expected + u"ok");
}

// Feeding programs beyond the limit are told so; those already in are served to their end.
TEST_F(FeedSocketTest, OneProgramTooManyIsToldTheMonitorIsBusy) {
    ASSERT_TRUE(listener_->Listen(path_)) << listener_->ErrorText();
    std::vector<std::unique_ptr<RawClient>> clients;
    for (std::size_t i = 0; i < feedsocket::FeedListener::MaxConnections; ++i) {
        clients.push_back(std::make_unique<RawClient>(path_));
        ASSERT_TRUE(clients.back()->Send(Hello() + Chars(std::string(1, char('a' + i))), false));
    }
    ASSERT_TRUE(testsupport::PumpUntil(
        [&] { return listener_->ConnectionCount() == feedsocket::FeedListener::MaxConnections; }));
    const auto busy = Exchange(Hello() + Chars("z"));
    ASSERT_TRUE(busy.has_value());
    EXPECT_EQ(busy->status, static_cast<std::uint32_t>(FeedStatus::Busy));
    for (auto& client : clients) {
        ASSERT_TRUE(client->Send("", true));
        const auto reply = client->AwaitReply();
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(reply->status, 0u);
        EXPECT_EQ(reply->count, 1u);
    }
    EXPECT_EQ(Text(), u"abcdefgh");
}

// When the view's window is gone, a feed is refused instead of confirmed; kelvor-feed, still
// writing a large input, reads the refusal and says so.
TEST_F(FeedSocketTest, AFeedAfterTheViewClosedIsRefused) {
    ASSERT_TRUE(listener_->Listen(path_)) << listener_->ErrorText();
    MessageDlgScriptedAnswer = [](const std::string&, TMsgDlgButtons) { return mrNo; };
    form_.reset();
    const auto run = RunFeed({"--socket", path_}, std::string(4 << 20, 'x'));
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("refused the feed after 0 characters: the monitor's view is closed"),
              std::string::npos)
        << run.err;
}

TEST_F(FeedSocketTest, TheCommandSaysWhenNoMonitorListens) {
    auto run = RunFeed({"--socket", folder_ + "/none"}, "x");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("no monitor is listening at " + folder_ + "/none"), std::string::npos)
        << run.err;
    run = RunFeed({"--bogus"}, "");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("unknown argument '--bogus'"), std::string::npos) << run.err;
    run = RunFeed({"--socket"}, "");
    EXPECT_EQ(run.exitCode, 1);
    run = RunFeed({"--help"}, "");
    EXPECT_EQ(run.exitCode, 0);
}

// Another user is kept out by the folder's permissions and, should those be opened up, by the
// peer's user id. Needs root to act as another user; the check itself is tested below anyway.
TEST_F(FeedSocketTest, AnotherUsersProgramIsRefused) {
    if (geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    ASSERT_TRUE(listener_->Listen(path_)) << listener_->ErrorText();
    form_->KelvorEdit201->Lines()->Add("mine");
    const std::u16string before = Text();
    const std::string intrusion = Hello() + Chars("intruder");
    auto asNobody = [&] { return feedtest::ExchangeAsUser(path_, 65534, intrusion); };
    EXPECT_EQ(asNobody(), 100);
    EXPECT_EQ(listener_->RefusedPeers(), 0u);

    // Opened up by mistake: the user id check still refuses, counts and logs it.
    ASSERT_EQ(::chmod(temp_.path().toLocal8Bit().constData(), 0711), 0);
    ASSERT_EQ(::chmod(folder_.c_str(), 0711), 0);
    ASSERT_EQ(::chmod(path_.c_str(), 0666), 0);
    EXPECT_EQ(asNobody(), static_cast<int>(FeedStatus::NotPermitted));
    EXPECT_EQ(listener_->RefusedPeers(), 1u);
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_NE(log_[0].find("user id 65534"), std::string::npos) << log_[0];
    testsupport::PumpPending();
    EXPECT_EQ(Text(), before);
}

TEST(FeedPeers, OnlyTheOwnUserIdIsAllowed) {
    EXPECT_EQ(feedtest::PeerUidOfOwnSocketPair(), geteuid());
    EXPECT_FALSE(feedsocket::PeerUid(-1).has_value());
    EXPECT_TRUE(feedsocket::PeerAllowed(1000, 1000));
    EXPECT_FALSE(feedsocket::PeerAllowed(1001, 1000));
    // Root is no exception: it may feed only a monitor that runs as root.
    EXPECT_FALSE(feedsocket::PeerAllowed(0, 1000));
    EXPECT_FALSE(feedsocket::PeerAllowed(1000, 0));
}

TEST_F(FeedSocketTest, APathHasOneLiveOwnerAndAStaleSocketIsReplaced) {
    // A dead monitor's socket: bound, never removed.
    ASSERT_EQ(feedsocket::PrepareFolder(folder_), "");
    ASSERT_TRUE(feedtest::LeaveAbandonedSocket(path_));
    ASSERT_TRUE(listener_->Listen(path_)) << listener_->ErrorText();
    struct stat mine {};
    ASSERT_EQ(::lstat(path_.c_str(), &mine), 0);

    // A second monitor does not take a live one's socket.
    auto second = MakeListener();
    EXPECT_FALSE(second->Listen(path_));
    EXPECT_NE(second->ErrorText().find("in use by another monitor"), std::string::npos)
        << second->ErrorText();
    second.reset();
    struct stat still {};
    ASSERT_EQ(::lstat(path_.c_str(), &still), 0);
    EXPECT_EQ(still.st_ino, mine.st_ino);
    auto run = RunFeed({"--socket", path_}, "live");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Text(), u"live");

    // Its owner removes it on the way out; then the path is free again.
    listener_.reset();
    EXPECT_EQ(ModeOf(path_), 0u);
    second = MakeListener();
    EXPECT_TRUE(second->Listen(path_)) << second->ErrorText();
    second.reset();

    // Something that is not a socket is nobody's to delete.
    {
        std::FILE* f = std::fopen(path_.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    second = MakeListener();
    EXPECT_FALSE(second->Listen(path_));
    EXPECT_NE(second->ErrorText().find("is not a socket"), std::string::npos);
    EXPECT_TRUE(S_ISREG(ModeOf(path_)));
}

class FeedFolderTest : public ::testing::Test {
protected:
    QTemporaryDir temp_;
    std::string Path(const char* name) { return temp_.path().toStdString() + "/" + name; }
};

TEST_F(FeedFolderTest, OnlyAPrivateFolderOfOurOwnIsUsed) {
    ASSERT_TRUE(temp_.isValid());
    // Created owner-only even under a permissive umask.
    const mode_t old = ::umask(0);
    EXPECT_EQ(feedsocket::PrepareFolder(Path("fresh")), "");
    ::umask(old);
    EXPECT_EQ(ModeOf(Path("fresh")) & 07777, 0700u);
    EXPECT_EQ(feedsocket::PrepareFolder(Path("fresh")), ""); // and again, as it is

    ASSERT_EQ(::mkdir(Path("open").c_str(), 0700), 0);
    ASSERT_EQ(::chmod(Path("open").c_str(), 0755), 0);
    EXPECT_NE(feedsocket::PrepareFolder(Path("open")).find("has permissions 0755"),
              std::string::npos);

    ASSERT_EQ(::symlink(Path("fresh").c_str(), Path("link").c_str()), 0);
    EXPECT_NE(feedsocket::PrepareFolder(Path("link")).find("symbolic link"), std::string::npos);

    std::fclose(std::fopen(Path("file").c_str(), "w"));
    EXPECT_NE(feedsocket::PrepareFolder(Path("file")).find("is not a folder"), std::string::npos);

    // A parent anyone may write to, without the sticky bit, lets others swap the folder.
    ASSERT_EQ(::mkdir(Path("shared").c_str(), 0700), 0);
    ASSERT_EQ(::chmod(Path("shared").c_str(), 0777), 0);
    EXPECT_NE(feedsocket::PrepareFolder(Path("shared") + "/run").find("not sticky"),
              std::string::npos);
    ASSERT_EQ(::chmod(Path("shared").c_str(), 01777), 0);
    EXPECT_EQ(feedsocket::PrepareFolder(Path("shared") + "/run"), "");

    if (geteuid() == 0) {
        ASSERT_EQ(::mkdir(Path("theirs").c_str(), 0700), 0);
        ASSERT_EQ(::chown(Path("theirs").c_str(), 65534, 65534), 0);
        EXPECT_NE(feedsocket::PrepareFolder(Path("theirs")).find("belongs to user id 65534"),
                  std::string::npos);
    }
}

TEST(FeedDefaultPath, TheRuntimeFolderOrAPrivateFallback) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string keep = saved ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
    EXPECT_EQ(feedsocket::DefaultSocketPath(), "/run/user/4242/kelvor-monitor/feed");
    const std::string fallback = "/tmp/kelvor-monitor-" + std::to_string(geteuid());
    ::setenv("XDG_RUNTIME_DIR", "relative/dir", 1);
    EXPECT_EQ(feedsocket::DefaultFolder(), fallback);
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(feedsocket::DefaultSocketPath(), fallback + "/feed");
    if (saved)
        ::setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
}

} // namespace
