// A custom control whose window is cut to the pixels of its Mask bitmap that differ from InvisibleColor:
// key-coloured pixels fall outside the window, so clicks and painting pass through them.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/Controls.h"
#include "skin/organicSkin.h"

class TOrganicShapeControl : public TCustomControl {
 public:
  explicit TOrganicShapeControl(TComponent* AOwner);
  ~TOrganicShapeControl() override;

  // The key colour; changing it alone changes nothing until MaskChanged runs.
  TColor InvisibleColor = 0xFFFFFF;

  [[nodiscard]] TBitmap* Mask() const { return FMask.get(); }
  // Copies Value into Mask, whose change then rebuilds the window region.
  virtual void SetMask(TBitmap* Value);
  // Stores Left, Top, Width and Height in "coord.ini" below the program's folder.
  virtual void SaveToFolder(const std::string& Folder);
  // Restores them from there (each keeps its value when the file has none).
  virtual void LoadFromFolder(const std::string& Folder);
  // Rebuilds the window region from Mask and InvisibleColor.
  void MaskChanged(TObject* Sender = nullptr);

  [[nodiscard]] TOrganicSkin* Skin() const { return FSkin.get(); }

 protected:
  void CreateWnd() override;

 private:
  std::unique_ptr<TOrganicSkin> FSkin;
  std::unique_ptr<TBitmap> FMask;
};

// The ini file of a shaped control's placement: the program's folder, Folder and "\coord.ini".
[[nodiscard]] std::string CoordIniPath(const std::string& Folder);
