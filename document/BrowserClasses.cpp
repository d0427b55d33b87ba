#include "document/BrowserClasses.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <utility>

#include "platform/rtl/FileUtils.h"
#include "platform/ui/Forms.h"
#include "skin/KUtilities.h"

namespace {

constexpr const char* kCustomText = "Custom Text";
constexpr const char* kConfigName = "Config.VX";
constexpr const char* kRuntimeProgram = "Builder";
constexpr const char* kButtonPictures[] = {"Images/Buttons/Button1.BMP", "Images/Buttons/Button1Over.BMP",
                                           "Images/Buttons/Button1Press.BMP",
                                           "Images/Buttons/Button1Dis.BMP"};
constexpr const char* kImagePicture = "Image.bmp";

bool IsNoSound(const std::string& Sound) {
  return SameText(Sound, ProjectText::NoSound);
}

// Media paths name the same medium when they name the same file (SameFile): two existing files whose
// names differ only in letter case are two media. The paths in use are indexed once, so that each list
// entry is looked up in them rather than compared with every element.
TFileIndex ButtonPictures(const std::vector<TVXButton*>& Buttons) {
  TFileIndex used;
  for (const TVXButton* b : Buttons)
    for (const std::string* path : {&b->Mask, &b->Touched, &b->Pressed, &b->Disabled})
      used.Add(*path);
  return used;
}

TFileIndex ButtonSounds(const std::vector<TVXButton*>& Buttons) {
  TFileIndex used;
  for (const TVXButton* b : Buttons)
    used.Add(b->Sound);
  return used;
}

void AddFontStyle(TFont* Font, const std::string& Name) {
  const int index = FontStyleIndex(Name);
  if (index < 0) return;
  TFontStyles styles = Font->Style();
  styles.Include(static_cast<TFontStyle>(index));
  Font->SetStyle(styles);
}

// The lines of a build's refusal, after its first line.
std::string BuildRefusal(const std::string& First, const std::vector<std::string>& Lines) {
  std::string text = First;
  for (const std::string& line : Lines)
    text += "\n" + line;
  return text;
}

bool SameIdentity(const TFileKey& A, const TFileKey& B) {
  return A.Exists && B.Exists && A.Device == B.Device && A.Inode == B.Inode;
}

// Why a build may not write the outputs of Plan: an output that is a file the build copies (other than
// the copy's own source: a file copied onto itself stays as it is) or the open project, an output that
// the program's name also names, an existing output the user may not write. One line each. An output
// that is a link is judged by the file it names, though the build then replaces the link itself.
std::vector<std::string> RefusedOutputs(const TVXBuildPlan& Plan, const std::string& ProjectFile) {
  std::vector<std::string> lines;
  auto add = [&](std::string Line) {
    if (std::find(lines.begin(), lines.end(), Line) == lines.end()) lines.push_back(std::move(Line));
  };
  std::map<std::pair<uint64_t, uint64_t>, std::string> sources;
  for (const auto& [from, to] : Plan.Copies)
    if (const TFileKey key = TFileKey::Of(from); key.Exists)
      sources.emplace(std::pair(key.Device, key.Inode), from);
  const TFileKey project = ProjectFile.empty() ? TFileKey() : TFileKey::Of(ProjectFile);
  std::vector<std::pair<std::string, std::string>> outputs = Plan.Copies;  // the program first
  outputs.emplace_back("", Plan.ConfigFile);
  const std::string program = outputs.front().second;
  const TFileKey programKey = TFileKey::OfWrite(program);
  for (size_t i = 0; i < outputs.size(); ++i) {
    const auto& [from, to] = outputs[i];
    const TFileKey key = i == 0 ? programKey : TFileKey::OfWrite(to);
    if (i > 0 && key == programKey)
      add("The program \"" + program + "\" would be replaced by the build's own \"" + to + "\".");
    if (!key.Exists) continue;
    if (!from.empty() && SameIdentity(TFileKey::Of(from), key)) continue;  // copied onto itself
    if (SameIdentity(project, key)) {
      add("\"" + to + "\" is the open project.");
    } else if (const auto source = sources.find({key.Device, key.Inode}); source != sources.end()) {
      add("\"" + to + "\" is \"" + source->second + "\", which the build copies.");
    }
    if (!MayReplace(to)) add("\"" + to + "\" may not be written: " + SysErrorMessage(GetLastError()));
  }
  return lines;
}

void WriteFontStyles(TVXTextWriter& W, const TFont* Font) {
  const TFontStyles s = Font->Style();
  W.FontStyles(s.Contains(fsBold), s.Contains(fsItalic), s.Contains(fsUnderline), s.Contains(fsStrikeOut));
}

}  // namespace

TColor ControlPixel(TControl* Control, int X, int Y) {
  if (Control == nullptr || X < 0 || Y < 0 || X >= Control->Width() || Y >= Control->Height())
    return static_cast<TColor>(CLR_INVALID);
  // Paint the control as the screen shows it (its own face and the graphic controls on it) into a
  // bitmap and read the pixel there.
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(Control->Width(), Control->Height());
  TCanvas* canvas = bitmap.Canvas();
  if (auto* win = dynamic_cast<TWinControl*>(Control)) {
    win->PaintHandler(canvas->Handle(), win->ClientRect());
  } else if (auto* graphic = dynamic_cast<TGraphicControl*>(Control)) {
    graphic->PaintOn(canvas->Handle());
  }
  return canvas->Pixels(X, Y);
}

TColor PickedPixel(TControl* Control, int X, int Y) {
  // A shaped button already shows its pressed picture while the press that picks is down; its key colour
  // belongs to its normal picture, which the user saw when clicking.
  if (auto* shaped = dynamic_cast<TOrganicShapeControl*>(Control)) {
    TBitmap* mask = shaped->Mask();
    if (mask != nullptr && !mask->Empty() && X >= 0 && Y >= 0 && X < mask->Width() && Y < mask->Height())
      return mask->Canvas()->Pixels(X, Y);
  }
  return ControlPixel(Control, X, Y);
}

// ---- TVXElement ------------------------------------------------------------------------------------

TVXElement::TVXElement(TVXBrowser* ADocument) : TComponent(ADocument), FDocument(ADocument) {}

