// The monitor end to end: the main window from its form data, connecting to a station on
// 127.0.0.1, a bit line per read event, the connection lines and the status strip, and saving.
// Nothing here connects anywhere but 127.0.0.1; the form's own default address is only read.

#include "app/Main.h"
#include "framework/Application.h"
#include "tests/platform/winsock/LoopbackPeer.h"
#include "tests/support/Files.h"
#include "tests/support/LibreOffice.h"
#include "tests/support/Pump.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace {

using namespace std::chrono_literals;

class MonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        app_.Initialize();
        app_.OnException = [this](TObject*, const std::exception& e) {
            shown_.push_back(e.what());
        };
        form_ = std::make_unique<TForm1>(nullptr);
        form_->HandleNeeded();
    }
    void TearDown() override {
        MessageDlgScriptedAnswer = [](const std::string&, TMsgDlgButtons) { return mrNo; };
        form_.reset();
        MessageDlgScriptedAnswer = nullptr;
        TCommonDialog::ScriptedAnswer = nullptr;
    }

    TMyStrings* Lines() { return form_->KelvorEdit201->Lines(); }
    std::vector<std::string> AllLines() {
        std::vector<std::string> lines;
        for (int i = 0; i < Lines()->Count(); ++i) {
            lines.push_back(Lines()->Get(i));
        }
        return lines;
    }
    // Points the boxes at the server and presses the button.
    void ConnectTo(std::uint16_t port) {
        form_->IPAddr->SetText("127.0.0.1");
        form_->IPPort->SetText(std::to_string(port));
        form_->Button1->Click();
    }
    bool Green() { return form_->Label7->Color() == TColor(32768); }
    bool Red() { return form_->Label7->Color() == TColor(255); }

    TApplication app_;
    std::vector<std::string> shown_;
    std::unique_ptr<TForm1> form_;
};

TEST(BitLines, EachByteIsEightBitsMostSignificantFirst) {
    const std::uint8_t bytes[] = {0x41, 0x00, 0xFF, 0x80, 0x01, 0x0D, 0x0A};
    EXPECT_EQ(BitLine(bytes, 3), "010000010000000011111111");
    EXPECT_EQ(BitLine(bytes + 3, 1), "10000000");
    EXPECT_EQ(BitLine(bytes + 4, 1), "00000001");
    EXPECT_EQ(BitLine(bytes + 5, 2), "0000110100001010");
    EXPECT_EQ(BitLine(bytes, 0), "");
    EXPECT_EQ(BitLine(bytes, -1), "");
}

TEST_F(MonitorTest, TheWindowStartsRedWithTheButtonShown) {
    EXPECT_TRUE(Red());
    EXPECT_TRUE(form_->Button1->Visible());
    EXPECT_EQ(form_->Label7->Caption(), "");
    EXPECT_EQ(form_->ClientSocket1->Port(), 1236); // from the box, not the stored 1234
    EXPECT_EQ(form_->ClientSocket1->Address(), form_->IPAddr->Text());
    EXPECT_FALSE(form_->ClientSocket1->Active());
    EXPECT_EQ(form_->Caption(), "Bitstream output view.");
    EXPECT_EQ(form_->KelvorEdit201->Color(), clSilver);
    EXPECT_TRUE(form_->KelvorEdit201->ShowSelectionBar());
    EXPECT_EQ(form_->KelvorEdit201->Language(), 1043);
    EXPECT_TRUE(form_->SaveDialog1->Options().Contains(ofOverwritePrompt));
    EXPECT_EQ(Lines()->Count(), 0);
}

// Tab goes address, port, button, view; in the view it is a character. Enter is not.
TEST_F(MonitorTest, TabOrderAndTabsInTheView) {
    form_->Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_->Widget()));
    form_->IPAddr->SetFocus();
    testsupport::PumpPending(std::chrono::milliseconds(20));
    const auto focused = [] { return QApplication::focusWidget(); };
    ASSERT_EQ(focused(), form_->IPAddr->Widget());
    QTest::keyClick(focused(), Qt::Key_Tab);
    EXPECT_EQ(focused(), form_->IPPort->Widget());
    QTest::keyClick(focused(), Qt::Key_Tab);
    EXPECT_EQ(focused(), form_->Button1->Widget());
    QTest::keyClick(focused(), Qt::Key_Tab);
    ASSERT_EQ(focused(), form_->KelvorEdit201->Widget());
    QTest::keyClick(focused(), Qt::Key_Tab);
    QTest::keyClick(focused(), Qt::Key_Return); // WantReturns is off
    EXPECT_EQ(focused(), form_->KelvorEdit201->Widget());
    EXPECT_EQ(form_->KelvorEdit201->WideText(), u"\t");
}

