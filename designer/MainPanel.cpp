#include "designer/MainPanel.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/rtl/FileUtils.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/SysUtils.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Messages.h"

namespace {

struct TPictureRow {
  const char* Normal;
  const char* Over;
  const char* Pressed;
  const char* Disabled;
};

constexpr TPictureRow PictureTable[MainButtonCount] = {
    {"New2.BMP", "New2Over.BMP", "New2Press.BMP", "New2Dis.BMP"},
    {"Open4.BMP", "Open4Over.BMP", "Open4Press.BMP", "Open4Dis.BMP"},
    {"Save5.BMP", "Save5Over.BMP", "Save5Press.BMP", "Save5Dis.BMP"},
    {"Build2.BMP", "Build2Over.BMP", "Build2Press.BMP", "Build2Dis.BMP"},
    {"Check1.BMP", "Check1Over.BMP", "Check1Press.BMP", "Check1Dis.BMP"},
    {"Button1.BMP", "Button1Over.BMP", "Button1Press.BMP", "Button1Dis.BMP"},
    {"Edit1.BMP", "Edit1Over.BMP", "Edit1Press.BMP", "Edit1Dis.BMP"},
    {"Clear1.BMP", "Clear1Over.BMP", "Clear1Press.BMP", "Clear1Dis.BMP"},
    {"Label2.BMP", "Label2Over.BMP", "Label2Press.BMP", "Label2Dis.BMP"},
    {"Exit1.BMP", "Exit1Over.BMP", "Exit1Press.BMP", "Exit1Dis.BMP"},
    {"Lock_n.BMP", "lock_sel.BMP", "lock_press.BMP", "Lock_Dis.BMP"},
    {"Options.BMP", "OptionsOver.BMP", "OptionsPress.BMP", "OptionsDis.BMP"},
};

}  // namespace

bool ButtonNormalInMode(TMainButton Button, uint8_t Mode) {
  switch (Button) {
    case tbNew:
    case tbOpen:
    case tbExit:
      return Mode != mdTestRun;
    case tbCheck:
      return Mode != mdNoProject;
    case tbKill:
      return false;
    default:
      return Mode == mdEditing;
  }
}

std::array<const char*, 4> ButtonPictureNames(TMainButton Button) {
  const TPictureRow& row = PictureTable[Button];
  return {row.Normal, row.Over, row.Pressed, row.Disabled};
}

TMainForm::TMainForm(TComponent* AOwner) : TVexForm(AOwner) {
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  OnCloseQuery = [this](TObject* Sender, bool& CanClose) { FormCloseQuery(Sender, CanClose); };
}

TMainForm::~TMainForm() {
  FormDestroy(this);
  // The document's windows go before the form's own components; nothing reports to the other windows
  // any more.
  if (FDocument != nullptr) {
    FDocument->OnSelectElement = nullptr;
    FDocument->SetOnChange(nullptr);
    FDocument->SetOnPickColor(nullptr);
    delete FDocument;
    FDocument = nullptr;
  }
}

void TMainForm::SetPropertyForm(TPropertyForm* Value) {
  FPropertyForm = Value;
  if (Value != nullptr) Value->FreeNotification(this);
}

void TMainForm::SetQuestionBox(TVexMessage* Value) {
  FQuestionBox = Value;
  if (Value != nullptr) Value->FreeNotification(this);
}

void TMainForm::Notification(TComponent* AComponent, TOperation Operation) {
  TVexForm::Notification(AComponent, Operation);
  if (Operation != TOperation::opRemove) return;
  if (AComponent == FPropertyForm) FPropertyForm = nullptr;
  if (AComponent == FQuestionBox) FQuestionBox = nullptr;
  if (AComponent == FTestWindow) FTestWindow = nullptr;
  if (AComponent == FDocument) FDocument = nullptr;
}

// ---- Form resource ----------------------------------------------------------------------------------

TOrganicShapeButton* TMainForm::MakeButton(const char* Name, int Left, int Top, TColor Key,
                                           TNotifyEvent Click) {
  auto* button = new TOrganicShapeButton(this);
  button->SetName(Name);
  button->SetParent(this);
  button->SetBounds(Left, Top, 24, 24);
  button->InvisibleColor = Key;
  button->SetShowHint(true);
  button->OnClick = std::move(Click);
  return button;
}

