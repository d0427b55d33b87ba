#include "platform/ui/StdCtrls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "platform/gdi/GdiPrivate.h"
#include "platform/ui/Forms.h"
#include "platform/ui/QtHost.h"

namespace {

// Text extent of S in Font, measured with the drawing layer (as the label draws it).
TSize MeasureText(TFont* Font, const std::string& S, UINT Flags, int WrapWidth) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font->Handle());
  RECT r{0, 0, WrapWidth, 0};
  DrawText(dc, S, -1, &r, Flags | DT_CALCRECT);
  SelectObject(dc, old);
  DeleteDC(dc);
  return TSize{r.Right - r.Left, r.Bottom - r.Top};
}

int FontLineHeight(TFont* Font) {
  return MeasureText(Font, "W", DT_SINGLELINE, 0).cy;
}

void ApplyFontAndColors(QWidget* W, TFont* Font, TColor Back, bool SetBase) {
  if (W == nullptr) return;
  W->setFont(FontToQFont(Font));
  QPalette pal = W->palette();
  const QColor text = ColorToQColor(Font->Color());
  pal.setColor(QPalette::Text, text);
  pal.setColor(QPalette::WindowText, text);
  pal.setColor(QPalette::ButtonText, text);
  if (SetBase) {
    pal.setColor(QPalette::Base, ColorToQColor(Back));
  }
  pal.setColor(QPalette::Window, ColorToQColor(Back));
  pal.setColor(QPalette::Button, ColorToQColor(Back));
  W->setPalette(pal);
}

}  // namespace

// ---- TCustomLabel --------------------------------------------------------------------------------------

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  FControlStyle.Include(csOpaque);
  FControlStyle.Include(csReplicatable);
  SetBounds(0, 0, 65, 17);
  SetAutoSize(true);
}

UINT TCustomLabel::DrawTextFlags() const {
  UINT flags = DT_EXPANDTABS;
  if (FWordWrap) flags |= DT_WORDBREAK;
  if (!FShowAccelChar) flags |= DT_NOPREFIX;
  switch (FAlignment) {
    case taRightJustify:
      flags |= DT_RIGHT;
      break;
    case taCenter:
      flags |= DT_CENTER;
      break;
    default:
      break;
  }
  return flags;
}

TSize TCustomLabel::TextSize() const {
  std::string text = Caption();
  // An empty caption (or a lone accelerator mark) still takes one line.
  if (text.empty() || (FShowAccelChar && text == "&")) text += ' ';
  return MeasureText(Font(), text, DrawTextFlags() & ~(DT_RIGHT | DT_CENTER), FWordWrap ? Width() : 0);
}

bool TCustomLabel::CanAutoSize(int& NewWidth, int& NewHeight) {
  const TSize s = TextSize();
  NewWidth = s.cx;
  NewHeight = s.cy;
  return true;
}

void TCustomLabel::Paint() {
  TCanvas* c = Canvas();
  const TRect r = ClientRect();
  if (!FTransparent) {
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(r);
  }
  c->Brush()->SetStyle(bsClear);
  c->Font()->Assign(Font());
  std::string text = Caption();
  if (text.empty()) return;
  TRect tr = r;
  UINT flags = DrawTextFlags();
  if (FLayout != tlTop) {
    RECT calc = r;
    DrawText(c->Handle(), text, -1, &calc, flags | DT_CALCRECT);
    const int h = calc.Bottom - calc.Top;
    tr.Top = FLayout == tlBottom ? r.Bottom - h : r.Top + (r.Height() - h) / 2;
  }
  if (!Enabled()) c->Font()->SetColor(clGrayText);
  HDC dc = c->Handle();
  SetBkMode(dc, TRANSPARENT);
  DrawText(dc, text, -1, &tr, flags);
}

void TCustomLabel::SetAlignment(TAlignment Value) {
  if (FAlignment == Value) return;
  FAlignment = Value;
  Invalidate();
}

