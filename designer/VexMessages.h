// The designer's question box: a skinned, borderless modal window with the three answers Yes, No and
// Cancel. The question itself is drawn in the box's skin picture.
#pragma once

#include <cstdint>
#include <string>

#include "skin/UVexForm.h"
#include "skin/WavePlay.h"
#include "skin/organicShapeButton.h"

// Answers of Ask.
inline constexpr uint8_t vmYes = 0;
inline constexpr uint8_t vmNo = 1;
inline constexpr uint8_t vmCancel = 2;

class TVexMessage : public TVexForm {
 public:
  explicit TVexMessage(TComponent* AOwner);

  TOrganicShapeButton* YesBut = nullptr;
  TOrganicShapeButton* NoBut = nullptr;
  TOrganicShapeButton* CancelBut = nullptr;
  TPlayerWave* MessageSound = nullptr;
  TPlayerWave* YesSound = nullptr;
  TPlayerWave* NoSound = nullptr;
  TPlayerWave* CancelSound = nullptr;

  // Centres the box on (X, Y) in screen pixels and asks; Text is accepted and not shown (the question
  // is part of the skin). The answer is Cancel when the box is closed without one of its buttons.
  uint8_t Ask(int X, int Y, const std::string& Text);
  void SetSoundsOn(bool Value) { FSoundsEnabled = Value; }
  [[nodiscard]] bool SoundsEnabled() const { return FSoundsEnabled; }
  void SetAppDir(const std::string& Value) { FAppDir = Value; }
  [[nodiscard]] const std::string& AppDir() const { return FAppDir; }
  [[nodiscard]] uint8_t Answer() const { return FAnswer; }

  void FormCreate(TObject* Sender);
  void YesButClick(TObject* Sender);
  void NoButClick(TObject* Sender);
  void CancelButClick(TObject* Sender);

 protected:
  void ReadResource() override;

 private:
  TOrganicShapeButton* MakeButton(const char* Name, const char* Picture, int Left, const char* Hint);
  void Answered(TPlayerWave* Sound, uint8_t Value);

  std::string FAppDir;
  uint8_t FAnswer = vmYes;
  bool FSoundsEnabled = false;
};

// Gives a shaped button its normal, hover and pressed pictures "Images/Buttons/<Picture>.BMP",
// "<Picture>Over.BMP" and "<Picture>Press.BMP" below the application folder; a missing file raises the
// loader's error.
void LoadButtonPictures(TOrganicShapeButton* Button, const std::string& Picture);
