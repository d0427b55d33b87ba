#include "designer/DesignerPanel.h"

#include <algorithm>
#include <array>
#include <span>

#include "assets/EditorLayout.h"
#include "designer/VexMessages.h"
#include "graphics/Gfx32.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/SysUtils.h"
#include "platform/ui/Messages.h"
#include "skin/KUtilities.h"
#include "skin/UVexForm.h"

namespace {

constexpr TVXNumberKind kPosition = TVXNumberKind::nkPosition;
constexpr TVXNumberKind kSize = TVXNumberKind::nkSize;

constexpr const char* PositionItems[] = {"Like designed", "Screencenter", "Upper left"};
constexpr const char* CustomText = "Custom Text";

// The place of a named control on one of the panel pictures.
const editor_layout::Box* FindBox(const std::string& Name) {
  using namespace editor_layout;
  for (std::span<const Box> list : {std::span<const Box>(kFormPanel), std::span<const Box>(kButtonPanel),
                                    std::span<const Box>(kLabelPanel), std::span<const Box>(kEditPanel),
                                    std::span<const Box>(kOptionsPanel)}) {
    for (const Box& box : list)
      if (Name == box.name) return &box;
  }
  return nullptr;
}

// The four state paths of a button: Mask, Touched, Pressed, Disabled.
std::string& StatePath(TVXButton* Button, int State) {
  switch (State) {
    case 0:
      return Button->Mask;
    case 1:
      return Button->Touched;
    case 2:
      return Button->Pressed;
    default:
      return Button->Disabled;
  }
}

void SetStatePath(TVXButton* Button, int State, const std::string& Path) {
  switch (State) {
    case 0:
      Button->SetMask(Path);
      break;
    case 1:
      Button->SetTouched(Path);
      break;
    case 2:
      Button->SetPressed(Path);
      break;
    default:
      Button->SetDisabled(Path);
      break;
  }
}

// Counts a load in progress for the life of a scope.
class TLoadScope {
 public:
  explicit TLoadScope(int& Count) : FCount(Count) { ++FCount; }
  ~TLoadScope() { --FCount; }
  TLoadScope(const TLoadScope&) = delete;
  TLoadScope& operator=(const TLoadScope&) = delete;

 private:
  int& FCount;
};

}  // namespace

std::string SizeText(int Width, int Height) {
  return IntToStr(Width) + " x " + IntToStr(Height);
}

bool ActionTakesTarget(const std::string& Action) {
  return Action == "Navigate silent" || Action == "Navigate to target" || Action == "Exec Program";
}

void SetFieldEnabled(TEdit* Edit, bool Enabled) {
  Edit->SetEnabled(Enabled);
  Edit->SetColor(Enabled ? EditorFieldColor : EditorDisabledFieldColor);
  Edit->Font()->SetColor(Enabled ? clWhite : EditorDisabledTextColor);
}

void SelectItem(TComboBox* Combo, const std::string& Text) {
  Combo->SetItemIndex(Combo->Items()->IndexOf(Text));
}

TPropertyForm::TPropertyForm(TComponent* AOwner) : TVexForm(AOwner) {
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
}

// ---- Form resource ----------------------------------------------------------------------------------

void TPropertyForm::Place(TControl* Control, TPanel* Panel) {
  Control->SetParent(Panel);
  if (const editor_layout::Box* box = FindBox(Control->Name()))
    Control->SetBounds(box->left, box->top, box->width, box->height);
}

TPanel* TPropertyForm::MakePanel(const char* Name, const char* ImageName, const char* Picture,
                                 TImage*& Image) {
  auto* panel = new TPanel(this);
  panel->SetName(Name);
  panel->SetCaption("");
  panel->SetParent(ScrollBox1);
  panel->SetAlign(alClient);
  panel->SetBevelOuter(bvNone);
  panel->SetPopupMenu(PopupMenu);
  Image = new TImage(this);
  Image->SetName(ImageName);
  Image->SetParent(panel);
  Image->SetBounds(0, 0, editor_layout::kWidth, editor_layout::kHeight);
  Image->Picture()->LoadFromFile(GetCurrentDir() + "/" + Picture);
  Image->SetAutoSize(true);
  Image->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    fsdfsdfsMouseDown(Sender, Button, Shift, X, Y);
  };
  Image->OnDblClick = [this](TObject* Sender) { sffddfsfDblClick(Sender); };
  return panel;
}

TEdit* TPropertyForm::MakeEdit(TPanel* Panel, const char* Name, const std::function<void(TObject*)>& Exit,
                               std::optional<TVXNumberKind> Number) {
  auto* edit = new TEdit(this);
  edit->SetName(Name);
  edit->SetText("");
  Place(edit, Panel);
  edit->SetColor(EditorFieldColor);
  edit->Font()->SetColor(clWhite);
  edit->SetBorderStyle(bsNone);
  edit->OnExit = Exit;
  edit->OnKeyPress = [this](TObject* Sender, char& Key) { EditKeyPress(Sender, Key); };
  if (Number) {
    FIntegerEdits[edit] = *Number;
    edit->OnEnter = [this](TObject* Sender) { IntegerEditsEnter(Sender); };
  }
  return edit;
}

TComboBox* TPropertyForm::MakeCombo(TPanel* Panel, const char* Name, std::initializer_list<const char*> Items,
                                    const std::function<void(TObject*)>& Change, bool Sorted) {
  auto* combo = new TComboBox(this);
  combo->SetName(Name);
  Place(combo, Panel);
  combo->SetStyle(csDropDownList);
  combo->SetColor(EditorFieldColor);
  combo->Font()->SetColor(clWhite);
  combo->SetSorted(Sorted);
  for (const char* item : Items)
    combo->Items()->Add(item);
  combo->OnChange = Change;
  combo->OnKeyPress = [this](TObject* Sender, char& Key) { EditKeyPress(Sender, Key); };
  return combo;
}

TShape* TPropertyForm::MakeSwatch(TPanel* Panel, const char* Name, const char* Hint) {
  auto* shape = new TShape(this);
  shape->SetName(Name);
  Place(shape, Panel);
  shape->SetShape(stRoundRect);
  shape->SetHint(Hint);
  shape->SetShowHint(true);
  return shape;
}

TCheckBox* TPropertyForm::MakeCheck(TPanel* Panel, const char* Name, const char* Caption) {
  auto* box = new TCheckBox(this);
  box->SetName(Name);
  box->SetCaption(Caption);
  Place(box, Panel);
  // The box takes the colour of the card it lies on (the panel's picture, the first control of the panel).
  if (auto* picture = dynamic_cast<TImage*>(Panel->Controls(0))) {
    if (auto* bitmap = dynamic_cast<TBitmap*>(picture->Picture()->Graphic())) {
      const int x = std::min(box->Left() + box->Width() - 1, bitmap->Width() - 1);
      const int y = std::min(box->Top() + 1, bitmap->Height() - 1);
      if (x >= 0 && y >= 0) box->SetColor(bitmap->Canvas()->Pixels(x, y));
    }
  }
  return box;
}

TImage* TPropertyForm::MakePreview(TPanel* Panel, const char* Name) {
  auto* image = new TImage(this);
  image->SetName(Name);
  Place(image, Panel);
  image->SetStretch(true);
  image->SetHint("Bilddatei öffnen");
  image->SetShowHint(true);
  return image;
}