void TCustomLabel::SetTransparent(bool Value) {
  if (FTransparent == Value) return;
  FTransparent = Value;
  if (Value)
    FControlStyle.Exclude(csOpaque);
  else
    FControlStyle.Include(csOpaque);
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool Value) {
  if (FShowAccelChar == Value) return;
  FShowAccelChar = Value;
  AdjustSize();
  Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout Value) {
  if (FLayout == Value) return;
  FLayout = Value;
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool Value) {
  if (FWordWrap == Value) return;
  FWordWrap = Value;
  AdjustSize();
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* Value) {
  if (FFocusControl == Value) return;
  if (FFocusControl != nullptr) FFocusControl->RemoveFreeNotification(this);
  FFocusControl = Value;
  if (Value != nullptr) Value->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == TOperation::opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
}

void TCustomLabel::CMTextChanged(TMessage& Message) {
  TGraphicControl::CMTextChanged(Message);
  if (AutoSize()) {
    // A right-aligned label keeps its right edge.
    const int right = Left() + Width();
    AdjustSize();
    if (FAlignment == taRightJustify && Left() + Width() != right) SetLeft(right - Width());
  }
}

void TCustomLabel::CMFontChanged(TMessage& Message) {
  TGraphicControl::CMFontChanged(Message);
  if (AutoSize()) AdjustSize();
}

// ---- TCustomEdit ---------------------------------------------------------------------------------------

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = {csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks, csFixedHeight};
  FTabStop = true;
  SetParentColor(false);
  SetColor(clWindow);
  SetBounds(0, 0, 121, 25);
  SetAutoSize(true);
  SetCursor(crIBeam);
}

TCustomEdit::~TCustomEdit() = default;

void TCustomEdit::CreateWnd() {
  TWinControl::CreateWnd();
  auto* e = new QLineEdit();
  e->setText(QString::fromStdString(FShadow));
  e->setReadOnly(FReadOnly);
  e->setFrame(FBorderStyle != bsNone);
  e->setMaxLength(FMaxLength > 0 ? FMaxLength : 32767);
  SetInnerWidget(this, e);
  QObject::connect(e, &QLineEdit::textChanged, e,
                   [this](const QString& t) { Guarded(this, [&] { TextChanged(t.toStdString()); }); });
  ApplyLook();
}

void TCustomEdit::ApplyLook() {
  if (Host()->Inner == nullptr) return;
  ApplyFontAndColors(Host()->Inner, Font(), Color(), true);
  Host()->Inner->setEnabled(Enabled());
}

std::string TCustomEdit::Text() const {
  return FShadow;
}

void TCustomEdit::SetText(const std::string& Value) {
  if (Value == FShadow) return;
  FCanUndo = false;
  FTyping = false;
  auto* e = qobject_cast<QLineEdit*>(Host()->Inner.data());
  FSetting = true;
  if (e != nullptr) {
    // The length limit holds for typing only, not for text set by the program.
    e->setMaxLength(32767);
    e->setText(QString::fromStdString(Value));  // textChanged reports it
    e->setMaxLength(FMaxLength > 0 ? FMaxLength : 32767);
  }
  TextChanged(Value);
  FSetting = false;
}

void TCustomEdit::TextChanged(const std::string& NewText) {
  if (NewText == FShadow) return;
  if (!FSetting) {
    // A user edit. The first of a run of typing keeps what Undo goes back to.
    if (!FTyping) {
      FTyping = true;
      FUndoText = FShadow;
    }
    FCanUndo = true;
    FModified = true;
  }
  FShadow = NewText;
  Change();
}

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

void TCustomEdit::Undo() {
  if (!FCanUndo) return;
  const std::string redo = FShadow;
  const std::string back = FUndoText;
  SetText(back);
  FUndoText = redo;
  FCanUndo = true;
  FTyping = false;
}

void TCustomEdit::SetReadOnly(bool Value) {
  FReadOnly = Value;
  if (auto* e = qobject_cast<QLineEdit*>(Host()->Inner.data())) e->setReadOnly(Value);
}

void TCustomEdit::SetBorderStyle(TBorderStyle Value) {
  if (FBorderStyle == Value) return;
  FBorderStyle = Value;
  if (auto* e = qobject_cast<QLineEdit*>(Host()->Inner.data())) e->setFrame(Value != bsNone);
  AdjustSize();
}