TPlayerWave* TMainForm::MakeSound(const char* Name, const char* Wave, bool Async) {
  auto* sound = new TPlayerWave(this);
  sound->SetName(Name);
  sound->SetWaveName(Wave);
  sound->SetLoop(false);
  sound->SetAsync(Async);
  return sound;
}

void TMainForm::ReadResource() {
  TVexForm::ReadResource();
  SetName("MainForm");
  SetCaption("Pelloran's Construction Kit");
  SetClientWidth(343);
  SetClientHeight(316);
  Font()->SetName("Comic Sans MS");
  Font()->SetHeight(-12);
  SetColor(clBtnFace);
  SetShowHint(true);

  SaveDialog = new TSaveDialog(this);
  SaveDialog->SetName("SaveDialog");
  SaveDialog->SetDefaultExt(".VX");
  SaveDialog->SetFilter("Pelloran File *.VX|*.VX");
  OpenDialog = new TOpenDialog(this);
  OpenDialog->SetName("OpenDialog");
  OpenDialog->SetDefaultExt("*.VX");
  OpenDialog->SetFilter("Pelloran Files *.VX|*.VX");

  auto on = [this](void (TMainForm::*Handler)(TObject*)) {
    return [this, Handler](TObject* Sender) { (this->*Handler)(Sender); };
  };
  NewBut = MakeButton("NewBut", 176, 46, clRed, on(&TMainForm::NewButClick));
  OpenBut = MakeButton("OpenBut", 176, 72, clWhite, on(&TMainForm::OpenButClick));
  SaveBut = MakeButton("SaveBut", 176, 98, clRed, on(&TMainForm::SaveButClick));
  BuildBut = MakeButton("BuildBut", 97, 83, clRed, on(&TMainForm::BuildButClick));
  CheckBut = MakeButton("CheckBut", 97, 109, clRed, on(&TMainForm::CheckButClick));
  ButtonBut = MakeButton("ButtonBut", 15, 46, clRed, on(&TMainForm::BuildButtonsClick));
  EditBut = MakeButton("EditBut", 16, 98, clRed, on(&TMainForm::BuildButtonsClick));
  KillBut = MakeButton("KillBut", 97, 57, clRed, on(&TMainForm::KillButClick));
  LabelBut = MakeButton("LabelBut", 15, 72, clRed, on(&TMainForm::BuildButtonsClick));
  ExitBut = MakeButton("ExitBut", 235, 7, clWhite, on(&TMainForm::Exit1Click));
  ExitBut->SetHint("Beenden");

  EndSound = MakeSound("EndSound", "sounds\\NewExit.wav", false);
  StartSound = MakeSound("StartSound", "sounds\\NewStart.wav", true);
  NewSound = MakeSound("NewSound", "sounds\\NewButton.wav", true);
  SaveSound = MakeSound("SaveSound", "sounds\\NewButton.wav", true);
  OpenSound = MakeSound("OpenSound", "sounds\\NewButton.wav", true);
  ButtonSound = MakeSound("ButtonSound", "sounds\\NewButton.wav", true);
  LabelSound = MakeSound("LabelSound", "sounds\\NewButton.wav", true);
  EditSound = MakeSound("EditSound", "sounds\\NewButton.wav", true);
  ExitButSound = MakeSound("ExitButSound", "sounds\\NewButton.wav", false);
  KillSound = MakeSound("KillSound", "sounds\\NewButton.wav", true);
  BuildSound = MakeSound("BuildSound", "sounds\\NewButton.wav", true);
  CheckSound = MakeSound("CheckSound", "sounds\\NewButton.wav", true);

  OptionsBut = MakeButton("OptionsBut", 176, 124, clRed, on(&TMainForm::OptionsButClick));
  OptionsSound = MakeSound("OptionsSound", "sounds\\NewButton.wav", true);

  BuildDialog = new TSaveDialog(this);
  BuildDialog->SetName("BuildDialog");
  // The runtime program has no extension here, so the dialog offers every file and adds none.
  BuildDialog->SetFilter("Browser Application (*)|*");

  Actionlabel = new TLabel(this);
  Actionlabel->SetName("Actionlabel");
  Actionlabel->SetParent(this);
  Actionlabel->SetAutoSize(false);
  Actionlabel->SetTransparent(true);
  // Inside the skin: on the title bar, after the program's name.
  Actionlabel->SetBounds(108, 12, 76, 22);
  Actionlabel->Font()->SetName("Comic Sans MS");
  Actionlabel->Font()->SetHeight(-16);
  Actionlabel->Font()->SetStyle({fsItalic});
  // Amber: navy would vanish on the dark title bar.
  Actionlabel->Font()->SetColor(static_cast<TColor>(0x4AB8F5));
  Actionlabel->SetCaption("");
  // The label lies on the title bar, where the window is gripped: a press on it drags the window as a
  // press on the face does.
  Actionlabel->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
    StartMoveItemLayer(Sender, Button, Shift, X, Y, nullptr);
  };

  OrganicShapeButton1 =
      MakeButton("OrganicShapeButton1", 211, 7, clWhite, on(&TMainForm::OrganicShapeButton1Click));
  OrganicShapeButton1->SetHint("Minimieren");
  LoadButtonPictures(OrganicShapeButton1, "Minimize1");
  LinkBut = MakeButton("LinkBut", 187, 7, clWhite, on(&TMainForm::LinkButClick));
  LinkBut->SetHint("Verbinden");
}