// Anchors: the view grows both ways, the bevel in width, the strip keeps to the bottom.
TEST_F(MonitorTest, ALargerWindowGrowsTheViewAndKeepsTheStripAtTheBottom) {
    const int width = form_->ClientWidth();
    const int height = form_->ClientHeight();
    const int viewW = form_->KelvorEdit201->Width();
    const int viewH = form_->KelvorEdit201->Height();
    const int bevelH = form_->Bevel4->Height();
    const int stripBottomGap = height - form_->Label7->Top();
    const int buttonLeft = form_->Button1->Left();
    form_->SetBounds(form_->Left(), form_->Top(), form_->Width() + 100, form_->Height() + 60);
    testsupport::PumpPending(std::chrono::milliseconds(20));
    EXPECT_EQ(form_->ClientWidth(), width + 100);
    EXPECT_EQ(form_->KelvorEdit201->Width(), viewW + 100);
    EXPECT_EQ(form_->KelvorEdit201->Height(), viewH + 60);
    EXPECT_EQ(form_->Bevel4->Height(), bevelH);
    EXPECT_EQ(form_->ClientHeight() - form_->Label7->Top(), stripBottomGap);
    EXPECT_EQ(form_->Button1->Left(), buttonLeft);
}

TEST_F(MonitorTest, ATypicalRun) {
    // Lines are display lines; without wrapping each is one paragraph, one read event.
    SendMessage(form_->KelvorEdit201->Handle(), EM_SETTARGETDEVICE, 0, 1);
    loopback::Server station;
    ConnectTo(station.Port());
    ASSERT_TRUE(station.Accept());
    ASSERT_TRUE(testsupport::PumpUntil([&] { return Green(); }));
    EXPECT_FALSE(form_->Button1->Visible());
    const std::string connected = "Connected to 127.0.0.1 / " + std::to_string(station.Port());
    EXPECT_EQ(AllLines(), std::vector<std::string>{connected});

    // Blocks arrive; every line is the bits of what one read event received, in order.
    std::string sent;
    for (int block = 0; block < 20; ++block) {
        std::string bytes;
        for (int i = 0; i < 100 + block; ++i) {
            bytes.push_back(char((block * 31 + i * 7) & 0xFF));
        }
        ASSERT_TRUE(station.Send(bytes));
        sent += bytes;
        testsupport::PumpPending(5ms);
    }
    // An oracle of its own: coreutils' basenc writes the same bits, most significant first.
    const auto bitsOf = [](const std::string& bytes) {
        QProcess basenc;
        basenc.start("basenc", {"--base2msbf", "-w0"});
        basenc.write(bytes.data(), qint64(bytes.size()));
        basenc.closeWriteChannel();
        basenc.waitForFinished(10000);
        return basenc.readAllStandardOutput().toStdString();
    };
    ASSERT_TRUE(testsupport::PumpUntil([&] {
        std::string all;
        for (int i = 1; i < Lines()->Count(); ++i) {
            all += Lines()->Get(i);
        }
        return all.size() >= sent.size() * 8;
    }));
    std::string shownBits;
    for (int i = 1; i < Lines()->Count(); ++i) {
        const std::string line = Lines()->Get(i);
        EXPECT_EQ(line.size() % 8, 0u);
        shownBits += line;
    }
    EXPECT_EQ(shownBits, bitsOf(sent));

    station.CloseOrderly();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return Red(); }));
    EXPECT_TRUE(form_->Button1->Visible());
    const auto lines = AllLines();
    ASSERT_GE(lines.size(), 3u);
    const std::string station_ = "127.0.0.1 / " + std::to_string(station.Port());
    EXPECT_EQ(lines[lines.size() - 3], "Server at " + station_ + " disconnected");
    EXPECT_EQ(lines[lines.size() - 2], std::string(51, '*'));
    EXPECT_EQ(lines[lines.size() - 1], "");
    EXPECT_TRUE(shown_.empty());
}

TEST_F(MonitorTest, ARefusedPortGivesTheSixLinesInOrder) {
    const std::uint16_t port = loopback::UnusedPort();
    ConnectTo(port);
    const std::string station = "127.0.0.1 / " + std::to_string(port);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return Lines()->Count() >= 6; }));
    EXPECT_EQ(AllLines(), (std::vector<std::string>{
                              "Lost connection to server at " + station, std::string(51, '*'), "",
                              "Server at " + station + " disconnected", std::string(51, '*'), ""}));
    EXPECT_TRUE(Red());
    EXPECT_TRUE(form_->Button1->Visible());
    EXPECT_TRUE(shown_.empty());
}

