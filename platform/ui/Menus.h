// Pop-up menus and their items.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;

  [[nodiscard]] const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value) { FCaption = Value; }
  [[nodiscard]] bool Checked() const { return FChecked; }
  void SetChecked(bool Value) { FChecked = Value; }
  [[nodiscard]] bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }
  [[nodiscard]] bool Visible() const { return FVisible; }
  void SetVisible(bool Value) { FVisible = Value; }
  [[nodiscard]] const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& Value) { FHint = Value; }

  // Sub-items (owned by this item's list, not by the component owner).
  [[nodiscard]] int Count() const { return static_cast<int>(FItems.size()); }
  [[nodiscard]] TMenuItem* Items(int Index) const;
  void Add(TMenuItem* Item);
  void Remove(TMenuItem* Item);
  [[nodiscard]] TMenuItem* Parent() const { return FParent; }

  // Fires OnClick (a user pick).
  virtual void Click();
  TNotifyEvent OnClick;

 private:
  std::string FCaption;
  bool FChecked = false;
  bool FEnabled = true;
  bool FVisible = true;
  std::string FHint;
  std::vector<TMenuItem*> FItems;
  TMenuItem* FParent = nullptr;
};

class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* AOwner);
  ~TPopupMenu() override;

  [[nodiscard]] TMenuItem* Items() const { return FItems.get(); }
  // Shows the menu at screen position (X, Y) and returns when it closes (modal); the picked item's
  // OnClick runs before Popup returns. Goes through the dialog provider, so tests can pick.
  virtual void Popup(int X, int Y);
  [[nodiscard]] TComponent* PopupComponent() const { return FPopupComponent; }
  void SetPopupComponent(TComponent* Value) { FPopupComponent = Value; }
  [[nodiscard]] bool AutoPopup() const { return FAutoPopup; }
  void SetAutoPopup(bool Value) { FAutoPopup = Value; }

  TNotifyEvent OnPopup;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  std::unique_ptr<TMenuItem> FItems;
  TComponent* FPopupComponent = nullptr;
  bool FAutoPopup = true;
};