TVXElement::~TVXElement() {
  TControl* control = std::exchange(FControl, nullptr);
  if (control != nullptr && !control->ComponentState().Contains(TComponentStateItem::csDestroying)) {
    control->RemoveFreeNotification(this);
    try {
      delete control;
    } catch (...) {
      // A control that fails while going away is gone all the same.
    }
  }
}

void TVXElement::Adopt(TControl* Control) {
  TCoolBrowser* surface = FDocument->Surface();
  FControl = Control;
  Control->FreeNotification(this);
  Control->SetParent(surface);
  TVXBrowser* document = FDocument;
  Control->OnMouseDown = [document](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
    document->ElementMouseDown(S, B, Sh, X, Y);
  };
  Control->OnMouseMove = [surface](TObject* S, TShiftState Sh, int X, int Y) {
    surface->ControlMouseMove(S, Sh, X, Y);
  };
}

void TVXElement::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  // The control went with the surface: nothing is left to free.
  if (Operation == TOperation::opRemove && AComponent == FControl) FControl = nullptr;
}

TBitmap* TVXElement::ListedBitmap(const std::string& Path) const {
  if (Path.empty()) return nullptr;  // no picture
  TVXBitmaps* bitmaps = FDocument->Bitmaps();
  return bitmaps->GetBitmap(bitmaps->IndexOf(Path));
}

// ---- TVXButton -------------------------------------------------------------------------------------

TVXButton::TVXButton(TVXBrowser* ADocument) : TVXElement(ADocument) {
  Adopt(new TOrganicShapeButton(ADocument->Surface()));
  Pressaction = "Nothing";
  Sound = ProjectText::NoSound;
}

TOrganicShapeButton* TVXButton::Control() const {
  return static_cast<TOrganicShapeButton*>(ElementControl());
}

int TVXButton::GetTop() const {
  return Control()->Top();
}

int TVXButton::GetLeft() const {
  return Control()->Left();
}

void TVXButton::SetTop(int Value) {
  Control()->SetTop(Value);
}

void TVXButton::SetLeft(int Value) {
  Control()->SetLeft(Value);
}

TColor TVXButton::GetInvisibleColor() const {
  return Control()->InvisibleColor;
}

void TVXButton::SetInvisibleColor(TColor Value) {
  Control()->InvisibleColor = Value;
  Control()->MaskChanged();
  Control()->Repaint();
}

void TVXButton::SetMask(const std::string& Path) {
  TBitmap* bitmap = ListedBitmap(Path);
  Mask = Path;
  Control()->SetMask(bitmap);
}

void TVXButton::SetTouched(const std::string& Path) {
  TBitmap* bitmap = ListedBitmap(Path);
  Touched = Path;
  Control()->SetOverBmp(bitmap);
}

void TVXButton::SetPressed(const std::string& Path) {
  TBitmap* bitmap = ListedBitmap(Path);
  Pressed = Path;
  Control()->SetPressedBmp(bitmap);
}

void TVXButton::SetDisabled(const std::string& Path) {
  Disabled = Path;
}

// ---- TVXLabel --------------------------------------------------------------------------------------

TVXLabel::TVXLabel(TVXBrowser* ADocument) : TVXElement(ADocument) {
  auto* label = new TLabel(ADocument->Surface());
  Adopt(label);
  label->SetAutoSize(true);
  SetStyle("Page Title");
  SetText("Hello");
  label->SetAutoSize(false);
}

TLabel* TVXLabel::Control() const {
  return static_cast<TLabel*>(ElementControl());
}

int TVXLabel::GetTop() const {
  return Control()->Top();
}
int TVXLabel::GetLeft() const {
  return Control()->Left();
}
int TVXLabel::GetWidth() const {
  return Control()->Width();
}
TColor TVXLabel::GetColor() const {
  return Control()->Color();
}
bool TVXLabel::GetTransparent() const {
  return Control()->Transparent();
}
void TVXLabel::SetTop(int Value) {
  TLabel* c = Control();
  SetSurfaceBounds(c, c->Left(), Value, c->Width(), c->Height());
}
void TVXLabel::SetLeft(int Value) {
  TLabel* c = Control();
  SetSurfaceBounds(c, Value, c->Top(), c->Width(), c->Height());
}
void TVXLabel::SetWidth(int Value) {
  TLabel* c = Control();
  SetSurfaceBounds(c, c->Left(), c->Top(), Value, c->Height());
}
void TVXLabel::SetColor(TColor Value) {
  Control()->SetColor(Value);
}
void TVXLabel::SetTransparent(bool Value) {
  Control()->SetTransparent(Value);
}
TFont* TVXLabel::GetFont() const {
  return Control()->Font();
}

void TVXLabel::SetStyle(const std::string& Value) {
  Style = Value;
  if (Style != kCustomText) Control()->SetCaption(Style);
}

void TVXLabel::SetText(const std::string& Value) {
  Text = Value;
  if (Style == kCustomText) Control()->SetCaption(Text);
}

// ---- TVXEdit ---------------------------------------------------------------------------------------

TVXEdit::TVXEdit(TVXBrowser* ADocument) : TVXElement(ADocument) {
  auto* edit = new TEdit(ADocument->Surface());
  Adopt(edit);
  edit->SetEnabled(true);
  edit->SetReadOnly(true);
  edit->SetAutoSelect(false);
  edit->SetAutoSize(false);
  edit->SetBorderStyle(bsNone);
  edit->SetCursor(crArrow);
  edit->SetHeight(4 - edit->Font()->Height());
  SetStyle("Simple Edit");
}

TEdit* TVXEdit::Control() const {
  return static_cast<TEdit*>(ElementControl());
}

int TVXEdit::GetTop() const {
  return Control()->Top();
}
int TVXEdit::GetLeft() const {
  return Control()->Left();
}
int TVXEdit::GetWidth() const {
  return Control()->Width();
}
TColor TVXEdit::GetColor() const {
  return Control()->Color();
}
void TVXEdit::SetTop(int Value) {
  Control()->SetTop(Value);
}
void TVXEdit::SetLeft(int Value) {
  Control()->SetLeft(Value);
}
void TVXEdit::SetWidth(int Value) {
  Control()->SetWidth(Value);
}
void TVXEdit::SetColor(TColor Value) {
  Control()->SetColor(Value);
}
TFont* TVXEdit::GetFont() const {
  return Control()->Font();
}