TEST_F(MonitorTest, AResetMidStreamClosesTheConnection) {
    loopback::Server station;
    ConnectTo(station.Port());
    ASSERT_TRUE(station.Accept());
    ASSERT_TRUE(testsupport::PumpUntil([&] { return Green(); }));
    ASSERT_TRUE(station.Send("\x01\x02"));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return Lines()->Count() >= 2; }));
    station.Reset();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return Red(); }));
    EXPECT_TRUE(form_->Button1->Visible());
    const auto lines = AllLines();
    EXPECT_EQ(lines[lines.size() - 3],
              "Server at 127.0.0.1 / " + std::to_string(station.Port()) + " disconnected");
    EXPECT_TRUE(shown_.empty());
    // And the operator can connect again.
    ConnectTo(station.Port());
    ASSERT_TRUE(station.Accept());
    EXPECT_TRUE(testsupport::PumpUntil([&] { return Green(); }));
}

// A station that accepts and resets at once: the connection stood, so the operator sees it
// connected once and then disconnected, with a red strip.
TEST_F(MonitorTest, AResetRightAfterAcceptShowsConnectedThenDisconnected) {
    loopback::Server station;
    ConnectTo(station.Port());
    ASSERT_TRUE(station.Accept());
    station.Reset();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return Lines()->Count() >= 4 && Red(); }));
    const std::string at = "127.0.0.1 / " + std::to_string(station.Port());
    EXPECT_EQ(AllLines(),
              (std::vector<std::string>{"Connected to " + at, "Server at " + at + " disconnected",
                                        std::string(51, '*'), ""}));
    EXPECT_TRUE(form_->Button1->Visible());
    EXPECT_TRUE(shown_.empty());
}

// A short capture as the operator sees it. With KELVOR_MONITOR_SHOT set to a file name the
// window is saved there as a picture (scripts/screenshot-monitor.sh runs this under Xvfb).
TEST_F(MonitorTest, AShortCaptureOnScreen) {
    form_->Show();
    loopback::Server station;
    ConnectTo(station.Port());
    ASSERT_TRUE(station.Accept());
    ASSERT_TRUE(testsupport::PumpUntil([&] { return Green(); }));
    int sentBlocks = 0;
    for (int block = 0; block < 12; ++block) {
        std::string bytes;
        for (int i = 0; i < 3 + (block * 5) % 13; ++i) {
            bytes.push_back(char(block * 17 + i * 29));
        }
        ASSERT_TRUE(station.Send(bytes));
        ++sentBlocks;
        // One read event per block: wait for its line before sending the next.
        ASSERT_TRUE(testsupport::PumpUntil([&] { return Lines()->Count() > sentBlocks; }));
    }
    testsupport::PumpPending(std::chrono::milliseconds(100));
    EXPECT_TRUE(Green());
    if (const char* shot = std::getenv("KELVOR_MONITOR_SHOT")) {
        ASSERT_TRUE(form_->Widget()->window()->grab().save(shot));
    }
}

// Every byte of a 5 MB transfer arrives, in order: the bit lines decode back to the bytes.
TEST_F(MonitorTest, FiveMegabytesArriveWholeAndInOrder) {
    SendMessage(form_->KelvorEdit201->Handle(), EM_SETTARGETDEVICE, 0, 1); // a line per read
    loopback::Server station;
    ConnectTo(station.Port());
    ASSERT_TRUE(station.Accept());
    ASSERT_TRUE(testsupport::PumpUntil([&] { return Green(); }));
    std::vector<std::uint8_t> bytes(5 * 1000 * 1000);
    std::uint32_t v = 12345;
    for (auto& b : bytes) {
        v = v * 1664525u + 1013904223u;
        b = std::uint8_t(v >> 24);
    }
    station.Queue(bytes);
    std::size_t received = 0;
    int lines = 1; // the connected line
    ASSERT_TRUE(testsupport::PumpUntil(
        [&] {
            station.SendSome();
            for (; lines < Lines()->Count(); ++lines) {
                received += Lines()->Get(lines).size() / 8;
            }
            return received >= bytes.size();
        },
        std::chrono::seconds(60)));
    std::string bits;
    for (int i = 1; i < Lines()->Count(); ++i) {
        const std::string line = Lines()->Get(i);
        ASSERT_LE(line.size(), 16384u) << "at most 2048 bytes a read event";
        bits += line;
    }
    ASSERT_EQ(bits.size(), bytes.size() * 8);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::uint8_t b = 0;
        for (int k = 0; k < 8; ++k) {
            b = std::uint8_t(b << 1 | (bits[i * 8 + std::size_t(k)] == '1'));
        }
        ASSERT_EQ(b, bytes[i]) << "byte " << i;
    }
}

