// The runtime browser window: one borderless skinned form that reads a project text and becomes a
// working browser (web view, address field or list, skin buttons with press actions, labels, start and
// exit sounds), follows the web view's events and moves and sizes itself by its face and its buttons.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/MediaLists.h"
#include "platform/media/WebBrowser.h"
#include "platform/ui/AppEvnts.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/StdCtrls.h"
#include "runtime/VXOControls.h"
#include "skin/UVexForm.h"
#include "skin/WavePlay.h"
#include "skin/organicShapeButton.h"

// The filter of the "Open" action's dialog.
inline constexpr const char* OpenDialogFilter =
    "HTML-files|*.htm; *.html|Text-files|*.txt|JPEG-files|*.jpg; *.jpeg|GIF-files|*.gif|PNG-files|*.PNG|"
    "All files|*.htm; *.html; *.txt; *.jpg; *.jpeg; *.gif; *.PNG";

// The registry key and value of the user's Favorites folder.
inline constexpr const char* ShellFoldersKey =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr const char* FavoritesValue = "Favorites";

// An address or navigation target with the "#" rule applied: a leading "#" stands for ExeFolder (with
// its trailing separator); any other text is returned unchanged.
[[nodiscard]] std::string ExpandExeRelative(const std::string& Address, const std::string& ExeFolder);

// What "Exec Program" starts for a target: the program's folder (empty: the current directory) and the
// command line run there. Quotes group words. A target with a folder part names exactly that folder's
// file ("./" and its name: missing, it starts nothing); only a bare name is looked up by the usual search.
struct TExecCommand {
  std::string WorkingDir;
  std::string CommandLine;
  friend bool operator==(const TExecCommand&, const TExecCommand&) = default;
};
[[nodiscard]] TExecCommand ExecCommandOf(const std::string& Target);

// The Enter-key translation of the application's message filter. A first press of the main keyboard's
// Enter becomes Ctrl and M presses, its release their releases, and the "m" character that follows
// becomes the character 13. Posted lists the messages to post to the window of Msg (at most two).
struct TKeyTranslation {
  bool Handled = false;
  int PostedCount = 0;
  TMsg Posted[2];
};
[[nodiscard]] TKeyTranslation TranslateEnterKey(const TMsg& Msg, bool& EnterPending);

// The largest window the runtime takes, whatever a project asks for (sizes, positions of the inner
// rectangle, the skin) or the user drags it to: at most MaxWindowSide pixels a side and MaxWindowPixels in
// all, as much as the largest picture. A browser window of that size keeps the program within a
// gigabyte above its resting memory.
inline constexpr int MaxWindowSide = 8192;
inline constexpr int64_t MaxWindowPixels = MaxPicturePixels;

// Wanted within the bounds of a window and not below Minimum (itself taken within them first). A size of
// too many pixels shrinks in proportion, as far as the minimum lets it.
[[nodiscard]] TSize BoundedWindowSize(TSize Wanted, TSize Minimum);

// A control as a window lays it out: its bounds there and the window edges it keeps its distances to.
struct TPlacedControl {
  TRect Bounds;
  TAnchors Anchors;
};

// The least size of a window laid out at Laid that still holds each of Placed while the anchors move it
// as the window shrinks: a control held by its left (top) edge needs room for its right (bottom) edge, one
// held by its right (bottom) edge room for its distance to that edge, and one held by both, which
// stretches, room for its left (top) edge. Nor does a control that moves with the right (bottom) edge come
// onto one that stays, where the two can meet.
[[nodiscard]] TSize HoldingSize(const std::vector<TPlacedControl>& Placed, TSize Laid);

class TVXBuilder final : public TVexForm {
 public:
  explicit TVXBuilder(TComponent* AOwner);
  ~TVXBuilder() override;