TLabel* TPropertyForm::MakeText(TPanel* Panel, const char* Name, TAlignment Alignment) {
  auto* label = new TLabel(this);
  label->SetName(Name);
  label->SetAutoSize(false);
  label->SetAlignment(Alignment);
  label->SetTransparent(true);
  label->SetCaption("640 x 480");
  Place(label, Panel);
  return label;
}

TOrganicShapeButton* TPropertyForm::MakeIcon(TPanel* Panel, const char* Name, const char* Picture,
                                             const char* Hint, const std::function<void(TObject*)>& Click) {
  auto* button = new TOrganicShapeButton(this);
  button->SetName(Name);
  Place(button, Panel);
  button->SetHint(Hint);
  button->SetShowHint(true);
  button->InvisibleColor = clWhite;
  LoadButtonPictures(button, Picture);
  button->OnClick = Click;
  return button;
}

TScrollBox* TPropertyForm::MakeFontBox(TPanel* Panel, const char* Name, TLabel*& FontLabel,
                                       const std::function<void(TObject*)>& Click) {
  auto* box = new TScrollBox(this);
  box->SetName(Name);
  Place(box, Panel);
  box->SetBorderStyle(bsNone);
  box->SetHorzScrollBarVisible(false);
  box->SetVertScrollBarVisible(false);
  box->SetColor(clCream);
  box->OnClick = Click;
  FontLabel = new TLabel(this);
  FontLabel->SetParent(box);
  FontLabel->SetCaption("ABC");
  FontLabel->SetBounds(4, 4, box->Width() - 8, box->Height() - 8);
  FontLabel->SetHint("Zeichensatz wählen");
  FontLabel->SetShowHint(true);
  FontLabel->OnClick = Click;
  return box;
}

void TPropertyForm::ReadResource() {
  TVexForm::ReadResource();
  SetName("PropertyForm");
  SetCaption("Properties");
  SetClientWidth(432);
  SetClientHeight(477);
  Font()->SetName("Comic Sans MS");

  PopupMenu = new TPopupMenu(this);
  PopupMenu->SetName("PopupMenu");
  Stayontop1 = new TMenuItem(this);
  Stayontop1->SetName("Stayontop1");
  Stayontop1->SetCaption("Stay on top");
  Stayontop1->OnClick = [this](TObject* Sender) { Stayontop1Click(Sender); };
  PopupMenu->Items()->Add(Stayontop1);

  OpenPictureDialog = new TOpenPictureDialog(this);
  OpenPictureDialog->SetName("OpenPictureDialog");
  OpenPictureDialog->SetTitle("Open Bitmap");
  OpenPictureDialog->SetDefaultExt("bmp");
  OpenPictureDialog->SetFilter("Bitmaps (*.bmp)|*.bmp|JPEGs (*.jpg)|*.jpg|All (*.bmp, *.jpg)|*.bmp;*.jpg");
  SoundDialog = new TOpenDialog(this);
  SoundDialog->SetName("SoundDialog");
  SoundDialog->SetDefaultExt("*.wav");
  SoundDialog->SetFilter("Wave-files (*.wav)|*.wav");
  FontDialog = new TFontDialog(this);
  FontDialog->SetName("FontDialog");
  ColorDialog = new TColorDialog(this);
  ColorDialog->SetName("ColorDialog");
  ColorDialog->SetOptions({cdFullOpen});
  PropertySound = new TPlayerWave(this);
  PropertySound->SetName("PropertySound");
  PropertySound->SetLoop(false);
  PropertySound->SetAsync(true);

  ScrollBox1 = new TScrollBox(this);
  ScrollBox1->SetName("ScrollBox1");
  ScrollBox1->SetParent(this);
  ScrollBox1->SetAlign(alClient);
  ScrollBox1->SetBorderStyle(bsNone);
  ScrollBox1->SetHorzScrollBarVisible(false);
  ScrollBox1->SetVertScrollBarVisible(false);
  ScrollBox1->SetPopupMenu(PopupMenu);
  ScrollBox1->SetTabStop(true);

  BuildFormPanel();
  BuildButtonPanel();
  BuildLabelPanel();
  BuildEditPanel();
  BuildOptionsPanel();
}

void TPropertyForm::BuildFormPanel() {
  FormPanel = MakePanel("FormPanel", "Image1", editor_layout::kPanelPictures[0], Image1);
  TPanel* p = FormPanel;
  auto exit = [this](TObject* Sender) { BrowserEditExit(Sender); };
  BitmapEdit = MakeCombo(p, "BitmapEdit", {}, [this](TObject* Sender) { BitmapEditChange(Sender); });
  FormImage = MakePreview(p, "FormImage");
  FormImage->OnClick = [this](TObject* Sender) { FormImageClick(Sender); };
  SizeLabel = MakeText(p, "SizeLabel", taRightJustify);
  DialodIColorShape = MakeSwatch(p, "DialodIColorShape", "Farbe wählen");
  DialodIColorShape->OnMouseDown = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
    DialodIColorShapeMouseDown(S, B, Sh, X, Y);
  };
  OrganicShapeButton9 = MakeIcon(p, "OrganicShapeButton9", "Pipette", "Pipette",
                                 [this](TObject* Sender) { DialogPickButClick(Sender); });
  PositionCombo =
      MakeCombo(p, "PositionCombo", {PositionItems[0], PositionItems[1], PositionItems[2]}, exit, true);
  BrowserTopEdit = MakeEdit(p, "BrowserTopEdit", exit, kPosition);
  BrowserLeftEdit = MakeEdit(p, "BrowserLeftEdit", exit, kPosition);
  BrowserWidthEdit = MakeEdit(p, "BrowserWidthEdit", exit, kSize);
  BrowserHeightEdit = MakeEdit(p, "BrowserHeightEdit", exit, kSize);
  BrowserILeftEdit = MakeEdit(p, "BrowserILeftEdit", exit, kPosition);
  BrowserITopEdit = MakeEdit(p, "BrowserITopEdit", exit, kPosition);
  BrowserIWidthEdit = MakeEdit(p, "BrowserIWidthEdit", exit, kPosition);
  BrowserIHeightEdit = MakeEdit(p, "BrowserIHeightEdit", exit, kPosition);
  BrowserStartWidthEdit = MakeEdit(p, "BrowserStartWidthEdit", exit, kSize);
  BrowserStartHeightEdit = MakeEdit(p, "BrowserStartHeightEdit", exit, kSize);
  BrowserStartpageEdit = MakeEdit(p, "BrowserStartpageEdit", exit, std::nullopt);
  BrowserStartpageEdit->OnChange = [this](TObject* Sender) { BrowserStartpageEditChange(Sender); };
  StartSoundCombo = MakeCombo(p, "StartSoundCombo", {}, exit);
  OrganicShapeButton3 = MakeIcon(p, "OrganicShapeButton3", "Play", "Start",
                                 [this](TObject* Sender) { StartSoundPlayButClick(Sender); });
  OrganicShapeButton4 = MakeIcon(p, "OrganicShapeButton4", "Stop", "Stop",
                                 [this](TObject* Sender) { SoundStopButClick(Sender); });
  OrganicShapeButton5 = MakeIcon(p, "OrganicShapeButton5", "Folder", "Öffnen",
                                 [this](TObject* Sender) { StartSoundOpenButClick(Sender); });
  ExitSoundCombo = MakeCombo(p, "ExitSoundCombo", {}, exit);
  OrganicShapeButton6 = MakeIcon(p, "OrganicShapeButton6", "Play", "Start",
                                 [this](TObject* Sender) { EndSoundStartButClick(Sender); });
  OrganicShapeButton7 = MakeIcon(p, "OrganicShapeButton7", "Stop", "Stop",
                                 [this](TObject* Sender) { SoundStopButClick(Sender); });
  OrganicShapeButton8 = MakeIcon(p, "OrganicShapeButton8", "Folder", "Öffnen",
                                 [this](TObject* Sender) { EndSoundOpenButClick(Sender); });
  BrowserStayOnTopBox = MakeCheck(p, "BrowserStayOnTopBox", "");
  BrowserStayOnTopBox->OnClick = exit;
  BrowserHLBox = MakeCheck(p, "BrowserHLBox", "");
  BrowserHLBox->SetChecked(true);
  BrowserHLBox->OnClick = [this](TObject* Sender) { BrowserHLBoxClick(Sender); };
}

