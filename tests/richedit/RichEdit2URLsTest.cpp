// URL schemes and the extended URL colouring: which words become links and in which format,
// what the scan leaves as it was (selection, scroll position, events), and the cursor and
// events for a link under the mouse.

#include "RichEditControlFixture.h"
#include "framework/FormReader.h"
#include "framework/FormWriter.h"
#include "framework/Streams.h"
#include "platform/richedit/RichEditControl.h"

#include <string>
#include <vector>

namespace {

// The character format of [from, to) as the selection reports it.
struct Format {
    bool consistent; // the whole range has one link state, colour and underline
    bool link;
    COLORREF color;
    BYTE underline;
};

class URLTest : public RichEditControlTest {
protected:
    void SetUp() override {
        RichEditControlTest::SetUp();
        edit_->SetLanguage(1033);
    }

    Format FormatOf(int from, int to) {
        CHARRANGE range{from, to};
        Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
        CHARFORMAT2W format{};
        format.cbSize = sizeof format;
        Send(EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        const DWORD needed = CFM_LINK | CFM_COLOR | CFM_UNDERLINETYPE;
        return {(format.dwMask & needed) == needed, (format.dwEffects & CFE_LINK) != 0,
                (format.dwEffects & CFE_AUTOCOLOR) ? COLORREF(-1) : format.crTextColor,
                format.bUnderlineType};
    }
    // The text is set without a scan; the scan under test runs over all of it.
    void ScanAll(const std::string& text) {
        edit_->SetText(text);
        edit_->ColorURLs(0, edit_->TextLength());
    }
    bool IsLink(int from, int to) {
        const Format f = FormatOf(from, to);
        return f.consistent && f.link;
    }
    void ExpectUrl(int from, int to, COLORREF color = 0xFF0000, BYTE underline = CFU_UNDERLINE) {
        const Format f = FormatOf(from, to);
        EXPECT_TRUE(f.consistent && f.link) << from << ".." << to;
        EXPECT_EQ(f.color, color) << from << ".." << to;
        EXPECT_EQ(f.underline, underline) << from << ".." << to;
    }
    void ExpectPlain(int from, int to) {
        const Format f = FormatOf(from, to);
        EXPECT_TRUE(f.consistent) << from << ".." << to;
        EXPECT_FALSE(f.link) << from << ".." << to;
        EXPECT_EQ(f.color, 0u) << from << ".." << to; // 0x20000000 draws black
        EXPECT_EQ(f.underline, CFU_UNDERLINENONE) << from << ".." << to;
    }
    // A link notification as the platform control sends it, reflected to the control.
    LRESULT Link(UINT msg, int from, int to) {
        ENLINK link{};
        link.nmhdr.hwndFrom = Window();
        link.nmhdr.code = EN_LINK;
        link.msg = msg;
        link.chrg = {from, to};
        return edit_->Perform(CN_NOTIFY, 0, reinterpret_cast<LPARAM>(&link));
    }
};

// --- the schemes ------------------------------------------------------------------------------

TEST_F(URLTest, TheSchemesMergeByExactNameAndSurviveSelfAssignment) {
    TURLCollection* urls = edit_->CustomURLs();
    const std::vector<std::string> defaults{"e-mail", "http", "file",     "mailto", "ftp",  "https",
                                            "gopher", "nntp", "prospero", "telnet", "news", "wais"};
    ASSERT_EQ(urls->Count(), 12);
    for (int i = 0; i < urls->Count(); ++i) {
        EXPECT_EQ(urls->Items(i)->Name(), defaults[std::size_t(i)]);
        EXPECT_EQ(urls->Items(i)->Color(), clWindowText);
        EXPECT_EQ(urls->Items(i)->Cursor(), crDefault);
        EXPECT_TRUE(urls->Items(i)->Underline());
    }

    // Names compare exactly: "HTTP" is a new entry, "ftp" is updated in place.
    urls->AddURLType("HTTP", clRed, crCross, false);
    urls->AddURLType("ftp", clGreen, crIBeam, false);
    ASSERT_EQ(urls->Count(), 13);
    EXPECT_EQ(urls->Items(12)->Name(), "HTTP");
    EXPECT_EQ(urls->Items(4)->Color(), clGreen);
    EXPECT_EQ(urls->Items(4)->Cursor(), crIBeam);

    // Two "http" entries merge into the first one's place with the second one's values.
    TURLCollection given(edit_);
    given.AddURLType("e-mail", clWindowText, crDefault, true);
    auto* first = static_cast<TURLType*>(given.Add());
    first->SetName("http");
    first->SetColor(clRed);
    given.AddURLType("news", clWindowText, crDefault, true);
    auto* second = static_cast<TURLType*>(given.Add());
    second->SetName("http");
    second->SetColor(clLime);
    second->SetCursor(crCross);
    second->SetUnderline(false);
    edit_->SetCustomURLs(&given);
    ASSERT_EQ(urls->Count(), 3);
    EXPECT_EQ(urls->Items(1)->Name(), "http");
    EXPECT_EQ(urls->Items(1)->Color(), clLime);
    EXPECT_EQ(urls->Items(1)->Cursor(), crCross);
    EXPECT_FALSE(urls->Items(1)->Underline());
    EXPECT_EQ(urls->Items(2)->Name(), "news");

    edit_->SetCustomURLs(urls);
    EXPECT_EQ(urls->Count(), 3);
    edit_->SetCustomURLs(nullptr);
    EXPECT_EQ(urls->Count(), 0);

    // Assigning a font to a scheme changes nothing and raises nothing.
    TFont font;
    given.Items(0)->Assign(&font);
    EXPECT_EQ(given.Items(0)->Name(), "e-mail");
}

TEST_F(URLTest, TheSchemesTravelInFormData) {
    edit_->SetName("Edit");
    edit_->CustomURLs()->AddURLType("ftp", clRed, crCross, false);
    const std::string data = WriteComponentData(form_.get());
    EXPECT_NE(data.find("\"CustomURLs\""), std::string::npos) << data;

    TForm copy(nullptr);
    ReadComponentData(&copy, data);
    auto* loaded = dynamic_cast<TRichEdit20*>(copy.FindComponent("Edit"));
    ASSERT_NE(loaded, nullptr);
    TURLCollection* urls = loaded->CustomURLs();
    ASSERT_EQ(urls->Count(), 12);
    EXPECT_EQ(urls->Items(4)->Name(), "ftp");
    EXPECT_EQ(urls->Items(4)->Color(), clRed);
    EXPECT_EQ(urls->Items(4)->Cursor(), crCross);
    EXPECT_FALSE(urls->Items(4)->Underline());
    EXPECT_TRUE(urls->Items(5)->Underline());
}

// --- which words are URLs ---------------------------------------------------------------------

TEST_F(URLTest, OnlyTheSchemeWordOfALineBecomesALink) {
    ScanAll("see http://abc for");
    ExpectPlain(0, 3);
    ExpectUrl(4, 14);
    ExpectPlain(15, 18);
    EXPECT_FALSE(IsLink(3, 4)); // the blanks between words are left alone

    // The scheme's own colour and underline, and the control's URL colour for the window
    // text colour.
    edit_->CustomURLs()->AddURLType("ftp", clRed, crDefault, false);
    edit_->SetURLColor(clLime);
    ScanAll("ftp://x http://y");
    ExpectUrl(0, 7, 0x0000FF, CFU_UNDERLINENONE);
    ExpectUrl(8, 16, 0x00FF00);
}

TEST_F(URLTest, ASchemeNeedsMoreThanItsColonAndMustStartTheWord) {
    ScanAll("http: x");
    ExpectPlain(0, 5);
    ScanAll("http:/ x");
    ExpectUrl(0, 6);
    ScanAll("HTTPS:abc"); // the comparison ignores case
    ExpectUrl(0, 9);
    ScanAll("xhttp://abc .http://abc");
    ExpectPlain(0, 11);
    ExpectPlain(12, 23);

    // '-' ends a URL word: what follows is a separate, plain word.
    ScanAll("go http://ab-cd now");
    ExpectUrl(3, 12);
    ExpectPlain(13, 15);
    // '?', '=', '&', '%', '#', '~' and '_' end it too.
    ScanAll("http://a?b");
    ExpectUrl(0, 8);
    ExpectPlain(9, 10);
}

TEST_F(URLTest, EmailAddressesNeedSomethingBeforeTheAtAndADotAfterIt) {
    ScanAll("a@b.c");
    ExpectUrl(0, 5);
    for (const char* text : {"x @b.c", "x a@.c", "x a@bc", "x a@"}) {
        ScanAll(text);
        ExpectPlain(2, edit_->TextLength());
    }
    // The e-mail format is entry 0's.
    edit_->CustomURLs()->Items(0)->SetColor(clRed);
    ScanAll("me@home.nl");
    ExpectUrl(0, 10, 0x0000FF);
}

TEST_F(URLTest, TheFirstCharacterOfTheTextStartsAWordWhateverItIs) {
    // A leading blank belongs to the first word, which then never starts with a scheme.
    ScanAll(" http://abc http://d");
    EXPECT_FALSE(IsLink(0, 11));
    ExpectUrl(12, 20);
}

TEST_F(URLTest, FewSchemesMeanFewURLs) {
    TURLCollection one(edit_);
    one.AddURLType("mailto", clWindowText, crDefault, true);
    edit_->SetCustomURLs(&one);
    ScanAll("mailto:abc a@b.c");
    ExpectPlain(0, 10); // entry 0 is never a scheme
    ExpectUrl(11, 16);

    edit_->SetCustomURLs(nullptr);
    ScanAll("a@b.c http://x");
    ExpectPlain(0, 5);
    ExpectPlain(6, 14);
}

TEST_F(URLTest, URLPositionsHoldPastCharactersOutsideTheCodePage) {
    // A character outside code page 1252 and a surrogate pair before the URL: the URL is
    // still found where it is in the text.
    edit_->SetText("x");
    const std::u16string text = u"\u65E5 \U0001F600 http://ab z";
    SendMessage(Window(), WM_SETTEXT, 0, 0);
    edit_->SetWideTextMode(true);
    edit_->SetSelectionStart(0);
    Send(EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text.c_str()));
    edit_->SetWideTextMode(false);
    edit_->ColorURLs(0, edit_->TextLength());
    ExpectUrl(5, 14);
    ExpectPlain(15, 16);
}

// --- what the scan leaves as it was -----------------------------------------------------------

// Records, at every selection change the window reports, whether drawing was suspended.
class WatchedRichEdit : public TRichEdit20 {
public:
    using TRichEdit20::TRichEdit20;
    void SelectionChanged() override {
        ++changes;
        const RichEditControl* control = RichEditControlOf(Handle());
        drawnDuringChange |= control && control->RedrawEnabled();
        TRichEdit20::SelectionChanged();
    }
    int changes = 0;
    bool drawnDuringChange = false;
};

TEST_F(URLTest, TheScanDrawsNothingFiresNoEventAndPutsSelectionAndScrollBack) {
    auto* edit = new WatchedRichEdit(form_.get());
    edit->SetParent(form_.get());
    edit->SetBounds(8, 44, 700, 170);
    edit->HandleNeeded();
    std::string text;
    for (int i = 0; i < 60; ++i) {
        text += "line " + std::to_string(i) + " http://host" + std::to_string(i) + "/x\r\n";
    }
    edit->SetText(text);
    SendMessage(edit->Handle(), EM_LINESCROLL, 0, 20);
    CHARRANGE selection{700, 705};
    SendMessage(edit->Handle(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
    const int firstLine = edit->FirstVisibleLine();
    ASSERT_GT(firstLine, 0);

    int changes = 0;
    int selectionChanges = 0;
    edit->OnChange = [&](TObject*) { ++changes; };
    edit->OnSelectionChange = [&](TObject*) { ++selectionChanges; };
    edit->changes = 0;
    edit->drawnDuringChange = false;
    edit->ColorURLs(0, edit->TextLength());

    EXPECT_GT(edit->changes, 60);          // the window reported the scan's selections ...
    EXPECT_FALSE(edit->drawnDuringChange); // ... all while drawing was suspended
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(selectionChanges, 0);
    EXPECT_EQ(edit->RedrawLock, 0);
    EXPECT_TRUE(RichEditControlOf(edit->Handle())->RedrawEnabled());
    EXPECT_EQ(edit->SelectionStart(), 700);
    EXPECT_EQ(edit->SelectionLength(), 5);
    EXPECT_EQ(edit->FirstVisibleLine(), firstLine);

    // The events are attached again.
    edit->SetSelectionStart(3);
    EXPECT_EQ(selectionChanges, 1);
}

TEST_F(URLTest, NestedSuspensionsRestoreWhatTheOutermostSaw) {
    edit_->SetText("abcdef http://x");
    edit_->SetSelectionStart(2);
    edit_->SetSelectionLength(2);
    edit_->SuspendRedraw();
    edit_->ColorURLs(0, edit_->TextLength()); // moves the selection word by word
    EXPECT_EQ(edit_->RedrawLock, 1);
    edit_->ResumeRedraw();
    EXPECT_EQ(edit_->RedrawLock, 0);
    EXPECT_EQ(edit_->SelectionStart(), 2);
    EXPECT_EQ(edit_->SelectionLength(), 2);
}

TEST_F(URLTest, TooShortATextIsLeftAlone) {
    edit_->SetText("ab");
    edit_->SetSelectionStart(1);
    edit_->ColorURLs(0, 2);
    EXPECT_EQ(edit_->SelectionStart(), 1);
    EXPECT_EQ(edit_->RedrawLock, 0);
}

// --- when the scan runs -----------------------------------------------------------------------

TEST_F(URLTest, ExtendedDetectionScansTypedTextAndLoadedText) {
    // Text that came in before the mode was switched on stays as it was.
    edit_->SetText("http://a b");
    edit_->SetAutoURLDetect(adExtended);
    EXPECT_FALSE(IsLink(0, 8));

    // A space typed at the end widens to nothing, and the whole text is scanned again.
    edit_->SetSelectionStart(edit_->TextLength());
    Send(WM_CHAR, ' ', 1);
    ExpectUrl(0, 8);

    // Typing inside a word re-formats the words around the change.
    edit_->SetSelectionStart(3); // "htt|p://a"
    Send(WM_CHAR, 'x', 1);
    ExpectPlain(0, 9); // "httxp://a" names no scheme
    EXPECT_EQ(edit_->LastChangeStart, 4);
    EXPECT_EQ(edit_->LastChangeEnd, 4);

    // A load through the line list scans everything it brought.
    TMemoryStream stream;
    const std::string loaded = "mail me@x.nl or ftp://y";
    stream.Write(loaded.data(), std::int64_t(loaded.size()));
    stream.SetPosition(0);
    edit_->SetInputFormat(ifText);
    edit_->Lines()->LoadFromStream(stream);
    ExpectUrl(5, 12);
    ExpectUrl(16, 23);
    EXPECT_EQ(edit_->LastChangeStart, 0);
    EXPECT_EQ(edit_->LastChangeEnd, 23);

    // Without extended detection nothing is scanned.
    edit_->SetAutoURLDetect(adNone);
    edit_->SetText("x");
    edit_->SetSelectionStart(1);
    Send(WM_CHAR, ' ', 1);
    stream.SetPosition(0);
    edit_->Lines()->LoadFromStream(stream);
    EXPECT_FALSE(IsLink(5, 12));
}

// --- links under the mouse --------------------------------------------------------------------

TEST_F(URLTest, HoveringPicksTheSchemesCursorThenTheControlsThenTheHand) {
    edit_->SetText("http://abc ftp://d me@x.nl HTTPX://q nix:y x");
    std::vector<std::string> moves;
    edit_->OnURLMove = [&](TObject*, const std::string& url) { moves.push_back(url); };
    const HCURSOR hand = LoadCursor(nullptr, IDC_HAND);
    const HCURSOR cross = LoadCursor(nullptr, IDC_CROSS);
    const HCURSOR ibeam = LoadCursor(nullptr, IDC_IBEAM);

    EXPECT_EQ(Link(WM_MOUSEMOVE, 0, 10), 0);
    EXPECT_EQ(GetCursor(), hand); // entry cursor 0: URLCursor, the hand
    edit_->SetURLCursor(crIBeam);
    Link(WM_MOUSEMOVE, 0, 10);
    EXPECT_EQ(GetCursor(), ibeam);
    edit_->SetURLCursor(crDefault);
    Link(WM_MOUSEMOVE, 0, 10);
    EXPECT_EQ(GetCursor(), hand); // URLCursor 0 too: the hand

    edit_->CustomURLs()->AddURLType("ftp", clWindowText, crCross, true);
    Link(WM_MOUSEMOVE, 11, 18);
    EXPECT_EQ(GetCursor(), cross);
    // An unnamed scheme takes the last entry's cursor: make it the cross.
    edit_->CustomURLs()->Items(edit_->CustomURLs()->Count() - 1)->SetCursor(crCross);
    Link(WM_MOUSEMOVE, 37, 42); // "nix:y"
    EXPECT_EQ(GetCursor(), cross);
    // The link's scheme is lower-cased before it is compared: "HTTPX" finds "httpx".
    edit_->CustomURLs()->AddURLType("httpx", clWindowText, crIBeam, true);
    Link(WM_MOUSEMOVE, 27, 36);
    EXPECT_EQ(GetCursor(), ibeam);
    // An address without a scheme takes entry 0's.
    edit_->CustomURLs()->Items(0)->SetCursor(crCross);
    Link(WM_MOUSEMOVE, 19, 26);
    EXPECT_EQ(GetCursor(), cross);

    EXPECT_EQ(moves, (std::vector<std::string>{"http://abc", "http://abc", "http://abc", "ftp://d",
                                               "nix:y", "HTTPX://q", "me@x.nl"}));
}

TEST_F(URLTest, OnlyAReleasedLeftButtonOnALongerLinkClicks) {
    edit_->SetText("http://abc x");
    std::vector<std::string> clicks;
    int moves = 0;
    edit_->OnURLClick = [&](TObject*, const std::string& url) { clicks.push_back(url); };
    edit_->OnURLMove = [&](TObject*, const std::string&) { ++moves; };
    EXPECT_EQ(Link(WM_LBUTTONDOWN, 0, 10), 0);
    EXPECT_EQ(Link(WM_LBUTTONUP, 0, 10), 0);
    Link(WM_RBUTTONUP, 0, 10);
    // A link of one character fires nothing.
    Link(WM_LBUTTONUP, 11, 12);
    Link(WM_MOUSEMOVE, 11, 12);
    EXPECT_EQ(clicks, std::vector<std::string>{"http://abc"});
    EXPECT_EQ(moves, 0);
}

TEST_F(URLTest, ThePlatformsLinkNotificationReachesTheEvents) {
    edit_->SetAutoURLDetect(adExtended);
    edit_->SetText("http://abcdefghij");
    edit_->ColorURLs(0, edit_->TextLength());
    std::vector<std::string> moves;
    edit_->OnURLMove = [&](TObject*, const std::string& url) { moves.push_back(url); };
    Send(WM_MOUSEMOVE, 0, MAKELONG(20, 6));
    EXPECT_EQ(moves, std::vector<std::string>{"http://abcdefghij"});
}

} // namespace