// ---- Creation, buttons and modes --------------------------------------------------------------------

void TMainForm::FormCreate(TObject*) {
  LoadRegistryOptions();
  SetTop(10);
  SetLeft(Screen->Width() - 278);
  SetAppDir(GetCurrentDir());
  Skin()->SetFileName(FAppDir + "/images/MainDialog.BMP");
  Skin()->SetMode(3);
  SetAlphaThreshold(100);
  SetRegionMode(4);
  OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y,
                       TCustomLayer* Layer) { StartMoveItemLayer(Sender, Button, Shift, X, Y, Layer); };
  // A picture that cannot be loaded is reported once; the buttons still show mode 0 with what was read.
  try {
    LoadButtonBitmaps();
  } catch (...) {
    SetMode(mdNoProject);
    throw;
  }
  SetMode(mdNoProject);
}

void TMainForm::FormShow(TObject*) {
  TBitmap32* skin = Skin()->GetBitmap();
  SetBounds(Left(), Top(), skin->Width(), skin->Height());
  PlayIfOn(StartSound);
}

void TMainForm::FormClose(TObject*, TCloseAction&) {
  EndSound->Play();
}

void TMainForm::FormCloseQuery(TObject*, bool& CanClose) {
  CommitPending();
  CanClose = ConfirmDiscard();
}

void TMainForm::FormDestroy(TObject*) {
  if (FOptionsStored) return;
  FOptionsStored = true;
  StoreRegistryOptions();
}

TOrganicShapeButton* TMainForm::Button(TMainButton Which) const {
  const std::array<TOrganicShapeButton*, MainButtonCount> buttons = {
      NewBut,  OpenBut, SaveBut,  BuildBut, CheckBut, ButtonBut,
      EditBut, KillBut, LabelBut, ExitBut,  LinkBut,  OptionsBut};
  return buttons[Which];
}

TBitmap* TMainForm::StatePicture(TMainButton Which, int State) const {
  return FPictures[Which][State].get();
}

void TMainForm::LoadButtonBitmaps() {
  for (auto& row : FPictures)
    for (auto& picture : row)
      picture = std::make_unique<TBitmap>();
  const std::string folder = FAppDir + "/Images/Buttons/";
  auto load = [&](TMainButton Which, int State) {
    FPictures[Which][State]->LoadFromFile(folder + ButtonPictureNames(Which)[State]);
  };
  for (int state = 0; state < 4; ++state)
    load(tbOptions, state);
  for (int state = 0; state < 4; ++state)
    for (int b = 0; b < MainButtonCount; ++b)
      if (b != tbOptions) load(static_cast<TMainButton>(b), state);
}

void TMainForm::ShowNormal(TMainButton Which) {
  TOrganicShapeButton* button = Button(Which);
  button->SetEnabled(true);
  button->SetMask(FPictures[Which][0].get());
  button->SetOverBmp(FPictures[Which][1].get());
  button->SetPressedBmp(FPictures[Which][2].get());
}

void TMainForm::ShowDisabled(TMainButton Which) {
  TOrganicShapeButton* button = Button(Which);
  button->SetEnabled(false);
  button->SetMask(FPictures[Which][3].get());
  button->SetOverBmp(FPictures[Which][3].get());
  button->SetPressedBmp(FPictures[Which][3].get());
}

void TMainForm::ShowState(TMainButton Which, bool Normal) {
  if (Normal) {
    ShowNormal(Which);
  } else {
    ShowDisabled(Which);
  }
  Button(Which)->Repaint();
}