void TCustomEdit::SetMaxLength(int Value) {
  FMaxLength = Value < 0 ? 0 : Value;
  if (auto* e = qobject_cast<QLineEdit*>(Host()->Inner.data()))
    e->setMaxLength(FMaxLength > 0 ? FMaxLength : 32767);
}

int TCustomEdit::SelStart() const {
  auto* e = qobject_cast<QLineEdit*>(Host()->Inner.data());
  if (e == nullptr) return 0;
  return e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
}

void TCustomEdit::SetSelStart(int Value) {
  HandleNeeded();
  if (auto* e = qobject_cast<QLineEdit*>(Host()->Inner.data())) e->setCursorPosition(Value);
}

int TCustomEdit::SelLength() const {
  auto* e = qobject_cast<QLineEdit*>(Host()->Inner.data());
  return e != nullptr ? static_cast<int>(e->selectedText().size()) : 0;
}

void TCustomEdit::SetSelLength(int Value) {
  HandleNeeded();
  if (auto* e = qobject_cast<QLineEdit*>(Host()->Inner.data())) e->setSelection(SelStart(), Value);
}

std::string TCustomEdit::SelText() const {
  auto* e = qobject_cast<QLineEdit*>(Host()->Inner.data());
  return e != nullptr ? e->selectedText().toStdString() : std::string();
}

void TCustomEdit::SelectAll() {
  HandleNeeded();
  if (auto* e = qobject_cast<QLineEdit*>(Host()->Inner.data())) e->selectAll();
}

void TCustomEdit::DoEnter() {
  if (FAutoSelect && !ControlState().Contains(csLButtonDown)) SelectAll();
  TWinControl::DoEnter();
}

void TCustomEdit::DoExit() {
  FTyping = false;
  TWinControl::DoExit();
}

bool TCustomEdit::CanAutoSize(int& NewWidth, int& NewHeight) {
  // Only a framed edit fits its height to its font; a borderless one keeps the height it was given, so
  // it fills the box it was placed in (the single-line edit centres its text in that height).
  if (FBorderStyle == bsNone) return false;
  NewHeight = FontLineHeight(Font()) + 8;
  (void)NewWidth;
  return true;
}

void TCustomEdit::CMFontChanged(TMessage& Message) {
  TWinControl::CMFontChanged(Message);
  ApplyLook();
  if (AutoSize()) AdjustSize();
}

void TCustomEdit::CMColorChanged(TMessage& Message) {
  TWinControl::CMColorChanged(Message);
  ApplyLook();
}

void TCustomEdit::CMEnabledChanged(TMessage& Message) {
  TWinControl::CMEnabledChanged(Message);
  ApplyLook();
}

// ---- TCustomComboBox -----------------------------------------------------------------------------------

class TComboItems : public TStringList {
 public:
  explicit TComboItems(TCustomComboBox* Combo) : FCombo(Combo) {}

 protected:
  void Changed() override {
    TStringList::Changed();
    if (UpdateCount() == 0) FCombo->ItemsChanged();
  }

 private:
  TCustomComboBox* FCombo;
};

TCustomComboBox::TCustomComboBox(TComponent* AOwner)
    : TWinControl(AOwner), FItems(std::make_unique<TComboItems>(this)) {
  FControlStyle = {csCaptureMouse, csSetCaption, csDoubleClicks, csFixedHeight};
  FTabStop = true;
  SetParentColor(false);
  SetColor(clWindow);
  SetBounds(0, 0, 145, 21);
}

TCustomComboBox::~TCustomComboBox() {
  // The window goes first, so that taking it down reports nothing to the item list.
  DestroyHandle();
}

TStrings* TCustomComboBox::Items() const {
  return FItems.get();
}

void TCustomComboBox::SetItems(TStrings* Value) {
  FItems->Assign(Value);
}

