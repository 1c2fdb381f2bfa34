// The control's line lists and streaming: lines as the window holds them, insertion at the
// end and past it, the text limit, code pages, files and converters, progress events, and the
// notifications around whole-text updates.

#include "MemoryWideStrings.h"
#include "RichEditControlFixture.h"
#include "framework/Exceptions.h"
#include "tests/support/Files.h"
#include "tests/support/LibreOffice.h"

#include <QTemporaryDir>
#include <vector>

namespace {

std::string Bytes(TMemoryStream& stream) {
    return std::string(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.Size()));
}

// A line of bits as the monitor writes them, with a marker at the end so a cut shows.
std::string BitLine(size_t length) {
    std::string line(length, '0');
    for (size_t i = 0; i < length; ++i)
        line[i] = (i * 7 + i / 3) % 5 < 2 ? '1' : '0';
    line.back() = 'x';
    return line;
}

// Counts the chunks a converter moves; can be told to fail.
struct ChunkCounts {
    int reads = 0;
    int writes = 0;
    bool failReads = false;
    bool failWrites = false;
};

class CountingConversion : public TConversion {
public:
    explicit CountingConversion(ChunkCounts& counts) : counts_(counts) {}
    int ReadChunk(TStream& Stream, char* Buffer, int BufSize) override {
        ++counts_.reads;
        if (counts_.failReads)
            throw EReadError("converter refused");
        return TConversion::ReadChunk(Stream, Buffer, BufSize);
    }
    int WriteChunk(TStream& Stream, const char* Buffer, int BufSize) override {
        ++counts_.writes;
        if (counts_.failWrites)
            throw EWriteError("converter refused");
        return TConversion::WriteChunk(Stream, Buffer, BufSize);
    }

private:
    ChunkCounts& counts_;
};

// A control that records the messages reaching it through the framework's dispatch, so the
// tests see what the lists send that way (and what they pass straight to the platform).
class RecordingRichEdit : public TRichEdit20 {
public:
    using TRichEdit20::TRichEdit20;
    std::vector<TMessage> Log;
    bool Recording = false;

    std::vector<UINT> Messages(std::initializer_list<UINT> only = {}) const {
        std::vector<UINT> out;
        for (const TMessage& m : Log) {
            if (only.size() == 0 || std::find(only.begin(), only.end(), m.Msg) != only.end())
                out.push_back(m.Msg);
        }
        return out;
    }

protected:
    void WndProc(TMessage& Message) override {
        if (Recording)
            Log.push_back(Message);
        TRichEdit20::WndProc(Message);
    }
};

class RichEditStringsTest : public RichEditControlTest {
protected:
    // Destroying the window saves the content: nothing a test installed may run then.
    void TearDown() override {
        edit_->OnLoadProgress = nullptr;
        edit_->OnSaveProgress = nullptr;
        edit_->SetDefaultConverterClass(ConversionClassOf());
        RichEditControlTest::TearDown();
    }

    TMyStrings* Lines() { return edit_->Lines(); }
    TWideRichEditStrings20* WideLines() { return edit_->WideLines(); }
    TRichEditStrings20* Strings() { return static_cast<TRichEditStrings20*>(edit_->Lines()); }

    RecordingRichEdit* MakeRecordingControl() {
        auto* recording = new RecordingRichEdit(form_.get());
        recording->SetParent(form_.get());
        recording->SetBounds(8, 220, 700, 30);
        recording->HandleNeeded();
        return recording;
    }

    // Message and class of what Body raises, or "" when it raises nothing.
    template <class Body> static std::string Raised(Body&& body) {
        try {
            body();
        } catch (const Exception& e) {
            return e.ClassName() + ": " + e.what();
        }
        return {};
    }
};

// --- lines -----------------------------------------------------------------------------------

