// The skin button and the label of a running browser, as the configuration reader creates them.
#pragma once

#include <string>

#include "platform/ui/StdCtrls.h"
#include "skin/WavePlay.h"
#include "skin/organicShapeButton.h"

// The name that marks a sound entry as silent.
inline constexpr const char* NoSoundName = "<NoSound>";
// True when a player with WaveName would play something: neither "<NoSound>" nor empty.
[[nodiscard]] bool IsAudibleSound(const std::string& WaveName);

// A shaped button with a press action. Its four pictures are references into the window's picture
// list; SetEnabled hands the normal ones (or the Disabled picture three times) to the shaped button,
// which copies them. The control itself always stays enabled so that it keeps hearing the mouse; only
// its action and its click sound follow the enabled state.
class TVXOButton final : public TOrganicShapeButton {
 public:
  explicit TVXOButton(TComponent* AOwner);

  // Action and sound on (with the Mask, Touched and Pressed pictures) or off (the Disabled picture in
  // all three places); repaints at once.
  void SetEnabled(bool Value) override;
  [[nodiscard]] bool ActionEnabled() const { return FActionEnabled; }
  // Plays the click sound unless it is "<NoSound>" or empty.
  void PlaySound();

  [[nodiscard]] TBitmap* MaskBitmap() const { return FMaskBitmap; }
  void SetMaskBitmap(TBitmap* Value) { FMaskBitmap = Value; }
  [[nodiscard]] TBitmap* TouchedBitmap() const { return FTouchedBitmap; }
  void SetTouchedBitmap(TBitmap* Value) { FTouchedBitmap = Value; }
  [[nodiscard]] TBitmap* PressedBitmap() const { return FPressedBitmap; }
  void SetPressedBitmap(TBitmap* Value) { FPressedBitmap = Value; }
  [[nodiscard]] TBitmap* DisabledBitmap() const { return FDisabledBitmap; }
  void SetDisabledBitmap(TBitmap* Value) { FDisabledBitmap = Value; }
  [[nodiscard]] const std::string& Pressaction() const { return FPressaction; }
  void SetPressaction(const std::string& Value) { FPressaction = Value; }
  [[nodiscard]] const std::string& Navigationtarget() const { return FNavigationtarget; }
  void SetNavigationtarget(const std::string& Value) { FNavigationtarget = Value; }
  [[nodiscard]] const std::string& Sound() const { return FSound; }
  // Stores the name and gives it to the player.
  void SetSound(const std::string& Value);
  [[nodiscard]] TPlayerWave* Player() const { return FPlayer; }

 protected:
  // Only with the action enabled: the click (OnClick), then the click sound.
  void Click() override;

 private:
  bool FActionEnabled = false;
  std::string FNavigationtarget;
  TBitmap* FMaskBitmap = nullptr;
  TBitmap* FDisabledBitmap = nullptr;
  TBitmap* FTouchedBitmap = nullptr;
  TBitmap* FPressedBitmap = nullptr;
  std::string FPressaction;
  std::string FSound;
  TPlayerWave* FPlayer = nullptr;  // owned through the component tree
};

// A label that shows its own text ("Custom Text") or the title of the loaded page ("Page Title").
// Its caption is plain text: an "&" is shown, never taken as an accelerator mark.
class TVXOLabel final : public TLabel {
 public:
  explicit TVXOLabel(TComponent* AOwner);

  [[nodiscard]] const std::string& Style() const { return FStyle; }
  // Stores the style only; the caption is not touched.
  void SetStyle(const std::string& Value) { FStyle = Value; }
  // The label's own text (named apart from the control's Text, which is its caption).
  [[nodiscard]] const std::string& CustomText() const { return FText; }
  // Stores the text; a "Custom Text" label shows it.
  void SetCustomText(const std::string& Value);

 private:
  std::string FStyle;
  std::string FText;
};
