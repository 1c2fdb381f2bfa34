#pragma once
// Collections: ordered lists of items of one class, each a persistent object with published
// properties (stored in form data as an array of the items' properties).

#include "framework/Classes.h"

#include <functional>
#include <memory>
#include <vector>

class TCollection;

class TCollectionItem : public TPersistent {
public:
    explicit TCollectionItem(TCollection* Collection) : FCollection(Collection) {}
    std::string ClassName() const override { return "TCollectionItem"; }
    TCollection* Collection() const { return FCollection; }
    int Index() const;

private:
    TCollection* FCollection;
};

class TCollection : public TPersistent {
public:
    using TItemFactory = std::function<std::unique_ptr<TCollectionItem>(TCollection*)>;
    explicit TCollection(TItemFactory Factory, TPersistent* Owner = nullptr)
        : FFactory(std::move(Factory)), FOwner(Owner) {}
    std::string ClassName() const override { return "TCollection"; }

    int Count() const { return static_cast<int>(FItems.size()); }
    TCollectionItem* Items(int Index) const;
    TCollectionItem* Add();
    void Delete(int Index);
    void Clear();
    int IndexOf(const TCollectionItem* Item) const;
    TPersistent* Owner() const { return FOwner; }
    // Copies the items of another collection through their Assign.
    void Assign(TPersistent* Source) override;

    // Called after items were added, deleted or cleared.
    TNotifyEvent OnChange;

private:
    void Changed();
    TItemFactory FFactory;
    TPersistent* FOwner;
    std::vector<std::unique_ptr<TCollectionItem>> FItems;
};