TEST_F(RichEditStringsTest, AddAndAppendTextBuildTheTextLineByLine) {
    EXPECT_EQ(Lines()->Count(), 0);
    EXPECT_EQ(Lines()->Add("a"), 0);
    EXPECT_EQ(WindowText(), u"a\r");
    EXPECT_EQ(Lines()->Count(), 1);
    // Text without a line break goes into the empty last line...
    EXPECT_EQ(Lines()->AppendText("b"), 1);
    EXPECT_EQ(WindowText(), u"a\rb");
    EXPECT_EQ(Lines()->Count(), 2);
    // ...and a line added after it starts with the break the text lacks.
    EXPECT_EQ(Lines()->Add("c"), 2);
    EXPECT_EQ(WindowText(), u"a\rb\rc");
    EXPECT_EQ(Lines()->Count(), 3);
    // AppendText onto a line that has text continues it.
    EXPECT_EQ(Lines()->AppendText("d"), 3);
    EXPECT_EQ(WindowText(), u"a\rb\rcd");
    EXPECT_EQ(Lines()->Get(2), "cd");
}

TEST_F(RichEditStringsTest, GetStripsTheLineBreakAndIsEmptyPastTheEnd) {
    Lines()->Add("first");
    Lines()->Add("");
    Lines()->Add("third");
    EXPECT_EQ(Lines()->Count(), 3);
    EXPECT_EQ(Lines()->Get(0), "first");
    EXPECT_EQ(Lines()->Get(1), "");
    EXPECT_EQ(Lines()->Get(2), "third");
    EXPECT_EQ(Lines()->Get(3), ""); // the empty line after the last break
    EXPECT_EQ(Lines()->Get(99), "");
    EXPECT_EQ(Lines()->Get(-1), "");
    EXPECT_EQ(Lines()->Text(), "first\r\n\r\nthird\r\n");
}

// The first read takes 4096 characters; longer lines come back whole, also past the 16-bit
// capacity of a line read, and with or without their line break.
TEST_F(RichEditStringsTest, LongLinesComeBackWhole) {
    Send(EM_SETTARGETDEVICE, 0, 1); // no wrapping: one paragraph, one line
    for (size_t length : {size_t(4095), size_t(4096), size_t(4097), size_t(70000)}) {
        SCOPED_TRACE(length);
        Lines()->Clear();
        const std::string line = BitLine(length);
        Lines()->Add(line);
        Lines()->AppendText(line); // the last line, without a break
        ASSERT_EQ(Lines()->Count(), 2);
        EXPECT_EQ(Lines()->Get(0), line);
        EXPECT_EQ(Lines()->Get(1), line);
        EXPECT_EQ(WideLines()->GetW(0).size(), length);
    }
}

// With wrapping on, a line is what the window lays out: a long paragraph is several lines that
// together give its text.
TEST_F(RichEditStringsTest, WrappedParagraphIsSeveralLines) {
    const std::string line = BitLine(16384);
    Lines()->Add(line);
    const int count = Lines()->Count();
    ASSERT_GT(count, 1);
    std::string joined;
    for (int i = 0; i < count; ++i)
        joined += Lines()->Get(i);
    EXPECT_EQ(joined, line);
    EXPECT_EQ(Lines()->Add("next"), count);
    EXPECT_EQ(Lines()->Get(count), "next");
}

TEST_F(RichEditStringsTest, DeleteRemovesALineOrTheLastLinesText) {
    Lines()->Add("a");
    Lines()->AppendText("b");
    Lines()->Delete(1); // the last line: its text goes, the break before it stays
    EXPECT_EQ(WindowText(), u"a\r");
    EXPECT_EQ(Lines()->Count(), 1);

    Lines()->Add("b");
    Lines()->Add("c");
    Lines()->Delete(1);
    EXPECT_EQ(WindowText(), u"a\rc\r");
    Lines()->Delete(-1);
    Lines()->Delete(7);
    EXPECT_EQ(WindowText(), u"a\rc\r");
    Lines()->Delete(0);
    Lines()->Delete(0);
    EXPECT_EQ(WindowText(), u"");
    EXPECT_EQ(Lines()->Count(), 0);
}

