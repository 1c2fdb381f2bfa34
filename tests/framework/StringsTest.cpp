#include "framework/Strings.h"

#include "framework/Exceptions.h"
#include "framework/Graphics.h"
#include "framework/Streams.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A list that implements only the primitives, so the tests exercise the generic operations
// exactly as a list over a control would use them.
class TBareStrings : public TStrings {
public:
    std::string Get(int i) const override { return lines.at(size_t(i)); }
    int Count() const override { return int(lines.size()); }
    void Clear() override { lines.clear(); }
    void Delete(int i) override { lines.erase(lines.begin() + i); }
    void Insert(int i, const std::string& s) override {
        if (failOn == s)
            throw std::runtime_error("refused");
        lines.insert(lines.begin() + i, s);
    }
    void SetUpdateState(bool updating) override { states.push_back(updating); }
    std::vector<std::string> lines;
    std::vector<bool> states;
    std::string failOn = "\x01";
};

std::vector<std::string> Lines(const TStrings& s) {
    std::vector<std::string> out;
    for (int i = 0; i < s.Count(); ++i)
        out.push_back(s.Get(i));
    return out;
}

} // namespace

TEST(StringListText, SplitsOnEveryKindOfLineEnd) {
    TBareStrings s;
    s.SetTextStr("a\r\nb\rc\nd");
    EXPECT_EQ(s.lines, (std::vector<std::string>{"a", "b", "c", "d"}));
    s.SetTextStr("a\r\r\nb\r\n");
    EXPECT_EQ(s.lines, (std::vector<std::string>{"a", "", "b"}));
    s.SetTextStr("\n\r");
    EXPECT_EQ(s.lines, (std::vector<std::string>{"", ""}));
    s.SetTextStr("");
    EXPECT_TRUE(s.lines.empty());
    s.lines = {"x", "", "y"};
    EXPECT_EQ(s.GetTextStr(), "x\r\n\r\ny\r\n");
}

TEST(StringListGeneric, AddInsertMoveExchangeThroughPrimitives) {
    TBareStrings s;
    EXPECT_EQ(s.Add("one"), 0);
    EXPECT_EQ(s.Add("two"), 1);
    s.Insert(0, "zero");
    s.Move(0, 2);
    EXPECT_EQ(s.lines, (std::vector<std::string>{"one", "two", "zero"}));
    s.Exchange(0, 2);
    EXPECT_EQ(s.lines, (std::vector<std::string>{"zero", "two", "one"}));
    s.Put(1, "TWO");
    EXPECT_EQ(s.lines[1], "TWO");
    EXPECT_EQ(s.IndexOf("two"), 1); // case is ignored
    EXPECT_EQ(s.IndexOf("three"), -1);
}

TEST(StringListGeneric, UpdatesNestAndUnwindOnFailure) {
    TBareStrings s;
    s.BeginUpdate();
    s.BeginUpdate();
    s.EndUpdate();
    s.EndUpdate();
    EXPECT_EQ(s.states, (std::vector<bool>{true, false}));

    TStringList source;
    source.Add("ok");
    source.Add("bad");
    s.failOn = "bad";
    s.states.clear();
    EXPECT_THROW(s.Assign(&source), std::runtime_error);
    EXPECT_EQ(s.UpdateCount(), 0);
    EXPECT_EQ(s.states, (std::vector<bool>{true, false}));
}

TEST(StringListGeneric, AssignFromAnotherListAndRefusalOfOtherClasses) {
    TStringList a;
    a.Add("x");
    a.Add("y");
    TBareStrings b;
    b.lines = {"old"};
    b.Assign(&a);
    EXPECT_EQ(b.lines, (std::vector<std::string>{"x", "y"}));
    EXPECT_TRUE(a.Equals(&b));
    TFont notAList;
    try {
        b.Assign(&notAList);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TFont to a TStrings");
    }
}

TEST(StringListStreams, SaveAndLoadFilesAndStreams) {
    QTemporaryDir dir;
    const std::string path = (dir.path() + "/lines.txt").toStdString();
    TStringList out;
    out.SetTextStr("alpha\nbeta");
    out.SaveToFile(path);
    TStringList in;
    in.LoadFromFile(path);
    EXPECT_EQ(Lines(in), (std::vector<std::string>{"alpha", "beta"}));

    // Loading reads from the stream's position to its end.
    TMemoryStream stream;
    stream.WriteBuffer("skip|kept\r\n", 11);
    stream.SetPosition(5);
    in.LoadFromStream(stream);
    EXPECT_EQ(Lines(in), (std::vector<std::string>{"kept"}));
}

TEST(StringListConcrete, ObjectsIndexErrorsAndChangeEvents) {
    TStringList list;
    int changes = 0;
    list.OnChange = [&](TObject*) { ++changes; };
    TStringList marker;
    list.AddObject("a", &marker);
    EXPECT_EQ(list.GetObject(0), &marker);
    EXPECT_EQ(list.IndexOfObject(&marker), 0);
    const int before = changes;
    list.BeginUpdate();
    list.Add("b");
    list.Add("c");
    list.EndUpdate();
    EXPECT_EQ(changes, before + 1) << "one change for the whole update";
    try {
        list.Get(3);
        FAIL();
    } catch (const EStringListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (3)");
    }
    EXPECT_THROW(list.Insert(5, "x"), EStringListError);
    EXPECT_THROW(list.Delete(-1), EStringListError);
}
