#include "framework/Classes.h"

#include "framework/Exceptions.h"
#include "framework/SysUtils.h"

#include <algorithm>

void TPersistent::Assign(TPersistent* Source) {
    if (Source) {
        Source->AssignTo(this);
        return;
    }
    AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest) {
    Dest->AssignError(this);
}

void TPersistent::AssignError(TPersistent* Source) {
    const std::string sourceName = Source ? Source->ClassName() : std::string("nil");
    throw EConvertError(Format(SAssignError, sourceName, ClassName()));
}

void TPersistent::DefineProperties(TFiler&) {}

bool IsValidIdent(const std::string& Name) {
    if (Name.empty())
        return false;
    auto alpha = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    };
    auto alnum = [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); };
    return alpha(Name[0]) && std::all_of(Name.begin() + 1, Name.end(), alnum);
}

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner)
        AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
    Destroying();
    // Whoever asked is told before this component's parts go away.
    const auto notifies = FFreeNotifies;
    for (TComponent* other : notifies) {
        other->RemoveFreeNotification(this);
        other->Notification(this, opRemove);
    }
    FFreeNotifies.clear();
    DestroyComponents();
    if (FOwner)
        FOwner->RemoveComponent(this);
}

TComponent* TComponent::Components(int Index) const {
    if (Index < 0 || Index >= ComponentCount())
        throw EListError(Format(SListIndexError, Index));
    return FComponents[static_cast<size_t>(Index)];
}

int TComponent::ComponentIndex() const {
    if (!FOwner)
        return -1;
    const auto& list = FOwner->FComponents;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(const std::string& Name) const {
    if (Name.empty())
        return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->FName, Name))
            return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
    if (!AComponent->FName.empty() && FindComponent(AComponent->FName))
        throw EComponentError(Format(SDuplicateName, AComponent->FName));
    if (AComponent->FOwner)
        AComponent->FOwner->RemoveComponent(AComponent);
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
    NotifyOwned(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
    auto it = std::find(FComponents.begin(), FComponents.end(), AComponent);
    if (it == FComponents.end())
        return;
    NotifyOwned(AComponent, opRemove);
    FComponents.erase(std::find(FComponents.begin(), FComponents.end(), AComponent));
    AComponent->FOwner = nullptr;
}

void TComponent::NotifyOwned(TComponent* AComponent, TOperation Operation) {
    Notification(AComponent, Operation);
    for (TComponent* c : std::vector<TComponent*>(FComponents))
        if (c != AComponent)
            c->Notification(AComponent, Operation);
}

void TComponent::DestroyComponents() {
    // The last created goes first, so a component may rely on those created before it.
    while (!FComponents.empty()) {
        TComponent* victim = FComponents.back();
        RemoveComponent(victim);
        delete victim;
    }
}

void TComponent::SetName(const std::string& NewName) {
    if (NewName == FName)
        return;
    if (!NewName.empty() && !IsValidIdent(NewName))
        throw EComponentError(Format(SInvalidName, NewName));
    if (FOwner && !NewName.empty()) {
        TComponent* other = FOwner->FindComponent(NewName);
        if (other && other != this)
            throw EComponentError(Format(SDuplicateName, NewName));
    }
    FName = NewName;
}

void TComponent::SetDesigning(bool Value) {
    if (Value)
        FComponentState.Include(csDesigning);
    else
        FComponentState.Exclude(csDesigning);
}

void TComponent::BeginLoading() {
    FComponentState.Include(csLoading).Include(csReading);
}
void TComponent::EndReading() {
    FComponentState.Exclude(csReading);
}
void TComponent::FinishLoading() {
    Loaded();
}
void TComponent::Loaded() {
    FComponentState.Exclude(csLoading);
}

void TComponent::Destroying() {
    FComponentState.Include(csDestroying);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == opRemove)
        RemoveFreeNotification(AComponent);
}

void TComponent::FreeNotification(TComponent* AComponent) {
    if (!AComponent || AComponent == this)
        return;
    if (std::find(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this) ==
        AComponent->FFreeNotifies.end())
        AComponent->FFreeNotifies.push_back(this);
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
        FFreeNotifies.push_back(AComponent);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
    auto drop = [](std::vector<TComponent*>& list, TComponent* c) {
        list.erase(std::remove(list.begin(), list.end(), c), list.end());
    };
    drop(FFreeNotifies, AComponent);
    if (AComponent)
        drop(AComponent->FFreeNotifies, this);
}
