#pragma once
// Menus: items with captions and OnClick, gathered in a menu bar (TMainMenu, shown by the form
// it is assigned to) or a pop-up menu (TPopupMenu, shown on a control's context request).

#include "framework/Classes.h"
#include "platform/WinTypes.h"

#include <functional>
#include <string>
#include <vector>

class QWidget;
class QMenu;
class QMenuBar;
class TControl;
class TMenu;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* AOwner);
    ~TMenuItem() override;
    std::string ClassName() const override { return "TMenuItem"; }

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    bool Checked() const { return FChecked; }
    void SetChecked(bool Value);
    // The item a double click would choose: shown in bold.
    bool Default() const { return FDefault; }
    void SetDefault(bool Value);

    int Count() const { return static_cast<int>(FItems.size()); }
    TMenuItem* Items(int Index) const { return FItems.at(static_cast<size_t>(Index)); }
    void Add(TMenuItem* Item);
    void Insert(int Index, TMenuItem* Item);
    void Remove(TMenuItem* Item);
    TMenuItem* Parent() const { return FParent; }
    // The menu this item belongs to, through its parents.
    TMenu* GetParentMenu() const;
    // The identifier of the item's command (WM_COMMAND), unique in the process.
    WORD Command() const { return FCommand; }
    TMenuItem* FindByCommand(WORD Command);

    virtual void Click();
    TNotifyEvent OnClick;

    void SetParentComponent(TComponent* Value) override;
    TComponent* GetParentComponent() const override;
    bool HasParent() const override { return true; }

private:
    friend class TMenu;
    void Changed();
    std::string FCaption;
    bool FEnabled = true;
    bool FVisible = true;
    bool FChecked = false;
    bool FDefault = false;
    std::vector<TMenuItem*> FItems;
    TMenuItem* FParent = nullptr;
    TMenu* FMenu = nullptr; // set on the root item only
    WORD FCommand;
};

class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* AOwner);
    ~TMenu() override;
    std::string ClassName() const override { return "TMenu"; }
    TMenuItem* Items() const { return FItems; }
    // Runs the OnClick of the item with this command; false when no item has it.
    bool DispatchCommand(WORD Command);
    // Called when an item changes, so whoever shows the menu can rebuild it.
    TNotifyEvent OnChange;

protected:
    friend class TMenuItem;
    void MenuChanged();

private:
    TMenuItem* FItems;
};

class TMainMenu : public TMenu {
public:
    using TMenu::TMenu;
    std::string ClassName() const override { return "TMainMenu"; }
    // Fills a Qt menu bar: items with sub-items become drop-down menus; an item without
    // sub-items is a command on the bar itself. Choosing one calls onCommand(Command()).
    void BuildMenuBar(QMenuBar* Bar, const std::function<void(WORD)>& OnCommand) const;
};

class TPopupMenu : public TMenu {
public:
    using TMenu::TMenu;
    std::string ClassName() const override { return "TPopupMenu"; }
    TComponent* PopupComponent() const { return FPopupComponent; }
    void SetPopupComponent(TComponent* Value) { FPopupComponent = Value; }
    // Shows the menu at a screen position; chosen items run their OnClick.
    virtual void Popup(int X, int Y);
    TNotifyEvent OnPopup;
    // Replaces showing the menu (tests): called with the menu instead of the Qt pop-up.
    static std::function<void(TPopupMenu&)> PopupHook;

private:
    TComponent* FPopupComponent = nullptr;
};

// Fills a Qt menu with the items of Item, calling OnCommand for a chosen item.
void FillQMenu(QMenu* Menu, const TMenuItem* Item, const std::function<void(WORD)>& OnCommand);
// Makes the control's pop-up menu (or none) answer the widget's context request.
void AttachPopupMenu(QWidget* Widget, TControl* Control);
