// The shaped push button of the whole system, the web-view host of the skinned windows and the panel
// that never erases its background.
#pragma once

#include <memory>
#include <string>

#include "platform/media/WebBrowser.h"
#include "platform/ui/ExtCtrls.h"
#include "skin/organicShapeControl.h"

// Paints Mask normally, OverBmp while the mouse is over it and PressedBmp while the left button is held
// on it, and writes its caption over the picture.
class TOrganicShapeButton : public TOrganicShapeControl {
 public:
  explicit TOrganicShapeButton(TComponent* AOwner);
  ~TOrganicShapeButton() override;

  [[nodiscard]] TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  [[nodiscard]] bool MouseInside() const { return FMouseInside; }
  [[nodiscard]] TBitmap* PressedBmp() const { return FPressedBmp.get(); }
  // Copies Value (null: an empty picture) without repainting.
  void SetPressedBmp(TBitmap* Value);
  [[nodiscard]] TBitmap* OverBmp() const { return FOverBmp.get(); }
  void SetOverBmp(TBitmap* Value);

  // The inherited copy and region, then the button takes the mask's size.
  void SetMask(TBitmap* Value) override;
  // Also writes "pressedBmp_", "overBmp_" and "mask_" + Name + ".bmp" into Folder.
  void SaveToFolder(const std::string& Folder) override;
  // Loads the three pictures, then the placement.
  void LoadFromFolder(const std::string& Folder) override;

  // The picture that Paint shows now: PressedBmp while pressed, OverBmp under the mouse, else Mask. A
  // pressed or hover picture that is empty or smaller than the button is passed over for Mask.
  [[nodiscard]] TBitmap* CurrentPicture() const;

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void CMMouseEnter(TMessage& Message) override;
  void CMMouseLeave(TMessage& Message) override;
  void CMTextChanged(TMessage& Message) override;
  void WMEraseBkgnd(TMessage& Message) override;

 private:
  [[nodiscard]] bool Covers(const TBitmap* Picture) const;

  TAlignment FAlignment = taCenter;
  bool FMouseInside = false;
  std::unique_ptr<TBitmap> FPressedBmp;
  std::unique_ptr<TBitmap> FOverBmp;
};

// A panel that never erases its background (the area under a web view does not flash).
class TFPanel : public TPanel {
 public:
  explicit TFPanel(TComponent* AOwner) : TPanel(AOwner) {}

 protected:
  void WMEraseBkgnd(TMessage& Message) override { Message.Result = 1; }
};

// The web view of the skinned windows: the web-browser control, double buffered and without border
// (the platform's view draws none, so there is no border decoration to switch off), with four
// placement integers that the form resources write and nothing else reads.
class TVXOWebBrowser : public TWebBrowser {
 public:
  explicit TVXOWebBrowser(TComponent* AOwner);

  int FixTop = 0;
  int FixLeft = 0;
  int FixWidth = 0;
  int FixHeight = 0;
};