void TPropertyForm::BuildButtonPanel() {
  ButtonPanel = MakePanel("ButtonPanel", "fsdfsdfs", editor_layout::kPanelPictures[1], fsdfsdfs);
  ButtonPanel->SetPopupMenu(nullptr);
  TPanel* p = ButtonPanel;
  auto exit = [this](TObject* Sender) { ButtonEditExit(Sender); };
  static constexpr std::array<const char*, 4> states = {"Mask", "Touched", "Pressed", "Disabled"};
  std::array<TImage**, 4> images = {&ButtonMaskImage, &ButtonTouchedImage, &ButtonPressedImage,
                                    &ButtonDisabledImage};
  std::array<TComboBox**, 4> combos = {&ButtonMaskCombo, &ButtonTouchedCombo, &ButtonPressedCombo,
                                       &ButtonDisabledCombo};
  std::array<TLabel**, 4> labels = {&ButtonMaskLabel, &ButtonTouchedLabel, &ButtonPressedLabel,
                                    &ButtonDisabledLabel};
  for (int s = 0; s < 4; ++s) {
    const std::string state = states[s];
    *images[s] = MakePreview(p, ("Button" + state + "Image").c_str());
    (*images[s])->OnClick = [this, s](TObject*) { ButtonStateImageClick(s); };
    *combos[s] = MakeCombo(p, ("Button" + state + "Combo").c_str(), {},
                           [this, s](TObject*) { ButtonStateComboChange(s); });
    *labels[s] = MakeText(p, ("Button" + state + "Label").c_str(), taCenter);
  }
  ButtonActionCombo = MakeCombo(
      p, "ButtonActionCombo",
      {"Back", "Cancel", "Exec Program", "Exit", "Forward", "Maximize", "Minimize", "Move", "Navigate",
       "Navigate silent", "Navigate to target", "Nothing", "Open", "Print", "Refresh", "Resize", "Save as"},
      exit, true);
  ButtonNavigationTarget = MakeEdit(p, "ButtonNavigationTarget", exit, std::nullopt);
  ButtonNavigationTarget->OnChange = [this](TObject* Sender) { ButtonNavigationTargetChange(Sender); };
  ButtonHintEdit = MakeEdit(p, "ButtonHintEdit", exit, std::nullopt);
  ButtonHintEdit->OnChange = [this](TObject* Sender) { ButtonHintEditChange(Sender); };
  ButtonAlignmentCombo =
      MakeCombo(p, "ButtonAlignmentCombo", {"Topleft", "Topright", "Bottomleft", "Bottomright"}, exit);
  ButtonTopedit = MakeEdit(p, "ButtonTopedit", exit, kPosition);
  ButtonLeftEdit = MakeEdit(p, "ButtonLeftEdit", exit, kPosition);
  ButtonIColorShape = MakeSwatch(p, "ButtonIColorShape", "Farbe wählen");
  ButtonIColorShape->OnMouseDown = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
    ButtonIColorShapeMouseDown(S, B, Sh, X, Y);
  };
  OrganicShapeButton13 = MakeIcon(p, "OrganicShapeButton13", "Pipette", "Pipette",
                                  [this](TObject* Sender) { DialogPickButClick(Sender); });
  ButtonSoundCombo = MakeCombo(p, "ButtonSoundCombo", {}, exit);
  OrganicShapeButton10 = MakeIcon(p, "OrganicShapeButton10", "Play", "Start",
                                  [this](TObject* Sender) { ButtonSoundPlayButClick(Sender); });
  OrganicShapeButton11 = MakeIcon(p, "OrganicShapeButton11", "Stop", "Stop",
                                  [this](TObject* Sender) { SoundStopButClick(Sender); });
  OrganicShapeButton12 = MakeIcon(p, "OrganicShapeButton12", "Folder", "Öffnen",
                                  [this](TObject* Sender) { ButtonSoundOpenButClick(Sender); });
}

void TPropertyForm::BuildLabelPanel() {
  LabelPanel = MakePanel("LabelPanel", "Image4", editor_layout::kPanelPictures[2], Image4);
  TPanel* p = LabelPanel;
  auto exit = [this](TObject* Sender) { LabelEditExit(Sender); };
  LabelStyleCombo = MakeCombo(p, "LabelStyleCombo", {"Page Title", CustomText}, exit);
  LabelTextEdit = MakeEdit(p, "LabelTextEdit", exit, std::nullopt);
  LabelTextEdit->OnChange = [this](TObject* Sender) { LabelTextEditChange(Sender); };
  LabelTopEdit = MakeEdit(p, "LabelTopEdit", exit, kPosition);
  LabelLeftEdit = MakeEdit(p, "LabelLeftEdit", exit, kPosition);
  LabelWidthEdit = MakeEdit(p, "LabelWidthEdit", exit, kSize);
  LabelAlignmentCombo =
      MakeCombo(p, "LabelAlignmentCombo", {"Topleft", "Topright", "Bottomleft", "Bottomright"}, exit);
  LabelColorShape = MakeSwatch(p, "LabelColorShape", "Farbe wählen");
  LabelColorShape->OnMouseDown = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
    LabelColorShapeMouseUp(S, B, Sh, X, Y);
  };
  LabelTransparentCheck = MakeCheck(p, "LabelTransparentCheck", "Transparent");
  LabelTransparentCheck->OnClick = [this](TObject* Sender) { LabelTransparentCheckClick(Sender); };
  LabelAutosizeBox = MakeCheck(p, "LabelAutosizeBox", "AutoSize");
  LabelAutosizeBox->OnClick = [this](TObject* Sender) {
    if (HasFocus(LabelAutosizeBox)) LabelEditExit(Sender);
  };
  ScrollBox2 =
      MakeFontBox(p, "ScrollBox2", LabelFontLabel, [this](TObject* Sender) { LabelFontLabelClick(Sender); });
  LabelFontLabel->SetName("LabelFontLabel");
}