TEST_F(RichEditStringsTest, InsertPastTheEnd) {
    Lines()->Insert(5, "x"); // no line 4 to follow
    EXPECT_EQ(WindowText(), u"");
    EXPECT_EQ(Lines()->Count(), 0);

    Lines()->Add("a");
    Lines()->Insert(2, "x"); // the line before it (the empty last line) is empty
    EXPECT_EQ(WindowText(), u"a\r");
    Lines()->Insert(1, "b"); // at the start of the empty last line
    EXPECT_EQ(WindowText(), u"a\rb\r");

    Lines()->Clear();
    Lines()->AppendText("a");
    Lines()->Insert(1, "b"); // after a last line that has text
    EXPECT_EQ(WindowText(), u"a\rb");
    Lines()->Insert(0, "z");
    Lines()->Insert(-1, "never");
    EXPECT_EQ(WindowText(), u"z\ra\rb");
    Lines()->InsertText(1, "y");
    Lines()->InsertText(-1, "never");
    EXPECT_EQ(WindowText(), u"z\rya\rb");
    Lines()->InsertText(3, "w"); // past the last line: onto its end, no break
    EXPECT_EQ(WindowText(), u"z\rya\rbw");
}

TEST_F(RichEditStringsTest, PutReplacesTheTextAndKeepsTheBreak) {
    Lines()->SetTextStr("a\r\nb\r\nc");
    Lines()->Put(1, "BB");
    EXPECT_EQ(WindowText(), u"a\rBB\rc\r");
    Lines()->Put(0, "");
    EXPECT_EQ(WindowText(), u"\rBB\rc\r");
    Lines()->Put(-1, "never");
    Lines()->Put(9, "never");
    EXPECT_EQ(WindowText(), u"\rBB\rc\r");
    EXPECT_EQ(Lines()->Count(), 3);
}

// A line break written as CR LF is one paragraph mark in the window: a complete insertion,
// not a refused one.
TEST_F(RichEditStringsTest, CrLfInsideInsertedTextIsNoInsertionError) {
    EXPECT_EQ(Raised([&] { Lines()->AppendText("x\r\ny"); }), "");
    EXPECT_EQ(Raised([&] { Lines()->Add("p\r\nq"); }), "");
    EXPECT_EQ(WindowText(), u"x\ry\rp\rq");
}

TEST_F(RichEditStringsTest, ClearEmptiesTheControl) {
    Lines()->Add("a");
    Lines()->Add("b");
    Lines()->Clear();
    EXPECT_EQ(WindowText(), u"");
    EXPECT_EQ(Lines()->Count(), 0);
    EXPECT_FALSE(edit_->Modified());
}

// --- wide text mode and the text limit ---------------------------------------------------------

TEST_F(RichEditStringsTest, WideTextModeIsOffAfterEveryOperation) {
    auto check = [&](const char* what) { EXPECT_FALSE(edit_->WideTextMode()) << what; };
    Lines()->Add("a");
    check("Add");
    Lines()->AppendText("b");
    check("AppendText");
    Lines()->Get(0);
    check("Get");
    Lines()->Get(50);
    check("Get past the end");
    Lines()->Put(0, "c");
    check("Put");
    Lines()->Put(50, "c");
    check("Put past the end");
    Lines()->Insert(0, "d");
    check("Insert");
    Lines()->Insert(50, "d");
    check("Insert that does nothing");
    Lines()->InsertText(0, "e");
    check("InsertText");
    Lines()->SetTextStr("f\r\ng");
    check("SetTextStr");
    WideLines()->SetTextStr(u"f\r\ng");
    check("wide SetTextStr");
    Lines()->Delete(0);
    check("Delete");
}

// The control takes only what its limit allows; the rest is reported, the part it took stays,
// and the list leaves no mode or notification switched.
TEST_F(RichEditStringsTest, TextLimitFailsTheInsertion) {
    Send(EM_EXLIMITTEXT, 0, 5);
    const DWORD mask = DWORD(Send(EM_GETEVENTMASK));
    EXPECT_EQ(Raised([&] { Lines()->Add("abcdefgh"); }),
              "EOutOfResources: RichEdit line insertion error");
    EXPECT_FALSE(edit_->WideTextMode());
    EXPECT_EQ(WindowText(), u"abcde");

    EXPECT_EQ(Raised([&] { Lines()->InsertText(0, "z"); }),
              "EOutOfResources: RichEdit line insertion error");
    EXPECT_FALSE(edit_->WideTextMode());

    Lines()->Clear();
    EXPECT_EQ(Raised([&] { WideLines()->SetTextStr(u"abc\r\ndefgh"); }),
              "EOutOfResources: RichEdit line insertion error");
    EXPECT_FALSE(edit_->WideTextMode());
    EXPECT_EQ(DWORD(Send(EM_GETEVENTMASK)), mask);

    Lines()->Clear();
    EXPECT_EQ(Raised([&] { Lines()->SetTextStr("abc\r\ndefgh"); }),
              "EOutOfResources: RichEdit line insertion error");
    EXPECT_EQ(DWORD(Send(EM_GETEVENTMASK)), mask);
}

