#include "runtime/VXOControls.h"

bool IsAudibleSound(const std::string& WaveName) {
  return !WaveName.empty() && WaveName != NoSoundName;
}

// ---- TVXOButton ------------------------------------------------------------------------------------------

TVXOButton::TVXOButton(TComponent* AOwner) : TOrganicShapeButton(AOwner) {
  FPlayer = new TPlayerWave(this);
  FPlayer->SetAsync(true);
  SetDoubleBuffered(true);
}

void TVXOButton::SetEnabled(bool Value) {
  TOrganicShapeButton::SetEnabled(true);
  FActionEnabled = Value;
  if (Value) {
    SetMask(FMaskBitmap);
    SetOverBmp(FTouchedBitmap);
    SetPressedBmp(FPressedBitmap);
  } else {
    SetMask(FDisabledBitmap);
    SetOverBmp(FDisabledBitmap);
    SetPressedBmp(FDisabledBitmap);
  }
  Repaint();
}

void TVXOButton::SetSound(const std::string& Value) {
  FSound = Value;
  FPlayer->SetWaveName(Value);
}

void TVXOButton::PlaySound() {
  if (IsAudibleSound(FPlayer->WaveName())) FPlayer->Play();
}

void TVXOButton::Click() {
  if (!FActionEnabled) return;
  TOrganicShapeButton::Click();
  PlaySound();
}

// ---- TVXOLabel -------------------------------------------------------------------------------------------

TVXOLabel::TVXOLabel(TComponent* AOwner) : TLabel(AOwner) {
  SetShowAccelChar(false);
}

void TVXOLabel::SetCustomText(const std::string& Value) {
  FText = Value;
  if (FStyle == "Custom Text") SetCaption(Value);
}
