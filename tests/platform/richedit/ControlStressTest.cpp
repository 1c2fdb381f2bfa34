// A long random sequence of messages that tries to break the document's invariants, then
// undoes and redoes all of it.

#include "RichEditFixture.h"
#include "platform/richedit/RichEditControl.h"

#include <random>

namespace {

class StressTest : public RichEditTest {
protected:
    std::string FormatDump() {
        std::string dump;
        const auto length = LONG(Text().size());
        for (LONG i = 0; i <= length; ++i) {
            Select(i, i + 1);
            CHARFORMAT2W cf = CharFormat(SCF_SELECTION);
            cf.dwMask = 0;
            dump.append(reinterpret_cast<const char*>(&cf), sizeof cf);
            PARAFORMAT2 pf{};
            pf.cbSize = sizeof pf;
            Send(EM_GETPARAFORMAT, 0, &pf);
            pf.dwMask = 0;
            dump.append(reinterpret_cast<const char*>(&pf), sizeof pf);
        }
        return dump;
    }
    void CheckInvariants() { ASSERT_NO_THROW(RichEditControlOf(edit_)->Document().Check()); }
};

TEST_F(StressTest, RandomEditsKeepTheDocumentSoundAndUndoRestoresIt) {
    Send(EM_SETUNDOLIMIT, 100000);
    SetText(u"seed text\rsecond paragraph\rthird");
    const std::u16string baseText = Text();
    const std::string baseFormats = FormatDump();
    std::u16string model = baseText;
    std::mt19937 rng(1234);
    const std::u16string pieces[] = {u"a",
                                     u"bc",
                                     u"\r",
                                     u"\n",
                                     u"\r\n",
                                     u"x\ry",
                                     u"\U0001F600",
                                     u"\u00e9\u4e00",
                                     u"",
                                     u"\t",
                                     u"0110100101101001"};
    int undoable = 0;
    for (int step = 0; step < 4000; ++step) {
        const auto length = LONG(model.size());
        const LONG a = LONG(rng() % unsigned(length + 1));
        // Mostly short ranges, as editing goes; now and then a long one.
        const LONG b = rng() % 60 == 0 ? LONG(rng() % unsigned(length + 1))
                                       : std::min(length, a + LONG(rng() % 3));
        const int op = int(rng() % 10);
        Select(std::min(a, b), std::max(a, b));
        if (op < 5) {
            const std::u16string& piece = pieces[rng() % std::size(pieces)];
            Replace(piece, true);
            std::u16string folded;
            for (std::size_t i = 0; i < piece.size(); ++i) {
                if (piece[i] == u'\n' && i > 0 && piece[i - 1] == u'\r') {
                    continue;
                }
                folded.push_back(piece[i] == u'\n' ? u'\r' : piece[i]);
            }
            model.replace(std::size_t(std::min(a, b)), std::size_t(std::abs(a - b)), folded);
            ++undoable;
        } else if (op < 7) {
            const DWORD effect = (rng() % 2) ? CFE_BOLD : CFE_ITALIC;
            SetCharFormat(SCF_SELECTION, effect | CFM_COLOR, (rng() % 2) ? effect : 0,
                          [&](CHARFORMAT2W& cf) { cf.crTextColor = RGB(BYTE(rng()), 0, 0); });
        } else if (op < 8) {
            PARAFORMAT2 pf{};
            pf.cbSize = sizeof pf;
            pf.dwMask = PFM_ALIGNMENT | PFM_STARTINDENT;
            pf.wAlignment = WORD(1 + rng() % 4);
            pf.dxStartIndent = LONG(rng() % 2000);
            Send(EM_SETPARAFORMAT, 0, &pf);
        } else if (op < 9 && undoable > 0) {
            // Undo then redo: nothing may change.
            const std::u16string before = Text();
            ASSERT_TRUE(Send(EM_UNDO));
            ASSERT_TRUE(Send(EM_REDO));
            ASSERT_EQ(Text(), before) << step;
        } else {
            // Selection streamed out as RTF and back in over itself leaves the text as it was.
            DWORD error = 1;
            const std::string rtf = StreamOut(SF_RTF | SFF_SELECTION, &error);
            ASSERT_EQ(error, 0u);
            StreamIn(SF_RTF | SFF_SELECTION, rtf, &error);
            ASSERT_EQ(error, 0u) << rtf;
            ++undoable;
        }
        if (step % 25 == 0) {
            CheckInvariants();
            ASSERT_EQ(Text(), model) << step;
        }
    }
    CheckInvariants();
    ASSERT_EQ(Text(), model);
    const std::string finalFormats = FormatDump();

    int undone = 0;
    while (Send(EM_UNDO)) {
        ++undone;
    }
    EXPECT_GE(undone, undoable);
    EXPECT_GT(model.size(), 100u); // the edits built something up
    CheckInvariants();
    EXPECT_EQ(Text(), baseText);
    EXPECT_TRUE(FormatDump() == baseFormats);
    while (Send(EM_REDO)) {
    }
    CheckInvariants();
    EXPECT_EQ(Text(), model);
    EXPECT_TRUE(FormatDump() == finalFormats);
}

TEST_F(RichEditTest, ResizeRequestGoesToTheParentWhenAsked) {
    Send(EM_REQUESTRESIZE);
    EXPECT_TRUE(notes_.empty());
    Send(EM_SETEVENTMASK, 0, ENM_REQUESTRESIZE);
    Send(EM_REQUESTRESIZE);
    ASSERT_EQ(notes_.size(), 1u);
    EXPECT_EQ(notes_[0].code, EN_REQUESTRESIZE);
}

} // namespace
