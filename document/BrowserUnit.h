// The design surface: the borderless skinned window on which the designer shows the browser being
// composed, at its real size and outline. It carries every element control, a selection frame that
// resizes the selected control by its edges, four guides for the inner (stretchable) rectangle of the
// skin, and a pop-up menu that raises or lowers an element. Pressing the window's face moves it.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/rtl/Types.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Menus.h"
#include "skin/UVexForm.h"

using TControlEvent = std::function<void(TControl* Control)>;

// The frame's grip under a point (X, Y) of a frame of Width x Height, as the resize states number it:
// 0 none, 1 right, 2 left, 3 top, 4 bottom, 5 top-right, 6 top-left, 7 bottom-right, 8 bottom-left.
// Grips are 4 pixels wide; the left side wins over the right and the bottom over the top on a frame too
// small for both. Shaped buttons have no grips; only the web-view panel has top and bottom grips.
[[nodiscard]] uint8_t FrameGripState(int X, int Y, int Width, int Height, bool IsShapedButton,
                                     bool IsWebPanel);
// The cursor that shows a resize state.
[[nodiscard]] TCursor ResizeStateCursor(uint8_t State);
// Moves or sizes a control on the surface. A graphic control (the frame, a guide, a label, an image)
// is drawn by the surface, which repaints only the control's new area when it moves; the old area is
// repainted here as well, so no copy of the control stays on the screen where it was.
void SetSurfaceBounds(TControl* Control, int Left, int Top, int Width, int Height);

class TCoolBrowser : public TVexForm {
 public:
  explicit TCoolBrowser(TComponent* AOwner);
  ~TCoolBrowser() override;

  // Components of the form resource.
  TShape* Shape = nullptr;      // the selection frame
  TShape* LeftShape = nullptr;  // the guides of the inner rectangle
  TShape* RightShape = nullptr;
  TShape* TopShape = nullptr;
  TShape* BottomShape = nullptr;
  TPanel* WebSpace = nullptr;  // the web-view rectangle
  TPopupMenu* FrontBackMenu = nullptr;
  TMenuItem* Bringtofront1 = nullptr;
  TMenuItem* Sendtoback1 = nullptr;

  [[nodiscard]] int GrabX() const { return FGrabX; }
  [[nodiscard]] int GrabY() const { return FGrabY; }
  // The drag offset inside an element control, set by the document at a left-button press.
  void SetGrab(int X, int Y) {
    FGrabX = X;
    FGrabY = Y;
  }
  [[nodiscard]] int ResizeGrabX() const { return FResizeGrabX; }
  [[nodiscard]] int ResizeGrabY() const { return FResizeGrabY; }
  [[nodiscard]] TControl* SelectedControl() const { return FSelectedControl; }
  [[nodiscard]] uint8_t ResizeState() const { return FResizeState; }
  void SetResizeState(uint8_t Value) { FResizeState = Value; }
  [[nodiscard]] TControl* PopupTarget() const { return FPopupTarget; }
  void SetPopupTarget(TControl* Value);
  [[nodiscard]] TShape* DraggedGuide() const { return FDraggedGuide; }

  // The inner rectangle in skin pixels ((0, 0, 0, 0) on a new surface).
  [[nodiscard]] int ILeft() const { return FInner.Left; }
  [[nodiscard]] int ITop() const { return FInner.Top; }
  [[nodiscard]] int IRight() const { return FInner.Right; }
  [[nodiscard]] int IBottom() const { return FInner.Bottom; }
  [[nodiscard]] TRect InnerRect() const { return FInner; }
  // Stores the rectangle clamped into the skin and moves the guides to it; an unchanged rectangle
  // does nothing.
  void SetInnerRect(const TRect& Value);

  // The start size of the built browser window, held for the project.
  [[nodiscard]] int StartWidth() const { return FStartWidth; }
  void SetStartWidth(int Value) { FStartWidth = Value; }
  [[nodiscard]] int StartHeight() const { return FStartHeight; }
  void SetStartHeight(int Value) { FStartHeight = Value; }

  void SetOnSelect(TControlEvent Value) { OnSelect = std::move(Value); }
  void SetOnMoved(TControlEvent Value) { OnMoved = std::move(Value); }

  // Puts the frame 3 pixels around Control and shows it.
  void ShowSelection(TControl* Control);
  // Where the frame around Control goes: 3 pixels around it, at least the frame's minimum size.
  [[nodiscard]] TRect SelectionFrameRect(const TControl* Control) const;
  // The element control of width or height 0 whose frame would take in the surface point (X, Y): the
  // mouse cannot hit such a control, so it is gripped there. Only controls stacked above Pressed (the
  // control that the press reached; nullptr for the surface's face) count, the topmost first.
  [[nodiscard]] TControl* ZeroSizedControlAt(int X, int Y, const TControl* Pressed) const;
  void HideSelection();
  // Moves a control that lies wholly off the surface along an axis back onto it (wholly where it fits),
  // so that the mouse reaches it again; true when it moved it.
  bool KeepInReach(TControl* Control);
  // Selects Control (frame around it) and reports it through OnSelect.
  void SelectControl(TControl* Control);

  // Releases the mouse and lets the window system move the window while the left button is held.
  void StartMoveItemLayer(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y,
                          TCustomLayer* Layer);

  // Event handlers of the form resource.
  void FormClick(TObject* Sender);
  void FormShow(TObject* Sender);
  // Drags the selected control (the OnMouseMove of every element control and of the web-view panel).
  void ControlMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void ShapeMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ShapeMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void ShapeMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void InnerDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void InnerMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void InnerUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Bringtofront1Click(TObject* Sender);
  void Sendtoback1Click(TObject* Sender);

  TControlEvent OnSelect;
  TControlEvent OnMoved;

 protected:
  void ReadResource() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Keeps the frame around the selected control whenever its bounds change (its anchors when the
  // surface takes a new skin size, its setters, a drag).
  void AlignControls(TControl* AControl, TRect& Rect) override;
  // The surface has no close of its own: the window system's close closes the window that owns the
  // surface's document (the designer's main window, which asks its question first) and otherwise
  // leaves the surface shown.
  void WMSysCommand(TMessage& Message) override;

 private:
  [[nodiscard]] bool SelectedIsShapedButton() const;
  [[nodiscard]] TShape* MakeGuide(const char* Name, int Left, int Top, int Width, int Height, TCursor Cursor,
                                  TAnchors Anchors);
  void ApplyFrameChange(int X, int Y);
  // Whether a point (client coordinates) lies on the surface: a drag follows the mouse only there.
  [[nodiscard]] bool OnSurface(int X, int Y) const;

  int FGrabX = 0;
  int FGrabY = 0;
  int FResizeGrabX = 0;
  int FResizeGrabY = 0;
  TControl* FSelectedControl = nullptr;
  uint8_t FResizeState = 0;
  TControl* FPopupTarget = nullptr;
  TRect FInner{0, 0, 0, 0};
  int FStartHeight = 0;
  int FStartWidth = 0;
  TShape* FDraggedGuide = nullptr;
};
