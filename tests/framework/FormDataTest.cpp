#include "framework/ClassRegistry.h"
#include "framework/Collections.h"
#include "framework/Dialogs.h"
#include "framework/ExtCtrls.h"
#include "framework/FormReader.h"
#include "framework/FormWriter.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"
#include "framework/Strings.h"
#include "framework/SysUtils.h"
#include "tests/framework/FormTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

// An item of a collection, as a component's list of named entries.
class TTestItem : public TCollectionItem {
public:
    using TCollectionItem::TCollectionItem;
    std::string ClassName() const override { return "TTestItem"; }
    void Assign(TPersistent* Source) override {
        if (auto* other = dynamic_cast<TTestItem*>(Source)) {
            name = other->name;
            color = other->color;
            return;
        }
        TCollectionItem::Assign(Source);
    }
    const std::string& Name() const { return name; }
    void SetName(const std::string& v) { name = v; }
    TColor Color() const { return color; }
    void SetColor(TColor v) { color = v; }
    std::string name;
    TColor color = clBlack;
};

// A component with a custom value ("Payload", stored unless equal to the ancestor's), a
// string list, a collection, and one of every kind of published property.
std::vector<std::string> journal;

class TProbeComponent : public TComponent {
public:
    explicit TProbeComponent(TComponent* owner)
        : TComponent(owner),
          items([](TCollection* c) { return std::make_unique<TTestItem>(c); }, this) {}
    std::string ClassName() const override { return "TProbeComponent"; }

    void DefineProperties(TFiler& filer) override {
        bool hasData = !payload.empty();
        if (auto* ancestor = dynamic_cast<TProbeComponent*>(filer.Ancestor()))
            hasData = ancestor->payload != payload;
        filer.DefineProperty(
            "Payload",
            [this](TReader& r) {
                payload = r.ReadString();
                readWhileReading = ComponentState().Contains(csReading);
            },
            [this](TWriter& w) { w.WriteString(payload); }, hasData);
    }
    void Loaded() override {
        TComponent::Loaded();
        journal.push_back("loaded " + Name());
    }

    int Count() const { return count; }
    void SetCount(int v) {
        if (v < 0)
            throw EConvertError("Count must not be negative");
        count = v;
        sawLoading = ComponentState().Contains(csLoading);
    }
    bool Flag() const { return flag; }
    void SetFlag(bool v) { flag = v; }
    const std::string& Label() const { return label; }
    void SetLabel(const std::string& v) { label = v; }
    TAlignment Align() const { return align; }
    void SetAlign(TAlignment v) { align = v; }
    TAnchors Sides() const { return sides; }
    void SetSides(TAnchors v) { sides = v; }
    TColor Color() const { return color; }
    void SetColor(TColor v) { color = v; }
    TCursor Cursor() const { return cursor; }
    void SetCursor(TCursor v) { cursor = v; }
    TStringList* Lines() { return &lines; }
    TCollection* Items() { return &items; }
    TComponent* Buddy() const { return buddy; }
    void SetBuddy(TComponent* v) { buddy = v; }

    TNotifyEvent OnPing;
    std::function<void(TObject*, int&)> OnCount;

    std::string payload;
    int count = 0;
    bool flag = false;
    std::string label;
    TAlignment align = taLeftJustify;
    TAnchors sides{akLeft, akTop};
    TColor color = clWindow;
    TCursor cursor = crDefault;
    TStringList lines;
    TCollection items;
    TComponent* buddy = nullptr;
    bool sawLoading = false;
    bool readWhileReading = false;
};

void RegisterProbeClasses() {
    using namespace published;
    static const bool once = [] {
        TClassRegistry::Instance().Register(PersistentClass<TTestItem>(
            "TTestItem", "TPersistent",
            {String<TTestItem>("Name", &TTestItem::Name, &TTestItem::SetName),
             Color<TTestItem>("Color", &TTestItem::Color, &TTestItem::SetColor, clBlack)}));
        static const TClassRegistrar<TProbeComponent> registrar(
            "TProbeComponent", "TComponent",
            {Integer<TProbeComponent>("Count", &TProbeComponent::Count, &TProbeComponent::SetCount,
                                      0),
             Boolean<TProbeComponent>("Flag", &TProbeComponent::Flag, &TProbeComponent::SetFlag,
                                      NoDefault),
             String<TProbeComponent>("Label", &TProbeComponent::Label, &TProbeComponent::SetLabel),
             Enum<TProbeComponent>("Align", &TProbeComponent::Align, &TProbeComponent::SetAlign,
                                   {"taLeftJustify", "taRightJustify", "taCenter"}, 0),
             Set<TProbeComponent>("Sides", &TProbeComponent::Sides, &TProbeComponent::SetSides,
                                  {"akLeft", "akTop", "akRight", "akBottom"}, 3),
             Color<TProbeComponent>("Color", &TProbeComponent::Color, &TProbeComponent::SetColor,
                                    clWindow),
             Cursor<TProbeComponent>("Cursor", &TProbeComponent::Cursor,
                                     &TProbeComponent::SetCursor),
             Object<TProbeComponent>("Lines", &TProbeComponent::Lines),
             Collection<TProbeComponent>("Items", &TProbeComponent::Items),
             Reference<TProbeComponent, TComponent>("Buddy", &TProbeComponent::Buddy,
                                                    &TProbeComponent::SetBuddy),
             Event<TProbeComponent>("OnPing", &TProbeComponent::OnPing),
             Event<TProbeComponent>("OnCount", &TProbeComponent::OnCount)});
        return true;
    }();
    (void)once;
}