void TPropertyForm::BuildEditPanel() {
  EditPanel = MakePanel("EditPanel", "Image3", editor_layout::kPanelPictures[3], Image3);
  TPanel* p = EditPanel;
  auto exit = [this](TObject* Sender) { EditEditExit(Sender); };
  EditStyleCombo = MakeCombo(p, "EditStyleCombo", {"Simple Edit", "History Combo"}, exit);
  EditTopEdit = MakeEdit(p, "EditTopEdit", exit, kPosition);
  EditLeftEdit = MakeEdit(p, "EditLeftEdit", exit, kPosition);
  EditWidthEdit = MakeEdit(p, "EditWidthEdit", exit, kSize);
  EditAlignmentCombo =
      MakeCombo(p, "EditAlignmentCombo", {"Topleft", "Topright", "Bottomleft", "Bottomright"}, exit);
  EditColorShape = MakeSwatch(p, "EditColorShape", "Farbe wählen");
  EditColorShape->OnMouseDown = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
    EditColorShapeMouseDown(S, B, Sh, X, Y);
  };
  EditAutoSizeBox = MakeCheck(p, "EditAutoSizeBox", "AutoSize");
  EditAutoSizeBox->OnClick = [this](TObject* Sender) {
    if (HasFocus(EditAutoSizeBox)) EditEditExit(Sender);
  };
  ScrollBox3 =
      MakeFontBox(p, "ScrollBox3", EditFontLabel, [this](TObject* Sender) { EditFontLabelClick(Sender); });
  EditFontLabel->SetName("EditFontLabel");
}

void TPropertyForm::BuildOptionsPanel() {
  OptionsPanel = MakePanel("OptionsPanel", "Image5", editor_layout::kPanelPictures[4], Image5);
  TPanel* p = OptionsPanel;
  ShapeColor = MakeSwatch(p, "ShapeColor", "Farbe wählen");
  ShapeColor->OnMouseDown = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
    ShapeColorMouseDown(S, B, Sh, X, Y);
  };
  HelperColor = MakeSwatch(p, "HelperColor", "Change color of selection-frame");
  HelperColor->OnMouseDown = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
    HelperColorMouseDown(S, B, Sh, X, Y);
  };
  SoundsOn = MakeCheck(p, "SoundsOn", "General Sounds");
  SoundsOn->SetChecked(true);
  SoundsOn->OnClick = [this](TObject* Sender) { SoundsOnClick(Sender); };
  MessageSoundsOn = MakeCheck(p, "MessageSoundsOn", "Message Sounds");
  MessageSoundsOn->SetChecked(true);
  MessageSoundsOn->OnClick = [this](TObject* Sender) { SoundsOnClick(Sender); };
  OrganicShapeButton1 = MakeIcon(p, "OrganicShapeButton1", "Sweep", "",
                                 [this](TObject* Sender) { SpeedButton10Click(Sender); });
  OrganicShapeButton2 = MakeIcon(p, "OrganicShapeButton2", "Sweep", "",
                                 [this](TObject* Sender) { SpeedButton11Click(Sender); });
}

// ---- Frame ------------------------------------------------------------------------------------------

void TPropertyForm::SetAppDir(const std::string& Value) {
  FAppDir = Value;
  OpenPictureDialog->SetInitialDir(Value);
  SoundDialog->SetInitialDir(Value);
}

void TPropertyForm::FormCreate(TObject*) {
  SetAppDir(GetCurrentDir());
  Skin()->SetFileName(FAppDir + "/images/Blaselinksoben.BMP");
  Skin()->SetMode(3);
  SetAlphaThreshold(100);
  SetRegionMode(4);
  Skin()->SetInnerRect(Rect(37, 50, 263, 325));
  Skin()->SetStretch(true);
  FDocked = true;
  ShowPanel(FormPanel);
}

void TPropertyForm::FormShow(TObject*) {
  TBitmap32* skin = Skin()->GetBitmap();
  SetBounds(Left(), Top(), skin->Width(), skin->Height());
  if (FDocked) DockUnderMainWindow();
}

void TPropertyForm::DockUnderMainWindow() {
  TControl* main = FMainWindow != nullptr ? FMainWindow : Application->MainForm();
  if (main == nullptr || main == this) return;
  SetBounds(main->Left(), main->Top() + 150, Width(), Height());
}

void TPropertyForm::fsdfsdfsMouseDown(TObject*, TMouseButton Button, TShiftState Shift, int, int) {
  // The second press of a double click belongs to the double click, which has just docked the editor.
  if (Button != mbLeft || Shift.Contains(ssDouble)) return;
  FDocked = false;
  ReleaseCapture();
  Perform(WM_SYSCOMMAND, SC_DRAGMOVE, static_cast<LPARAM>(-1));
}

void TPropertyForm::sffddfsfDblClick(TObject*) {
  FDocked = true;
  DockUnderMainWindow();
}

void TPropertyForm::WMSysCommand(TMessage& Message) {
  if ((Message.WParam & 0xFFF0) == SC_CLOSE) {
    Message.Result = 0;
    return;
  }
  TVexForm::WMSysCommand(Message);
}

void TPropertyForm::Stayontop1Click(TObject*) {
  Stayontop1->SetChecked(!Stayontop1->Checked());
  SetFormStyle(Stayontop1->Checked() ? fsStayOnTop : fsNormal);
}

void TPropertyForm::ShowPanel(TPanel* Panel) {
  for (TPanel* p : {FormPanel, ButtonPanel, LabelPanel, EditPanel, OptionsPanel})
    if (p != Panel) p->SetVisible(false);
  Panel->SetVisible(true);
  Panel->BringToFront();
  if (Showing() && Panel->CanFocus()) FocusControl(Panel);
}

TPanel* TPropertyForm::CurrentPanel() const {
  for (TPanel* p : {FormPanel, ButtonPanel, LabelPanel, EditPanel, OptionsPanel})
    if (p->Visible()) return p;
  return nullptr;
}

void TPropertyForm::CommitPending() {
  if (FocusedControl() != nullptr && FocusedControl() != ScrollBox1) SetFocusedControl(ScrollBox1);
}

void TPropertyForm::SelectElement(TComponent* Element) {
  if (dynamic_cast<TVXWeb*>(Element) != nullptr) {
    LoadWeb();
    ShowPanel(FormPanel);
  } else if (auto* button = dynamic_cast<TVXButton*>(Element)) {
    LoadButton(button);
    ShowPanel(ButtonPanel);
  } else if (auto* label = dynamic_cast<TVXLabel*>(Element)) {
    LoadLabel(label);
    ShowPanel(LabelPanel);
  } else if (auto* edit = dynamic_cast<TVXEdit*>(Element)) {
    LoadEdit(edit);
    ShowPanel(EditPanel);
  }
}

void TPropertyForm::NotifyChange() {
  if (OnChange) OnChange(nullptr);
}

