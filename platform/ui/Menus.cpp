#include "platform/ui/Menus.h"

#include <algorithm>

#include "platform/ui/Controls.h"
#include "platform/ui/Dialogs.h"

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
  if (FParent != nullptr) FParent->Remove(this);
  for (TMenuItem* i : FItems)
    i->FParent = nullptr;
}

TMenuItem* TMenuItem::Items(int Index) const {
  if (Index < 0 || Index >= Count())
    throw EListError("Der Index der Liste überschreitet das Maximum (" + std::to_string(Index) + ")");
  return FItems[static_cast<size_t>(Index)];
}

void TMenuItem::Add(TMenuItem* Item) {
  if (Item->FParent != nullptr) Item->FParent->Remove(Item);
  FItems.push_back(Item);
  Item->FParent = this;
}

void TMenuItem::Remove(TMenuItem* Item) {
  auto it = std::find(FItems.begin(), FItems.end(), Item);
  if (it == FItems.end()) return;
  FItems.erase(it);
  Item->FParent = nullptr;
}

void TMenuItem::Click() {
  if (!FEnabled) return;
  if (const TNotifyEvent handler = OnClick) handler(this);  // a copy: the handler may free the item
}

TPopupMenu::TPopupMenu(TComponent* AOwner)
    : TComponent(AOwner), FItems(std::make_unique<TMenuItem>(nullptr)) {}

TPopupMenu::~TPopupMenu() = default;

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent == FPopupComponent) FPopupComponent = nullptr;
}

void TPopupMenu::Popup(int X, int Y) {
  if (OnPopup) OnPopup(this);
  // The menu takes the input as a modal window does: the control that was pressed leaves its mouse mode.
  CancelMouseMode();
  if (TMenuItem* picked = DialogProvider()->PopupMenu(this, X, Y)) picked->Click();
}