void TVXEdit::SetStyle(const std::string& Value) {
  Style = Value;
  Control()->SetText(Style);
}

// ---- TVXImage --------------------------------------------------------------------------------------

TVXImage::TVXImage(TVXBrowser* ADocument) : TVXElement(ADocument) {
  Adopt(new TImage(ADocument->Surface()));
}

TImage* TVXImage::Control() const {
  return static_cast<TImage*>(ElementControl());
}

void TVXImage::SetTop(int Value) {
  TImage* c = Control();
  SetSurfaceBounds(c, c->Left(), Value, c->Width(), c->Height());
}

void TVXImage::SetLeft(int Value) {
  TImage* c = Control();
  SetSurfaceBounds(c, Value, c->Top(), c->Width(), c->Height());
}

void TVXImage::SetPicture(const std::string& Path) {
  TBitmap* bitmap = ListedBitmap(Path);
  PictureFile = Path;
  Control()->Picture()->Assign(bitmap);
  Control()->Invalidate();  // the old area too, when the picture is smaller
  Control()->SetAutoSize(true);
  Control()->SetAutoSize(false);
}

// ---- TVXWeb ----------------------------------------------------------------------------------------

TVXWeb::TVXWeb(TComponent* AOwner) : TComponent(AOwner) {
  SetPosition("Screencenter");
  StartSound = ProjectText::NoSound;
  ExitSound = ProjectText::NoSound;
}

int TVXWeb::GetTop() const {
  return Surface->WebSpace->Top();
}
int TVXWeb::GetLeft() const {
  return Surface->WebSpace->Left();
}
int TVXWeb::GetWidth() const {
  return Surface->WebSpace->Width();
}
int TVXWeb::GetHeight() const {
  return Surface->WebSpace->Height();
}
void TVXWeb::SetTop(int Value) {
  Surface->WebSpace->SetTop(Value);
}
void TVXWeb::SetLeft(int Value) {
  Surface->WebSpace->SetLeft(Value);
}
void TVXWeb::SetWidth(int Value) {
  Surface->WebSpace->SetWidth(Value);
}
void TVXWeb::SetHeight(int Value) {
  Surface->WebSpace->SetHeight(Value);
}

TColor TVXWeb::GetInvisibleColor() const {
  return Surface->Skin()->InvisibleColor();
}

void TVXWeb::SetInvisibleColor(TColor Value) {
  Surface->Skin()->SetInvisibleColor(Value);
}

void TVXWeb::SetBitmap(const std::string& Path) {
  Bitmap = Path;
  Surface->Skin()->SetFileName(Path);
  TBitmap32* picture = KMediaList::Instance()->GetBitmap(Path);
  Surface->SetClientWidth(picture->Width());
  Surface->SetClientHeight(picture->Height());
}

// ---- TVXBrowser ------------------------------------------------------------------------------------

TVXBrowser::TVXBrowser(TComponent* AOwner) : TComponent(AOwner) {
  FInsertMode = imNone;
  CreateSurface();
  FWeb = new TVXWeb(this);
  FWeb->Surface = FSurface;
  FBitmaps = new TVXBitmaps(this);
  FSounds = new TVXSounds(this);
  FPickMode = false;
}

void TVXBrowser::CreateSurface() {
  FSurface = TCustomForm::Create<TCoolBrowser>(this);
  FSurface->SetOnSelect([this](TControl* Control) { SelectByControl(Control); });
  FSurface->SetOnMoved([this](TControl* Control) { DoChange(Control); });
  FSurface->WebSpace->OnMouseDown = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y) {
    ElementMouseDown(S, B, Sh, X, Y);
  };
  FSurface->OnMouseDown = [this](TObject* S, TMouseButton B, TShiftState Sh, int X, int Y, TCustomLayer* L) {
    SurfaceMouseDown(S, B, Sh, X, Y, L);
  };
}

TVXBrowser::~TVXBrowser() {
  // The surface goes first and takes every element control with it; the wrappers then free nothing.
  TCoolBrowser* surface = std::exchange(FSurface, nullptr);
  if (FWeb != nullptr) FWeb->Surface = nullptr;
  delete surface;
}

void TVXBrowser::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove) return;
  if (AComponent == FSelected) FSelected = nullptr;
  if (AComponent == FSurface) FSurface = nullptr;
}

std::string TVXBrowser::AppPath(const std::string& Relative) const {
  return FAppDir.empty() ? Relative : IncludeTrailingPathDelimiter(FAppDir) + Relative;
}

template <typename T>
std::vector<T*> TVXBrowser::Elements() const {
  std::vector<T*> out;
  for (int i = 0; i < ComponentCount(); ++i)
    if (auto* e = dynamic_cast<T*>(Components(i))) out.push_back(e);
  return out;
}

std::vector<TVXButton*> TVXBrowser::Buttons() const {
  return Elements<TVXButton>();
}

TVXButton* TVXBrowser::AddButton(int Top, int Left) {
  auto* button = new TVXButton(this);
  button->SetTop(Top);
  button->SetLeft(Left);
  return button;
}

TVXLabel* TVXBrowser::AddLabel(int Top, int Left) {
  auto* label = new TVXLabel(this);
  label->SetTop(Top);
  label->SetLeft(Left);
  return label;
}

TVXEdit* TVXBrowser::AddEdit(int Top, int Left) {
  auto* edit = new TVXEdit(this);
  edit->SetTop(Top);
  edit->SetLeft(Left);
  return edit;
}

TVXImage* TVXBrowser::AddImage(int Top, int Left) {
  auto* image = new TVXImage(this);
  image->SetTop(Top);
  image->SetLeft(Left);
  try {
    const std::string path = AppPath(kImagePicture);
    FBitmaps->Add(path);
    image->SetPicture(path);
  } catch (...) {
    delete image;  // no half-made element stays on the surface
    throw;
  }
  return image;
}

