// Class registration across units. This binary links the socket and rich text units, whose
// static registrars are initialised before the framework's own unit (the linker puts a library
// before the libraries it uses); the form data below must still find every value name of the
// framework's tables, and queued tables must be taken in the order their registrars ran.

#include "framework/ClassRegistry.h"
#include "framework/FormWriter.h"
#include "framework/StdCtrls.h"
#include "net/ScktComp.h"
#include "richedit/RichEdit2.h"
#include "tests/framework/FormTestSupport.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

TEST(ClassRegistration, FormDataWithSharedValueNamesLoadsBesideTheUnitsClasses) {
    auto form = std::make_unique<TTestForm>(nullptr);
    form->Load(TestFormData(R"("Caption": "Probe", "BorderStyle": "bsDialog")",
                            R"({"class": "TClientSocket", "name": "ClientSocket1",
            "properties": {"Active": false, "Address": "127.0.0.1", "ClientType": "ctNonBlocking",
                           "Port": 1236}},
           {"class": "TRichEdit20", "name": "Bits",
            "properties": {"Left": 4, "Top": 48, "Width": 300, "Height": 160,
                           "Anchors": ["akLeft", "akTop", "akRight", "akBottom"],
                           "Alignment": "taCenter", "BorderStyle": "bsNone"}},
           {"class": "TLabel", "name": "Status",
            "properties": {"Anchors": ["akLeft", "akRight", "akBottom"],
                           "Alignment": "taRightJustify", "Caption": "x"}},
           {"class": "TEdit", "name": "Address",
            "properties": {"Anchors": ["akRight"], "BorderStyle": "bsNone"}})"));

    EXPECT_EQ(form->BorderStyle(), bsDialog);
    auto* socket = dynamic_cast<TClientSocket*>(form->FindComponent("ClientSocket1"));
    ASSERT_NE(socket, nullptr);
    EXPECT_EQ(socket->Port(), 1236);
    EXPECT_EQ(socket->ClientType(), ctNonBlocking);

    auto* bits = dynamic_cast<TRichEdit20*>(form->FindComponent("Bits"));
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(bits->Anchors(), (TAnchors{akLeft, akTop, akRight, akBottom}));
    EXPECT_EQ(bits->Alignment(), taCenter);
    EXPECT_EQ(bits->BorderStyle(), bsNone);

    auto* status = dynamic_cast<TLabel*>(form->FindComponent("Status"));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->Anchors(), (TAnchors{akLeft, akRight, akBottom}));
    EXPECT_EQ(status->Alignment(), taRightJustify);

    auto* address = dynamic_cast<TEdit*>(form->FindComponent("Address"));
    ASSERT_NE(address, nullptr);
    EXPECT_EQ(address->Anchors(), TAnchors{akRight});
    EXPECT_EQ(address->BorderStyle(), bsNone);

    // The writer goes through the same tables: the names come back, and the text reads back
    // to itself.
    const std::string written = WriteComponentData(form.get());
    for (const char* name : {"\"bsDialog\"", "\"akBottom\"", "\"taCenter\"", "\"taRightJustify\"",
                             "\"bsNone\"", "\"ctNonBlocking\""})
        EXPECT_NE(written.find(name), std::string::npos) << name << " in " << written;
    auto again = std::make_unique<TTestForm>(nullptr);
    again->Load(written);
    EXPECT_EQ(WriteComponentData(again.get()), written);
}

TEST(ClassRegistration, EveryTableKeepsItsValueNamesWhateverUnitRegisteredIt) {
    TClassRegistry& registry = TClassRegistry::Instance();
    const struct {
        const char* ClassName;
        const char* Property;
        std::vector<std::string> Names;
    } expected[] = {
        {"TRichEdit20", "Anchors", {"akLeft", "akTop", "akRight", "akBottom"}},
        {"TRichEdit20", "Alignment", {"taLeftJustify", "taRightJustify", "taCenter"}},
        {"TRichEdit20",
         "BorderStyle",
         {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"}},
        {"TRichEdit20", "AutoURLDetect", {"adNone", "adDefault", "adExtended"}},
        {"TClientSocket", "ClientType", {"ctNonBlocking", "ctBlocking"}},
        {"TForm",
         "BorderStyle",
         {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"}},
        {"TLabel", "Alignment", {"taLeftJustify", "taRightJustify", "taCenter"}},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(std::string(e.ClassName) + "." + e.Property);
        const TClassInfo* info = registry.Find(e.ClassName);
        ASSERT_NE(info, nullptr);
        const TPropInfo* prop = registry.FindProperty(info, e.Property);
        ASSERT_NE(prop, nullptr);
        ASSERT_NE(prop->Names, nullptr);
        EXPECT_EQ(*prop->Names, e.Names);
    }
    // The units' classes sit on the framework's: their parents are found.
    EXPECT_NE(registry.Find(registry.Find("TRichEdit20")->ParentName), nullptr);
    EXPECT_NE(registry.Find(registry.Find("TClientSocket")->ParentName), nullptr);
}

// Registrars made while the test runs queue like static ones until the registry's next use.
using TProbeRegistrar = TPersistentRegistrar<TPersistent>;

TEST(ClassRegistration, QueuedTablesAreTakenInTheOrderTheyCameAndOutliveTheirRegistrars) {
    TClassRegistry::Instance(); // nothing queued from earlier
    {
        const TProbeRegistrar first("TQueueProbeTwice", "TPersistent", {});
        const TProbeRegistrar other("TQueueProbeOnce", "TPersistent", {});
        const TProbeRegistrar second("TQueueProbeTwice", "TComponent", {});
    }
    TClassRegistry& registry = TClassRegistry::Instance();
    ASSERT_NE(registry.Find("TQueueProbeTwice"), nullptr);
    EXPECT_EQ(registry.Find("TQueueProbeTwice")->ParentName, "TComponent");
    EXPECT_NE(registry.Find("TQueueProbeOnce"), nullptr);

    // The queue starts afresh once taken.
    const TProbeRegistrar late("TQueueProbeLate", "TComponent", {});
    EXPECT_NE(TClassRegistry::Instance().Find("TQueueProbeLate"), nullptr);
    EXPECT_EQ(TClassRegistry::Instance().Find("TQueueProbeTwice")->ParentName, "TComponent");
}

} // namespace