// Closing the window while connected says goodbye in the view and closes the connection.
TEST_F(MonitorTest, ClosingWhileConnectedDisconnects) {
    loopback::Server station;
    ConnectTo(station.Port());
    ASSERT_TRUE(station.Accept());
    ASSERT_TRUE(testsupport::PumpUntil([&] { return Green(); }));
    TCloseAction action = caFree;
    form_->OnClose(form_.get(), action);
    EXPECT_FALSE(form_->ClientSocket1->Active());
    EXPECT_TRUE(Red());
    EXPECT_EQ(Lines()->Get(Lines()->Count() - 3),
              "Server at 127.0.0.1 / " + std::to_string(station.Port()) + " disconnected");
    EXPECT_TRUE(station.WaitForEndOfStream());
}

TEST_F(MonitorTest, BadBoxesAreReportedAndChangeNothingElse) {
    form_->IPAddr->SetText("127.0.0.1");
    form_->IPPort->SetText("12x4");
    RunGuarded([&] { form_->Button1->Click(); });
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0], "'12x4' is not a valid integer value");
    EXPECT_EQ(form_->ClientSocket1->Port(), 1236);
    EXPECT_FALSE(form_->ClientSocket1->Active());
    EXPECT_TRUE(Red());
    EXPECT_EQ(Lines()->Count(), 0);

    shown_.clear();
    form_->IPAddr->SetText("");
    form_->IPPort->SetText("1236");
    RunGuarded([&] { form_->Button1->Click(); });
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0], "No address specified");
    EXPECT_EQ(AllLines(), (std::vector<std::string>{"Server at  / 1236 disconnected",
                                                    std::string(51, '*'), ""}));
    EXPECT_TRUE(Red());
}

TEST_F(MonitorTest, SavingWritesRtfAndEmptiesTheView) {
    QTemporaryDir dir;
    Lines()->Add("0101");
    Lines()->Add("1111");
    const std::string path = QDir(dir.path()).filePath("capture.txt").toStdString();
    std::string proposed;
    TCommonDialog::ScriptedAnswer = [&](TCommonDialog& dialog) {
        auto& save = static_cast<TSaveDialog&>(dialog);
        proposed = save.FileName();
        save.SetFileName(path);
        return true;
    };
    form_->SaveBitStream1->Click();
    EXPECT_EQ(proposed, "stream file .txt");
    EXPECT_EQ(Lines()->Count(), 0);
    const std::string content = testsupport::ReadFile(path);
    EXPECT_EQ(content.rfind("{\\rtf", 0), 0u);
    EXPECT_NE(content.find("0101"), std::string::npos);

    // A missing folder: the error is shown and the view keeps its content.
    Lines()->Add("kept");
    const std::string missing = QDir(dir.path()).filePath("no/such/dir/x.txt").toStdString();
    TCommonDialog::ScriptedAnswer = [&](TCommonDialog& dialog) {
        static_cast<TSaveDialog&>(dialog).SetFileName(missing);
        return true;
    };
    RunGuarded([&] { form_->SaveBitStream1->Click(); });
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].rfind("Cannot create file", 0), 0u) << shown_[0];
    EXPECT_EQ(Lines()->Count(), 1);

    // Cancelling writes nothing and keeps the view.
    TCommonDialog::ScriptedAnswer = [](TCommonDialog&) { return false; };
    form_->SaveBitStream1->Click();
    EXPECT_EQ(Lines()->Count(), 1);
}

// A long save shows its progress in the strip while it runs, and the strip is empty again
// afterwards. (Here every save counts as long.)
TEST_F(MonitorTest, ALongSaveShowsItsProgress) {
    const std::string bits(16384, '1');
    for (int i = 0; i < 200; ++i) {
        Lines()->Add(bits);
    }
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("big.txt").toStdString();
    TCommonDialog::ScriptedAnswer = [&](TCommonDialog& dialog) {
        static_cast<TSaveDialog&>(dialog).SetFileName(path);
        return true;
    };
    form_->SaveProgressDelay = std::chrono::milliseconds(0);
    std::vector<std::string> shown;
    form_->KelvorEdit201->OnSaveProgress = [&](TObject*, int, int) {
        shown.push_back(form_->Label7->Caption());
    };
    form_->SaveBitStream1->Click();
    ASSERT_GT(shown.size(), 10u); // 3 MB in chunks
    EXPECT_EQ(shown.front().rfind("Saving the bit stream: ", 0), 0u) << shown.front();
    EXPECT_NE(shown.back(), shown.front()); // it moves on
    EXPECT_EQ(form_->Label7->Caption(), "");
    EXPECT_EQ(Lines()->Count(), 0);
    EXPECT_TRUE(form_->KelvorEdit201->OnSaveProgress); // the operator's handler is back
}