TVXButton* TVXBrowser::InsertButton(int Top, int Left) {
  TVXButton* button = AddButton(Top, Left);
  try {
    std::string paths[4];
    for (int i = 0; i < 4; ++i) {
      paths[i] = AppPath(kButtonPictures[i]);
      FBitmaps->Add(paths[i]);
    }
    button->SetMask(paths[0]);
    button->SetTouched(paths[1]);
    button->SetPressed(paths[2]);
    button->SetDisabled(paths[3]);
  } catch (...) {
    delete button;  // no half-made element stays on the surface
    throw;
  }
  return button;
}

TComponent* TVXBrowser::FindElement(TControl* Control) const {
  if (Control == nullptr) return nullptr;
  if (FSurface != nullptr && Control == FSurface->WebSpace) return FWeb;
  for (int i = 0; i < ComponentCount(); ++i) {
    auto* element = dynamic_cast<TVXElement*>(Components(i));
    if (element != nullptr && element->ElementControl() == Control) return element;
  }
  return nullptr;
}

void TVXBrowser::SelectElement(TComponent* Element) {
  FSelected = Element;
  if (OnSelectElement) OnSelectElement(Element);
}

void TVXBrowser::SelectByControl(TControl* Control) {
  SelectElement(FindElement(Control));
}

void TVXBrowser::RefreshSelection() {
  TControl* selected = FSurface->SelectedControl();
  // A place typed beyond the surface would take the element out of the mouse's reach once it is no
  // longer selected: it comes back onto the surface, and the move is reported as a drag's is.
  if (selected != nullptr && SkinShown() && FSurface->KeepInReach(selected)) DoChange(selected);
  FSurface->ShowSelection(selected);
}

void TVXBrowser::DoChange(TObject* Sender) {
  if (OnChange) OnChange(Sender);
}

int TVXBrowser::EditCount() const {
  return static_cast<int>(Elements<TVXEdit>().size());
}

void TVXBrowser::SetVisible(bool Value) {
  FVisible = Value;
  if (Value) {
    FSurface->Show();
    FSurface->SelectControl(FSurface->Controls(FSurface->ControlCount() - 1));
  } else {
    FSurface->Hide();
  }
}

void TVXBrowser::RemoveUnusedBitmaps() {
  const TFileIndex used = ButtonPictures(Buttons());
  for (int n = FBitmaps->Count() - 1; n >= 0; --n) {
    const std::string path = FBitmaps->GetPath(n);
    if (!SameFile(path, FWeb->Bitmap) && used.IndexOf(path) < 0) FBitmaps->Delete(n);
  }
  FBitmaps->UpdateNames();
}

void TVXBrowser::RemoveUnusedSounds() {
  const TFileIndex used = ButtonSounds(Buttons());
  for (int n = FSounds->Count() - 1; n >= 1; --n) {
    const std::string sound = FSounds->GetPath(n);
    const bool window = SameFile(sound, FWeb->StartSound) || SameFile(sound, FWeb->ExitSound);
    if (!window && used.IndexOf(sound) < 0) FSounds->Delete(n);
  }
  FSounds->UpdateNames();
}

// ---- Mouse -----------------------------------------------------------------------------------------

void TVXBrowser::SurfaceMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y,
                                  TCustomLayer* Layer) {
  // A press that inserts, picks or grips an element is used up by that: its release is no click on the
  // surface, which would hide the selection frame just put around the element (or kept for the pick).
  const auto consumePress = [this] {
    FSurface->SetControlState(FSurface->ControlState() - TControlState{csClicked});
  };
  if (!FPickMode) {
    if (TControl* gripped = FSurface->ZeroSizedControlAt(X, Y, nullptr)) {
      consumePress();
      ElementMouseDown(gripped, Button, Shift, X - gripped->Left(), Y - gripped->Top());
      return;
    }
  }
  if (!Shift.Contains(ssLeft)) return;
  switch (FInsertMode) {
    case imButton:
      FSurface->SelectControl(InsertButton(Y, X)->Control());
      consumePress();
      DoChange(nullptr);
      return;
    case imLabel:
      FSurface->SelectControl(AddLabel(Y, X)->Control());
      consumePress();
      DoChange(nullptr);
      return;
    case imImage:
      FSurface->SelectControl(AddImage(Y, X)->Control());
      consumePress();
      DoChange(nullptr);
      return;
    case imEdit:
      FSurface->SelectControl(AddEdit(Y, X)->Control());
      consumePress();
      DoChange(nullptr);
      return;
    default:
      break;
  }
  if (FPickMode) {
    if (OnPickColor) OnPickColor(FSurface, ControlPixel(FSurface, X, Y));
    consumePress();
    DoChange(nullptr);
    FPickMode = false;
    FSurface->Shape->Invalidate();
  } else {
    FSurface->StartMoveItemLayer(Sender, Button, Shift, X, Y, Layer);
    DoChange(nullptr);
  }
}

void TVXBrowser::ElementMouseDown(TObject* Sender, TMouseButton, TShiftState Shift, int X, int Y) {
  auto* control = dynamic_cast<TControl*>(Sender);
  if (control == nullptr) return;
  // An element of width or height 0 above the pressed one takes the press where its frame would be
  // (a pick reads what the screen shows, so it stays with the pressed control).
  if (TControl* gripped =
          FPickMode ? nullptr
                    : FSurface->ZeroSizedControlAt(control->Left() + X, control->Top() + Y, control)) {
    X += control->Left() - gripped->Left();
    Y += control->Top() - gripped->Top();
    control = gripped;
  }
  FSurface->SetPopupTarget(control);
  if (Shift.Contains(ssRight)) {
    FSurface->FrontBackMenu->Popup(FSurface->Left() + control->Left() + X,
                                   FSurface->Top() + control->Top() + Y);
    if (OnChange) OnChange(nullptr);
  }
  if (!Shift.Contains(ssLeft)) return;
  FSurface->SetGrab(X, Y);
  if (FPickMode) {
    if (OnPickColor) OnPickColor(control, PickedPixel(control, X, Y));
    FPickMode = false;
    DoChange(nullptr);
    FSurface->Shape->Invalidate();
  } else {
    FSurface->SelectControl(control);
  }
}