class FormData : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterProbeClasses();
        journal.clear();
    }
    std::unique_ptr<TTestForm> NewForm() {
        auto form = std::make_unique<TTestForm>(nullptr);
        form->Bindings().AddHandler<TNotifyEvent>("Ping", [this](TObject*) { ++pings; });
        form->Bindings().AddHandler<std::function<void(TObject*, int&)>>(
            "Count", [](TObject*, int& n) { n = 42; });
        form->Bindings().AddHandler<TNotifyEvent>("FormCreate", [this](TObject* sender) {
            created = sender;
            auto* form = static_cast<TForm*>(sender);
            componentsAtCreate = form->ComponentCount();
            if (auto* probe = dynamic_cast<TProbeComponent*>(form->FindComponent("Probe1")))
                loadingAtCreate = probe->ComponentState().Contains(csLoading);
        });
        return form;
    }
    int pings = 0;
    TObject* created = nullptr;
    int componentsAtCreate = -1;
    bool loadingAtCreate = true;
};

const char* const kProbe = R"({"class": "TProbeComponent", "name": "Probe1", "properties": {
    "Count": 7, "Flag": true, "Label": "caf\u00e9", "Align": "taCenter",
    "Sides": ["akRight", "akBottom"], "Color": "clRed", "Cursor": "crHandPoint",
    "Lines": {"Strings": ["one", "two"]},
    "Items": [{"Name": "http", "Color": "clBlue"}, {"Name": "ftp"}],
    "Buddy": "Probe2", "OnPing": "Ping", "OnCount": "Count", "Payload": "abc\u0001"}})";
const char* const kProbe2 = R"({"class": "TProbeComponent", "name": "Probe2"})";

std::string ErrorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST_F(FormData, ReadsEveryKindOfPropertyAndBindsHandlers) {
    auto form = NewForm();
    TProbeComponent* probe = nullptr;
    form->Bindings().AddField("Probe1", probe);
    form->Load(TestFormData(R"("OnCreate": "FormCreate")", std::string(kProbe) + "," + kProbe2));
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe->count, 7);
    EXPECT_TRUE(probe->flag);
    EXPECT_EQ(probe->label, "caf\xE9"); // the ANSI code page's byte for é
    EXPECT_EQ(probe->align, taCenter);
    EXPECT_EQ(probe->sides, (TAnchors{akRight, akBottom}));
    EXPECT_EQ(probe->color, clRed);
    EXPECT_EQ(probe->cursor, crHandPoint);
    EXPECT_EQ(probe->lines.Text(), "one\r\ntwo\r\n");
    ASSERT_EQ(probe->items.Count(), 2);
    EXPECT_EQ(static_cast<TTestItem*>(probe->items.Items(0))->name, "http");
    EXPECT_EQ(static_cast<TTestItem*>(probe->items.Items(0))->color, clBlue);
    EXPECT_EQ(static_cast<TTestItem*>(probe->items.Items(1))->color, clBlack);
    // The reference names a component that comes later in the data.
    EXPECT_EQ(probe->buddy, form->FindComponent("Probe2"));
    EXPECT_EQ(probe->payload, std::string("abc\x01"));
    ASSERT_TRUE(probe->OnPing);
    probe->OnPing(probe);
    EXPECT_EQ(pings, 1);
    int n = 0;
    probe->OnCount(probe, n);
    EXPECT_EQ(n, 42);
}

TEST_F(FormData, ComponentsAreLoadingWhileReadAndOnCreateRunsAfterLoaded) {
    auto form = NewForm();
    form->Load(TestFormData(R"("OnCreate": "FormCreate")", std::string(kProbe) + "," + kProbe2));
    auto* probe = static_cast<TProbeComponent*>(form->FindComponent("Probe1"));
    EXPECT_TRUE(probe->sawLoading);
    EXPECT_TRUE(probe->readWhileReading);
    EXPECT_FALSE(probe->ComponentState().Contains(csLoading));
    EXPECT_FALSE(probe->ComponentState().Contains(csReading));
    EXPECT_EQ(journal, (std::vector<std::string>{"loaded Probe1", "loaded Probe2"}));
    EXPECT_EQ(created, form.get());
    EXPECT_EQ(componentsAtCreate, 2);
    EXPECT_FALSE(loadingAtCreate);
}