  // Components of the form resource.
  TPlayerWave* StartSound = nullptr;
  TPlayerWave* EndSound = nullptr;
  TEdit* AddressEdit = nullptr;
  TComboBox* AddressCombo = nullptr;
  TApplicationEvents* ApplicationEvents1 = nullptr;
  TOpenDialog* OpenDialog = nullptr;
  TFPanel* WebBase = nullptr;
  TVXOWebBrowser* Web = nullptr;

  // Reads a project text and configures the window. Failures end the reading at the failing line and
  // propagate; what was read up to there stays.
  void ReadConfig(const std::string& FileName);
  [[nodiscard]] const std::string& Startpage() const { return FStartpage; }
  void SetStartpage(const std::string& Value) { FStartpage = Value; }

  [[nodiscard]] TVXBitmaps* Bitmaps() const { return FBitmaps; }
  [[nodiscard]] TZOrderer* Orderer() const { return FOrderer.get(); }
  [[nodiscard]] TRect WebRect() const {
    return Rect(FWebLeft, FWebTop, FWebLeft + FWebWidth, FWebTop + FWebHeight);
  }
  [[nodiscard]] int StartWidth() const { return FStartWidth; }
  [[nodiscard]] int StartHeight() const { return FStartHeight; }
  [[nodiscard]] bool EnterPending() const { return FEnterPending; }

  // Event handlers of the form and of its components.
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormResize(TObject* Sender);
  void WebNavigateComplete2(TObject* Sender, TObject* pDisp, const std::string& URL);
  void WebCommandStateChange(TObject* Sender, int Command, bool Enable);
  void WebTitleChange(TObject* Sender, const std::string& Text);
  void WebFullScreen(TObject* Sender, bool FullScreen);
  void AddressEditKeyPress(TObject* Sender, char& Key);
  void AddressComboChange(TObject* Sender);
  void AddressEditClick(TObject* Sender);
  void AddressComboClick(TObject* Sender);
  void ApplicationEvents1Message(TMsg& Msg, bool& Handled);
  void StartMoveItemLayer(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y,
                          TCustomLayer* Layer);
  void MoveForm(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ResizeAll(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  // Press actions.
  void GoBackClick(TObject* Sender);
  void GoForwardClick(TObject* Sender);
  void ExitClick(TObject* Sender);
  void RefreshClick(TObject* Sender);
  void NavigateClick(TObject* Sender);
  void NavigateSilentClick(TObject* Sender);
  void NavigateTargetClick(TObject* Sender);
  void MinimizeClick(TObject* Sender);
  void MaximizeClick(TObject* Sender);
  void RestoreClick(TObject* Sender);
  void StopClick(TObject* Sender);
  void ExecProgramClick(TObject* Sender);
  void PrintClick(TObject* Sender);
  void FavoritesClick(TObject* Sender);
  void OpenClick(TObject* Sender);
  void SaveAsClick(TObject* Sender);

  // Binds a button's press action (its Pressaction) to its handler and sets its start state.
  void BindPressAction(TVXOButton* Button);

 protected:
  void ReadResource() override;
  // Keeps every size of the window within the bounds of a window (BoundedWindowSize).
  bool CanResize(int& NewWidth, int& NewHeight) override;
  // Clears the references to components that go away (the form's own, while it is destroyed).
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Copies the back buffer to the window (rendering it first when it is not current).
  void PaintWindow(HDC DC) override;

 private:
  struct TReader;
  void NavigateTo(const std::string& Address);
  void DragWindow(TMouseButton Button, WPARAM Command);
  // True when URL (lowered) contains the target of a "Navigate silent" button.
  [[nodiscard]] bool IsSilentAddress(const std::string& URL) const;

  TVXBitmaps* FBitmaps = nullptr;  // owned through the component tree
  int FWebTop = 0;
  int FWebLeft = 0;
  int FWebWidth = 0;
  int FWebHeight = 0;
  std::string FStartpage;
  std::unique_ptr<TZOrderer> FOrderer;
  bool FEnterPending = false;
  int FStartHeight = 0;
  int FStartWidth = 0;
};