void TCustomComboBox::CreateWnd() {
  TWinControl::CreateWnd();
  auto* cb = new QComboBox();
  cb->setEditable(FStyle == csDropDown || FStyle == csSimple);
  cb->setInsertPolicy(QComboBox::NoInsert);
  SetInnerWidget(this, cb);
  SyncToWindow();
  QObject::connect(cb, &QComboBox::activated, cb,
                   [this](int Index) { Guarded(this, [&] { UserPicked(Index); }); });
  if (QLineEdit* le = cb->lineEdit()) {
    QObject::connect(le, &QLineEdit::textEdited, le,
                     [this](const QString&) { Guarded(this, [&] { UserTyped(); }); });
  }
  ApplyLook();
}

void TCustomComboBox::ApplyLook() {
  auto* cb = qobject_cast<QComboBox*>(Host()->Inner.data());
  if (cb == nullptr) return;
  ApplyFontAndColors(cb, Font(), Color(), true);
  if (cb->lineEdit() != nullptr) ApplyFontAndColors(cb->lineEdit(), Font(), Color(), true);
}

void TCustomComboBox::SyncToWindow() {
  auto* cb = qobject_cast<QComboBox*>(Host()->Inner.data());
  if (cb == nullptr) return;
  const QSignalBlocker block(cb);
  cb->clear();
  for (int i = 0; i < FItems->Count(); ++i)
    cb->addItem(QString::fromStdString(FItems->Strings(i)));
  cb->setCurrentIndex(FItemIndex);
  if (cb->isEditable()) cb->setEditText(QString::fromStdString(FEditText));
}

void TCustomComboBox::ItemsChanged() {
  if (FItemIndex >= FItems->Count()) FItemIndex = -1;
  SyncToWindow();
}

void TCustomComboBox::SetStyle(TComboBoxStyle Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  if (auto* cb = qobject_cast<QComboBox*>(Host()->Inner.data())) {
    cb->setEditable(Value == csDropDown || Value == csSimple);
    SyncToWindow();
  }
}

int TCustomComboBox::ItemIndex() const {
  return FItemIndex;
}

void TCustomComboBox::SetItemIndex(int Value) {
  if (Value < -1 || Value >= FItems->Count()) Value = -1;
  FItemIndex = Value;
  if (Value >= 0) FEditText = FItems->Strings(Value);
  SyncToWindow();
}

std::string TCustomComboBox::Text() const {
  if (FStyle == csDropDownList) return FItemIndex >= 0 ? FItems->Strings(FItemIndex) : std::string();
  return FEditText;
}

void TCustomComboBox::SetText(const std::string& Value) {
  if (FStyle == csDropDownList) {
    int index = -1;
    for (int i = 0; i < FItems->Count(); ++i)
      if (FItems->Strings(i) == Value) {
        index = i;
        break;
      }
    SetItemIndex(index);
    return;
  }
  if (Value == FEditText) return;
  FEditText = Value;
  if (FItemIndex >= 0 && FItems->Strings(FItemIndex) != Value) FItemIndex = -1;
  SyncToWindow();
}

void TCustomComboBox::SetSorted(bool Value) {
  if (FSorted == Value) return;
  FSorted = Value;
  FItems->SetSorted(Value);
}

void TCustomComboBox::Clear() {
  FItems->Clear();
  FItemIndex = -1;
  FEditText.clear();
  SyncToWindow();
}

void TCustomComboBox::SelectAll() {
  HandleNeeded();
  if (auto* cb = qobject_cast<QComboBox*>(Host()->Inner.data()); cb != nullptr && cb->lineEdit() != nullptr)
    cb->lineEdit()->selectAll();
}

int TCustomComboBox::SelStart() const {
  auto* cb = qobject_cast<QComboBox*>(Host()->Inner.data());
  if (cb == nullptr || cb->lineEdit() == nullptr) return 0;
  return cb->lineEdit()->hasSelectedText() ? cb->lineEdit()->selectionStart()
                                           : cb->lineEdit()->cursorPosition();
}

int TCustomComboBox::SelLength() const {
  auto* cb = qobject_cast<QComboBox*>(Host()->Inner.data());
  if (cb == nullptr || cb->lineEdit() == nullptr) return 0;
  return static_cast<int>(cb->lineEdit()->selectedText().size());
}

