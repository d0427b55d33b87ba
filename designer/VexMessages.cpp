#include "designer/VexMessages.h"

#include "platform/rtl/FileUtils.h"
#include "platform/ui/Forms.h"

void LoadButtonPictures(TOrganicShapeButton* Button, const std::string& Picture) {
  const std::string base = GetCurrentDir() + "/Images/Buttons/" + Picture;
  TBitmap normal, over, pressed;
  normal.LoadFromFile(base + ".BMP");
  over.LoadFromFile(base + "Over.BMP");
  pressed.LoadFromFile(base + "Press.BMP");
  Button->SetMask(&normal);
  Button->SetOverBmp(&over);
  Button->SetPressedBmp(&pressed);
}

TVexMessage::TVexMessage(TComponent* AOwner) : TVexForm(AOwner) {
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
}

TOrganicShapeButton* TVexMessage::MakeButton(const char* Name, const char* Picture, int Left,
                                             const char* Hint) {
  auto* button = new TOrganicShapeButton(this);
  button->SetName(Name);
  button->SetParent(this);
  button->SetBounds(Left, 123, 23, 21);
  button->SetHint(Hint);
  button->SetShowHint(true);
  button->InvisibleColor = clWhite;
  // The pictures of the form resource come with the application folder.
  LoadButtonPictures(button, Picture);
  return button;
}

void TVexMessage::ReadResource() {
  TVexForm::ReadResource();
  SetName("VexMessage");
  SetCaption("VexMessage");
  Font()->SetName("MS Sans Serif");
  YesBut = MakeButton("YesBut", "Yes", 60, "Yes");
  YesBut->OnClick = [this](TObject* Sender) { YesButClick(Sender); };
  NoBut = MakeButton("NoBut", "No", 84, "No");
  NoBut->OnClick = [this](TObject* Sender) { NoButClick(Sender); };
  CancelBut = MakeButton("CancelBut", "Cancel", 108, "Cancel");
  CancelBut->OnClick = [this](TObject* Sender) { CancelButClick(Sender); };

  auto sound = [this](const char* Name, const char* Wave, bool Async) {
    auto* player = new TPlayerWave(this);
    player->SetName(Name);
    player->SetWaveName(Wave);
    player->SetLoop(false);
    player->SetAsync(Async);
    return player;
  };
  MessageSound = sound("MessageSound", "Sounds\\NewBoing.wav", true);
  YesSound = sound("YesSound", "Sounds\\NewButton.wav", false);
  NoSound = sound("NoSound", "Sounds\\NewButton.wav", false);
  CancelSound = sound("CancelSound", "Sounds\\NewButton.wav", false);
}

void TVexMessage::FormCreate(TObject*) {
  FAppDir = GetCurrentDir();
  Skin()->SetFileName(FAppDir + "/Images/Decisiondesign.BMP");
  Skin()->SetMode(3);
  SetAlphaThreshold(100);
  SetRegionMode(4);
  TBitmap32* skin = Skin()->GetBitmap();
  SetBounds(Left(), Top(), skin->Width(), skin->Height());
}

uint8_t TVexMessage::Ask(int X, int Y, const std::string&) {
  SetTop(Y - Height() / 2);
  SetLeft(X - Width() / 2);
  // A box closed without one of its buttons answers Cancel, never the answer of an earlier question.
  FAnswer = vmCancel;
  if (FSoundsEnabled) MessageSound->Play();
  ShowModal();
  return FAnswer;
}

void TVexMessage::Answered(TPlayerWave* Sound, uint8_t Value) {
  if (FSoundsEnabled) Sound->Play();
  FAnswer = Value;
  SetModalResult(mrOk);
}

void TVexMessage::YesButClick(TObject*) {
  Answered(YesSound, vmYes);
}
void TVexMessage::NoButClick(TObject*) {
  Answered(NoSound, vmNo);
}
void TVexMessage::CancelButClick(TObject*) {
  Answered(CancelSound, vmCancel);
}
