// The component in form data: read with its handlers bound by name, connecting after load
// when the data says Active, and written back with the properties that are always stored.

#include "framework/FormReader.h"
#include "framework/FormWriter.h"
#include "tests/net/SocketFixture.h"
#include "tests/platform/winsock/LoopbackPeer.h"

#include <string>

namespace {

std::string FormWith(const std::string& socketProperties) {
    return R"({"class": "TComponent", "name": "Form1", "components": [
        {"class": "TClientSocket", "name": "ClientSocket1", "properties": {)" +
           socketProperties + "}}]}";
}

class FormData : public SocketFixture {
protected:
    FormData() {
        bindings.AddField("ClientSocket1", loaded);
        bindings.AddHandler<TSocketNotifyEvent>(
            "ClientSocket1Connect",
            [this](TObject*, TCustomWinSocket*) { log.push_back("connect"); });
        bindings.AddHandler<TSocketNotifyEvent>(
            "ClientSocket1Lookup",
            [this](TObject*, TCustomWinSocket*) { log.push_back("lookup"); });
        bindings.AddHandler<TSocketErrorEvent>(
            "ClientSocket1Error", [this](TObject*, TCustomWinSocket*, TErrorEvent, int& ErrorCode) {
                log.push_back("error " + std::to_string(ErrorCode));
                ErrorCode = 0;
            });
    }

    TComponent form{nullptr};
    TClientSocket* loaded = nullptr;
    TFormBindings bindings;
};

TEST_F(FormData, ActiveTrueConnectsOnceTheFormIsLoaded) {
    loopback::Server server;
    ReadComponentData(&form,
                      FormWith(R"("Active": true, "Address": "127.0.0.1", "ClientType":
                      "ctNonBlocking", "Port": )" +
                               std::to_string(server.Port()) +
                               R"(, "OnLookup": "ClientSocket1Lookup", "OnConnect":
                      "ClientSocket1Connect", "OnError": "ClientSocket1Error")"),
                      &bindings);
    ASSERT_NE(loaded, nullptr);
    // Active came before Address and Port in the data, yet the attempt used both.
    EXPECT_EQ(log, (std::vector<std::string>{"lookup"}));
    ASSERT_TRUE(WaitForLog("connect"));
    EXPECT_TRUE(loaded->Active());
}

TEST_F(FormData, ActiveFalseDoesNothingAndIsWrittenBackWithTheOtherStoredValues) {
    ReadComponentData(&form, FormWith(R"("Active": false, "Address": "127.0.0.1", "ClientType":
                      "ctBlocking", "Port": 1236, "OnConnect": "ClientSocket1Connect")"),
                      &bindings);
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(loaded->WinSocket()->SocketHandle(), INVALID_SOCKET);
    EXPECT_EQ(loaded->ClientType(), ctBlocking);
    EXPECT_EQ(loaded->Port(), 1236);

    const std::string written = WriteComponentData(&form);
    for (const char* expected :
         {"\"Active\"", "\"Address\"", "\"ClientType\"", "\"ctBlocking\"", "\"Port\"", "1236"})
        EXPECT_NE(written.find(expected), std::string::npos) << expected << " in " << written;
    // Empty texts are not written.
    EXPECT_EQ(written.find("\"Host\""), std::string::npos) << written;
    EXPECT_EQ(written.find("\"Service\""), std::string::npos) << written;
}

} // namespace
