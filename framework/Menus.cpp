#include "framework/Menus.h"

#include "framework/Controls.h"
#include "framework/Exceptions.h"
#include "framework/WidgetBridge.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>
#include <algorithm>

namespace {

WORD NextCommand() {
    // Commands travel in the low word of WM_COMMAND; 0 is left unused.
    static WORD next = 0;
    if (++next == 0)
        ++next;
    return next;
}

QString MenuText(const std::string& caption) {
    // Our captions mark the accelerator with '&' as Qt does.
    return widgetbridge::ToQString(caption);
}

} // namespace

// --- TMenuItem -------------------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), FCommand(NextCommand()) {}

TMenuItem::~TMenuItem() {
    // Owned sub-items are freed by their owner; only the links go here.
    for (TMenuItem* item : std::vector<TMenuItem*>(FItems))
        Remove(item);
    if (FParent)
        FParent->Remove(this);
}

void TMenuItem::SetCaption(const std::string& Value) {
    FCaption = Value;
    Changed();
}
void TMenuItem::SetEnabled(bool Value) {
    FEnabled = Value;
    Changed();
}
void TMenuItem::SetVisible(bool Value) {
    FVisible = Value;
    Changed();
}
void TMenuItem::SetChecked(bool Value) {
    FChecked = Value;
    Changed();
}

void TMenuItem::SetDefault(bool Value) {
    FDefault = Value;
    Changed();
}

void TMenuItem::Add(TMenuItem* Item) {
    Insert(Count(), Item);
}

void TMenuItem::Insert(int Index, TMenuItem* Item) {
    if (!Item)
        return;
    if (Item->FParent)
        throw EInvalidOperation("Menu inserted twice");
    Index = std::clamp(Index, 0, Count());
    FItems.insert(FItems.begin() + Index, Item);
    Item->FParent = this;
    Changed();
}

void TMenuItem::Remove(TMenuItem* Item) {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    if (it == FItems.end())
        return;
    FItems.erase(it);
    Item->FParent = nullptr;
    Changed();
}

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* item = this;
    while (item->FParent)
        item = item->FParent;
    return item->FMenu;
}

TMenuItem* TMenuItem::FindByCommand(WORD Command) {
    if (FCommand == Command)
        return this;
    for (TMenuItem* item : FItems)
        if (TMenuItem* found = item->FindByCommand(Command))
            return found;
    return nullptr;
}

void TMenuItem::Click() {
    if (FEnabled && OnClick)
        OnClick(this);
}

void TMenuItem::Changed() {
    if (TMenu* menu = GetParentMenu())
        menu->MenuChanged();
}

void TMenuItem::SetParentComponent(TComponent* Value) {
    if (FParent)
        FParent->Remove(this);
    if (auto* menu = dynamic_cast<TMenu*>(Value))
        menu->Items()->Add(this);
    else if (auto* item = dynamic_cast<TMenuItem*>(Value))
        item->Add(this);
}

TComponent* TMenuItem::GetParentComponent() const {
    if (FParent && FParent->FMenu)
        return FParent->FMenu;
    return FParent;
}

// --- TMenu -----------------------------------------------------------------------------------

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), FItems(new TMenuItem(nullptr)) {
    FItems->FMenu = this;
}

TMenu::~TMenu() {
    OnChange = nullptr;
    FItems->FMenu = nullptr;
    delete FItems;
}

bool TMenu::DispatchCommand(WORD Command) {
    TMenuItem* item = FItems->FindByCommand(Command);
    if (!item || item == FItems)
        return false;
    item->Click();
    return true;
}

void TMenu::MenuChanged() {
    if (OnChange)
        OnChange(this);
}

void FillQMenu(QMenu* Menu, const TMenuItem* Item, const std::function<void(WORD)>& OnCommand) {
    for (int i = 0; i < Item->Count(); ++i) {
        const TMenuItem* child = Item->Items(i);
        if (!child->Visible())
            continue;
        if (child->Caption() == "-") {
            Menu->addSeparator();
            continue;
        }
        if (child->Count() > 0) {
            QMenu* sub = Menu->addMenu(MenuText(child->Caption()));
            sub->setEnabled(child->Enabled());
            FillQMenu(sub, child, OnCommand);
            continue;
        }
        QAction* action = Menu->addAction(MenuText(child->Caption()));
        action->setEnabled(child->Enabled());
        action->setCheckable(child->Checked());
        action->setChecked(child->Checked());
        if (child->Default()) {
            QFont font = action->font();
            font.setBold(true);
            action->setFont(font);
        }
        const WORD command = child->Command();
        QObject::connect(action, &QAction::triggered, action,
                         [OnCommand, command] { RunGuarded([&] { OnCommand(command); }); });
    }
}

void TMainMenu::BuildMenuBar(QMenuBar* Bar, const std::function<void(WORD)>& OnCommand) const {
    Bar->clear();
    const TMenuItem* root = Items();
    for (int i = 0; i < root->Count(); ++i) {
        const TMenuItem* item = root->Items(i);
        if (!item->Visible())
            continue;
        if (item->Count() > 0) {
            QMenu* menu = Bar->addMenu(MenuText(item->Caption()));
            menu->setEnabled(item->Enabled());
            FillQMenu(menu, item, OnCommand);
        } else {
            // A command straight on the bar: choosing it runs it, no drop-down opens.
            QAction* action = Bar->addAction(MenuText(item->Caption()));
            action->setEnabled(item->Enabled());
            const WORD command = item->Command();
            QObject::connect(action, &QAction::triggered, action,
                             [OnCommand, command] { RunGuarded([&] { OnCommand(command); }); });
        }
    }
}

// --- TPopupMenu ------------------------------------------------------------------------------

std::function<void(TPopupMenu&)> TPopupMenu::PopupHook;

void TPopupMenu::Popup(int X, int Y) {
    if (OnPopup)
        OnPopup(this);
    if (PopupHook) {
        PopupHook(*this);
        return;
    }
    QMenu menu;
    FillQMenu(&menu, Items(), [this](WORD command) { DispatchCommand(command); });
    menu.exec(QPoint(X, Y));
}

void AttachPopupMenu(QWidget* Widget, TControl* Control) {
    QObject::disconnect(Widget, &QWidget::customContextMenuRequested, nullptr, nullptr);
    if (!Control->PopupMenu()) {
        Widget->setContextMenuPolicy(Qt::DefaultContextMenu);
        return;
    }
    Widget->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(Widget, &QWidget::customContextMenuRequested, Widget,
                     [Widget, Control](const QPoint& pos) {
                         RunGuarded([&] {
                             if (TPopupMenu* menu = Control->GetPopupMenu()) {
                                 menu->SetPopupComponent(Control);
                                 const QPoint global = Widget->mapToGlobal(pos);
                                 menu->Popup(global.x(), global.y());
                             }
                         });
                     });
}