// --- code pages ------------------------------------------------------------------------------

TEST_F(RichEditStringsTest, LinesConvertWithTheLanguagesCodePage) {
    edit_->SetLanguage(1043);
    ASSERT_EQ(edit_->LanguageCodePage(), 1252);
    Lines()->Add("abc");
    Lines()->Add("caf\xE9");
    EXPECT_EQ(WindowText(), u"abc\rcaf\u00e9\r");
    EXPECT_EQ(Lines()->Get(0), "abc");
    EXPECT_EQ(Lines()->Get(1), "caf\xE9");

    Lines()->Clear();
    edit_->SetLanguage(1041); // Shift-JIS: two bytes per character
    ASSERT_EQ(edit_->LanguageCodePage(), 932);
    Lines()->Add("abc");
    Lines()->Add("\x82\xA0\x82\xA2"); // two hiragana letters
    EXPECT_EQ(WindowText(), u"abc\r\u3042\u3044\r");
    EXPECT_EQ(Lines()->Get(0), "abc");
    EXPECT_EQ(Lines()->Get(1), "\x82\xA0\x82\xA2");
    Lines()->Put(0, "\x82\xA2");
    EXPECT_EQ(WindowText(), u"\u3044\r\u3042\u3044\r");
}

TEST_F(RichEditStringsTest, WideLinesLanguageIsTheControls) {
    WideLines()->SetLanguage(1041);
    EXPECT_EQ(edit_->Language(), 1041);
    EXPECT_EQ(edit_->LanguageCodePage(), 932);
    edit_->SetLanguage(1043);
    EXPECT_EQ(WideLines()->GetLanguage(), 1043);
}

// --- messages --------------------------------------------------------------------------------

// Count costs three messages; text goes to the platform control as UTF-16 directly, never
// through the conversion of the framework's dispatch.
TEST_F(RichEditStringsTest, MessagesThroughTheFrameworkAndStraightToThePlatform) {
    RecordingRichEdit* recording = MakeRecordingControl();
    recording->Lines()->Add("one");
    recording->Lines()->Add("two");
    recording->Recording = true;
    EXPECT_EQ(recording->Lines()->Count(), 2);
    ASSERT_EQ(recording->Log.size(), 3u);
    EXPECT_EQ(recording->Log[0].Msg, UINT(EM_GETLINECOUNT));
    EXPECT_EQ(recording->Log[1].Msg, UINT(EM_LINEINDEX));
    EXPECT_EQ(recording->Log[1].WParam, WPARAM(2));
    EXPECT_EQ(recording->Log[2].Msg, UINT(EM_LINELENGTH));
    EXPECT_EQ(recording->Log[2].WParam, WPARAM(8)); // the start of the empty last line

    recording->Log.clear();
    recording->Lines()->Get(0);
    recording->Lines()->Add("three");
    recording->Lines()->Put(0, "ONE");
    recording->Lines()->Delete(1);
    const std::vector<UINT> text =
        recording->Messages({EM_GETLINE, EM_REPLACESEL, WM_SETTEXT, WM_GETTEXT});
    EXPECT_TRUE(text.empty());
    EXPECT_FALSE(recording->Messages({EM_EXSETSEL}).empty());
    EXPECT_EQ(recording->WideText(), u"ONE\rthree\r");
}