void TMainForm::SetMode(uint8_t Mode) {
  if (FPictures[0][0] == nullptr) return;  // no pictures yet
  for (int b = 0; b < MainButtonCount; ++b) {
    const auto which = static_cast<TMainButton>(b);
    if (ButtonNormalInMode(which, Mode)) {
      ShowNormal(which);
    } else {
      ShowDisabled(which);
    }
  }
  FMode = Mode;
  for (int b = 0; b < MainButtonCount; ++b)
    Button(static_cast<TMainButton>(b))->Repaint();
}

void TMainForm::SetModified(bool Flag) {
  if (SaveBut->Enabled() == Flag) return;
  ShowState(tbSave, Flag);
}

bool TMainForm::IsModified() const {
  return SaveBut->Enabled();
}

void TMainForm::ProjectChanged(TObject*) {
  SetModified(true);
}

void TMainForm::SetProjectPath(const std::string& Text) {
  // The name as the user gave it: "p.VX " is another file than "p.VX", and the dialog asked about it.
  FProjectPath = Text;
}

void TMainForm::SetAppDir(const std::string& Text) {
  FAppDir = Text;
  OpenDialog->SetInitialDir(Text);
  SaveDialog->SetInitialDir(Text);
  BuildDialog->SetInitialDir(Text);
}

std::string TMainForm::CheckFileName() const {
  return FAppDir + "/temp/Vexcheck.VX";
}

void TMainForm::PlayIfOn(TPlayerWave* Sound) const {
  if (FSoundsOn) Sound->Play();
}

void TMainForm::SetAction(const std::string& Word) {
  Actionlabel->SetCaption(Word);
  Actionlabel->Repaint();
}

void TMainForm::RunAction(const std::string& Word, const std::function<void()>& Action) {
  SetAction(Word);
  try {
    Action();
  } catch (...) {
    // The word goes with the failure: the window shows nothing running while the report is up.
    SetAction("");
    throw;
  }
  SetAction("");
}

void TMainForm::CommitPending() {
  if (FPropertyForm != nullptr) FPropertyForm->CommitPending();
}

// ---- Projects ---------------------------------------------------------------------------------------

bool TMainForm::ConfirmDiscard() {
  // During a test run Save is disabled, yet the project is as modified as it will be afterwards.
  if (FMode == mdNoProject || (!IsModified() && FMode != mdTestRun) || FQuestionBox == nullptr) return true;
  switch (FQuestionBox->Ask(Screen->Width() / 2, Screen->Height() / 2, DiscardQuestion)) {
    case vmYes:
      return SaveProject();
    case vmNo:
      return true;
    default:
      return false;
  }
}

void TMainForm::FreeDocument() {
  if (FTestWindow != nullptr) {
    delete FTestWindow;
    FTestWindow = nullptr;
  }
  if (FPropertyForm != nullptr) {
    FPropertyForm->Hide();
    FPropertyForm->SetProject(nullptr);
  }
  delete FDocument;
  FDocument = nullptr;
}

void TMainForm::CloseProject() {
  FreeDocument();
  SetMode(mdNoProject);
}

void TMainForm::CreateDocument() {
  FDocumentFile.clear();
  FDocument = new TVXBrowser(this);
  FDocument->SetAppDir(FAppDir);
}

void TMainForm::WireDocument() {
  if (FPropertyForm != nullptr) {
    FPropertyForm->SetProject(FDocument);
    FPropertyForm->SetOnOptionsChanged([this](TObject* Sender) { OptionsChanged(Sender); });
    FPropertyForm->SetOnChange([this](TObject* Sender) { ProjectChanged(Sender); });
    TPropertyForm* editor = FPropertyForm;
    FDocument->SetOnPickColor(
        [editor](TObject* Sender, TColor Color) { editor->ColorPicked(Sender, Color); });
  }
  ApplyOptions();
  FDocument->OnSelectElement = [this](TComponent* Element) { SelectionChanged(Element); };
  if (FPropertyForm != nullptr) {
    TPropertyForm* editor = FPropertyForm;
    FDocument->SetOnChange([editor](TObject* Sender) { editor->ElementMoved(Sender); });
  }
}

void TMainForm::ShowDesignWindows(bool Show) {
  if (FDocument != nullptr) FDocument->Surface()->SetVisible(Show);
  if (FPropertyForm != nullptr) FPropertyForm->SetVisible(Show);
}

