// Standard controls: label, edit box, combo box, check box, push button.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/Controls.h"

enum TTextLayout { tlTop, tlCenter, tlBottom };

// A text drawn by its parent; with AutoSize it takes the size of its caption in its font.
class TCustomLabel : public TGraphicControl {
 public:
  explicit TCustomLabel(TComponent* AOwner);
  [[nodiscard]] TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  [[nodiscard]] bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  [[nodiscard]] bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool Value);
  [[nodiscard]] TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout Value);
  [[nodiscard]] bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  [[nodiscard]] TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* Value);
  // The size the caption takes in the label's font (one line for an empty caption).
  [[nodiscard]] TSize TextSize() const;

 protected:
  void Paint() override;
  bool CanAutoSize(int& NewWidth, int& NewHeight) override;
  void CMTextChanged(TMessage& Message) override;
  void CMFontChanged(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  [[nodiscard]] UINT DrawTextFlags() const;

 private:
  TAlignment FAlignment = taLeftJustify;
  bool FTransparent = false;
  bool FShowAccelChar = true;
  TTextLayout FLayout = tlTop;
  bool FWordWrap = false;
  TWinControl* FFocusControl = nullptr;
};

class TLabel : public TCustomLabel {
 public:
  explicit TLabel(TComponent* AOwner) : TCustomLabel(AOwner) {}
};

// A single-line edit box. OnChange fires on every change of the text, also one made by the program.
class TCustomEdit : public TWinControl {
 public:
  explicit TCustomEdit(TComponent* AOwner);
  ~TCustomEdit() override;

  [[nodiscard]] std::string Text() const override;
  void SetText(const std::string& Value) override;
  [[nodiscard]] bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  [[nodiscard]] bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool Value) { FAutoSelect = Value; }
  [[nodiscard]] TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  [[nodiscard]] int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int Value);
  [[nodiscard]] int SelStart() const;
  void SetSelStart(int Value);
  [[nodiscard]] int SelLength() const;
  void SetSelLength(int Value);
  [[nodiscard]] std::string SelText() const;
  [[nodiscard]] bool Modified() const { return FModified; }
  void SetModified(bool Value) { FModified = Value; }
  [[nodiscard]] bool CanUndo() const { return FCanUndo; }
  void SelectAll();
  void Clear() { SetText(""); }
  // Undoes the last editing step; a second Undo redoes it (one level, as the system's edit box).
  void Undo();
  void ClearUndo() { FCanUndo = false; }

  TNotifyEvent OnChange;

 protected:
  virtual void Change();
  void CreateWnd() override;
  void DoEnter() override;
  void DoExit() override;
  bool CanAutoSize(int& NewWidth, int& NewHeight) override;
  void CMFontChanged(TMessage& Message) override;
  void CMColorChanged(TMessage& Message) override;
  void CMEnabledChanged(TMessage& Message) override;
  void ApplyLook();

 private:
  void TextChanged(const std::string& NewText);
  bool FReadOnly = false;
  bool FAutoSelect = true;
  TBorderStyle FBorderStyle = bsSingle;
  int FMaxLength = 0;
  bool FModified = false;
  bool FCanUndo = false;
  bool FTyping = false;
  std::string FUndoText;
  std::string FShadow;  // the text as last seen, for change detection
  bool FSetting = false;
};

class TEdit : public TCustomEdit {
 public:
  explicit TEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TComboItems;

// A combo box. OnChange and OnClick fire when the user picks an item (and OnChange when the user types
// in a drop-down's edit field); setting ItemIndex, Text or Items from the program fires nothing.
class TCustomComboBox : public TWinControl {
 public:
  explicit TCustomComboBox(TComponent* AOwner);
  ~TCustomComboBox() override;

  [[nodiscard]] TComboBoxStyle Style() const { return FStyle; }
  void SetStyle(TComboBoxStyle Value);
  [[nodiscard]] TStrings* Items() const;
  void SetItems(TStrings* Value);
  [[nodiscard]] int ItemIndex() const;
  void SetItemIndex(int Value);
  [[nodiscard]] std::string Text() const override;
  void SetText(const std::string& Value) override;
  [[nodiscard]] bool Sorted() const { return FSorted; }
  void SetSorted(bool Value);
  [[nodiscard]] int DropDownCount() const { return FDropDownCount; }
  void SetDropDownCount(int Value) { FDropDownCount = Value; }
  [[nodiscard]] int ItemHeight() const { return FItemHeight; }
  void SetItemHeight(int Value) { FItemHeight = Value; }
  [[nodiscard]] int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int Value) { FMaxLength = Value; }
  void SelectAll();
  [[nodiscard]] int SelStart() const;
  [[nodiscard]] int SelLength() const;
  void Clear();

  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;

  // Window-layer entry points: the user picked item Index / typed Text.
  void UserPicked(int Index);
  void UserTyped();
  // The item list changed: the window shows the new list and keeps the text.
  void ItemsChanged();

 protected:
  virtual void Change();
  void CreateWnd() override;
  bool CanAutoSize(int& NewWidth, int& NewHeight) override;
  void CMFontChanged(TMessage& Message) override;
  void CMColorChanged(TMessage& Message) override;
  void ApplyLook();

 private:
  void SyncToWindow();
  std::unique_ptr<TComboItems> FItems;
  TComboBoxStyle FStyle = csDropDown;
  bool FSorted = false;
  int FDropDownCount = 8;
  int FItemHeight = 13;
  int FMaxLength = 0;
  int FItemIndex = -1;
  std::string FEditText;
};

class TComboBox : public TCustomComboBox {
 public:
  explicit TComboBox(TComponent* AOwner) : TCustomComboBox(AOwner) {}
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// A check box; OnClick fires on every change of its state, also one made by the program.
class TCheckBox : public TWinControl {
 public:
  explicit TCheckBox(TComponent* AOwner);
  [[nodiscard]] bool Checked() const { return FState == cbChecked; }
  void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
  [[nodiscard]] TCheckBoxState State() const { return FState; }
  void SetState(TCheckBoxState Value);
  [[nodiscard]] bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool Value) { FAllowGrayed = Value; }
  [[nodiscard]] TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value) { FAlignment = Value; }

  // The user toggled the box.
  void Toggle();

 protected:
  void CreateWnd() override;
  void CMTextChanged(TMessage& Message) override;
  void CMFontChanged(TMessage& Message) override;

 private:
  void SyncToWindow();
  TCheckBoxState FState = cbUnchecked;
  bool FAllowGrayed = false;
  TAlignment FAlignment = taRightJustify;
};

// A push button; a click sets the form's ModalResult to the button's when that is not mrNone.
class TButton : public TWinControl {
 public:
  explicit TButton(TComponent* AOwner);
  [[nodiscard]] int ModalResult() const { return FModalResult; }
  void SetModalResult(int Value) { FModalResult = Value; }
  [[nodiscard]] bool Default() const { return FDefault; }
  void SetDefault(bool Value) { FDefault = Value; }
  [[nodiscard]] bool Cancel() const { return FCancel; }
  void SetCancel(bool Value) { FCancel = Value; }
  void Click() override;

 protected:
  void CreateWnd() override;
  void CMTextChanged(TMessage& Message) override;
  void CMFontChanged(TMessage& Message) override;

 private:
  int FModalResult = 0;
  bool FDefault = false;
  bool FCancel = false;
};