TEST_F(RichEditStringsTest, SetTextStrReportsOneChangeNotOnePerLine) {
    RecordingRichEdit* recording = MakeRecordingControl();
    int changes = 0;
    recording->OnChange = [&](TObject*) { ++changes; };
    const auto mask = DWORD(SendMessage(recording->Handle(), EM_GETEVENTMASK, 0, 0));
    ASSERT_TRUE(mask & ENM_CHANGE);

    // Outside a whole-text update every line is a change of its own.
    recording->Lines()->Add("x");
    recording->Lines()->Add("y");
    EXPECT_GE(changes, 2);

    changes = 0;
    recording->Recording = true;
    recording->Lines()->SetTextStr("one\r\ntwo\nthree\rfour");
    EXPECT_EQ(recording->Lines()->Count(), 4);
    EXPECT_EQ(changes, 1); // the end of the update
    EXPECT_EQ(DWORD(SendMessage(recording->Handle(), EM_GETEVENTMASK, 0, 0)), mask);
    std::vector<TMessage> masks;
    for (const TMessage& m : recording->Log) {
        if (m.Msg == EM_SETEVENTMASK)
            masks.push_back(m);
    }
    ASSERT_EQ(masks.size(), 2u);
    EXPECT_EQ(DWORD(masks[0].LParam), mask & ~ENM_CHANGE);
    EXPECT_EQ(DWORD(masks[1].LParam), mask);

    // The wide list's update end goes to the platform control only: no change at all.
    changes = 0;
    recording->WideLines()->SetTextStr(u"five\r\nsix");
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(recording->WideText(), u"five\rsix\r");
    EXPECT_EQ(DWORD(SendMessage(recording->Handle(), EM_GETEVENTMASK, 0, 0)), mask);
}

TEST_F(RichEditStringsTest, UpdatesSuspendRedrawingAndLinesReportTheChangeAtTheEnd) {
    RecordingRichEdit* recording = MakeRecordingControl();
    int changes = 0;
    recording->OnChange = [&](TObject*) { ++changes; };
    recording->Recording = true;
    recording->Lines()->BeginUpdate();
    recording->Lines()->BeginUpdate();
    recording->Lines()->Add("x");
    recording->Lines()->EndUpdate();
    ASSERT_EQ(recording->Messages({WM_SETREDRAW, CM_TEXTCHANGED}), std::vector<UINT>{WM_SETREDRAW});
    EXPECT_EQ(recording->Log.front().Msg, UINT(WM_SETREDRAW));
    EXPECT_EQ(recording->Log.front().WParam, WPARAM(0));
    const int during = changes;
    recording->Lines()->EndUpdate();
    EXPECT_EQ(recording->Messages({WM_SETREDRAW, CM_TEXTCHANGED}),
              (std::vector<UINT>{WM_SETREDRAW, WM_SETREDRAW, CM_TEXTCHANGED}));
    EXPECT_EQ(changes, during + 1);
    const auto redraw = std::find_if(recording->Log.rbegin(), recording->Log.rend(),
                                     [](const TMessage& m) { return m.Msg == WM_SETREDRAW; });
    EXPECT_EQ(redraw->WParam, WPARAM(1));

    // The wide list: the same redraw pair, the text-changed notice straight to the platform.
    recording->Log.clear();
    changes = 0;
    recording->WideLines()->BeginUpdate();
    recording->WideLines()->EndUpdate();
    EXPECT_EQ(recording->Messages({WM_SETREDRAW, CM_TEXTCHANGED}),
              (std::vector<UINT>{WM_SETREDRAW, WM_SETREDRAW}));
    EXPECT_EQ(changes, 0);
}

TEST_F(RichEditStringsTest, AddStringsDetachesTheSelectionEvent) {
    int selections = 0;
    edit_->OnSelectionChange = [&](TObject*) { ++selections; };
    Lines()->Add("first");
    ASSERT_GT(selections, 0); // a single line moves the selection and says so

    selections = 0;
    TStringList source;
    source.Add("a");
    source.Add("b");
    Lines()->AddStrings(&source);
    EXPECT_EQ(selections, 0);
    EXPECT_EQ(WindowText(), u"first\ra\rb\r");

    TMemoryWideStrings wide;
    wide.Add(u"c");
    WideLines()->AddStrings(&wide);
    EXPECT_EQ(selections, 0);
    EXPECT_EQ(WindowText(), u"first\ra\rb\rc\r");

    // Attached again afterwards, also after a failure.
    Send(EM_EXLIMITTEXT, 0, 16);
    source.Add("too long for the limit");
    EXPECT_NE(Raised([&] { Lines()->AddStrings(&source); }), "");
    ASSERT_TRUE(bool(edit_->OnSelectionChange));
    selections = 0;
    edit_->SetSelectionStart(0);
    EXPECT_GT(selections, 0);
}