void TMainForm::NewProject() {
  CommitPending();
  if (FMode != mdNoProject) {
    if (!ConfirmDiscard()) return;
    CloseProject();
  }
  CreateDocument();
  const std::string skin = FAppDir + "/Images/VexLand3.Bmp";
  FDocument->Bitmaps()->Add(skin);
  FDocument->Web()->SetBitmap(skin);

  TCoolBrowser* surface = FDocument->Surface();
  surface->Skin()->SetMode(4);
  surface->SetAlphaThreshold(100);
  surface->SetRegionMode(4);
  surface->SetInnerRect(Rect(50, 50, 430, 310));
  surface->Skin()->SetInvisibleColor(255);
  TBitmap32* picture = surface->Skin()->GetBitmap();
  const int width = picture->Width();
  const int height = picture->Height();
  surface->SetBounds(Left() - (width + 20), Top() + 120, width, height);
  surface->SetStartWidth(480);
  surface->SetStartHeight(360);
  surface->WebSpace->SetBounds(30, 60, 420, 270);

  WireDocument();
  FDocument->SetVisible(true);
  if (FPropertyForm != nullptr) FPropertyForm->Show();
  SetMode(mdEditing);
  SetModified(false);
}

void TMainForm::OpenProject() {
  CommitPending();
  if (FMode != mdNoProject) {
    if (!ConfirmDiscard()) return;
    CloseProject();
  }
  if (!FProjectPath.empty()) {
    OpenDialog->SetInitialDir(ExtractFileDir(FProjectPath));
    OpenDialog->SetFileName(ExtractFileName(FProjectPath));
  }
  if (!OpenDialog->Execute()) return;
  SetAction("Loading");
  SetProjectPath(OpenDialog->FileName());
  CreateDocument();
  WireDocument();
  SetMode(mdEditing);
  try {
    FDocument->LoadProject(FProjectPath);
  } catch (...) {
    // Nothing half-loaded stays open where Save could write it over the original.
    CloseProject();
    SetAction("");
    throw;
  }
  FDocumentFile = FProjectPath;
  if (FPropertyForm != nullptr) FPropertyForm->Show();
  SetModified(false);
  SetAction("");
}

bool TMainForm::SaveProject() {
  if (FDocument == nullptr) return false;
  CommitPending();
  if (!FProjectPath.empty()) {
    SaveDialog->SetInitialDir(ExtractFileDir(FProjectPath));
    SaveDialog->SetFileName(ExtractFileName(FProjectPath));
  }
  if (!SaveDialog->Execute()) return false;
  // The project takes the new name only once it was written under it.
  const std::string file = SaveDialog->FileName();
  RunAction("Saving", [&] { FDocument->SaveProject(file); });
  SetProjectPath(file);
  FDocumentFile = file;
  SetModified(false);
  return true;
}

void TMainForm::ExitProgram() {
  CommitPending();
  if (!ConfirmDiscard()) return;
  CloseProject();
  Close();
}

// ---- Commands ---------------------------------------------------------------------------------------

void TMainForm::NewButClick(TObject*) {
  PlayIfOn(NewSound);
  NewProject();
}

void TMainForm::OpenButClick(TObject*) {
  PlayIfOn(OpenSound);
  OpenProject();
}

void TMainForm::SaveButClick(TObject*) {
  PlayIfOn(SaveSound);
  SaveProject();
}

void TMainForm::ReleaseTool(TMainButton Which) {
  TOrganicShapeButton* button = Button(Which);
  button->SetMask(FPictures[Which][0].get());
  button->SetOverBmp(FPictures[Which][1].get());
  button->Repaint();
}

void TMainForm::BuildButtonsClick(TObject* Sender) {
  if (FDocument == nullptr) return;
  TMainButton tool = tbButton;
  uint8_t mode = imButton;
  TPlayerWave* sound = ButtonSound;
  if (Sender == EditBut) {
    tool = tbEdit;
    mode = imEdit;
    sound = EditSound;
  } else if (Sender == LabelBut) {
    tool = tbLabel;
    mode = imLabel;
    sound = LabelSound;
  }
  PlayIfOn(sound);
  const uint8_t armed = FDocument->InsertMode();
  if (armed != mode) {
    if (armed == imButton) ReleaseTool(tbButton);
    if (armed == imLabel) ReleaseTool(tbLabel);
    if (armed == imEdit && EditBut->Enabled()) ReleaseTool(tbEdit);
  }
  FDocument->SetInsertMode(mode);
  TOrganicShapeButton* button = Button(tool);
  button->SetMask(FPictures[tool][2].get());
  button->SetOverBmp(FPictures[tool][2].get());
  for (TOrganicShapeButton* b : {ButtonBut, EditBut, LabelBut})
    b->Repaint();
}