void TCustomComboBox::UserPicked(int Index) {
  if (Index < 0 || Index >= FItems->Count()) return;
  FItemIndex = Index;
  FEditText = FItems->Strings(Index);
  Click();
  if (OnSelect)
    OnSelect(this);
  else
    Change();
}

void TCustomComboBox::UserTyped() {
  auto* cb = qobject_cast<QComboBox*>(Host()->Inner.data());
  if (cb == nullptr) return;
  FEditText = cb->currentText().toStdString();
  FItemIndex = -1;
  Change();
}

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}

bool TCustomComboBox::CanAutoSize(int& NewWidth, int& NewHeight) {
  (void)NewWidth;
  NewHeight = FontLineHeight(Font()) + 8;
  return true;
}

void TCustomComboBox::CMFontChanged(TMessage& Message) {
  TWinControl::CMFontChanged(Message);
  ApplyLook();
}

void TCustomComboBox::CMColorChanged(TMessage& Message) {
  TWinControl::CMColorChanged(Message);
  ApplyLook();
}

// ---- TCheckBox -----------------------------------------------------------------------------------------

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = {csSetCaption, csDoubleClicks};
  FTabStop = true;
  SetBounds(0, 0, 97, 17);
}

void TCheckBox::CreateWnd() {
  TWinControl::CreateWnd();
  auto* cb = new QCheckBox(QString::fromStdString(Caption()));
  SetInnerWidget(this, cb);
  SyncToWindow();
  QObject::connect(cb, &QCheckBox::clicked, cb, [this](bool) { Guarded(this, [&] { Toggle(); }); });
  ApplyFontAndColors(cb, Font(), Color(), false);
}

void TCheckBox::SyncToWindow() {
  auto* cb = qobject_cast<QCheckBox*>(Host()->Inner.data());
  if (cb == nullptr) return;
  const QSignalBlocker block(cb);
  cb->setTristate(FAllowGrayed);
  cb->setCheckState(FState == cbChecked  ? Qt::Checked
                    : FState == cbGrayed ? Qt::PartiallyChecked
                                         : Qt::Unchecked);
}

void TCheckBox::SetState(TCheckBoxState Value) {
  if (FState == Value) return;
  FState = Value;
  SyncToWindow();
  Click();
}

void TCheckBox::Toggle() {
  switch (FState) {
    case cbUnchecked:
      SetState(cbChecked);
      break;
    case cbChecked:
      SetState(FAllowGrayed ? cbGrayed : cbUnchecked);
      break;
    default:
      SetState(cbUnchecked);
      break;
  }
  SyncToWindow();
}

void TCheckBox::CMTextChanged(TMessage& Message) {
  TWinControl::CMTextChanged(Message);
  if (auto* cb = qobject_cast<QCheckBox*>(Host()->Inner.data()))
    cb->setText(QString::fromStdString(Caption()));
}

void TCheckBox::CMFontChanged(TMessage& Message) {
  TWinControl::CMFontChanged(Message);
  ApplyFontAndColors(Host()->Inner, Font(), Color(), false);
}

// ---- TButton -------------------------------------------------------------------------------------------

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = {csSetCaption, csDoubleClicks};
  FTabStop = true;
  SetBounds(0, 0, 75, 25);
}

void TButton::CreateWnd() {
  TWinControl::CreateWnd();
  auto* b = new QPushButton(QString::fromStdString(Caption()));
  SetInnerWidget(this, b);
  QObject::connect(b, &QPushButton::clicked, b, [this](bool) { Guarded(this, [&] { Click(); }); });
  ApplyFontAndColors(b, Font(), Color(), false);
}

void TButton::Click() {
  if (TCustomForm* form = GetParentForm(this); form != nullptr && FModalResult != 0)
    form->SetModalResult(FModalResult);
  TWinControl::Click();
}

void TButton::CMTextChanged(TMessage& Message) {
  TWinControl::CMTextChanged(Message);
  if (auto* b = qobject_cast<QPushButton*>(Host()->Inner.data()))
    b->setText(QString::fromStdString(Caption()));
}

void TButton::CMFontChanged(TMessage& Message) {
  TWinControl::CMFontChanged(Message);
  ApplyFontAndColors(Host()->Inner, Font(), Color(), false);
}