void TPropertyForm::ElementMoved(TObject* Sender) {
  if (FProject == nullptr) return;
  TCoolBrowser* surface = FProject->Surface();
  // Stopgap: the window layer repaints only where a moved graphic control now lies (the frame and the
  // guides would leave their old outlines behind); the whole surface is repainted instead.
  surface->Invalidate();
  TLoadScope loading(FLoading);
  if (Sender == surface->LeftShape) BrowserILeftEdit->SetText(IntToStr(surface->LeftShape->Left()));
  if (Sender == surface->RightShape) BrowserIWidthEdit->SetText(IntToStr(surface->RightShape->Left()));
  if (Sender == surface->TopShape) BrowserITopEdit->SetText(IntToStr(surface->TopShape->Top()));
  if (Sender == surface->BottomShape) BrowserIHeightEdit->SetText(IntToStr(surface->BottomShape->Top()));
  TComponent* selected = FProject->Selected();
  if (auto* web = dynamic_cast<TVXWeb*>(selected)) {
    BrowserTopEdit->SetText(IntToStr(web->GetTop()));
    BrowserLeftEdit->SetText(IntToStr(web->GetLeft()));
    BrowserWidthEdit->SetText(IntToStr(web->GetWidth()));
    BrowserHeightEdit->SetText(IntToStr(web->GetHeight()));
  } else if (auto* button = dynamic_cast<TVXButton*>(selected)) {
    ButtonTopedit->SetText(IntToStr(button->GetTop()));
    ButtonLeftEdit->SetText(IntToStr(button->GetLeft()));
  } else if (auto* label = dynamic_cast<TVXLabel*>(selected)) {
    LabelTopEdit->SetText(IntToStr(label->GetTop()));
    LabelLeftEdit->SetText(IntToStr(label->GetLeft()));
    LabelWidthEdit->SetText(IntToStr(label->GetWidth()));
  } else if (auto* edit = dynamic_cast<TVXEdit*>(selected)) {
    EditTopEdit->SetText(IntToStr(edit->GetTop()));
    EditLeftEdit->SetText(IntToStr(edit->GetLeft()));
    EditWidthEdit->SetText(IntToStr(edit->GetWidth()));
  }
  NotifyChange();
}

void TPropertyForm::ColorPicked(TObject*, TColor Color) {
  if (FProject == nullptr) return;
  TComponent* selected = FProject->Selected();
  if (dynamic_cast<TVXWeb*>(selected) != nullptr) {
    DialodIColorShape->Brush()->SetColor(Color);
    FProject->Surface()->Skin()->SetInvisibleColor(Color);
  } else if (auto* button = dynamic_cast<TVXButton*>(selected)) {
    ButtonIColorShape->Brush()->SetColor(Color);
    button->SetInvisibleColor(Color);
  }
}

// ---- Shared routines --------------------------------------------------------------------------------

bool TPropertyForm::IsIntegerEdit(TObject* Sender) const {
  return FIntegerEdits.contains(Sender);
}

bool TPropertyForm::HasFocus(const TWinControl* Control) const {
  return FocusedControl() == Control;
}

void TPropertyForm::IntegerEditsCheck(TObject* Sender) {
  if (!IsIntegerEdit(Sender)) return;
  auto* edit = static_cast<TEdit*>(Sender);
  if (Trim(edit->Text()).empty()) edit->SetText("0");
  // A number the project text could not hold again is refused like one that is no number.
  int value = 0;
  if (!TryBoundedInteger(edit->Text(), FIntegerEdits.at(edit), value)) edit->Undo();
}

int TPropertyForm::Number(const TEdit* Edit) const {
  return BoundedInteger(Edit->Text(), FIntegerEdits.at(Edit));
}

void TPropertyForm::EditKeyPress(TObject* Sender, char& Key) {
  if (Key != 13) return;
  Key = 0;
  auto* control = dynamic_cast<TWinControl*>(Sender);
  if (control != nullptr && control->OnExit) control->OnExit(Sender);
}

bool TPropertyForm::ChoosePicture(std::string& File) {
  if (!FLastPicturePath.empty()) {
    OpenPictureDialog->SetInitialDir(ExtractFileDir(FLastPicturePath));
    OpenPictureDialog->SetFileName(ExtractFileName(FLastPicturePath));
  }
  if (!OpenPictureDialog->Execute()) return false;
  File = OpenPictureDialog->FileName();
  // A picture that cannot be loaded raises here and is not listed.
  FProject->Bitmaps()->Add(File);
  FLastPicturePath = File;
  return true;
}

bool TPropertyForm::ChooseSound(std::string& File) {
  if (!FLastSoundPath.empty()) {
    SoundDialog->SetInitialDir(ExtractFileDir(FLastSoundPath));
    SoundDialog->SetFileName(ExtractFileName(FLastSoundPath));
  }
  if (!SoundDialog->Execute()) return false;
  File = SoundDialog->FileName();
  FLastSoundPath = File;
  FProject->Sounds()->Add(File);
  return true;
}

bool TPropertyForm::ChooseColor(TShape* Shape, TShiftState Shift) {
  if (!Shift.Contains(ssLeft)) return false;
  ColorDialog->SetColor(Shape->Brush()->Color());
  if (!ColorDialog->Execute()) return false;
  Shape->Brush()->SetColor(ColorDialog->Color());
  return true;
}

void TPropertyForm::Preview(TComboBox* Combo, const std::string& Sound) {
  if (Combo->Text() == ProjectText::NoSound || Sound == ProjectText::NoSound) return;
  PropertySound->SetWaveName(Sound);
  PropertySound->Play();
}

void TPropertyForm::SoundStopButClick(TObject*) {
  PropertySound->Stop();
}

void TPropertyForm::DialogPickButClick(TObject*) {
  if (FProject != nullptr) FProject->SetPickMode(true);
}

void TPropertyForm::ShowListBitmap(TImage* Image, int Index) {
  TVXBitmaps* bitmaps = FProject->Bitmaps();
  if (Index < 0 || Index >= bitmaps->Count()) {
    Image->Picture()->SetGraphic(nullptr);
    return;
  }
  Image->Picture()->Assign(bitmaps->GetBitmap(Index));
}

std::string TPropertyForm::ListSizeText(int Index) const {
  TVXBitmaps* bitmaps = FProject->Bitmaps();
  if (Index < 0 || Index >= bitmaps->Count()) return "";
  TBitmap* b = bitmaps->GetBitmap(Index);
  return SizeText(b->Width(), b->Height());
}

std::string TPropertyForm::SoundOf(TComboBox* Combo, const std::string& Keep) const {
  const int i = Combo->ItemIndex();
  if (i < 0 || i >= FProject->Sounds()->Count()) return Keep;
  return FProject->Sounds()->GetPath(i);
}

void TPropertyForm::FillSoundCombo(TComboBox* Combo, const std::string& Sound) {
  FProject->Sounds()->UpdateNames();
  Combo->Items()->Assign(FProject->Sounds()->GetNames());
  Combo->SetItemIndex(FProject->Sounds()->IndexOf(Sound));
}

void TPropertyForm::FillPictureCombo(TComboBox* Combo, int Index) {
  FProject->Bitmaps()->UpdateNames();
  Combo->Items()->Assign(FProject->Bitmaps()->GetNames());
  Combo->SetItemIndex(Index);
}

// ---- Window panel -----------------------------------------------------------------------------------

