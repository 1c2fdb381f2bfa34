#include "MemoryWideStrings.h"

#include <gtest/gtest.h>

namespace {

void Fill(TMemoryWideStrings& list, const Lines& lines) {
    for (const auto& line : lines)
        list.Add(line);
}

TEST(WideStrings, SetTextStrSplitsAtEveryKindOfLineBreak) {
    TMemoryWideStrings list;
    const std::pair<std::u16string, Lines> cases[] = {
        {u"a\r\nb\r\n", {u"a", u"b"}},
        {u"", {}},
        {u"\n\r", {u"", u""}},
        {u"a\r\rb", {u"a", u"", u"b"}},
        {u"a\nb\rc", {u"a", u"b", u"c"}},
        {u"no break", {u"no break"}},
        {u"\r\n", {u""}},
    };
    for (const auto& [text, lines] : cases) {
        list.Add(u"old");
        list.SetTextStr(text);
        EXPECT_EQ(list.Lines(), lines);
    }
    list.SetText(static_cast<const WCHAR*>(nullptr));
    EXPECT_EQ(list.Count(), 0);
}

TEST(WideStrings, TextAndBuffer) {
    TMemoryWideStrings list;
    Fill(list, {u"ab", u"\u4E2D\U0001F600"});
    EXPECT_EQ(list.GetTextStrW(), u"ab\r\n\u4E2D\U0001F600\r\n");
    const std::unique_ptr<WCHAR[]> buffer = list.GetTextW();
    EXPECT_EQ(std::u16string(buffer.get()), list.GetTextStrW());
    const size_t n = list.GetTextStrW().size();
    for (size_t i = n; i < n + 5; ++i)
        EXPECT_EQ(buffer[i], 0) << i;
    TMemoryWideStrings copy;
    copy.SetText(buffer.get());
    EXPECT_TRUE(copy.Equals(&list));
}

TEST(WideStrings, UpdatesNestAndUnwind) {
    TMemoryWideStrings list;
    list.BeginUpdate();
    list.BeginUpdate();
    list.EndUpdate();
    EXPECT_EQ(list.UpdateStates, std::vector<bool>{true});
    list.EndUpdate();
    EXPECT_EQ(list.UpdateStates, (std::vector<bool>{true, false}));

    // Many additions, one update.
    list.UpdateStates.clear();
    list.SetTextStr(u"a\rb\rc");
    EXPECT_EQ(list.UpdateStates, (std::vector<bool>{true, false}));

    // A failure inside the update still ends it.
    TMemoryWideStrings source;
    Fill(source, {u"x", u"bad", u"y"});
    list.UpdateStates.clear();
    list.FailOn = u"bad";
    EXPECT_THROW(list.AddStrings(&source), EListError);
    EXPECT_EQ(list.UpdateStates, (std::vector<bool>{true, false}));
    EXPECT_EQ(list.UpdateCount(), 0);
}

TEST(WideStrings, PutExchangeAndMoveKeepObjects) {
    TMemoryWideStrings list;
    TObject a, b, c;
    list.AddObject(u"a", &a);
    list.AddObject(u"b", &b);
    list.AddObject(u"c", &c);

    list.Put(1, u"B");
    EXPECT_EQ(list.Lines(), (Lines{u"a", u"B", u"c"}));
    EXPECT_EQ(list.GetObject(1), &b);

    list.UpdateStates.clear();
    list.Exchange(0, 2);
    EXPECT_EQ(list.Lines(), (Lines{u"c", u"B", u"a"}));
    EXPECT_EQ(list.GetObject(0), &c);
    EXPECT_EQ(list.GetObject(2), &a);
    EXPECT_EQ(list.UpdateStates, (std::vector<bool>{true, false}));

    list.Move(0, 2);
    EXPECT_EQ(list.Lines(), (Lines{u"B", u"a", u"c"}));
    EXPECT_EQ(list.GetObject(2), &c);

    list.UpdateStates.clear();
    list.Move(1, 1);
    EXPECT_TRUE(list.UpdateStates.empty());
}

TEST(WideStrings, IndexOfIgnoresCaseInTheListsLanguage) {
    TMemoryWideStrings list;
    EXPECT_EQ(list.GetLanguage(), GetUserDefaultLangID());
    Fill(list, {u"xyz", u"abc", u"ABC"});
    EXPECT_EQ(list.IndexOf(u"ABC"), 1);
    EXPECT_EQ(list.IndexOf(u"nothing"), -1);

    list.SetLanguage(1043);
    list.SetTextStr(u"appel\r\nijsselmeer");
    EXPECT_EQ(list.IndexOf(u"IJSSELMEER"), 1);

    list.SetLanguage(1055);
    list.SetTextStr(u"istanbul\r\n\u0131l\u0131k");
    EXPECT_EQ(list.IndexOf(u"\u0130STANBUL"), 0);
    EXPECT_EQ(list.IndexOf(u"ILIK"), 1);
    EXPECT_EQ(list.IndexOf(u"ISTANBUL"), -1);
}

TEST(WideStrings, EqualsComparesExactly) {
    TMemoryWideStrings a, b;
    Fill(a, {u"abc", u"\u00E9"});
    Fill(b, {u"abc", u"\u00E9"});
    EXPECT_TRUE(a.Equals(&b));
    b.Put(0, u"ABC");
    EXPECT_FALSE(a.Equals(&b));
    b.Put(0, u"abc");
    b.Add(u"");
    EXPECT_FALSE(a.Equals(&b));
}

TEST(WideStrings, AssignFromWideAndEightBitLists) {
    TMemoryWideStrings source, target;
    Fill(source, {u"\u4E2D", u"b"});
    Fill(target, {u"old"});
    target.Assign(&source);
    EXPECT_EQ(target.Lines(), source.Lines());
    // A list assigned to itself keeps its lines.
    target.Assign(&target);
    EXPECT_EQ(target.Lines(), source.Lines());

    TStringList narrow;
    TObject object;
    narrow.AddObject("caf\xE9", &object);
    narrow.Add("x");
    target.UpdateStates.clear();
    target.Assign(&narrow);
    // Replaces what was there, converting with the system's code page.
    EXPECT_EQ(target.Lines(), (Lines{AnsiToWide("caf\xE9", CP_ACP), u"x"}));
    EXPECT_EQ(target.GetObject(0), &object);
    EXPECT_EQ(target.UpdateStates, (std::vector<bool>{true, false}));

    TPersistent other;
    try {
        target.Assign(&other);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TPersistent to a TMemoryWideStrings");
    }
}

TEST(WideStrings, EightBitOperationsAreAbstract) {
    TMemoryWideStrings memory;
    memory.Add(u"keep");
    TWideStrings& list = memory;
    auto expectAbstract = [&](auto&& call) {
        try {
            call();
            ADD_FAILURE() << "no exception";
        } catch (const EAbstractError& e) {
            EXPECT_EQ(e.Message(), "Abstract Error");
        }
        EXPECT_EQ(memory.Lines(), Lines{u"keep"});
        EXPECT_EQ(memory.UpdateCount(), 0);
    };
    expectAbstract([&] { list.Get(0); });
    expectAbstract([&] { list.Insert(0, std::string("x")); });
    expectAbstract([&] { list.Add(std::string("x")); });
    expectAbstract([&] { list.Put(0, std::string("x")); });
    expectAbstract([&] { list.SetTextStr(std::string("x")); });
    expectAbstract([&] { list.AppendText("x"); });
    expectAbstract([&] { list.InsertText(0, "x"); });
    TMyStrings& narrow = memory;
    expectAbstract([&] { narrow.IndexOf("keep"); });
}

TEST(CompareWideText, BothFormsAgree) {
    EXPECT_EQ(CompareWideText(u"ABC", u"abc", 1033), 0);
    EXPECT_LT(CompareWideText(u"abc", u"abd", 1033), 0);
    EXPECT_GT(CompareWideText(u"b", u"A", 1043), 0);
    EXPECT_EQ(CompareWideTextAnsi(u"ABC", u"abc", 1033), 0);
    EXPECT_EQ(CompareWideTextAnsi(u"I", u"\u0131", 1055), 0);
    // Double-byte text converts whole, so characters past the halfway byte still count.
    EXPECT_EQ(CompareWideTextAnsi(u"\u65E5\u672C", u"\u65E5\u672C", 1041), 0);
    EXPECT_NE(CompareWideTextAnsi(u"\u65E5\u672C", u"\u65E5\u4ED8", 1041), 0);
}

} // namespace