TEST_F(FormData, WrittenDataReadsBackToEqualValues) {
    auto form = NewForm();
    form->Load(TestFormData(R"("Caption": "Probe form", "Width": 400, "Height": 300)",
                            std::string(kProbe) + "," + kProbe2));
    const std::string written = WriteComponentData(form.get());

    auto again = NewForm();
    again->Load(written);
    EXPECT_EQ(WriteComponentData(again.get()), written);
    auto* a = static_cast<TProbeComponent*>(form->FindComponent("Probe1"));
    auto* b = static_cast<TProbeComponent*>(again->FindComponent("Probe1"));
    EXPECT_EQ(b->payload, a->payload);
    EXPECT_EQ(b->label, a->label);
    EXPECT_EQ(b->sides, a->sides);
    EXPECT_EQ(b->lines.Text(), a->lines.Text());
    EXPECT_EQ(b->items.Count(), 2);
    EXPECT_EQ(b->buddy, again->FindComponent("Probe2"));
    EXPECT_EQ(b->OnPing ? 1 : 0, 1);
    EXPECT_EQ(again->Caption(), "Probe form");
    EXPECT_EQ(again->Width(), 400);
}

TEST_F(FormData, DefaultsAreNotWrittenAndNoDefaultIsAlwaysWritten) {
    auto form = NewForm();
    auto* probe = new TProbeComponent(form.get());
    probe->SetName("Plain");
    const QJsonObject top =
        QJsonDocument::fromJson(QByteArray::fromStdString(WriteComponentData(form.get()))).object();
    const QJsonObject props = top["components"].toArray().at(0).toObject()["properties"].toObject();
    // Flag has no default, so it is written even when false; the rest are at their defaults.
    EXPECT_EQ(props.keys(), QStringList{"Flag"});
    EXPECT_FALSE(top["properties"].toObject().contains("Color")); // clBtnFace is the default
    EXPECT_FALSE(top["properties"].toObject().contains("Position"));
}

TEST_F(FormData, CustomValueIsLeftOutWhenEqualToTheAncestors) {
    auto designed = NewForm();
    designed->Load(TestFormData("", kProbe2));
    auto current = NewForm();
    current->Load(TestFormData("", kProbe2));
    auto* probe = static_cast<TProbeComponent*>(current->FindComponent("Probe2"));

    probe->payload = "same";
    static_cast<TProbeComponent*>(designed->FindComponent("Probe2"))->payload = "same";
    EXPECT_EQ(WriteComponentData(current.get(), designed.get()).find("Payload"), std::string::npos);
    probe->payload = "changed";
    EXPECT_NE(WriteComponentData(current.get(), designed.get()).find("\"changed\""),
              std::string::npos);
    // Without an ancestor a non-empty value is written.
    probe->payload = "same";
    EXPECT_NE(WriteComponentData(current.get()).find("\"same\""), std::string::npos);
}

TEST_F(FormData, UnknownNamesAreErrorsThatNameThem) {
    auto expectError = [&](const std::string& components, const std::string& fragment) {
        auto form = NewForm();
        const std::string message = ErrorOf([&] { form->Load(TestFormData("", components)); });
        EXPECT_NE(message.find(fragment), std::string::npos) << message;
        // Nothing half-read stays behind.
        EXPECT_EQ(form->ComponentCount(), 0) << fragment;
    };
    expectError(R"({"class": "TNoSuchThing", "name": "X1"})", "Class TNoSuchThing not found");
    expectError(R"({"class": "TProbeComponent", "name": "P", "properties": {"Colour": 1}})",
                "P.Colour: the property does not exist in TProbeComponent");
    expectError(R"({"class": "TProbeComponent", "name": "P", "properties": {"Align": "taMiddle"}})",
                "'taMiddle' is not a valid value");
    expectError(R"({"class": "TProbeComponent", "name": "P", "properties": {"Sides": ["akUp"]}})",
                "'akUp' is not a valid value");
    expectError(
        R"({"class": "TProbeComponent", "name": "P", "properties": {"Color": "clPurplish"}})",
        "P.Color: 'clPurplish' is not a valid value");
    expectError(R"({"class": "TProbeComponent", "name": "P", "properties": {"OnPing": "Pong"}})",
                "the handler Pong does not exist in TTestForm");
    expectError(R"({"class": "TProbeComponent", "name": "P", "properties": {"OnPing": "Count"}})",
                "the handler Count does not have the type of this event");
    expectError(R"({"class": "TProbeComponent", "name": "P", "properties": {"Buddy": "Nobody"}})",
                "the component Nobody does not exist");
    expectError(R"({"class": "TProbeComponent", "name": "P", "properties": {"Count": "seven"}})",
                "P.Count: expected a number, found a string");
    expectError(R"({"class": "TProbeComponent", "name": "P", "properties": {"Count": -1}})",
                "P.Count: Count must not be negative");
    expectError(
        R"({"class": "TProbeComponent", "name": "P"}, {"class": "TProbeComponent", "name": "p"})",
        "A component named p already exists");
}

