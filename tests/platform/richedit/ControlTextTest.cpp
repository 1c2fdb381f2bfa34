// Lines, selections, text and limits, driven through messages as the rich text control
// and its line lists drive them.

#include "RichEditFixture.h"

#include <algorithm>

namespace {

class LineListTest : public RichEditTest {
protected:
    // The line list's Count: the line count, less an empty last line.
    LRESULT ListCount() {
        const LRESULT n = LineCount();
        const LRESULT lastStart = LineIndex(LONG(n - 1));
        return LineLength(LONG(lastStart)) == 0 ? n - 1 : n;
    }
    // The line list's insertion: S + CR at the start of line index, else CR + S after the
    // line before it (or S alone for text appended without a break).
    bool ListInsert(LONG index, const std::u16string& s, bool lineBreak = true) {
        LRESULT p = LineIndex(index);
        std::u16string inserted;
        if (p >= 0) {
            inserted = lineBreak ? s + u"\r" : s;
        } else {
            p = LineIndex(index - 1);
            if (p < 0) {
                return false;
            }
            const LRESULT length = LineLength(LONG(p));
            if (length == 0) {
                return false;
            }
            p += length;
            inserted = lineBreak ? u"\r" + s : s;
        }
        Select(LONG(p), LONG(p));
        Replace(inserted);
        EXPECT_EQ(Selection().cpMin, LONG(p + LRESULT(inserted.size())));
        return true;
    }
    void ListAdd(const std::u16string& s) { ListInsert(LONG(ListCount()), s); }
    void ListAppendText(const std::u16string& s) { ListInsert(LONG(ListCount()), s, false); }
    std::u16string ListGet(LONG index) {
        std::u16string line = Line(index);
        if (!line.empty() && line.back() == u'\r') {
            line.pop_back();
        }
        return line;
    }
    void ListDelete(LONG index) {
        const LRESULT start = LineIndex(index);
        if (start < 0) {
            return;
        }
        LRESULT end = LineIndex(index + 1);
        if (end < 0) {
            end = start + LineLength(LONG(start));
        }
        Select(LONG(start), LONG(end));
        Replace(u"");
    }
};

TEST_F(LineListTest, AddAppendAndDeleteFollowTheLineRules) {
    EXPECT_EQ(LineCount(), 1);
    EXPECT_EQ(ListCount(), 0);
    EXPECT_EQ(LineIndex(1), -1);

    ListAdd(u"a");
    EXPECT_EQ(Text(), u"a\r");
    EXPECT_EQ(LineCount(), 2);
    EXPECT_EQ(ListCount(), 1);
    ListAppendText(u"b");
    EXPECT_EQ(Text(), u"a\rb");
    EXPECT_EQ(ListCount(), 2);
    ListAdd(u"c");
    EXPECT_EQ(Text(), u"a\rb\rc");
    EXPECT_EQ(ListGet(1), u"b");
    EXPECT_EQ(ListGet(7), u"");

    ListDelete(2);
    EXPECT_EQ(Text(), u"a\rb\r");
    EXPECT_EQ(ListCount(), 2);
    ListDelete(1);
    EXPECT_EQ(Text(), u"a\r");
    EXPECT_EQ(ListCount(), 1);
}

TEST_F(LineListTest, InsertPastTheEndAfterAnEmptyLineDoesNothing) {
    EXPECT_FALSE(ListInsert(5, u"x"));
    EXPECT_EQ(Text(), u"");
    ListAdd(u"a");
    EXPECT_FALSE(ListInsert(3, u"x")); // line 2 does not exist, line 1 is empty
    EXPECT_EQ(Text(), u"a\r");
}

TEST_F(LineListTest, AppendedBreaksInTextCountAsLines) {
    ListAppendText(u"x\ny\rz");
    EXPECT_EQ(Text(), u"x\ry\rz");
    EXPECT_EQ(ListCount(), 3);
    ListAdd(u"w");
    EXPECT_EQ(Text(), u"x\ry\rz\rw");
}

TEST_F(RichEditTest, LineLengthTakesACharacterIndex) {
    SetText(u"richedit1\rrichedit1\nrichedit1\r\nrichedit1");
    EXPECT_EQ(Text().size(), 39u);
    EXPECT_EQ(LineCount(), 4);
    for (LONG pos : {0, 5, 10, 15, 20, 25, 30, 35, 39}) {
        EXPECT_EQ(LineLength(pos), 9) << pos;
    }
    for (LONG pos : {40, 45}) {
        EXPECT_EQ(LineLength(pos), 0) << pos;
    }
    EXPECT_EQ(LineIndex(3), 30);
    EXPECT_EQ(LineIndex(4), -1);
    EXPECT_EQ(Send(EM_EXLINEFROMCHAR, 0, 29), 2);
    EXPECT_EQ(Send(EM_EXLINEFROMCHAR, 0, 30), 3);
    // -1 counts the unselected characters on the selection's lines: 3 + 7.
    Select(3, 12);
    EXPECT_EQ(LineLength(-1), 3 + 7);
}

TEST_F(RichEditTest, GetLineCopiesWithinTheBufferWordAndKeepsTheCr) {
    SetText(u"foo bar\n\nbar\n");
    EXPECT_EQ(Line(0), u"foo bar\r");
    EXPECT_EQ(Line(1), u"\r");
    EXPECT_EQ(Line(2), u"bar\r");
    LRESULT n = -1;
    EXPECT_EQ(Line(3, 10, &n), u"");
    EXPECT_EQ(n, 0);
    EXPECT_EQ(Line(9, 10, &n), u"");
    EXPECT_EQ(n, 0);
    EXPECT_EQ(Line(0, 2, &n), u"fo");
    EXPECT_EQ(n, 2);
    EXPECT_EQ(Line(0, 1), u"f");
    Line(0, 0, &n);
    EXPECT_EQ(n, 0);
    // A line far longer than any fixed buffer comes back whole when the buffer allows.
    Send(EM_SETTARGETDEVICE, 0, 1); // one line per paragraph, whatever the window's width
    SetText(std::u16string(70000, u'1'));
    EXPECT_EQ(Line(0, 65535, &n).size(), 65535u);
}

TEST_F(RichEditTest, ReplacementFoldsLineBreaksAndLeavesTheCaretBehind) {
    Replace(u"RichEdit1\r\n");
    EXPECT_EQ(Text(), u"RichEdit1\r");
    EXPECT_EQ(Selection().cpMin, 10);
    EXPECT_EQ(LineCount(), 2);

    SetText(u"");
    const LRESULT result = Send(EM_REPLACESEL, 0, u"\n\n");
    EXPECT_EQ(result, 2);
    EXPECT_EQ(Text(), u"\r\r");

    // A CR before CR LF is a paragraph end of its own: nothing turns into a space.
    SetText(u"");
    Replace(u"\r\r\n");
    EXPECT_EQ(Text(), u"\r\r");
    EXPECT_EQ(LineCount(), 3);

    SetText(u"abcdef");
    Select(2, 4);
    Replace(u"XYZ");
    EXPECT_EQ(Text(), u"abXYZef");
    EXPECT_EQ(Selection().cpMin, 5);
    EXPECT_EQ(Selection().cpMax, 5);
}

TEST_F(RichEditTest, SelectionRulesOfTheExtendedSetter) {
    SetText(u"testing selection");
    struct Case {
        LONG min, max, gotMin, gotMax;
    };
    // Applied in order: a negative start keeps the current end.
    const Case cases[] = {{5, 10, 5, 10},   {15, 17, 15, 17}, {0, 100, 0, 18},  {-1, 1, 17, 17},
                          {5, 5, 5, 5},     {-1, 0, 5, 5},    {-1, 17, 5, 5},   {-1, -1, 17, 17},
                          {-4, -5, 17, 17}, {0, -1, 0, 18},   {17, -5, 17, 18}, {18, -3, 17, 17},
                          {15, 19, 15, 18}, {19, 15, 15, 18}, {17, 50, 17, 18}};
    for (const Case& c : cases) {
        const LRESULT result = Select(c.min, c.max);
        const CHARRANGE got = Selection();
        EXPECT_EQ(got.cpMin, c.gotMin) << c.min << "," << c.max;
        EXPECT_EQ(got.cpMax, c.gotMax) << c.min << "," << c.max;
        EXPECT_EQ(result, c.gotMax);
    }
    // The final mark alone reads as no text.
    Select(17, 18);
    WCHAR buffer[8] = {u'x', u'x'};
    EXPECT_EQ(Send(EM_GETSELTEXT, 0, buffer), 0);
    EXPECT_EQ(buffer[0], u'\0');
    // Replacing a selection that holds the final mark keeps the mark.
    Select(0, -1);
    Replace(u"new");
    EXPECT_EQ(Text(), u"new");
}

TEST_F(RichEditTest, TextRangesAndSelectedText) {
    SetText(u"one\rtwo\rthree");
    EXPECT_EQ(Range(0, 3), u"one");
    EXPECT_EQ(Range(2, 6), u"e\rtw");
    EXPECT_EQ(Range(0, -1), u"one\rtwo\rthree");
    EXPECT_EQ(Range(8, 100), u"three");
    EXPECT_EQ(Range(4, -1), u"");
    EXPECT_EQ(Range(-1, 3), u"");
    EXPECT_EQ(Range(5, 5), u"");
    EXPECT_EQ(Range(6, 5), u"");

    Select(4, 9);
    WCHAR buffer[16];
    EXPECT_EQ(Send(EM_GETSELTEXT, 0, buffer), 5);
    EXPECT_EQ(std::u16string(buffer), u"two\rt");

    // The caret's line and column, as the rich text control computes them.
    Select(8, 8);
    const LONG cpMax = Selection().cpMax;
    EXPECT_EQ(Send(EM_EXLINEFROMCHAR, 0, cpMax), 2);
    EXPECT_EQ(cpMax - Send(EM_LINEINDEX, WPARAM(-1)), 0);
}

TEST_F(RichEditTest, WholeTextReadersCountParagraphEndsAsAsked) {
    SetText(u"a\nb\n\n\r\n");
    EXPECT_EQ(Text(), u"a\rb\r\r\r");
    GETTEXTLENGTHEX plain{GTL_DEFAULT, CP_UNICODE};
    GETTEXTLENGTHEX crlf{GTL_USECRLF, CP_UNICODE};
    GETTEXTLENGTHEX bytes{GTL_NUMBYTES, CP_UNICODE};
    GETTEXTLENGTHEX invalid{GTL_NUMCHARS | GTL_NUMBYTES, CP_UNICODE};
    EXPECT_EQ(Send(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&plain)), 6);
    EXPECT_EQ(Send(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&crlf)), 10);
    EXPECT_EQ(Send(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&bytes)), 12);
    EXPECT_EQ(Send(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&invalid)), E_INVALIDARG);
    EXPECT_EQ(Send(WM_GETTEXTLENGTH), 10);

    WCHAR buffer[16];
    EXPECT_EQ(Send(WM_GETTEXT, 16, buffer), 10);
    EXPECT_EQ(std::u16string(buffer), u"a\r\nb\r\n\r\n\r\n");
    // No room for a whole CR LF: neither half is copied.
    EXPECT_EQ(Send(WM_GETTEXT, 3, buffer), 1);
    EXPECT_EQ(std::u16string(buffer), u"a");

    // The 8-bit form through a code page, with a character it lacks.
    SetText(u"\u00e9\u4e00");
    char bytesOut[8];
    BOOL usedDefault = FALSE;
    GETTEXTEX ansi{sizeof bytesOut, GT_DEFAULT, 1252, nullptr, &usedDefault};
    EXPECT_EQ(Send(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&ansi), bytesOut), 2);
    EXPECT_EQ(std::string(bytesOut), "\xE9?");
    EXPECT_TRUE(usedDefault);
}