// Lines live in the window: an edit on a control whose window does not exist yet creates it
// rather than losing the text.
TEST_F(RichEditStringsTest, ListsOfAControlWithoutWindow) {
    TRichEdit20 loose(nullptr);
    EXPECT_EQ(loose.Lines()->Count(), 0);
    EXPECT_EQ(loose.Lines()->Get(0), "");

    TForm hidden(nullptr); // its window is not created yet
    auto* late = new TRichEdit20(&hidden);
    late->SetParent(&hidden);
    ASSERT_FALSE(late->HandleAllocated());
    late->Lines()->Add("kept");
    EXPECT_TRUE(late->HandleAllocated());
    EXPECT_EQ(late->WideText(), u"kept\r");
}

// --- streaming -------------------------------------------------------------------------------

TEST_F(RichEditStringsTest, ConversionFormatsAreTxtThenRtf) {
    const TConversionFormat* first = ConversionFormats();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Extension, "txt");
    ASSERT_NE(first->Next, nullptr);
    EXPECT_EQ(first->Next->Extension, "rtf");
    EXPECT_EQ(first->Next->Next, nullptr);
    EXPECT_EQ(first->ConversionClass()->ClassName(), "TConversion");
    EXPECT_EQ(first->Next->ConversionClass()->ClassName(), "TConversion");
}

TEST_F(RichEditStringsTest, StreamsRoundTripInEachFormat) {
    Lines()->Add("alpha {x} \\ caf\xE9");
    Lines()->AppendText("omega");
    const std::u16string text = WindowText();
    for (auto [out, in] : {std::pair{ofRTF, ifRTF}, std::pair{ofText, ifText},
                           std::pair{ofUnicode, ifUnicode}, std::pair{ofRTFNoObjs, ifRTF}}) {
        SCOPED_TRACE(int(out));
        edit_->SetOutputFormat(out);
        edit_->SetInputFormat(in);
        TMemoryStream stream;
        Lines()->SaveToStream(stream);
        Lines()->Clear();
        stream.SetPosition(0);
        Lines()->LoadFromStream(stream);
        EXPECT_EQ(WindowText(), text);
    }
}

TEST_F(RichEditStringsTest, UnicodeMarkOnlyAtTheStartOfAStream) {
    Lines()->Add("ab");
    Lines()->AppendText("c");
    edit_->SetOutputFormat(ofUnicode);
    const std::string text("a\0b\0\r\0\n\0c\0", 10);
    TMemoryStream empty;
    Lines()->SaveToStream(empty);
    EXPECT_EQ(Bytes(empty), "\xFF\xFE" + text);

    TMemoryStream later;
    later.Write("xyz", 3);
    Lines()->SaveToStream(later);
    EXPECT_EQ(Bytes(later), "xyz" + text);

    edit_->SetOutputFormat(ofText);
    TMemoryStream plain;
    Lines()->SaveToStream(plain);
    EXPECT_EQ(Bytes(plain), "ab\r\nc");
}