TEST_F(FormData, MalformedTextAndWrongRootAreReported) {
    auto form = NewForm();
    EXPECT_NE(ErrorOf([&] {
                  form->Load("{\"class\": \"TTestForm\", ");
              }).find("Form data is not valid JSON"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] {
                  form->Load(R"({"class": "TOtherForm"})");
              }).find("it describes a TOtherForm, not a TTestForm"),
              std::string::npos);
    EXPECT_THROW(form->Load(R"({"class": "TNoSuchThing", "name": "X"})"), EReadError);
    EXPECT_THROW(form->Load(TestFormData("", R"({"class": "TNope"})")), EClassNotFound);
}

TEST_F(FormData, OutOfRangeNumbersAndBadRootNamesAreReadErrors) {
    // A double beyond long long is checked before it is converted (the conversion itself
    // would be undefined).
    for (const char* number : {"1e300", "-1e300", "9223372036854775807", "9.3e18", "0.5"}) {
        auto form = NewForm();
        const std::string components =
            std::string(R"({"class": "TProbeComponent", "name": "P", "properties": {"Count": )") +
            number + "}}";
        try {
            form->Load(TestFormData("", components));
            ADD_FAILURE() << number << " was read";
        } catch (const EReadError& e) {
            EXPECT_NE(std::string(e.what()).find("P.Count: expected an integer"), std::string::npos)
                << e.what();
        }
        EXPECT_EQ(form->ComponentCount(), 0) << number;
    }
    // The root's own name goes through the same checks as a component's.
    auto form = NewForm();
    EXPECT_THROW(form->Load(R"({"class": "TTestForm", "name": "]orm1"})"), EReadError);
    EXPECT_EQ(form->Name(), "");
}

TEST_F(FormData, AFieldOfAnotherClassIsAnError) {
    auto form = NewForm();
    TEdit* edit = nullptr;
    form->Bindings().AddField("Probe2", edit);
    EXPECT_NE(ErrorOf([&] {
                  form->Load(TestFormData("", kProbe2));
              }).find("the field Probe2 of TTestForm cannot hold a TProbeComponent"),
              std::string::npos);
    EXPECT_EQ(edit, nullptr);
}

TEST_F(FormData, StringListAndFrameworkClassesRoundTrip) {
    auto form = NewForm();
    form->Load(TestFormData(
        R"("Font": {"Name": "Courier New", "Height": -13, "Charset": "ANSI_CHARSET", "Style": ["fsBold", "fsItalic"], "Pitch": "fpFixed"})",
        R"({"class": "TOpenDialog", "name": "Open1", "properties": {"Filter": "*.ip| *.ip", "Title": "Pick", "Options": ["ofOverwritePrompt"]}},
           {"class": "TFontDialog", "name": "Font1", "properties": {"Font": {"Name": "MS Sans Serif", "Height": -11, "Charset": "DEFAULT_CHARSET"}}},
           {"class": "TMainMenu", "name": "Menu1", "components": [
              {"class": "TMenuItem", "name": "File1", "properties": {"Caption": "&File"}, "components": [
                 {"class": "TMenuItem", "name": "Open2", "properties": {"Caption": "Open", "Enabled": false}}]},
              {"class": "TMenuItem", "name": "Go1", "properties": {"Caption": "Go"}}]})"));
    EXPECT_EQ(form->Font()->Name(), "Courier New");
    EXPECT_EQ(form->Font()->Charset(), 0);
    EXPECT_EQ(form->Font()->Style(), (TFontStyles{fsBold, fsItalic}));
    auto* open = static_cast<TOpenDialog*>(form->FindComponent("Open1"));
    EXPECT_EQ(open->Options(), TOpenOptions{ofOverwritePrompt});
    auto* menu = static_cast<TMainMenu*>(form->FindComponent("Menu1"));
    ASSERT_EQ(menu->Items()->Count(), 2);
    EXPECT_EQ(menu->Items()->Items(0)->Count(), 1);
    EXPECT_FALSE(menu->Items()->Items(0)->Items(0)->Enabled());

    const std::string written = WriteComponentData(form.get());
    auto again = NewForm();
    again->Load(written);
    EXPECT_EQ(WriteComponentData(again.get()), written);
    EXPECT_EQ(static_cast<TMainMenu*>(again->FindComponent("Menu1"))->Items()->Items(0)->Count(),
              1);
}