TEST_F(RichEditTest, TextLimitTakesOnlyWhatFits) {
    EXPECT_EQ(Send(EM_GETLIMITTEXT), 32767);
    Replace(std::u16string(40000, u'0'));
    EXPECT_EQ(Text().size(), 32767u);
    const bool maxText = std::any_of(notes_.begin(), notes_.end(),
                                     [](const Notification& n) { return n.code == EN_MAXTEXT; });
    EXPECT_TRUE(maxText);
    // A replacement may still swap text for text of the same length.
    Select(0, 5);
    Replace(u"abcdefgh");
    EXPECT_EQ(Text().size(), 32767u);
    EXPECT_EQ(Range(0, 6), u"abcde0");

    Send(EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
    EXPECT_EQ(Send(EM_GETLIMITTEXT), 0x7FFFFFFF);
    AppendLine(std::u16string(40000, u'1'));
    EXPECT_EQ(Text().size(), 32767u + 40001u);
    Send(EM_EXLIMITTEXT, 0, 0);
    EXPECT_EQ(Send(EM_GETLIMITTEXT), 65536);
    Send(EM_EXLIMITTEXT, 0, -5);
    EXPECT_EQ(Send(EM_GETLIMITTEXT), 65536);

    // Setting the whole text is not limited; the limit grows to hold it.
    Send(EM_EXLIMITTEXT, 0, 5);
    SetText(u"0123456789");
    EXPECT_EQ(Text(), u"0123456789");
    EXPECT_EQ(Send(EM_GETLIMITTEXT), 10);
}

TEST_F(RichEditTest, TextLimitNeverKeepsHalfASurrogatePair) {
    Send(EM_EXLIMITTEXT, 0, 4);
    Replace(u"abc\U0001F600");
    EXPECT_EQ(Text(), u"abc");
}

TEST_F(RichEditTest, ManyAppendedLinesStayAddressable) {
    Send(EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
    const std::u16string bits = u"0110100101101001";
    for (int i = 0; i < 3000; ++i) {
        AppendLine(bits);
        ASSERT_EQ(LineCount(), i + 2);
    }
    EXPECT_EQ(LineIndex(1234), 1234 * 17);
    EXPECT_EQ(LineLength(1234 * 17 + 3), 16);
    EXPECT_EQ(Send(EM_EXLINEFROMCHAR, 0, 2999 * 17 + 16), 2999);
    EXPECT_EQ(Line(2999), bits + u"\r");
    EXPECT_EQ(LineIndex(3000), 3000 * 17);
    EXPECT_EQ(LineIndex(3001), -1);
}

} // namespace
