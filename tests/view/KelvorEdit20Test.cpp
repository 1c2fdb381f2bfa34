// The view's character feed: one character per WM_FEEDCHAR, from any sender, appended to the
// very end of the text; a time-stamp line before a CR when one is due.

#include "view/KelvorEdit20.h"

#include "framework/Exceptions.h"
#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "tests/support/Pump.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

class FeedTest : public ::testing::Test {
protected:
    void SetUp() override {
        form_ = std::make_unique<TForm>(nullptr);
        view_ = new TKelvorEdit20(form_.get());
        view_->SetParent(form_.get());
        view_->SetBounds(8, 44, 700, 170);
        view_->HandleNeeded();
    }
    void TearDown() override { form_.reset(); }

    void Feed(WPARAM c) { SendMessage(view_->Handle(), WM_FEEDCHAR, c, 0); }
    std::u16string Text() { return view_->WideText(); }

    std::unique_ptr<TForm> form_;
    TKelvorEdit20* view_ = nullptr;
};

TEST_F(FeedTest, CharactersBuildLinesAsATerminalShowsThem) {
    EXPECT_EQ(view_->FeedSetting(), 3);
    EXPECT_FALSE(view_->StampPending());
    for (WPARAM c : {WPARAM('A'), WPARAM('B'), WPARAM(13), WPARAM('C')}) {
        Feed(c);
    }
    EXPECT_EQ(Text(), u"AB\rC");
    EXPECT_EQ(view_->Lines()->Count(), 2);
    EXPECT_EQ(view_->Lines()->Get(1), "C");

    // Only the low 8 bits are the character; 0x010D is no CR (no stamp) but appends code 13.
    view_->SetStampPending(true);
    Feed(0x0141); // 'A'
    Feed(0x010D);
    EXPECT_TRUE(view_->StampPending());
    EXPECT_EQ(Text(), u"AB\rCA\r");
    // Code 0 inserts nothing; LF goes in as any character does.
    Feed(0);
    EXPECT_EQ(Text(), u"AB\rCA\r");
}

TEST_F(FeedTest, ACrWritesTheDueStampFirstAndOnlyOnce) {
    Feed('x');
    view_->SetStampPending(true);
    Feed(13);
    EXPECT_FALSE(view_->StampPending());
    // The character, a line with one blank, the stamp line, then the CR itself.
    const int count = view_->Lines()->Count();
    ASSERT_EQ(count, 3);
    EXPECT_EQ(view_->Lines()->Get(0), "x");
    EXPECT_EQ(view_->Lines()->Get(1), " ");
    const std::string stamp = view_->Lines()->Get(2);
    EXPECT_EQ(stamp.substr(stamp.size() - 2), "  ");
    EXPECT_NE(stamp.find(CurrentDateText()), std::string::npos);
    EXPECT_EQ(Text().back(), u'\r');
    Feed(13); // no stamp due any more: just the CR, an empty line before it
    EXPECT_EQ(view_->Lines()->Count(), 4);
    EXPECT_EQ(view_->Lines()->Get(3), "");
}

TEST_F(FeedTest, FeedCharactersAndAddedLinesShareTheEnd) {
    view_->Lines()->Add("line");
    Feed('a');                   // after a line end: starts the new last line
    view_->Lines()->Add("next"); // after unended text: a line break first
    Feed('b');
    EXPECT_EQ(Text(), u"line\ra\rnextb");
}

TEST_F(FeedTest, EverySenderReachesTheFeedInOrder) {
    // Direct dispatch to the object, and a message sent to its window.
    view_->Perform(WM_FEEDCHAR, 'p', 0);
    Feed('s');
    // Posted from another thread: handled on the UI thread in posting order.
    const HWND hwnd = view_->Handle();
    std::thread poster([hwnd] {
        for (int i = 0; i < 500; ++i) {
            PostMessage(hwnd, WM_FEEDCHAR, WPARAM('0' + i % 10), 0);
        }
    });
    poster.join();
    ASSERT_TRUE(
        testsupport::PumpUntil([&] { return Text().size() >= 502; }, std::chrono::seconds(10)));
    std::u16string expected = u"ps";
    for (int i = 0; i < 500; ++i) {
        expected.push_back(char16_t(u'0' + i % 10));
    }
    EXPECT_EQ(Text(), expected);
}


// A failing insertion leaves the handler; for a posted character it reaches the central
// handler, and the view keeps what it had.
TEST_F(FeedTest, AnInsertionErrorReachesTheCentralHandler) {
    Feed('a');
    SendMessage(view_->Handle(), EM_EXLIMITTEXT, 0, 1); // full already
    std::string caught;
    const UnhandledExceptionSink previous =
        SetUnhandledExceptionSink([&](std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const Exception& e) {
                caught = e.Message();
            }
        });
    PostMessage(view_->Handle(), WM_FEEDCHAR, 'b', 0);
    testsupport::PumpUntil([&] { return !caught.empty(); }, std::chrono::seconds(5));
    SetUnhandledExceptionSink(previous);
    EXPECT_EQ(caught, "RichEdit line insertion error");
    EXPECT_EQ(Text(), u"a");
}

} // namespace