// The progress events fire once per chunk, each in its own direction: loading before each
// read, saving after each write.
TEST_F(RichEditStringsTest, ProgressEventsOncePerChunkInTheirDirection) {
    ChunkCounts counts;
    edit_->SetDefaultConverterClass(
        [&counts] { return std::make_unique<CountingConversion>(counts); });
    for (int i = 0; i < 4; ++i)
        Lines()->Add(BitLine(16384));
    const std::u16string text = WindowText();
    std::vector<std::pair<int, int>> loads, saves;
    edit_->OnLoadProgress = [&](TObject* sender, int pos, int size) {
        EXPECT_EQ(sender, edit_);
        loads.emplace_back(pos, size);
    };
    edit_->OnSaveProgress = [&](TObject* sender, int pos, int size) {
        EXPECT_EQ(sender, edit_);
        saves.emplace_back(pos, size);
    };

    TMemoryStream stream;
    Lines()->SaveToStream(stream);
    EXPECT_GE(counts.writes, 3); // 64K characters do not fit one chunk
    EXPECT_EQ(int(saves.size()), counts.writes);
    EXPECT_TRUE(loads.empty());
    ASSERT_FALSE(saves.empty());
    EXPECT_GT(saves.front().first, 0); // reported after the chunk was written
    EXPECT_EQ(saves.back().first, int(stream.Size()));

    Lines()->Clear();
    saves.clear();
    stream.SetPosition(0);
    Lines()->LoadFromStream(stream);
    EXPECT_EQ(WindowText(), text);
    EXPECT_GE(counts.reads, 3);
    EXPECT_EQ(int(loads.size()), counts.reads);
    EXPECT_TRUE(saves.empty());
    ASSERT_FALSE(loads.empty());
    EXPECT_EQ(loads.front(), std::pair(0, int(stream.Size()))); // reported before reading
}

TEST_F(RichEditStringsTest, FailuresInsideTheCallbacks) {
    ChunkCounts counts;
    edit_->SetDefaultConverterClass(
        [&counts] { return std::make_unique<CountingConversion>(counts); });
    Lines()->Add("kept");
    TMemoryStream source;
    source.Write("{\\rtf1 other\\par}", 17);

    // Rich text input that cannot be read, and then not as plain text either.
    counts.failReads = true;
    source.SetPosition(0);
    EXPECT_EQ(Raised([&] { Lines()->LoadFromStream(source); }),
              "EOutOfResources: Failed to Load Stream");
    EXPECT_EQ(WindowText(), u"kept\r");
    // Plain text input is not checked.
    edit_->SetInputFormat(ifText);
    source.SetPosition(0);
    EXPECT_EQ(Raised([&] { Lines()->LoadFromStream(source); }), "");
    counts.failReads = false;

    counts.failWrites = true;
    TMemoryStream target;
    EXPECT_EQ(Raised([&] { Lines()->SaveToStream(target); }),
              "EOutOfResources: Failed to Save Stream");
    counts.failWrites = false;

    // A progress handler that raises fails the save after its chunk was written.
    edit_->OnSaveProgress = [](TObject*, int, int) { throw Exception("stop"); };
    TMemoryStream partial;
    EXPECT_EQ(Raised([&] { Lines()->SaveToStream(partial); }),
              "EOutOfResources: Failed to Save Stream");
    EXPECT_GT(partial.Size(), 0);
    edit_->OnSaveProgress = nullptr;

    edit_->SetInputFormat(ifRTF);
    edit_->OnLoadProgress = [](TObject*, int, int) { throw Exception("stop"); };
    source.SetPosition(0);
    EXPECT_EQ(Raised([&] { Lines()->LoadFromStream(source); }),
              "EOutOfResources: Failed to Load Stream");
}

TEST_F(RichEditStringsTest, NotRichTextLoadsAsPlainText) {
    TMemoryStream source;
    source.Write("hello\r\nworld\r\n", 14);
    source.SetPosition(0);
    Lines()->LoadFromStream(source);
    EXPECT_EQ(WindowText(), u"hello\rworld\r");
    EXPECT_EQ(Lines()->Count(), 2);
}

TEST_F(RichEditStringsTest, WideLinesStreamThroughLines) {
    Lines()->Add("wide");
    TMemoryStream stream;
    WideLines()->SaveToStream(stream);
    EXPECT_EQ(Bytes(stream).rfind("{\\rtf", 0), 0u); // the control's format, not FE FF text
    Lines()->Clear();
    stream.SetPosition(0);
    WideLines()->LoadFromStream(stream);
    EXPECT_EQ(WindowText(), u"wide\r");

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("wide.rtf").toStdString();
    WideLines()->SaveToFile(path);
    EXPECT_NE(Strings()->Converter(), nullptr);
    Lines()->Clear();
    WideLines()->LoadFromFile(path);
    EXPECT_EQ(WindowText(), u"wide\r");
}