// ---- Project text ----------------------------------------------------------------------------------

namespace {

// The values of one section by key. A section is written in the key order of its table; "Fontstyle"
// writes one line per style of Font, "SOT" is written only when listed here.
using TSectionValues = std::map<std::string, std::string>;

void WriteSection(TVXTextWriter& W, TVXSectionKind Kind, TVXWriteOrder Order, const TSectionValues& Values,
                  const TFont* Font = nullptr) {
  W.BeginSection(Kind);
  for (const std::string& key : SectionKeys(Kind, Order)) {
    if (key == "Fontstyle") {
      if (Font != nullptr) WriteFontStyles(W, Font);
    } else if (key == ProjectText::StayOnTopLine) {
      if (Values.count(key) != 0) W.StayOnTop();
    } else {
      W.Key(key, Values.at(key));
    }
  }
  W.EndSection();
}

std::string Int(int Value) {
  return IntToStr(Value);
}

// The keys that labels and the address field share.
void AddTextKeys(TSectionValues& V, const TFont* Font, TColor Color, const std::string& Style,
                 const std::string& Alignment, const std::string& Autosize, int Z) {
  V["Color"] = Int(Color);
  V["Style"] = Style;
  V["Alignment"] = Alignment;
  V["Autosize"] = Autosize;
  V["Fontname"] = Font->Name();
  V["Fontcolor"] = Int(Font->Color());
  V["Fontheight"] = Int(Font->Height());
  V["ZOrder"] = Int(Z);
}

}  // namespace

void TVXBrowser::WriteDocumentSections(TVXTextWriter& W, const TMediaName& Picture, const TMediaName& Sound,
                                       TVXWriteOrder Order) const {
  const TCoolBrowser* s = FSurface;
  const TRect inner = SavedInnerRect();
  TSectionValues global{{"Top", Int(s->Top())},          {"Left", Int(s->Left())},
                        {"Width", Int(s->StartWidth())}, {"Height", Int(s->StartHeight())},
                        {"ITop", Int(inner.Top)},        {"ILeft", Int(inner.Left)},
                        {"IRight", Int(inner.Right)},    {"IBottom", Int(inner.Bottom)}};
  if (s->FormStyle() == fsStayOnTop) global[ProjectText::StayOnTopLine] = "";
  WriteSection(W, TVXSectionKind::skGlobal, Order, global);

  WriteSection(W, TVXSectionKind::skWeb, Order,
               {{"Top", Int(FWeb->GetTop())},
                {"Left", Int(FWeb->GetLeft())},
                {"Height", Int(FWeb->GetHeight())},
                {"Width", Int(FWeb->GetWidth())},
                {"Startpage", FWeb->Startpage},
                {"Position", FWeb->Position},
                {"Bitmap", Picture(FWeb->Bitmap)},
                {"InvisibleColor", Int(FWeb->GetInvisibleColor())},
                {"StartSound", Sound(FWeb->StartSound)},
                {"ExitSound", Sound(FWeb->ExitSound)},
                {"ZOrder", Int(s->IndexOfControl(s->WebSpace))}});

  // The elements in the order of the surface's child controls; their index is their ZOrder. The
  // elements are looked up by control once, not searched for each control.
  std::unordered_map<const TControl*, TComponent*> elements;
  for (int i = 0; i < ComponentCount(); ++i)
    if (auto* e = dynamic_cast<TVXElement*>(Components(i))) elements[e->ElementControl()] = e;
  for (int z = 0; z < s->ControlCount(); ++z) {
    const auto found = elements.find(s->Controls(z));
    TComponent* element = found == elements.end() ? nullptr : found->second;
    if (const auto* b = dynamic_cast<const TVXButton*>(element)) {
      WriteSection(W, TVXSectionKind::skButton, Order,
                   {{"Top", Int(b->GetTop())},
                    {"Left", Int(b->GetLeft())},
                    {"Mask", Picture(b->Mask)},
                    {"Touched", Picture(b->Touched)},
                    {"Pressed", Picture(b->Pressed)},
                    {"Disabled", Picture(b->Disabled)},
                    {"InvisibleColor", Int(b->GetInvisibleColor())},
                    {"Pressaction", b->Pressaction},
                    {"Alignment", b->Alignment},
                    {"Navigationtarget", b->Navigationtarget},
                    {"Sound", Sound(b->Sound)},
                    {"Hint", b->Hint},
                    {"ZOrder", Int(z)}});
    } else if (const auto* l = dynamic_cast<const TVXLabel*>(element)) {
      TSectionValues v{{"Top", Int(l->GetTop())},
                       {"Left", Int(l->GetLeft())},
                       {"Width", Int(l->GetWidth())},
                       {"Text", l->Text},
                       {"Transparent", l->GetTransparent() ? "1" : "0"}};
      AddTextKeys(v, l->GetFont(), l->GetColor(), l->Style, l->Alignment, l->Autosize, z);
      WriteSection(W, TVXSectionKind::skLabel, Order, v, l->GetFont());
    } else if (const auto* e = dynamic_cast<const TVXEdit*>(element)) {
      TSectionValues v{{"Top", Int(e->GetTop())}, {"Left", Int(e->GetLeft())}, {"Width", Int(e->GetWidth())}};
      AddTextKeys(v, e->GetFont(), e->GetColor(), e->Style, e->Alignment, e->Autosize, z);
      WriteSection(W, TVXSectionKind::skEdit, Order, v, e->GetFont());
    }
  }
}

bool TVXBrowser::SkinShown() const {
  return !FWeb->Bitmap.empty() && KMediaList::Instance()->LoadError(FWeb->Bitmap).empty();
}

TRect TVXBrowser::SavedInnerRect() const {
  if (FLoadedInner && FLoadedInner->Shown == FSurface->InnerRect() && FLoadedInner->Skin == FWeb->Bitmap)
    return FLoadedInner->File;
  return FSurface->InnerRect();
}