void TMainForm::UpdateElementTools(TComponent* Selected) {
  const bool killable = Selected != nullptr && dynamic_cast<TVXWeb*>(Selected) == nullptr;
  ShowState(tbKill, killable);
  ShowState(tbEdit, FDocument != nullptr && FDocument->EditCount() == 0);
}

void TMainForm::SelectionChanged(TComponent* Element) {
  if (FDocument == nullptr) return;
  UpdateElementTools(Element);
  if (FDocument->InsertMode() == imButton) ReleaseTool(tbButton);
  if (FDocument->InsertMode() == imLabel) ReleaseTool(tbLabel);
  FDocument->SetInsertMode(imNone);
  if (FPropertyForm != nullptr) FPropertyForm->SelectElement(Element);
  // Stopgap: the window layer repaints only where a moved graphic control now lies, so the selection
  // frame would leave its old outline behind; the whole surface is repainted instead.
  FDocument->Surface()->Invalidate();
}

void TMainForm::KillButClick(TObject*) {
  PlayIfOn(KillSound);
  if (FDocument == nullptr) return;
  TComponent* selected = FDocument->Selected();
  if (selected == nullptr || dynamic_cast<TVXWeb*>(selected) != nullptr) return;
  // The selection moves to the web element first, so nothing refers to the element when it goes.
  FDocument->Surface()->SelectControl(FDocument->Surface()->WebSpace);
  delete selected;
  UpdateElementTools(FDocument->Selected());
  SetModified(true);
}

void TMainForm::Exit1Click(TObject*) {
  if (FSoundsOn) ExitButSound->Play();
  ExitProgram();
}

void TMainForm::OptionsButClick(TObject*) {
  PlayIfOn(OptionsSound);
  if (FPropertyForm != nullptr) FPropertyForm->ShowPanel(FPropertyForm->OptionsPanel);
}

void TMainForm::OrganicShapeButton1Click(TObject*) {
  Application->Minimize();
}

void TMainForm::LinkButClick(TObject*) {
  if (FPropertyForm == nullptr) return;
  FPropertyForm->SetDocked(true);
  FPropertyForm->DockUnderMainWindow();
}

void TMainForm::StartMoveItemLayer(TObject*, TMouseButton Button, TShiftState, int, int, TCustomLayer*) {
  if (Button != mbLeft) return;
  ReleaseCapture();
  Perform(WM_SYSCOMMAND, SC_DRAGMOVE, static_cast<LPARAM>(-1));
}

void TMainForm::MainFormMoved() {
  if (FPropertyForm != nullptr && FPropertyForm->Visible() && FPropertyForm->Docked())
    FPropertyForm->DockUnderMainWindow();
}

void TMainForm::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  const bool moved = ALeft != Left() || ATop != Top();
  TVexForm::SetBounds(ALeft, ATop, AWidth, AHeight);
  if (moved) MainFormMoved();
}

// ---- Test run and build -----------------------------------------------------------------------------

void TMainForm::CheckButClick(TObject*) {
  PlayIfOn(CheckSound);
  if (FMode == mdNoProject || FDocument == nullptr) return;
  if (FMode != mdEditing) {
    if (FTestWindow != nullptr && FTestWindow->Visible()) {
      FTestWindow->Close();
    } else {
      // No usable test window (its start failed): back to editing.
      TCloseAction action = caHide;
      CheckEnded(nullptr, action);
    }
    return;
  }
  if (FTestWindow != nullptr) {
    delete FTestWindow;
    FTestWindow = nullptr;
  }
  CommitPending();
  StartCheck();
}

void TMainForm::StartCheck() {
  SetMode(mdTestRun);
  try {
    const std::string scratch = CheckFileName();
    FDocument->SaveProject(scratch);
    FTestWindow = TCustomForm::Create<TVXBuilder>(this);
    FTestWindow->OnClose = [this](TObject* Sender, TCloseAction& Action) { CheckEnded(Sender, Action); };
    FTestWindow->ReadConfig(scratch);
    ShowDesignWindows(false);
    FTestWindow->Show();
  } catch (...) {
    // A test run that cannot start returns to editing; the failure is reported by the caller's report.
    delete FTestWindow;
    FTestWindow = nullptr;
    ShowDesignWindows(true);
    SetMode(mdEditing);
    UpdateElementTools(FDocument->Selected());
    throw;
  }
}