void TPropertyForm::LoadWeb() {
  if (FProject == nullptr) return;
  TLoadScope loading(FLoading);
  TVXWeb* web = FProject->Web();
  TCoolBrowser* surface = FProject->Surface();
  const int i = FProject->Bitmaps()->IndexOf(web->Bitmap);
  ShowListBitmap(FormImage, i);
  FillPictureCombo(BitmapEdit, i);
  SizeLabel->SetCaption(ListSizeText(i));
  SelectItem(PositionCombo, web->Position);
  BrowserTopEdit->SetText(IntToStr(web->GetTop()));
  BrowserLeftEdit->SetText(IntToStr(web->GetLeft()));
  BrowserHeightEdit->SetText(IntToStr(web->GetHeight()));
  BrowserWidthEdit->SetText(IntToStr(web->GetWidth()));
  BrowserITopEdit->SetText(IntToStr(surface->ITop()));
  BrowserILeftEdit->SetText(IntToStr(surface->ILeft()));
  BrowserIHeightEdit->SetText(IntToStr(surface->IBottom()));
  BrowserIWidthEdit->SetText(IntToStr(surface->IRight()));
  BrowserStartWidthEdit->SetText(IntToStr(surface->StartWidth()));
  BrowserStartHeightEdit->SetText(IntToStr(surface->StartHeight()));
  FillSoundCombo(StartSoundCombo, web->StartSound);
  FillSoundCombo(ExitSoundCombo, web->ExitSound);
  DialodIColorShape->Brush()->SetColor(web->GetInvisibleColor());
  BrowserStartpageEdit->SetText(web->Startpage);
  BrowserStayOnTopBox->SetChecked(surface->FormStyle() == fsStayOnTop);
}

void TPropertyForm::BrowserEditExit(TObject* Sender) {
  if (FLoading > 0 || FProject == nullptr) return;
  IntegerEditsCheck(Sender);
  // Every number is read before anything is written, so a bad field changes nothing.
  const int top = Number(BrowserTopEdit);
  const int left = Number(BrowserLeftEdit);
  const int height = Number(BrowserHeightEdit);
  const int width = Number(BrowserWidthEdit);
  const TRect inner{Number(BrowserILeftEdit), Number(BrowserITopEdit), Number(BrowserIWidthEdit),
                    Number(BrowserIHeightEdit)};
  const int startWidth = Number(BrowserStartWidthEdit);
  const int startHeight = Number(BrowserStartHeightEdit);

  TVXWeb* web = FProject->Web();
  TCoolBrowser* surface = FProject->Surface();
  web->SetTop(top);
  web->SetLeft(left);
  web->SetHeight(height);
  web->SetWidth(width);
  surface->SetInnerRect(inner);
  surface->SetStartWidth(startWidth);
  surface->SetStartHeight(startHeight);
  if (PositionCombo->ItemIndex() >= 0) web->SetPosition(PositionCombo->Text());
  web->SetStartpage(BrowserStartpageEdit->Text());
  FProject->RefreshSelection();
  web->SetStartSound(SoundOf(StartSoundCombo, web->StartSound));
  web->SetExitSound(SoundOf(ExitSoundCombo, web->ExitSound));
  surface->SetFormStyle(BrowserStayOnTopBox->Checked() ? fsStayOnTop : fsNormal);
  NotifyChange();
  if (Sender != BrowserStayOnTopBox) LoadWeb();
}

void TPropertyForm::BrowserStartpageEditChange(TObject*) {
  if (FLoading > 0 || FProject == nullptr) return;
  FProject->Web()->SetStartpage(BrowserStartpageEdit->Text());
  NotifyChange();
}

namespace {

// Clamps the surface's inner rectangle into its current skin (the surface does nothing for a rectangle
// it already holds, even when the skin changed size).
void ClampInnerToSkin(TCoolBrowser* Surface) {
  TBitmap32* skin = Surface->Skin()->GetBitmap();
  const TRect clamped = FitInnerRect(Surface->InnerRect(), {skin->Width(), skin->Height()});
  if (!(clamped == Surface->InnerRect())) Surface->SetInnerRect(clamped);
}

}  // namespace

void TPropertyForm::FormImageClick(TObject*) {
  if (FProject == nullptr) return;
  std::string file;
  if (!ChoosePicture(file)) return;
  TCoolBrowser* surface = FProject->Surface();
  {
    TLoadScope loading(FLoading);
    const int i = FProject->Bitmaps()->IndexOf(file);
    ShowListBitmap(FormImage, i);
    FillPictureCombo(BitmapEdit, i);
    SizeLabel->SetCaption(ListSizeText(i));
  }
  KMediaList* cache = KMediaList::Instance();
  if (file == surface->Skin()->FileName()) {
    // The cached picture is reloaded from the file, unless the cache answered the name with its shared
    // stock picture, which must stay as it is.
    TBitmap32* cached = cache->GetBitmap(file);
    TBitmap32* stock = cache->GetBitmap(StartDirectory() + "\\Data\\noimage.bmp");
    if (cached != stock) LoadBitmap32FromFile(cached, file);
  }
  FProject->Web()->SetBitmap(file);
  ClampInnerToSkin(surface);
  surface->Skin()->Invalidate();
  TBitmap32* picture = cache->GetBitmap(file);
  surface->SetStartWidth(picture->Width());
  surface->SetStartHeight(picture->Height());
  LoadWeb();
  NotifyChange();
}

void TPropertyForm::BitmapEditChange(TObject*) {
  if (FProject == nullptr) return;
  const int i = BitmapEdit->ItemIndex();
  if (i < 0) return;
  ShowListBitmap(FormImage, i);
  SizeLabel->SetCaption(ListSizeText(i));
  FProject->Web()->SetBitmap(FProject->Bitmaps()->GetPath(i));
  ClampInnerToSkin(FProject->Surface());
  FProject->RefreshSelection();
  LoadWeb();
  NotifyChange();
}

void TPropertyForm::StartSoundOpenButClick(TObject*) {
  if (FProject == nullptr) return;
  std::string file;
  if (!ChooseSound(file)) return;
  TVXWeb* web = FProject->Web();
  FillSoundCombo(StartSoundCombo, file);
  FillSoundCombo(ExitSoundCombo, web->ExitSound);
  web->SetStartSound(file);
  NotifyChange();
}

void TPropertyForm::EndSoundOpenButClick(TObject*) {
  if (FProject == nullptr) return;
  std::string file;
  if (!ChooseSound(file)) return;
  TVXWeb* web = FProject->Web();
  FillSoundCombo(ExitSoundCombo, file);
  FillSoundCombo(StartSoundCombo, web->StartSound);
  web->SetExitSound(file);
  NotifyChange();
}

void TPropertyForm::StartSoundPlayButClick(TObject*) {
  if (FProject != nullptr) Preview(StartSoundCombo, FProject->Web()->StartSound);
}

void TPropertyForm::EndSoundStartButClick(TObject*) {
  if (FProject != nullptr) Preview(ExitSoundCombo, FProject->Web()->ExitSound);
}

void TPropertyForm::DialodIColorShapeMouseDown(TObject*, TMouseButton, TShiftState Shift, int, int) {
  if (FProject == nullptr || !ChooseColor(DialodIColorShape, Shift)) return;
  FProject->Web()->SetInvisibleColor(DialodIColorShape->Brush()->Color());
  NotifyChange();
}

void TPropertyForm::BrowserHLBoxClick(TObject*) {
  if (FProject == nullptr) return;
  TCoolBrowser* surface = FProject->Surface();
  for (TShape* guide : {surface->LeftShape, surface->RightShape, surface->TopShape, surface->BottomShape})
    guide->SetVisible(BrowserHLBox->Checked());
}