// --- files -----------------------------------------------------------------------------------

// The monitor's save: rich text whatever the extension, a document other programs read.
TEST_F(RichEditStringsTest, SaveToFileWritesRichTextThatLibreOfficeReads) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<std::string> lines = {"Connected to 127.0.0.1 / 1236", BitLine(64),
                                            "Server at 127.0.0.1 / 1236 disconnected",
                                            std::string(51, '*'), ""};
    for (const std::string& line : lines)
        Lines()->Add(line);
    const std::string path = dir.filePath("stream file .txt").toStdString();
    Lines()->SaveToFile(path);
    EXPECT_NE(Strings()->Converter(), nullptr);
    const std::string saved = testsupport::ReadFile(path);
    EXPECT_EQ(saved.rfind("{\\rtf", 0), 0u);

    // Our own reader takes it back.
    Lines()->Clear();
    Lines()->LoadFromFile(path);
    ASSERT_EQ(Lines()->Count(), int(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(Lines()->Get(int(i)), lines[i]);

    KELVOR_REQUIRE_LIBREOFFICE();
    std::string expected;
    for (const std::string& line : lines)
        expected += line + "\n";
    expected += "\n"; // the final paragraph mark ends a paragraph too
    EXPECT_EQ(testsupport::LibreOfficeText(path), expected);
}

TEST_F(RichEditStringsTest, PlainTextFileLoadsAsText) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("notes.rtf").toStdString();
    testsupport::WriteFile(path, "plain line\r\nsecond\r\n");
    ASSERT_EQ(edit_->InputFormat(), ifRTF);
    Lines()->LoadFromFile(path);
    EXPECT_EQ(Lines()->Count(), 2);
    EXPECT_EQ(Lines()->Get(0), "plain line");
    EXPECT_EQ(Lines()->Get(1), "second");
    EXPECT_NE(Strings()->Converter(), nullptr);
}

// A file that cannot be opened or created raises the framework's file error and leaves no
// converter installed (one from an earlier success included); the text stays.
TEST_F(RichEditStringsTest, FileErrorsLeaveNoConverter) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Lines()->Add("kept");
    Lines()->SaveToFile(dir.filePath("first.rtf").toStdString());
    ASSERT_NE(Strings()->Converter(), nullptr);

    const std::string missing = dir.filePath("missing.rtf").toStdString();
    EXPECT_EQ(Raised([&] { Lines()->LoadFromFile(missing); }),
              "EFOpenError: Cannot open file " + missing);
    EXPECT_EQ(Strings()->Converter(), nullptr);
    EXPECT_EQ(WindowText(), u"kept\r");

    Lines()->SaveToFile(dir.filePath("second.txt").toStdString());
    ASSERT_NE(Strings()->Converter(), nullptr);
    const std::string nowhere = dir.filePath("no such folder/x.txt").toStdString();
    EXPECT_EQ(Raised([&] { Lines()->SaveToFile(nowhere); }),
              "EFCreateError: Cannot create file " + nowhere);
    EXPECT_EQ(Strings()->Converter(), nullptr);

    EXPECT_EQ(WindowText(), u"kept\r");
}

// While a file is being loaded others may read it but not write to it.
TEST_F(RichEditStringsTest, LoadingDeniesOthersWriting) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("open.rtf").toStdString();
    Lines()->Add("text");
    Lines()->SaveToFile(path);
    std::string writerRaised = "(not tried)";
    std::string readerRaised = "(not tried)";
    edit_->OnLoadProgress = [&](TObject*, int, int) {
        writerRaised = Raised([&] { TFileStream writer(path, fmOpenWrite); });
        readerRaised = Raised([&] { TFileStream reader(path, fmOpenRead | fmShareDenyNone); });
    };
    Lines()->LoadFromFile(path);
    EXPECT_EQ(writerRaised, "EFOpenError: Cannot open file " + path);
    EXPECT_EQ(readerRaised, "");
    EXPECT_EQ(WindowText(), u"text\r");
}

} // namespace