void TMainForm::CheckEnded(TObject*, TCloseAction& Action) {
  Action = caHide;
  ShowDesignWindows(true);
  SetMode(mdEditing);
  if (FDocument != nullptr) UpdateElementTools(FDocument->Selected());
}

void TMainForm::BuildButClick(TObject*) {
  PlayIfOn(BuildSound);
  CommitPending();
  BuildProject();
}

void TMainForm::BuildProject() {
  if (FDocument == nullptr) return;
  if (!FBuildPath.empty()) {
    BuildDialog->SetInitialDir(ExtractFileDir(FBuildPath));
    BuildDialog->SetFileName(ExtractFileName(FBuildPath));
  }
  if (!BuildDialog->Execute()) return;
  SetBuildPath(BuildDialog->FileName());
  RunAction("Building", [&] { FDocument->BuildBrowser(FBuildPath, FDocumentFile); });
}

// ---- Options ----------------------------------------------------------------------------------------

void TMainForm::LoadRegistryOptions() {
  FShapeColor = 255;
  FHelperColor = 16777215;
  FSoundsOn = true;
  FMessageSoundsOn = true;
  TRegistry registry;
  registry.SetRootKey(HKEY_CURRENT_USER);
  if (!registry.OpenKey(OptionsKey, false)) return;
  try {
    FShapeColor = registry.ReadInteger("ShapeColor");
    FHelperColor = registry.ReadInteger("HelperColor");
    FSoundsOn = registry.ReadBool("SoundsOn");
    FMessageSoundsOn = registry.ReadBool("MessageSoundsOn");
  } catch (const Exception&) {
    // The first missing or mistyped value ends the reading; the rest keep their defaults.
  }
}

void TMainForm::StoreRegistryOptions() const {
  try {
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    // The key and the four values reach the store in one write: an interrupted end of the program
    // leaves either the old options or all the new ones.
    registry.BeginUpdate();
    if (!registry.OpenKey(OptionsKey, true)) return;
    registry.WriteInteger("ShapeColor", FShapeColor);
    registry.WriteInteger("HelperColor", FHelperColor);
    registry.WriteBool("SoundsOn", FSoundsOn);
    registry.WriteBool("MessageSoundsOn", FMessageSoundsOn);
    registry.EndUpdate();
  } catch (...) {
    // Options that cannot be stored are dropped silently.
  }
}

void TMainForm::ApplyOptions() {
  // The boxes report their changes while the options panel is shown; what is being pushed out is not
  // read back half-way.
  FApplyingOptions = true;
  if (FPropertyForm != nullptr) {
    FPropertyForm->ShapeColor->Brush()->SetColor(FShapeColor);
    FPropertyForm->HelperColor->Brush()->SetColor(FHelperColor);
    FPropertyForm->SoundsOn->SetChecked(FSoundsOn);
    FPropertyForm->MessageSoundsOn->SetChecked(FMessageSoundsOn);
  }
  FApplyingOptions = false;
  if (FDocument != nullptr) {
    TCoolBrowser* surface = FDocument->Surface();
    surface->Shape->Pen()->SetColor(FShapeColor);
    for (TShape* guide : {surface->LeftShape, surface->RightShape, surface->TopShape, surface->BottomShape})
      guide->Brush()->SetColor(FHelperColor);
  }
  if (FQuestionBox != nullptr) FQuestionBox->SetSoundsOn(FMessageSoundsOn);
}

void TMainForm::ReadOptions() {
  if (FPropertyForm == nullptr) return;
  FShapeColor = FPropertyForm->ShapeColor->Brush()->Color();
  FHelperColor = FPropertyForm->HelperColor->Brush()->Color();
  FSoundsOn = FPropertyForm->SoundsOn->Checked();
  FMessageSoundsOn = FPropertyForm->MessageSoundsOn->Checked();
  if (FQuestionBox != nullptr) FQuestionBox->SetSoundsOn(FMessageSoundsOn);
}

void TMainForm::OptionsChanged(TObject*) {
  if (!FApplyingOptions) ReadOptions();
}
