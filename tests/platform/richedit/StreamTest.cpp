// EM_STREAMIN and EM_STREAMOUT in every format, with chunked and failing callbacks.

#include "RichEditFixture.h"
#include "platform/locale/Locale.h"
#include "platform/richedit/RichEditControl.h"

namespace {

TEST_F(RichEditTest, PlainTextOutUsesCrLfAndTheSystemCodePage) {
    SetText(u"a\r\u00e9\u4e00\rb");
    DWORD error = 1;
    EXPECT_EQ(StreamOut(SF_TEXT, &error), "a\r\n\xE9?\r\nb");
    EXPECT_EQ(error, 0u);
    // Same bytes whatever the callback takes per call.
    EXPECT_EQ(StreamOut(SF_TEXT, &error, 1), "a\r\n\xE9?\r\nb");
    EXPECT_EQ(StreamOut(SF_TEXTIZED, &error), "a\r\n\xE9?\r\nb");
    EXPECT_EQ(StreamOut(SF_TEXT | SF_UNICODE, &error), Utf16Le(u"a\r\n\u00e9\u4e00\r\nb"));
    // A chosen code page.
    EXPECT_EQ(StreamOut(SF_TEXT | SF_USECODEPAGE | (WPARAM(65001) << 16), &error),
              "a\r\n\xC3\xA9\xE4\xB8\x80\r\nb");
    SetText(u"");
    EXPECT_EQ(StreamOut(SF_TEXT, &error), "");
    EXPECT_EQ(error, 0u);
}

TEST_F(RichEditTest, PlainTextInFoldsBreaksEvenAcrossChunks) {
    SetText(u"old");
    Replace(u"x", true);
    DWORD error = 1;
    EXPECT_EQ(StreamIn(SF_TEXT, "one\r\ntwo\nthree\r\xE9", &error, 4), 16);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(Text(), u"one\rtwo\rthree\r\u00e9");
    EXPECT_FALSE(Send(EM_CANUNDO)); // the whole content was replaced
    EXPECT_EQ(Selection().cpMin, 0);
    // The CR ends one callback chunk and the LF starts the next.
    StreamIn(SF_TEXT, "ab\r\ncd", &error, 3);
    EXPECT_EQ(Text(), u"ab\rcd");
    // UTF-8 with its mark.
    StreamIn(SF_TEXT,
             "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
             "e",
             &error, 2);
    EXPECT_EQ(Text(), u"Gr\u00fc\u00dfe");
    EXPECT_NE(Send(EM_GETMODIFY), 0);
}

TEST_F(RichEditTest, UnicodeTextInSkipsTheByteOrderMark) {
    DWORD error = 1;
    EXPECT_EQ(StreamIn(SF_TEXT | SF_UNICODE, "\xFF\xFE" + Utf16Le(u"\u4e00\r\nz"), &error, 3), 10);
    EXPECT_EQ(Text(), u"\u4e00\rz");
    StreamIn(SF_TEXT | SF_UNICODE, Utf16Le(u"no mark"), &error);
    EXPECT_EQ(Text(), u"no mark");
    EXPECT_EQ(error, 0u);
}

TEST_F(RichEditTest, TextInACodePageWithoutConverterIsAnErrorNotALoss) {
    const WPARAM johab = SF_TEXT | SF_USECODEPAGE | (WPARAM(1361) << 16);
    SetText(u"kept");
    DWORD error = 0;
    StreamIn(johab, "\x88\x61\xD0\x65 text", &error);
    EXPECT_EQ(error, RICHEDIT_ERROR_NOTRANSLATION);
    EXPECT_EQ(Text(), u"kept");
    // ASCII needs no converter.
    StreamIn(johab, "plain\r\n", &error);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(Text(), u"plain\r");
}

TEST_F(RichEditTest, ALeadingByteOrderMarkCharacterSurvivesARoundTrip) {
    const WPARAM utf8 = SF_TEXT | SF_USECODEPAGE | (WPARAM(CP_UTF8) << 16);
    for (const WPARAM flags : {utf8, SF_TEXT | SF_UNICODE}) {
        SetText(u"\ufeffmarked\rline");
        DWORD error = 1;
        const std::string out = StreamOut(flags, &error);
        ASSERT_EQ(error, 0u);
        SetText(u"x");
        StreamIn(flags, out, &error);
        EXPECT_EQ(error, 0u);
        EXPECT_EQ(Text(), u"\ufeffmarked\rline") << flags;
    }
    // Text without it gets no mark.
    SetText(u"plain");
    EXPECT_EQ(StreamOut(utf8), "plain");
}

TEST_F(RichEditTest, SelectionStreamingReplacesAndReadsOnlyTheSelection) {
    SetText(u"keep THIS keep");
    Select(5, 9);
    DWORD error = 1;
    EXPECT_EQ(StreamOut(SF_TEXT | SFF_SELECTION, &error), "THIS");
    StreamIn(SF_TEXT | SFF_SELECTION, "that", &error);
    EXPECT_EQ(Text(), u"keep that keep");
    EXPECT_EQ(Selection().cpMin, 9);
    EXPECT_TRUE(Send(EM_CANUNDO));
    Send(EM_UNDO);
    EXPECT_EQ(Text(), u"keep THIS keep");

    Select(5, 9);
    const std::string rtf = StreamOut(SF_RTF | SFF_SELECTION, &error);
    EXPECT_EQ(rtf.find("keep"), std::string::npos);
    Select(0, 0);
    StreamIn(SF_RTF | SFF_SELECTION, rtf, &error);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(Text(), u"THISkeep THIS keep");
}

TEST_F(RichEditTest, FailingCallbacksStopWithTheirCode) {
    SetText(std::u16string(100000, u'1'));
    DWORD error = 0;
    int calls = 0;
    const std::string partial = StreamOut(SF_TEXT, &error, 1 << 30, 3, &calls);
    EXPECT_EQ(error, 77u);
    EXPECT_EQ(calls, 3);
    EXPECT_LT(partial.size(), 100000u);
    StreamOut(SF_RTF, &error, 1 << 30, 2);
    EXPECT_EQ(error, 77u);

    // A failing read changes nothing.
    EXPECT_EQ(StreamIn(SF_TEXT, std::string(100000, 'x'), &error, 100, 5), 0);
    EXPECT_EQ(error, 77u);
    EXPECT_EQ(Text(), std::u16string(100000, u'1'));
    StreamIn(SF_RTF, "{\\rtf1 abc}", &error, 1, 3);
    EXPECT_EQ(error, 77u);
    EXPECT_EQ(Text().size(), 100000u);
}

DWORD RefusingCallback(DWORD_PTR, BYTE*, LONG, LONG* pcb) {
    *pcb = 0;
    return 0;
}

TEST_F(RichEditTest, ACallbackThatTakesNothingIsAFailure) {
    SetText(u"data");
    EDITSTREAM es{0, 0, RefusingCallback};
    EXPECT_EQ(Send(EM_STREAMOUT, SF_TEXT, &es), 0);
    EXPECT_NE(es.dwError, 0u); // the output is incomplete; say so
}

TEST_F(RichEditTest, UnreadableRtfLeavesTheContent) {
    SetText(u"content");
    DWORD error = 0;
    EXPECT_EQ(StreamIn(SF_RTF, "plain text, not rich", &error), 0);
    EXPECT_EQ(error, 0xFFFFFFF0u);
    EXPECT_EQ(Text(), u"content");
    StreamIn(SF_RTF, "{\\rtf1 cut off {\\b here", &error);
    EXPECT_NE(error, 0u);
    EXPECT_EQ(Text(), u"content");
    // The line list's retry as plain text then takes it.
    StreamIn(SF_TEXT, "plain text, not rich", &error);
    EXPECT_EQ(Text(), u"plain text, not rich");
}

TEST_F(RichEditTest, RtfStreamsBothWaysInSmallChunks) {
    SetText(u"line one\rline \u00e9\u4e00 two\r");
    Select(0, 4);
    SetCharFormat(SCF_SELECTION, CFM_BOLD, CFE_BOLD);
    DWORD error = 1;
    const std::string rtf = StreamOut(SF_RTF, &error, 7);
    EXPECT_EQ(error, 0u);
    const std::string noObjects = StreamOut(SF_RTFNOOBJS, &error);
    EXPECT_EQ(noObjects, rtf);
    SetText(u"");
    EXPECT_EQ(StreamIn(SF_RTF, rtf, &error, 5), 21);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(Text(), u"line one\rline \u00e9\u4e00 two\r");
    Select(0, 4);
    DWORD mask = 0;
    EXPECT_TRUE(CharFormat(SCF_SELECTION, &mask).dwEffects & CFE_BOLD);
    EXPECT_TRUE(mask & CFM_BOLD);
    Select(4, 8);
    EXPECT_FALSE(CharFormat(SCF_SELECTION).dwEffects & CFE_BOLD);

    // Plain RTF leaves out the language keywords.
    Select(0, 4);
    SetCharFormat(SCF_SELECTION, CFM_LCID, 0, [](CHARFORMAT2W& cf) { cf.lcid = 1043; });
    EXPECT_NE(StreamOut(SF_RTF, &error).find("\\lang1043"), std::string::npos);
    EXPECT_EQ(StreamOut(SF_RTF | SFF_PLAINRTF, &error).find("\\lang1043"), std::string::npos);
}

TEST_F(RichEditTest, ObjectPlaceholdersInEveryOutputFormat) {
    SetText(u"ab");
    Select(1, 1);
    // The embedded-object support inserts placeholders and names their text.
    RichEditControl* control = RichEditControlOf(edit_);
    ASSERT_NE(control, nullptr);
    control->Document().InsertObject(42);
    control->Streaming().objectText = [](std::int32_t id) {
        return id == 42 ? u"[picture]" : u"?";
    };
    EXPECT_EQ(Text(), u"a\ufffcb");
    Select(0, 3);
    EXPECT_EQ(Send(EM_SELECTIONTYPE), SEL_TEXT | SEL_MULTICHAR | SEL_OBJECT);

    DWORD error = 1;
    EXPECT_EQ(StreamOut(SF_TEXT, &error), "a b");
    EXPECT_EQ(StreamOut(SF_TEXTIZED, &error), "a[picture]b");
    EXPECT_NE(StreamOut(SF_RTF, &error).find("a[picture]b"), std::string::npos);
    EXPECT_NE(StreamOut(SF_RTFNOOBJS, &error).find("a b"), std::string::npos);

    // Undo brings a deleted placeholder back with its object.
    Select(1, 2);
    Replace(u"", true);
    EXPECT_EQ(control->Document().ObjectCount(0, 3), 0);
    Send(EM_UNDO);
    EXPECT_EQ(control->Document().ObjectAt(1), 42);

    // RTF without objects reads like RTF.
    const std::string rtf = StreamOut(SF_RTFNOOBJS, &error);
    StreamIn(SF_RTFNOOBJS, rtf, &error);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(Text(), u"a b");
}

} // namespace
