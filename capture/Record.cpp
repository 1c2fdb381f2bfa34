#include "capture/Record.h"

#include "app/Main.h"
#include "capture/Progress.h"
#include "capture/Recording.h"
#include "framework/Application.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace capture {

namespace {

// SIGINT and SIGTERM only write a byte here; the event loop reads it and ends the recording
// in order, outside the signal handler.
int stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const int saved = errno;
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe[1], &byte, 1);
    errno = saved;
}

class StopSignals {
public:
    StopSignals() {
        if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            throw RecordingError(std::string("pipe: ") + std::strerror(errno));
        struct sigaction sa {};
        sa.sa_handler = OnStopSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &sa, &FOldInt);
        ::sigaction(SIGTERM, &sa, &FOldTerm);
    }
    ~StopSignals() {
        ::sigaction(SIGINT, &FOldInt, nullptr);
        ::sigaction(SIGTERM, &FOldTerm, nullptr);
        ::close(stopPipe[0]);
        ::close(stopPipe[1]);
        stopPipe[0] = stopPipe[1] = -1;
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    int ReadEnd() const { return stopPipe[0]; }

private:
    struct sigaction FOldInt {
    }, FOldTerm{};
};

class Recorder {
public:
    Recorder(const RecordOptions& o, RecordingWriter& writer)
        : FOptions(o), FWriter(writer), FClient(std::make_unique<TClientSocket>(nullptr)) {
        FClient->OnConnect = [this](TObject*, TCustomWinSocket*) { Connected(); };
        FClient->OnRead = [this](TObject*, TCustomWinSocket* s) { Read(s); };
        FClient->OnDisconnect = [this](TObject*, TCustomWinSocket*) { Disconnected(); };
        FClient->OnError = [this](TObject*, TCustomWinSocket* s, TErrorEvent e, int& code) {
            Error(s, e, code);
        };
    }

    int Run(int stopFd) {
        QSocketNotifier stop(stopFd, QSocketNotifier::Read);
        QObject::connect(&stop, &QSocketNotifier::activated, [this, stopFd] {
            char sink[64];
            while (::read(stopFd, sink, sizeof sink) > 0) {
            }
            Stop();
        });
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [this] { Tick(); });
        tick.start(1000);
        FStarted = std::chrono::steady_clock::now();
        FLastTick = FStarted;
        FClient->SetAddress(FOptions.address);
        FClient->SetPort(FOptions.port);
        // Failures of the component (its exceptions) leave the event loop with a message.
        Application->OnException = [this](TObject*, const std::exception& e) { Fail(e.what()); };
        FClient->SetActive(true);
        if (!FEnded)
            FLoop.exec();
        return FExit;
    }

    bool EverConnected() const { return FEverConnected; }
    ProgressLine& Progress() { return FProgress; }
    std::chrono::steady_clock::time_point Started() const { return FStarted; }

private:
    std::string Station() const {
        return FClient->Address() + " / " + std::to_string(FClient->Port());
    }

    void Connected() {
        FEverConnected = true;
        FProgress.Message("Connected to " + Station());
    }

    void Read(TCustomWinSocket* socket) {
        const int count = socket->ReceiveBytes(ReceiveBuffer, ReceiveBufferSize);
        if (count <= 0)
            return; // nothing arrived: no event to index
        try {
            FWriter.Append(ReceiveBuffer, static_cast<std::size_t>(count), UtcMicrosNow());
        } catch (const RecordingError& e) {
            Fail(e.what());
        }
    }

    void Disconnected() {
        FProgress.Message("Server at " + Station() + " disconnected");
        End(FExit);
    }

    void Error(TCustomWinSocket* socket, TErrorEvent event, int& code) {
        if (event == TErrorEvent::errConnect) {
            FProgress.Message("Lost connection to server at " + Station());
            FExit = 1;
        } else if (event == TErrorEvent::errDisconnect) {
            // A reset: the bytes so far are kept, but the recording did not end in order.
            FProgress.Message("kelvor-capture: the station reset the connection: " +
                              SocketErrorText(code) + " (" + std::to_string(code) + ")");
            FExit = 1;
        } else {
            FProgress.Message("kelvor-capture: socket error: " + SocketErrorText(code) + " (" +
                              std::to_string(code) + ")");
            FExit = 1;
        }
        code = 0;
        socket->CloseConnection(); // the disconnect handler ends the loop
        End(FExit);
    }

    void Stop() {
        FClient->Deactivate(); // a connection says it disconnected; a pending attempt is dropped
        End(FExit);
    }

    void Fail(const std::string& message) {
        FProgress.Message("kelvor-capture: " + message);
        FExit = 1;
        FClient->Deactivate();
        End(FExit);
    }

    void End(int code) {
        FEnded = true;
        FLoop.exit(code);
    }

    void Tick() {
        const auto now = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(now - FLastTick).count();
        const std::uint64_t bytes = FWriter.TotalBytes();
        const double rate = seconds > 0 ? double(bytes - FLastBytes) / seconds : 0;
        FLastTick = now;
        FLastBytes = bytes;
        if (FEverConnected)
            FProgress.Show(FOptions.name + ": " + HumanBytes(double(bytes)) + ", " +
                               std::to_string(FWriter.EventCount()) + " blocks, " +
                               HumanBytes(rate) + "/s",
                           true);
        // What a crash could lose stays at about a second's worth.
        try {
            FWriter.Flush();
        } catch (const RecordingError& e) {
            Fail(e.what());
        }
    }

    const RecordOptions& FOptions;
    RecordingWriter& FWriter;
    std::unique_ptr<TClientSocket> FClient;
    QEventLoop FLoop;
    ProgressLine FProgress;
    int FExit = 0;
    bool FEnded = false;
    bool FEverConnected = false;
    std::chrono::steady_clock::time_point FStarted, FLastTick;
    std::uint64_t FLastBytes = 0;
};

} // namespace

int Record(const RecordOptions& options) {
    // The socket component needs the window layer, which needs a Qt platform; a recorder has
    // no use for a desktop.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplication application;
    application.Initialize();
    // Created before connecting: a name in use or a folder we cannot write to is reported
    // before any traffic.
    RecordingWriter writer(options.name, options.rotateBytes);
    StopSignals stopSignals;
    Recorder recorder(options, writer);
    int status = recorder.Run(stopSignals.ReadEnd());
    if (!recorder.EverConnected()) {
        writer.Discard(); // nothing was recorded; the name stays free for the next attempt
        return status;
    }
    try {
        writer.Close();
    } catch (const RecordingError& e) {
        recorder.Progress().Message(std::string("kelvor-capture: ") + e.what());
        status = 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - recorder.Started())
            .count();
    recorder.Progress().Message(
        options.name + ": " + std::to_string(writer.TotalBytes()) + " bytes in " +
        std::to_string(writer.EventCount()) + " blocks in " +
        std::to_string(static_cast<long long>(seconds * 1000)) + " ms (" +
        HumanBytes(seconds > 0 ? double(writer.TotalBytes()) / seconds : 0) + "/s)");
    return status;
}

} // namespace capture