// ---- Button panel -----------------------------------------------------------------------------------

TComboBox* TPropertyForm::ButtonStateCombo(int State) const {
  const std::array<TComboBox*, 4> combos = {ButtonMaskCombo, ButtonTouchedCombo, ButtonPressedCombo,
                                            ButtonDisabledCombo};
  return combos[State];
}

TImage* TPropertyForm::ButtonStateImage(int State) const {
  const std::array<TImage*, 4> images = {ButtonMaskImage, ButtonTouchedImage, ButtonPressedImage,
                                         ButtonDisabledImage};
  return images[State];
}

TLabel* TPropertyForm::ButtonStateLabel(int State) const {
  const std::array<TLabel*, 4> labels = {ButtonMaskLabel, ButtonTouchedLabel, ButtonPressedLabel,
                                         ButtonDisabledLabel};
  return labels[State];
}

TVXButton* TPropertyForm::SelectedButton() const {
  return FProject != nullptr ? dynamic_cast<TVXButton*>(FProject->Selected()) : nullptr;
}
TVXLabel* TPropertyForm::SelectedLabel() const {
  return FProject != nullptr ? dynamic_cast<TVXLabel*>(FProject->Selected()) : nullptr;
}
TVXEdit* TPropertyForm::SelectedEdit() const {
  return FProject != nullptr ? dynamic_cast<TVXEdit*>(FProject->Selected()) : nullptr;
}

void TPropertyForm::LoadButton(TVXButton* Button) {
  TLoadScope loading(FLoading);
  TVXBitmaps* bitmaps = FProject->Bitmaps();
  for (int s = 0; s < 4; ++s) {
    const int i = bitmaps->IndexOf(StatePath(Button, s));
    FillPictureCombo(ButtonStateCombo(s), i);
    ShowListBitmap(ButtonStateImage(s), i);
    ButtonStateLabel(s)->SetCaption(ListSizeText(i));
  }
  ButtonTopedit->SetText(IntToStr(Button->GetTop()));
  ButtonLeftEdit->SetText(IntToStr(Button->GetLeft()));
  SelectItem(ButtonActionCombo, Button->Pressaction);
  SelectItem(ButtonAlignmentCombo, Button->Alignment);
  ButtonIColorShape->Brush()->SetColor(Button->GetInvisibleColor());
  SetFieldEnabled(ButtonNavigationTarget, ActionTakesTarget(Button->Pressaction));
  ButtonNavigationTarget->SetText(Button->Navigationtarget);
  FillSoundCombo(ButtonSoundCombo, Button->Sound);
  ButtonHintEdit->SetText(Button->Hint);
}

void TPropertyForm::ButtonPathsFromCombos(TVXButton* Button) {
  TVXBitmaps* bitmaps = FProject->Bitmaps();
  for (int s = 0; s < 4; ++s) {
    const int i = ButtonStateCombo(s)->ItemIndex();
    if (i >= 0 && i < bitmaps->Count()) SetStatePath(Button, s, bitmaps->GetPath(i));
  }
}

void TPropertyForm::ButtonStateImageClick(int State) {
  TVXButton* button = SelectedButton();
  if (button == nullptr) return;
  std::string file;
  if (!ChoosePicture(file)) return;
  TVXBitmaps* bitmaps = FProject->Bitmaps();
  {
    TLoadScope loading(FLoading);
    SetStatePath(button, State, file);
    for (int s = 0; s < 4; ++s) {
      FillPictureCombo(ButtonStateCombo(s), bitmaps->IndexOf(StatePath(button, s)));
      ShowListBitmap(ButtonStateImage(s), ButtonStateCombo(s)->ItemIndex());
    }
    ButtonPathsFromCombos(button);
  }
  button->Control()->Invalidate();
  ButtonStateLabel(State)->SetCaption(ListSizeText(bitmaps->IndexOf(file)));
  FProject->RefreshSelection();
  NotifyChange();
}

void TPropertyForm::ButtonStateComboChange(int State) {
  TVXButton* button = SelectedButton();
  const int i = ButtonStateCombo(State)->ItemIndex();
  if (button == nullptr || FLoading > 0 || i < 0) return;
  ShowListBitmap(ButtonStateImage(State), i);
  ButtonStateLabel(State)->SetCaption(ListSizeText(i));
  SetStatePath(button, State, FProject->Bitmaps()->GetPath(i));
  FProject->RefreshSelection();
  NotifyChange();
}

void TPropertyForm::ButtonEditExit(TObject* Sender) {
  if (FLoading > 0 || FProject == nullptr) return;
  IntegerEditsCheck(Sender);
  TVXButton* button = SelectedButton();
  if (button == nullptr) return;
  const int top = Number(ButtonTopedit);
  const int left = Number(ButtonLeftEdit);
  button->SetTop(top);
  button->SetLeft(left);
  // An action or anchor that the lists do not offer (from a project file) stays as it is.
  if (ButtonActionCombo->ItemIndex() >= 0) button->SetPressaction(ButtonActionCombo->Text());
  SetFieldEnabled(ButtonNavigationTarget, ActionTakesTarget(button->Pressaction));
  button->SetNavigationtarget(ButtonNavigationTarget->Text());
  button->SetSound(SoundOf(ButtonSoundCombo, button->Sound));
  button->SetHint(ButtonHintEdit->Text());
  if (ButtonAlignmentCombo->ItemIndex() >= 0) button->Alignment = ButtonAlignmentCombo->Text();
  FProject->RefreshSelection();
  NotifyChange();
}

void TPropertyForm::ButtonNavigationTargetChange(TObject*) {
  TVXButton* button = SelectedButton();
  if (FLoading > 0 || button == nullptr) return;
  button->SetNavigationtarget(ButtonNavigationTarget->Text());
  NotifyChange();
}

void TPropertyForm::ButtonHintEditChange(TObject*) {
  TVXButton* button = SelectedButton();
  if (FLoading > 0 || button == nullptr) return;
  button->SetHint(ButtonHintEdit->Text());
  NotifyChange();
}

void TPropertyForm::ButtonSoundOpenButClick(TObject*) {
  TVXButton* button = SelectedButton();
  if (button == nullptr) return;
  std::string file;
  if (!ChooseSound(file)) return;
  FillSoundCombo(ButtonSoundCombo, file);
  button->SetSound(file);
  NotifyChange();
}

void TPropertyForm::ButtonSoundPlayButClick(TObject*) {
  if (TVXButton* button = SelectedButton()) Preview(ButtonSoundCombo, button->Sound);
}

void TPropertyForm::ButtonIColorShapeMouseDown(TObject*, TMouseButton, TShiftState Shift, int, int) {
  TVXButton* button = SelectedButton();
  if (button == nullptr || !ChooseColor(ButtonIColorShape, Shift)) return;
  button->SetInvisibleColor(ButtonIColorShape->Brush()->Color());
  NotifyChange();
}

// ---- Label and address-field panels -----------------------------------------------------------------