void TVXBrowser::WriteProject(TVXTextWriter& w) const {
  w.BeginSection(TVXSectionKind::skBitmaps);
  for (int n = 0; n < FBitmaps->Count(); ++n)
    w.Entry(FBitmaps->GetPath(n));
  w.EndSection();
  w.BeginSection(TVXSectionKind::skSounds);
  for (int n = 0; n < FSounds->Count(); ++n)
    w.Entry(FSounds->GetPath(n));
  w.EndSection();
  const TMediaName same = [](const std::string& Path) { return Path; };
  WriteDocumentSections(w, same, same, TVXWriteOrder::woProject);
}

void TVXBrowser::SaveProject(const std::string& FileName) {
  if (FLoadFailed)
    throw EFCreateError("The project was not loaded completely and cannot be saved over its file.");
  TVXTextWriter w(ProjectText::ProjectHeader);
  WriteProject(w);
  w.SaveToFile(FileName);
}

// ---- Load ------------------------------------------------------------------------------------------

namespace {

int Position(const std::string& Value) {
  return BoundedInteger(Value, TVXNumberKind::nkPosition);
}

int Size(const std::string& Value) {
  return BoundedInteger(Value, TVXNumberKind::nkSize);
}

// What one reading of a project text holds between lines.
struct TLoadState {
  TRect Inner{0, 0, 0, 0};
  int WebWidth = 0;
  int WebHeight = 0;
  int RememberedWidth = 0;  // one value for the whole load
  TComponent* Current = nullptr;
  TZOrderer Orderer;
};

}  // namespace

void TVXBrowser::LoadLines(const TStrings& Lines, const std::string& FileName) {
  TLoadState st;
  TCoolBrowser* s = FSurface;
  auto button = [&] { return static_cast<TVXButton*>(st.Current); };
  auto label = [&] { return static_cast<TVXLabel*>(st.Current); };
  auto edit = [&] { return static_cast<TVXEdit*>(st.Current); };
  auto control = [&] { return static_cast<TVXElement*>(st.Current)->ElementControl(); };
  using TKeyHandlers = std::map<std::string, std::function<void(const std::string& Value)>>;
  // The keys that buttons, labels and the address field share; each section adds its own.
  auto elementKeys = [&](bool Text) {
    TKeyHandlers keys{{"Top", [&](const std::string& v) { control()->SetTop(Position(v)); }},
                      {"Left", [&](const std::string& v) { control()->SetLeft(Position(v)); }},
                      {"ZOrder", [&](const std::string& v) { st.Orderer.Add(control(), StrToInt(v)); }}};
    if (!Text) return keys;
    keys["Width"] = [&](const std::string& v) {
      control()->SetWidth(Size(v));
      st.RememberedWidth = control()->Width();
    };
    keys["Color"] = [&](const std::string& v) { control()->SetColor(StrToInt(v)); };
    keys["Fontname"] = [&](const std::string& v) { control()->Font()->SetName(v); };
    keys["Fontcolor"] = [&](const std::string& v) { control()->Font()->SetColor(StrToInt(v)); };
    keys["Fontheight"] = [&](const std::string& v) {
      control()->Font()->SetHeight(BoundedInteger(v, TVXNumberKind::nkFontHeight));
    };
    keys["Fontstyle"] = [&](const std::string& v) { AddFontStyle(control()->Font(), v); };
    return keys;
  };

  std::map<TVXSectionKind, TKeyHandlers> sections;
  sections[TVXSectionKind::skGlobal] = {
      {"Top", [&](const std::string& v) { s->SetTop(Position(v)); }},
      {"Left", [&](const std::string& v) { s->SetLeft(Position(v)); }},
      {"Width", [&](const std::string& v) { s->SetStartWidth(Size(v)); }},
      {"Height", [&](const std::string& v) { s->SetStartHeight(Size(v)); }},
      {"ILeft", [&](const std::string& v) { st.Inner.Left = Position(v); }},
      {"ITop", [&](const std::string& v) { st.Inner.Top = Position(v); }},
      {"IRight", [&](const std::string& v) { st.Inner.Right = Position(v); }},
      {"IBottom", [&](const std::string& v) { st.Inner.Bottom = Position(v); }}};
  sections[TVXSectionKind::skWeb] = {
      {"Top", [&](const std::string& v) { FWeb->SetTop(Position(v)); }},
      {"Left", [&](const std::string& v) { FWeb->SetLeft(Position(v)); }},
      {"Width", [&](const std::string& v) { st.WebWidth = Size(v); }},
      {"Height", [&](const std::string& v) { st.WebHeight = Size(v); }},
      {"Bitmap",
       [&](const std::string& v) {
         FWeb->SetBitmap(v);
         TBitmap32* picture = KMediaList::Instance()->GetBitmap(v);
         s->SetWidth(picture->Width());
         s->SetHeight(picture->Height());
       }},
      {"Startpage", [&](const std::string& v) { FWeb->SetStartpage(v); }},
      {"Position", [&](const std::string& v) { FWeb->SetPosition(v); }},
      {"StartSound", [&](const std::string& v) { FWeb->SetStartSound(v); }},
      {"ExitSound", [&](const std::string& v) { FWeb->SetExitSound(v); }},
      {"InvisibleColor", [&](const std::string& v) { FWeb->SetInvisibleColor(StrToInt(v)); }},
      {"ZOrder", [&](const std::string& v) { st.Orderer.Add(s->WebSpace, StrToInt(v)); }}};
  TKeyHandlers& buttonKeys = sections[TVXSectionKind::skButton] = elementKeys(false);
  buttonKeys["Mask"] = [&](const std::string& v) { button()->SetMask(v); };
  buttonKeys["Touched"] = [&](const std::string& v) { button()->SetTouched(v); };
  buttonKeys["Pressed"] = [&](const std::string& v) { button()->SetPressed(v); };
  buttonKeys["Disabled"] = [&](const std::string& v) { button()->SetDisabled(v); };
  buttonKeys["InvisibleColor"] = [&](const std::string& v) { button()->SetInvisibleColor(StrToInt(v)); };
  buttonKeys["Pressaction"] = [&](const std::string& v) { button()->SetPressaction(v); };
  buttonKeys["Alignment"] = [&](const std::string& v) { button()->Alignment = v; };
  buttonKeys["Navigationtarget"] = [&](const std::string& v) { button()->SetNavigationtarget(v); };
  buttonKeys["Sound"] = [&](const std::string& v) { button()->SetSound(v); };
  buttonKeys["Hint"] = [&](const std::string& v) { button()->SetHint(v); };
  TKeyHandlers& labelKeys = sections[TVXSectionKind::skLabel] = elementKeys(true);
  labelKeys["Style"] = [&](const std::string& v) { label()->SetStyle(v); };
  labelKeys["Text"] = [&](const std::string& v) { label()->SetText(v); };
  labelKeys["Transparent"] = [&](const std::string& v) { label()->SetTransparent(v == "1"); };
  labelKeys["Alignment"] = [&](const std::string& v) { label()->Alignment = v; };
  labelKeys["Autosize"] = [&](const std::string& v) { label()->Autosize = v; };
  TKeyHandlers& editKeys = sections[TVXSectionKind::skEdit] = elementKeys(true);
  editKeys["Style"] = [&](const std::string& v) { edit()->SetStyle(v); };
  editKeys["Alignment"] = [&](const std::string& v) { edit()->Alignment = v; };
  editKeys["Autosize"] = [&](const std::string& v) { edit()->Autosize = v; };

  TVXSectionHandlers h;
  h.OnBegin = [&](TVXSectionKind Kind) {
    if (Kind == TVXSectionKind::skGlobal) s->SetFormStyle(fsNormal);
    if (Kind == TVXSectionKind::skButton) st.Current = AddButton(0, 0);
    if (Kind == TVXSectionKind::skLabel) st.Current = AddLabel(0, 0);
    if (Kind == TVXSectionKind::skEdit) st.Current = AddEdit(0, 0);
  };
  h.OnLine = [&](TVXSectionKind Kind, const std::string& Line) {
    if (Kind == TVXSectionKind::skBitmaps) {
      FBitmaps->Add(Line);
    } else if (Kind == TVXSectionKind::skSounds) {
      FSounds->Add(Line);
    } else {
      const TKeyHandlers& keys = sections.at(Kind);
      const auto it = keys.find(GetKey(Line));
      if (it != keys.end())
        it->second(GetValue(Line));
      else if (Kind == TVXSectionKind::skGlobal && IsStayOnTopLine(Line))
        s->SetFormStyle(fsStayOnTop);
    }
  };
  h.OnEnd = [&](TVXSectionKind Kind) {
    if (Kind == TVXSectionKind::skWeb) {
      // A later Web section may bring another skin. The surface ignores a rectangle equal to the one
      // it holds, so one that an earlier section stored is taken back first and clamped anew.
      if (s->InnerRect() == st.Inner && st.Inner != TRect{}) s->SetInnerRect(TRect{});
      s->SetInnerRect(st.Inner);
      // The surface keys its skin by InvisibleColor, as a new project's surface and the built browser
      // do, so the preview keeps showing what the build will show.
      s->Skin()->SetMode(4);
      s->SetAlphaThreshold(100);
      s->SetRegionMode(4);
      TBitmap32* skin = s->Skin()->GetBitmap();
      s->SetWidth(skin->Width());
      s->SetHeight(skin->Height());
      // The panel stretches with the surface, so its size comes after the surface's.
      FWeb->SetWidth(st.WebWidth);
      FWeb->SetHeight(st.WebHeight);
      FLoadedInner = TLoadedInner{st.Inner, s->InnerRect(), FWeb->Bitmap};
    } else if (Kind == TVXSectionKind::skLabel) {
      // The height follows font and caption; the width is the one remembered.
      label()->Control()->SetAutoSize(true);
      label()->Control()->SetAutoSize(false);
      label()->SetWidth(st.RememberedWidth);
    } else if (Kind == TVXSectionKind::skEdit) {
      edit()->Control()->SetHeight(4 - edit()->GetFont()->Height());
      edit()->SetWidth(st.RememberedWidth);
    }
    st.Current = nullptr;
  };
  ReadProjectSections(Lines, ProjectReaderKinds(), h, FileName);
  // A place the skin cannot show (a file written by hand or for a larger skin) would keep an element out
  // of the mouse's reach: it comes onto the surface.
  if (SkinShown()) {
    s->KeepInReach(s->WebSpace);
    for (int i = 0; i < ComponentCount(); ++i)
      if (auto* element = dynamic_cast<TVXElement*>(Components(i))) s->KeepInReach(element->ElementControl());
  }
  s->Show();
  st.Orderer.Apply();
  s->SelectControl(s->Controls(s->ControlCount() - 1));
}

