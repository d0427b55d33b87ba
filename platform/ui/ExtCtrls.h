// Panels, images, shapes and timers.
#pragma once

#include <memory>

#include "platform/ui/Controls.h"

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

// A container that paints a bevelled face with its caption centred.
class TCustomPanel : public TCustomControl {
 public:
  explicit TCustomPanel(TComponent* AOwner);
  [[nodiscard]] TBevelCut BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut Value);
  [[nodiscard]] TBevelCut BevelInner() const { return FBevelInner; }
  void SetBevelInner(TBevelCut Value);
  [[nodiscard]] int BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(int Value);
  [[nodiscard]] TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  [[nodiscard]] bool FullRepaint() const { return FFullRepaint; }
  void SetFullRepaint(bool Value) { FFullRepaint = Value; }
  [[nodiscard]] TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);

 protected:
  void Paint() override;

 private:
  TBevelCut FBevelOuter = bvRaised;
  TBevelCut FBevelInner = bvNone;
  int FBevelWidth = 1;
  TAlignment FAlignment = taCenter;
  bool FFullRepaint = true;
  TBorderStyle FBorderStyle = bsNone;
};

class TPanel : public TCustomPanel {
 public:
  explicit TPanel(TComponent* AOwner) : TCustomPanel(AOwner) {}
};

// Shows a picture: stretched, centred or at the top-left corner; with AutoSize it takes the picture's size.
class TImage : public TGraphicControl {
 public:
  explicit TImage(TComponent* AOwner);
  ~TImage() override;
  [[nodiscard]] TPicture* Picture() const { return FPicture.get(); }
  void SetPicture(TPicture* Value) { FPicture->Assign(Value); }
  [[nodiscard]] bool Stretch() const { return FStretch; }
  void SetStretch(bool Value);
  [[nodiscard]] bool Center() const { return FCenter; }
  void SetCenter(bool Value);
  [[nodiscard]] bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  [[nodiscard]] bool Proportional() const { return FProportional; }
  void SetProportional(bool Value);
  // Where the picture is drawn in the client area.
  [[nodiscard]] TRect DestRect() const;

 protected:
  void Paint() override;
  bool CanAutoSize(int& NewWidth, int& NewHeight) override;

 private:
  void PictureChanged(TObject* Sender);
  std::unique_ptr<TPicture> FPicture;
  bool FStretch = false;
  bool FCenter = false;
  bool FTransparent = false;
  bool FProportional = false;
};

enum TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };

class TShape : public TGraphicControl {
 public:
  explicit TShape(TComponent* AOwner);
  ~TShape() override;
  [[nodiscard]] TShapeType Shape() const { return FShape; }
  void SetShape(TShapeType Value);
  [[nodiscard]] TPen* Pen() const { return FPen.get(); }
  void SetPen(TPen* Value) { FPen->Assign(Value); }
  [[nodiscard]] TBrush* Brush() const { return FBrush.get(); }
  void SetBrush(TBrush* Value) { FBrush->Assign(Value); }
  // A rectangle with a clear brush paints only its pen's ring.
  [[nodiscard]] HRGN CreateOutlineRegion() const override;

 protected:
  void Paint() override;

 private:
  TShapeType FShape = stRectangle;
  std::unique_ptr<TPen> FPen;
  std::unique_ptr<TBrush> FBrush;
};

struct TTimerImpl;

// Fires OnTimer (when assigned) every Interval milliseconds while Enabled; an exception in OnTimer goes
// to the application's report.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;
  [[nodiscard]] bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  [[nodiscard]] Cardinal Interval() const { return FInterval; }
  void SetInterval(Cardinal Value);
  void Loaded() override;
  TNotifyEvent OnTimer;

 protected:
  virtual void Timer();

 private:
  void UpdateTimer();
  std::unique_ptr<TTimerImpl> FImpl;
  bool FEnabled = true;
  Cardinal FInterval = 1000;
};
