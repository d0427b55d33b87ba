// A bitmap that keeps the window region of its own pixels: every pixel whose colour differs from
// KeyColor is inside.
#pragma once

#include "platform/gdi/Graphics.h"
#include "platform/gdi/Windows.h"

class TOrganicSkin : public TBitmap {
 public:
  TOrganicSkin();
  ~TOrganicSkin() override;

  // Rebuilds Region from the pixels and replaces BackupRegion by a copy of it.
  void BuildRegion();
  // A new copy of the region, owned by the caller (who hands it to SetWindowRgn).
  [[nodiscard]] HRGN TakeRegion() const;
  // The bitmap's change notification: rebuilds the region (unless an assignment from another skin
  // already brought it), then the inherited notification.
  void Changed(TObject* Sender) override;
  // From another skin the region and key colour come along and the pixel copy does not rescan.
  void Assign(TPersistent* Source) override;

  [[nodiscard]] HRGN Region() const { return FRegion; }
  [[nodiscard]] HRGN BackupRegion() const { return FBackupRegion; }
  [[nodiscard]] bool RescanOnChange() const { return FRescanOnChange; }
  void SetRescanOnChange(bool Value) { FRescanOnChange = Value; }
  [[nodiscard]] TColor KeyColor() const { return FKeyColor; }
  void SetKeyColor(TColor Value) { FKeyColor = Value; }

 protected:
  std::string ClassName() const override { return "TOrganicSkin"; }

 private:
  HRGN FBackupRegion = nullptr;
  HRGN FRegion = nullptr;
  bool FRescanOnChange = true;
  TColor FKeyColor = 0xFFFFFF;
};

// A copy of Region (null for null), owned by the caller.
[[nodiscard]] HRGN CopyRegion(HRGN Region);