void TVXBrowser::ResetAfterFailedLoad() {
  // A fresh surface takes the place of the one the load filled: freeing a whole surface frees its element
  // controls in one pass, where taking them off a living one by one costs n * n steps for n elements.
  delete std::exchange(FSurface, nullptr);
  CreateSurface();
  FWeb->Surface = FSurface;
  DestroyComponents([](const TComponent* C) { return dynamic_cast<const TVXElement*>(C) != nullptr; });
  while (FBitmaps->Count() > 0)
    FBitmaps->Delete(FBitmaps->Count() - 1);
  while (FSounds->Count() > 1)
    FSounds->Delete(FSounds->Count() - 1);
  FBitmaps->UpdateNames();
  FSounds->UpdateNames();
  FWeb->Bitmap.clear();
  FWeb->Startpage.clear();
  FWeb->Position = "Screencenter";
  FWeb->StartSound = ProjectText::NoSound;
  FWeb->ExitSound = ProjectText::NoSound;
  FSurface->SetFormStyle(fsNormal);
  FSelected = nullptr;
  FLoadedInner.reset();
}

void TVXBrowser::LoadProject(const std::string& FileName) {
  TStringList lines;
  try {
    lines.LoadFromFile(FileName);
    LoadLines(lines, FileName);
  } catch (...) {
    // Nothing half-read survives: the document is empty again and refuses to be saved or built, so
    // the project file cannot be overwritten with a part of itself.
    FLoadFailed = true;
    ResetAfterFailedLoad();
    throw;
  }
}

// ---- Build -----------------------------------------------------------------------------------------

