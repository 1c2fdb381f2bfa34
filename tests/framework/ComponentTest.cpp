#include "framework/Classes.h"
#include "framework/Exceptions.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> journal;

class TProbe : public TComponent {
public:
    TProbe(TComponent* owner, std::string label) : TComponent(owner), label(std::move(label)) {}
    ~TProbe() override { journal.push_back("free " + label); }
    std::string ClassName() const override { return "TProbe"; }
    void Loaded() override {
        loadingDuringLoaded = ComponentState().Contains(csLoading);
        TComponent::Loaded();
        journal.push_back("loaded " + label);
    }
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op == opRemove)
            removed.push_back(c);
        if (op == opRemove && c == partner)
            partner = nullptr;
    }
    std::string label;
    bool loadingDuringLoaded = false;
    std::vector<TComponent*> removed;
    TComponent* partner = nullptr;
};

} // namespace

TEST(ComponentOwnership, OwnerFreesItsComponentsLastCreatedFirst) {
    journal.clear();
    auto* root = new TProbe(nullptr, "root");
    auto* a = new TProbe(root, "a");
    new TProbe(a, "a.child");
    new TProbe(root, "b");
    new TProbe(root, "c");
    EXPECT_EQ(root->ComponentCount(), 3);
    EXPECT_EQ(a->Owner(), root);
    EXPECT_EQ(a->ComponentIndex(), 0);
    delete root;
    const std::vector<std::string> expected = {"free root", "free c", "free b", "free a",
                                               "free a.child"};
    EXPECT_EQ(journal, expected);
}

TEST(ComponentOwnership, FreeingAnOwnedComponentLeavesItsOwner) {
    TProbe root(nullptr, "root");
    auto* a = new TProbe(&root, "a");
    auto* b = new TProbe(&root, "b");
    delete a;
    ASSERT_EQ(root.ComponentCount(), 1);
    EXPECT_EQ(root.Components(0), b);
    EXPECT_THROW(root.Components(1), EListError);
}

TEST(ComponentOwnership, SiblingsHearOfARemovalAndFreeNotificationCrossesOwners) {
    TProbe root(nullptr, "root");
    auto* watcher = new TProbe(&root, "watcher");
    auto* leaving = new TProbe(&root, "leaving");
    delete leaving;
    ASSERT_EQ(watcher->removed.size(), 1u);
    EXPECT_EQ(watcher->removed[0], leaving);

    // A component elsewhere that holds a reference asks to be told.
    TProbe other(nullptr, "other");
    auto* target = new TProbe(&root, "target");
    other.partner = target;
    other.FreeNotification(target);
    delete target;
    EXPECT_EQ(other.partner, nullptr);
}

TEST(ComponentNames, MustBeUniqueIdentifiersWithinTheOwner) {
    TProbe root(nullptr, "root");
    auto* a = new TProbe(&root, "a");
    auto* b = new TProbe(&root, "b");
    a->SetName("Button1");
    EXPECT_EQ(root.FindComponent("button1"), a); // names ignore case
    EXPECT_THROW(b->SetName("BUTTON1"), EComponentError);
    EXPECT_THROW(b->SetName("1Button"), EComponentError);
    EXPECT_THROW(b->SetName("Bad Name"), EComponentError);
    b->SetName("_ok2");
    EXPECT_EQ(b->Name(), "_ok2");
    b->SetName("");
    EXPECT_EQ(root.FindComponent(""), nullptr);
}

TEST(ComponentLoading, LoadedRunsAfterReadingAndClearsTheLoadingState) {
    journal.clear();
    TProbe form(nullptr, "form");
    auto* a = new TProbe(&form, "a");
    auto* b = new TProbe(&form, "b");
    for (TComponent* c : {static_cast<TComponent*>(&form), static_cast<TComponent*>(a),
                          static_cast<TComponent*>(b)})
        c->BeginLoading();
    EXPECT_TRUE(a->ComponentState().Contains(csReading));
    for (TComponent* c : {static_cast<TComponent*>(&form), static_cast<TComponent*>(a),
                          static_cast<TComponent*>(b)})
        c->EndReading();
    EXPECT_FALSE(a->ComponentState().Contains(csReading));
    EXPECT_TRUE(a->ComponentState().Contains(csLoading));
    a->FinishLoading();
    b->FinishLoading();
    form.FinishLoading();
    EXPECT_TRUE(a->loadingDuringLoaded);
    EXPECT_FALSE(a->ComponentState().Contains(csLoading));
    EXPECT_EQ(journal, (std::vector<std::string>{"loaded a", "loaded b", "loaded form"}));
}

TEST(PersistentAssign, UnknownPairRaisesTheAssignError) {
    TProbe a(nullptr, "a");
    TProbe b(nullptr, "b");
    try {
        a.Assign(&b);
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TProbe to a TProbe");
    }
}
