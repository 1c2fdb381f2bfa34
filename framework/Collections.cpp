#include "framework/Collections.h"

#include "framework/Exceptions.h"

int TCollectionItem::Index() const {
    return FCollection ? FCollection->IndexOf(this) : -1;
}

TCollectionItem* TCollection::Items(int Index) const {
    if (Index < 0 || Index >= Count())
        throw EListError(Format(SListIndexError, Index));
    return FItems[static_cast<size_t>(Index)].get();
}

TCollectionItem* TCollection::Add() {
    FItems.push_back(FFactory(this));
    Changed();
    return FItems.back().get();
}

void TCollection::Delete(int Index) {
    Items(Index);
    FItems.erase(FItems.begin() + Index);
    Changed();
}

void TCollection::Clear() {
    if (FItems.empty())
        return;
    FItems.clear();
    Changed();
}

int TCollection::IndexOf(const TCollectionItem* Item) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i].get() == Item)
            return static_cast<int>(i);
    return -1;
}

void TCollection::Assign(TPersistent* Source) {
    auto* other = dynamic_cast<TCollection*>(Source);
    if (!other) {
        TPersistent::Assign(Source);
        return;
    }
    if (other == this)
        return;
    FItems.clear();
    for (int i = 0; i < other->Count(); ++i)
        Add()->Assign(other->Items(i));
    Changed();
}

void TCollection::Changed() {
    if (OnChange)
        OnChange(this);
}