// Saving while the station keeps sending loses nothing: what the file holds and what the view
// shows afterwards are, together, every byte in order. LibreOffice reads the file too.
TEST_F(MonitorTest, SavingWhileDataArrivesLosesNoLine) {
    SendMessage(form_->KelvorEdit201->Handle(), EM_SETTARGETDEVICE, 0, 1); // a line per read
    loopback::Server station;
    ConnectTo(station.Port());
    ASSERT_TRUE(station.Accept());
    ASSERT_TRUE(testsupport::PumpUntil([&] { return Green(); }));
    std::vector<std::uint8_t> bytes(400 * 1000);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = std::uint8_t(i * 131 + i / 251);
    }
    station.Queue(bytes);
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("stream file .txt").toStdString();
    TCommonDialog::ScriptedAnswer = [&](TCommonDialog& dialog) {
        static_cast<TSaveDialog&>(dialog).SetFileName(path);
        return true;
    };
    const auto bitsShown = [&](TMyStrings* lines, int from) {
        std::string bits;
        for (int i = from; i < lines->Count(); ++i) {
            const std::string line = lines->Get(i);
            if (line.find_first_not_of("01") == std::string::npos) {
                bits += line;
            }
        }
        return bits;
    };
    bool saved = false;
    ASSERT_TRUE(testsupport::PumpUntil(
        [&] {
            const bool allSent = station.SendSome();
            if (!saved && bitsShown(Lines(), 0).size() > bytes.size() * 4) {
                form_->SaveBitStream1->Click(); // about half way, while more keeps coming
                saved = true;
            }
            return allSent && saved;
        },
        std::chrono::seconds(60)));
    // The saved file, read back by the control itself.
    TForm holder(nullptr);
    auto* reader = new TRichEdit20(&holder);
    reader->SetParent(&holder);
    reader->HandleNeeded();
    SendMessage(reader->Handle(), EM_SETTARGETDEVICE, 0, 1);
    reader->Lines()->LoadFromFile(path);
    const std::string inFile = bitsShown(reader->Lines(), 0);
    ASSERT_TRUE(testsupport::PumpUntil(
        [&] { return inFile.size() + bitsShown(Lines(), 0).size() >= bytes.size() * 8; }));
    const std::string all = inFile + bitsShown(Lines(), 0);
    ASSERT_EQ(all.size(), bytes.size() * 8);
    EXPECT_EQ(all, BitLine(bytes.data(), int(bytes.size())));
    EXPECT_GT(inFile.size(), 0u);

    KELVOR_REQUIRE_LIBREOFFICE();
    std::string expected;
    for (int i = 0; i < reader->Lines()->Count(); ++i) {
        expected += reader->Lines()->Get(i) + "\n";
    }
    EXPECT_EQ(testsupport::LibreOfficeText(path), expected + "\n");
}

TEST_F(MonitorTest, ClosingWithContentAsksFirst) {
    Lines()->Add("unsaved");
    std::string asked;
    MessageDlgScriptedAnswer = [&](const std::string& question, TMsgDlgButtons) {
        asked = question;
        return mrCancel;
    };
    bool canClose = true;
    form_->OnCloseQuery(form_.get(), canClose);
    EXPECT_FALSE(canClose);
    EXPECT_FALSE(asked.empty());
    EXPECT_EQ(Lines()->Count(), 1);

    MessageDlgScriptedAnswer = [](const std::string&, TMsgDlgButtons) { return mrNo; };
    canClose = true;
    form_->OnCloseQuery(form_.get(), canClose);
    EXPECT_TRUE(canClose);

    // Save: closes only when the save went through.
    MessageDlgScriptedAnswer = [](const std::string&, TMsgDlgButtons) { return mrYes; };
    TCommonDialog::ScriptedAnswer = [](TCommonDialog&) { return false; };
    canClose = true;
    form_->OnCloseQuery(form_.get(), canClose);
    EXPECT_FALSE(canClose);

    // An empty view closes without a question.
    Lines()->Clear();
    asked.clear();
    MessageDlgScriptedAnswer = [&](const std::string& question, TMsgDlgButtons) {
        asked = question;
        return mrCancel;
    };
    canClose = true;
    form_->OnCloseQuery(form_.get(), canClose);
    EXPECT_TRUE(canClose);
    EXPECT_TRUE(asked.empty());
}

} // namespace