void TPropertyForm::LoadLabel(TVXLabel* Label) {
  TLoadScope loading(FLoading);
  LabelTopEdit->SetText(IntToStr(Label->GetTop()));
  LabelLeftEdit->SetText(IntToStr(Label->GetLeft()));
  LabelWidthEdit->SetText(IntToStr(Label->GetWidth()));
  SelectItem(LabelAlignmentCombo, Label->Alignment);
  LabelAutosizeBox->SetChecked(Label->Autosize == "True");
  LabelFontLabel->Font()->Assign(Label->GetFont());
  LabelColorShape->Brush()->SetColor(Label->GetColor());
  LabelFontLabel->SetColor(Label->GetColor());
  LabelTransparentCheck->SetChecked(Label->GetTransparent());
  SelectItem(LabelStyleCombo, Label->Style);
  SetFieldEnabled(LabelTextEdit, Label->Style == CustomText);
  LabelTextEdit->SetText(Label->Text);
}

void TPropertyForm::LoadEdit(TVXEdit* Edit) {
  TLoadScope loading(FLoading);
  EditTopEdit->SetText(IntToStr(Edit->GetTop()));
  EditLeftEdit->SetText(IntToStr(Edit->GetLeft()));
  EditWidthEdit->SetText(IntToStr(Edit->GetWidth()));
  SelectItem(EditAlignmentCombo, Edit->Alignment);
  EditAutoSizeBox->SetChecked(Edit->Autosize == "True");
  EditFontLabel->Font()->Assign(Edit->GetFont());
  EditColorShape->Brush()->SetColor(Edit->GetColor());
  EditFontLabel->SetColor(Edit->GetColor());
  SelectItem(EditStyleCombo, Edit->Style);
}

void TPropertyForm::LabelEditExit(TObject* Sender) {
  if (FLoading > 0 || FProject == nullptr) return;
  IntegerEditsCheck(Sender);
  TVXLabel* label = SelectedLabel();
  if (label == nullptr) return;
  const int top = Number(LabelTopEdit);
  const int left = Number(LabelLeftEdit);
  const int width = Number(LabelWidthEdit);
  label->SetTop(top);
  label->SetLeft(left);
  label->SetWidth(width);
  label->SetTransparent(LabelTransparentCheck->Checked());
  if (LabelAlignmentCombo->ItemIndex() >= 0) label->Alignment = LabelAlignmentCombo->Text();
  label->Autosize = LabelAutosizeBox->Checked() ? "True" : "False";
  if (LabelStyleCombo->ItemIndex() >= 0) label->SetStyle(LabelStyleCombo->Text());
  label->SetText(LabelTextEdit->Text());
  SetFieldEnabled(LabelTextEdit, label->Style == CustomText);
  FProject->RefreshSelection();
  NotifyChange();
}

void TPropertyForm::LabelTextEditChange(TObject*) {
  TVXLabel* label = SelectedLabel();
  if (FLoading > 0 || label == nullptr || !HasFocus(LabelTextEdit)) return;
  label->SetText(LabelTextEdit->Text());
  NotifyChange();
}

void TPropertyForm::LabelTransparentCheckClick(TObject*) {
  TVXLabel* label = SelectedLabel();
  if (FLoading > 0 || label == nullptr || !HasFocus(LabelTransparentCheck)) return;
  label->SetTransparent(LabelTransparentCheck->Checked());
  NotifyChange();
}

void TPropertyForm::LabelFontLabelClick(TObject*) {
  TVXLabel* label = SelectedLabel();
  if (label == nullptr) return;
  FontDialog->SetFont(LabelFontLabel->Font());
  if (!FontDialog->Execute()) return;
  const int width = label->GetWidth();
  label->GetFont()->Assign(FontDialog->Font());
  label->Control()->SetAutoSize(true);
  label->Control()->SetAutoSize(false);
  label->SetWidth(width);
  LoadLabel(label);
  FProject->RefreshSelection();
  NotifyChange();
}

void TPropertyForm::LabelColorShapeMouseUp(TObject*, TMouseButton, TShiftState Shift, int, int) {
  TVXLabel* label = SelectedLabel();
  if (label == nullptr || !ChooseColor(LabelColorShape, Shift)) return;
  label->SetColor(LabelColorShape->Brush()->Color());
  LabelFontLabel->SetColor(LabelColorShape->Brush()->Color());
  NotifyChange();
}

void TPropertyForm::EditEditExit(TObject* Sender) {
  if (FLoading > 0 || FProject == nullptr) return;
  IntegerEditsCheck(Sender);
  TVXEdit* edit = SelectedEdit();
  if (edit == nullptr) return;
  const int top = Number(EditTopEdit);
  const int left = Number(EditLeftEdit);
  const int width = Number(EditWidthEdit);
  edit->SetTop(top);
  edit->SetLeft(left);
  edit->SetWidth(width);
  if (EditAlignmentCombo->ItemIndex() >= 0) edit->Alignment = EditAlignmentCombo->Text();
  edit->Autosize = EditAutoSizeBox->Checked() ? "True" : "False";
  if (EditStyleCombo->ItemIndex() >= 0) edit->SetStyle(EditStyleCombo->Text());
  FProject->RefreshSelection();
  NotifyChange();
}

void TPropertyForm::EditFontLabelClick(TObject*) {
  TVXEdit* edit = SelectedEdit();
  if (edit == nullptr) return;
  FontDialog->SetFont(EditFontLabel->Font());
  if (!FontDialog->Execute()) return;
  edit->GetFont()->Assign(FontDialog->Font());
  edit->Control()->SetHeight(4 - edit->GetFont()->Height());
  LoadEdit(edit);
  FProject->RefreshSelection();
  NotifyChange();
}

void TPropertyForm::EditColorShapeMouseDown(TObject*, TMouseButton, TShiftState Shift, int, int) {
  TVXEdit* edit = SelectedEdit();
  if (edit == nullptr || !ChooseColor(EditColorShape, Shift)) return;
  edit->SetColor(EditColorShape->Brush()->Color());
  EditFontLabel->SetColor(EditColorShape->Brush()->Color());
  NotifyChange();
}

// ---- Options panel ----------------------------------------------------------------------------------

void TPropertyForm::SoundsOnClick(TObject* Sender) {
  if (OptionsPanel->Visible() && OnOptionsChanged) OnOptionsChanged(Sender);
}

void TPropertyForm::ShapeColorMouseDown(TObject* Sender, TMouseButton, TShiftState Shift, int, int) {
  if (!ChooseColor(ShapeColor, Shift)) return;
  if (FProject != nullptr) FProject->Surface()->Shape->Pen()->SetColor(ShapeColor->Brush()->Color());
  SoundsOnClick(Sender);
}

void TPropertyForm::HelperColorMouseDown(TObject* Sender, TMouseButton, TShiftState Shift, int, int) {
  if (!ChooseColor(HelperColor, Shift)) return;
  if (FProject != nullptr) {
    TCoolBrowser* surface = FProject->Surface();
    for (TShape* guide : {surface->LeftShape, surface->RightShape, surface->TopShape, surface->BottomShape})
      guide->Brush()->SetColor(HelperColor->Brush()->Color());
  }
  SoundsOnClick(Sender);
}

void TPropertyForm::SpeedButton10Click(TObject*) {
  if (FProject != nullptr) FProject->RemoveUnusedBitmaps();
}

void TPropertyForm::SpeedButton11Click(TObject*) {
  if (FProject != nullptr) FProject->RemoveUnusedSounds();
}
