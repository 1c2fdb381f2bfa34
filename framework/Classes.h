#pragma once
// The object model of the framework: objects with class names, persistent objects that can
// be assigned to each other and store extra values in form data, and components that own
// other components and are freed with their owner.

#include "framework/Sets.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

class TObject {
public:
    virtual ~TObject() = default;
    virtual std::string ClassName() const { return "TObject"; }
};

// Events are method pointers: callables that the component calls only when they are set.
using TNotifyEvent = std::function<void(TObject* Sender)>;

class TPersistent;
class TStream;

// The side of form-data reading or writing that a class's extra values see.
class TReader;
class TWriter;
class TFiler {
public:
    virtual ~TFiler() = default;
    // The object this one is compared with when writing (its ancestor in form data), or null.
    TPersistent* Ancestor() const { return FAncestor; }
    void SetAncestor(TPersistent* ancestor) { FAncestor = ancestor; }
    // Declares an extra value named name: the reader calls readData when the value is
    // present; the writer calls writeData when hasData holds.
    virtual void DefineProperty(const std::string& name,
                                const std::function<void(TReader&)>& readData,
                                const std::function<void(TWriter&)>& writeData, bool hasData) = 0;
    virtual void DefineBinaryProperty(const std::string& name,
                                      const std::function<void(TStream&)>& readData,
                                      const std::function<void(TStream&)>& writeData,
                                      bool hasData) = 0;

private:
    TPersistent* FAncestor = nullptr;
};

class TReader : public TFiler {
public:
    virtual std::string ReadString() = 0;
    virtual long long ReadInteger() = 0;
    virtual bool ReadBoolean() = 0;
    virtual std::vector<std::string> ReadStringList() = 0;
};

class TWriter : public TFiler {
public:
    virtual void WriteString(const std::string& value) = 0;
    virtual void WriteInteger(long long value) = 0;
    virtual void WriteBoolean(bool value) = 0;
    virtual void WriteStringList(const std::vector<std::string>& value) = 0;
};

class TPersistent : public TObject {
public:
    std::string ClassName() const override { return "TPersistent"; }
    // Copies Source into this object; a class that does not know Source asks Source to
    // assign itself to this object, and failing that raises EConvertError.
    virtual void Assign(TPersistent* Source);
    // Extra values stored in form data beside the published properties.
    virtual void DefineProperties(TFiler& Filer);

protected:
    virtual void AssignTo(TPersistent* Dest);
    [[noreturn]] void AssignError(TPersistent* Source);
};

enum class TComponentStateItem {
    csLoading,
    csReading,
    csWriting,
    csDestroying,
    csDesigning,
    csAncestor,
    csUpdating,
    csFixups,
};
using TComponentState = TSet<TComponentStateItem>;
using enum TComponentStateItem;

enum class TOperation { opInsert, opRemove };
using enum TOperation;

class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* AOwner);
    // Frees the owned components (the last created first) and leaves the owner.
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    std::string ClassName() const override { return "TComponent"; }

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int Index) const;
    int ComponentIndex() const;
    TComponent* FindComponent(const std::string& Name) const;
    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);
    void DestroyComponents();

    const std::string& Name() const { return FName; }
    // A valid identifier, unique among the owner's components (case ignored); empty is allowed.
    virtual void SetName(const std::string& NewName);

    TComponentState ComponentState() const { return FComponentState; }
    void SetDesigning(bool Value);

    // Form-data loading: the reader marks every component it creates, and after all are read
    // tells each that loading is over.
    void BeginLoading();
    void EndReading();
    void FinishLoading();

    // Asks to be told (Notification with opRemove) when AComponent is freed.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    // Free-form data for the program's own use.
    long long Tag() const { return FTag; }
    void SetTag(long long Value) { FTag = Value; }

    // The component that holds this one in form data (a control's parent, a menu item's
    // parent item); the reader sets it before the component's properties are read.
    virtual void SetParentComponent(TComponent*) {}
    virtual TComponent* GetParentComponent() const { return nullptr; }
    virtual bool HasParent() const { return false; }

    // The name of the handler an event was bound to from form data, so that writing the
    // component names the same handler again. Empty when the event was set in code.
    void SetHandlerBinding(const std::string& Event, const std::string& Handler) {
        if (Handler.empty())
            FHandlerBindings.erase(Event);
        else
            FHandlerBindings[Event] = Handler;
    }
    std::string HandlerBinding(const std::string& Event) const {
        auto it = FHandlerBindings.find(Event);
        return it == FHandlerBindings.end() ? std::string() : it->second;
    }

protected:
    // After every component of a form has been read; clears csLoading.
    virtual void Loaded();
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    void Destroying();
    void SetComponentState(TComponentState State) { FComponentState = State; }

private:
    void NotifyOwned(TComponent* AComponent, TOperation Operation);

    TComponent* FOwner = nullptr;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    std::string FName;
    TComponentState FComponentState;
    long long FTag = 0;
    std::map<std::string, std::string> FHandlerBindings;
};

// True when Name is a valid identifier (letter or underscore, then letters, digits, underscores).
bool IsValidIdent(const std::string& Name);