void TVXBrowser::CheckBuildReferences() const {
  auto checkPicture = [&](const std::string& Path, const std::string& User) {
    if (FBitmaps->IndexOf(Path) < 0)
      throw EVXBuildError("The picture \"" + Path + "\" of " + User +
                          " is not in the project's picture list; the browser cannot be built.");
    if (!FileExists(Path))
      throw EVXBuildError("The picture \"" + Path + "\" of " + User + " does not exist.");
  };
  auto checkSound = [&](const std::string& Sound, const std::string& User) {
    if (IsNoSound(Sound)) return;
    if (FSounds->IndexOf(Sound) < 1)
      throw EVXBuildError("The sound \"" + Sound + "\" of " + User +
                          " is not in the project's sound list; the browser cannot be built.");
    if (!FileExists(Sound))
      throw EVXBuildError("The sound \"" + Sound + "\" of " + User + " does not exist.");
  };
  checkPicture(FWeb->Bitmap, "the window");
  checkSound(FWeb->StartSound, "the window's start");
  checkSound(FWeb->ExitSound, "the window's exit");
  for (const TVXButton* b : Buttons()) {
    const std::string user = "a button at " + IntToStr(b->GetLeft()) + ", " + IntToStr(b->GetTop());
    // A button may go without any of its pictures (the empty path).
    for (const std::string* picture : {&b->Mask, &b->Touched, &b->Pressed, &b->Disabled})
      if (!picture->empty()) checkPicture(*picture, user);
    checkSound(b->Sound, user);
  }
}

std::string TVXBrowser::BuildPictureName(const std::string& Path) const {
  if (Path.empty()) return Path;  // no picture
  // The extension of the listed path, which the copy takes: the name in "Config.VX" is the copy's name
  // also where the element spells the path in other letter case.
  const int index = FBitmaps->IndexOf(Path);
  return "VXB" + IntToStr(index) + ExtractFileExt(FBitmaps->GetPath(index));
}

std::string TVXBrowser::BuildSoundName(const std::string& Sound) const {
  if (IsNoSound(Sound)) return ProjectText::NoSound;
  return "VXS" + IntToStr(FSounds->IndexOf(Sound)) + ".wav";
}

void TVXBrowser::PlanBuild(const std::string& Target, TVXBuildPlan& plan) const {
  CheckBuildReferences();
  const std::string folder = ExtractFilePath(Target);
  plan.ConfigFile = folder + kConfigName;
  plan.Copies.emplace_back(AppPath(kRuntimeProgram), Target);
  const std::vector<TVXButton*> buttons = Buttons();
  const TFileIndex buttonPictures = ButtonPictures(buttons), buttonSounds = ButtonSounds(buttons);
  TVXTextWriter& w = plan.Text;

  w.BeginSection(TVXSectionKind::skBitmaps);
  for (int n = 0; n < FBitmaps->Count(); ++n) {
    const std::string path = FBitmaps->GetPath(n);
    const std::string name = BuildPictureName(path);
    auto use = [&] {
      plan.Copies.emplace_back(path, folder + name);
      w.Entry(name);
    };
    // The window's skin is copied (and listed) once more when a button also uses the picture.
    if (SameFile(path, FWeb->Bitmap)) use();
    if (buttonPictures.IndexOf(path) >= 0) use();
  }
  w.EndSection();

  w.BeginSection(TVXSectionKind::skSounds);
  w.Entry(ProjectText::NoSound);
  for (int n = 1; n < FSounds->Count(); ++n) {
    const std::string sound = FSounds->GetPath(n);
    const std::string name = BuildSoundName(sound);
    auto use = [&] {
      plan.Copies.emplace_back(sound, folder + name);
      w.Entry(name);
    };
    if (SameFile(sound, FWeb->StartSound) || SameFile(sound, FWeb->ExitSound)) use();
    if (buttonSounds.IndexOf(sound) >= 0) use();
  }
  w.EndSection();

  WriteDocumentSections(
      w, [this](const std::string& Path) { return BuildPictureName(Path); },
      [this](const std::string& Sound) { return BuildSoundName(Sound); }, TVXWriteOrder::woBuild);
}

void TVXBrowser::BuildBrowser(const std::string& Target, const std::string& ProjectFile) {
  if (FLoadFailed) throw EVXBuildError("The project was not loaded completely and cannot be built.");
  if (!FileExists(AppPath(kRuntimeProgram)))
    throw EVXBuildError("The runtime program \"" + AppPath(kRuntimeProgram) + "\" does not exist.");
  TVXBuildPlan plan;
  PlanBuild(Target, plan);
  if (const std::vector<std::string> refused = RefusedOutputs(plan, ProjectFile); !refused.empty())
    throw EVXBuildError(BuildRefusal("The browser was not built, and nothing was written:", refused));
  // A "Config.VX" older than the media beside it would run with the wrong pictures: the old one goes
  // before the first copy, and the new one comes last.
  if (!RemoveFile(plan.ConfigFile))
    throw EVXBuildError("The browser was not built: the old \"" + plan.ConfigFile +
                        "\" could not be removed: " + SysErrorMessage(GetLastError()));
  // A link under a name the build makes is replaced, not written through: the file it names is none
  // the user chose. (The program's name is the user's choice, and is written as any save is.)
  for (size_t i = 1; i < plan.Copies.size(); ++i) {
    const std::string& to = plan.Copies[i].second;
    if (IsSymbolicLink(to) && !RemoveFile(to))
      throw EVXBuildError("The browser was not built: the link \"" + to +
                          "\" could not be removed: " + SysErrorMessage(GetLastError()));
  }
  // Every copy is tried, so that one report names all that failed. A new "Config.VX" beside media that
  // were not copied would name old or missing files, so it is written only when every copy succeeded.
  std::vector<std::string> failed;
  for (const auto& [from, to] : plan.Copies) {
    if (CopyFile(from, to, false)) continue;
    const std::string line = from + " -> " + to + ": " + SysErrorMessage(GetLastError());
    if (std::find(failed.begin(), failed.end(), line) == failed.end()) failed.push_back(line);
  }
  if (!failed.empty())
    throw EVXBuildError(
        BuildRefusal(std::string("The browser was not built: these files could not be copied, and \"") +
                         kConfigName + "\" was not written:",
                     failed));
  plan.Text.SaveToFile(plan.ConfigFile);
}
