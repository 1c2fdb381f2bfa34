#pragma once
// A client socket component whose handlers write what happened into one log, with an
// application object that records the exceptions its central handler would show.

#include "framework/Application.h"
#include "net/ScktComp.h"
#include "tests/support/Pump.h"

#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class SocketFixture : public ::testing::Test {
protected:
    SocketFixture() {
        app.Initialize();
        app.OnException = [this](TObject*, const std::exception& e) {
            shown.push_back(e.what());
            log.push_back("shown");
        };
        client = std::make_unique<TClientSocket>(nullptr);
        client->OnLookup = Logger("lookup");
        client->OnConnecting = Logger("connecting");
        client->OnConnect = [this](TObject* Sender, TCustomWinSocket* Socket) {
            EXPECT_EQ(Sender, client.get());
            EXPECT_EQ(Socket, client->WinSocket());
            EXPECT_TRUE(client->Active());
            log.push_back("connect");
        };
        client->OnDisconnect = [this](TObject*, TCustomWinSocket* Socket) {
            EXPECT_FALSE(client->Active());
            // The owner hears of the close while the socket is still there.
            EXPECT_NE(Socket->SocketHandle(), INVALID_SOCKET);
            log.push_back("disconnect");
        };
        client->OnRead = Logger("read");
        client->OnWrite = Logger("write");
    }

    TSocketNotifyEvent Logger(const std::string& name) {
        return [this, name](TObject*, TCustomWinSocket*) { log.push_back(name); };
    }
    // An error handler that logs and leaves ErrorCode as it finds it, or sets it to
    // replacement.
    void LogErrors(std::optional<int> replacement = std::nullopt) {
        client->OnError = [this, replacement](TObject*, TCustomWinSocket*, TErrorEvent ErrorEvent,
                                              int& ErrorCode) {
            log.push_back("error " + std::to_string(static_cast<int>(ErrorEvent)) + " " +
                          std::to_string(ErrorCode));
            if (replacement)
                ErrorCode = *replacement;
        };
    }
    bool Logged(const std::string& entry) const {
        for (const auto& e : log)
            if (e == entry)
                return true;
        return false;
    }
    bool WaitForLog(const std::string& entry) {
        return testsupport::PumpUntil([&] { return Logged(entry); });
    }
    void ConnectTo(std::uint16_t port) {
        client->SetAddress("127.0.0.1");
        client->SetPort(port);
        client->SetActive(true);
    }

    TApplication app;
    std::vector<std::string> log;
    std::vector<std::string> shown;
    std::unique_ptr<TClientSocket> client;
};
