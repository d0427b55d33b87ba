// The browser composition being edited in the designer: the document TVXBrowser with its design
// surface, media lists and elements, the element wrappers, and the project's save, load and build.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "document/BrowserUnit.h"
#include "document/MediaLists.h"
#include "document/ProjectText.h"
#include "platform/ui/StdCtrls.h"
#include "skin/organicShapeButton.h"

class TVXBrowser;

// Raised by a build that cannot produce a folder the runtime reads, or whose copies failed.
class EVXBuildError : public Exception {
 public:
  using Exception::Exception;
};

// What the element wrappers share: the document that owns them and the one control each shows on the
// design surface. The control is owned by the surface; the wrapper frees it only while it still exists.
class TVXElement : public TComponent {
 public:
  ~TVXElement() override;

  [[nodiscard]] TVXBrowser* Document() const { return FDocument; }
  // The wrapped control, null once it was destroyed with the surface.
  [[nodiscard]] TControl* ElementControl() const { return FControl; }

 protected:
  explicit TVXElement(TVXBrowser* ADocument);
  // Parents Control on the surface and routes its mouse to the document and the surface.
  void Adopt(TControl* Control);
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // The listed bitmap of Path, null for the empty path (no picture); the bitmap list's index error when
  // Path is not listed.
  [[nodiscard]] TBitmap* ListedBitmap(const std::string& Path) const;

 private:
  TVXBrowser* FDocument;
  TControl* FControl = nullptr;
};

class TVXButton : public TVXElement {
 public:
  explicit TVXButton(TVXBrowser* ADocument);

  [[nodiscard]] TOrganicShapeButton* Control() const;
  [[nodiscard]] int GetTop() const;
  [[nodiscard]] int GetLeft() const;
  void SetTop(int Value);
  void SetLeft(int Value);
  [[nodiscard]] TColor GetInvisibleColor() const;
  // The key colour of the mask; the outline is rebuilt and the button repainted.
  void SetInvisibleColor(TColor Value);
  // Mask, Touched and Pressed look the path up in the document's bitmap list first and store it only
  // when it is listed; an unlisted path raises the list's index error and changes nothing. The empty
  // path is no picture: the control shows none. Disabled is only stored (the surface never shows it).
  void SetMask(const std::string& Path);
  void SetTouched(const std::string& Path);
  void SetPressed(const std::string& Path);
  void SetDisabled(const std::string& Path);
  void SetPressaction(const std::string& Value) { Pressaction = Value; }
  void SetNavigationtarget(const std::string& Value) { Navigationtarget = Value; }
  void SetSound(const std::string& Value) { Sound = Value; }
  void SetHint(const std::string& Value) { Hint = Value; }

  std::string Navigationtarget;
  std::string Pressaction = "Nothing";
  std::string Pressed;
  std::string Mask;
  std::string Touched;
  std::string Disabled;
  std::string Sound = ProjectText::NoSound;
  std::string Hint;
  std::string Alignment;  // written directly by its users
};

class TVXLabel : public TVXElement {
 public:
  explicit TVXLabel(TVXBrowser* ADocument);

  [[nodiscard]] TLabel* Control() const;
  [[nodiscard]] int GetTop() const;
  [[nodiscard]] int GetLeft() const;
  [[nodiscard]] int GetWidth() const;
  [[nodiscard]] TColor GetColor() const;
  [[nodiscard]] bool GetTransparent() const;
  void SetTop(int Value);
  void SetLeft(int Value);
  void SetWidth(int Value);
  void SetColor(TColor Value);
  void SetTransparent(bool Value);
  // The control's own font (callers change it in place).
  [[nodiscard]] TFont* GetFont() const;
  // Any style but "Custom Text" shows its own name; "Custom Text" keeps the caption until SetText.
  void SetStyle(const std::string& Value);
  // Shown only while the style is "Custom Text".
  void SetText(const std::string& Value);

  std::string Style = "Page Title";
  std::string Text = "Hello";
  std::string Alignment;
  std::string Autosize;
};

class TVXEdit : public TVXElement {
 public:
  explicit TVXEdit(TVXBrowser* ADocument);

  [[nodiscard]] TEdit* Control() const;
  [[nodiscard]] int GetTop() const;
  [[nodiscard]] int GetLeft() const;
  [[nodiscard]] int GetWidth() const;
  [[nodiscard]] TColor GetColor() const;
  void SetTop(int Value);
  void SetLeft(int Value);
  void SetWidth(int Value);
  void SetColor(TColor Value);
  [[nodiscard]] TFont* GetFont() const;
  // The field shows the style's name ("Simple Edit" or "History Combo").
  void SetStyle(const std::string& Value);

  std::string Style = "Simple Edit";
  std::string Alignment;
  std::string Autosize;
};

class TVXImage : public TVXElement {
 public:
  explicit TVXImage(TVXBrowser* ADocument);

  [[nodiscard]] TImage* Control() const;
  void SetTop(int Value);
  void SetLeft(int Value);
  // Looks Path up in the bitmap list first; the control shows a copy at the picture's size.
  void SetPicture(const std::string& Path);

  std::string PictureFile;
};

// The window with its web-view rectangle: it has no control of its own. Its bounds are those of the
// surface's WebSpace panel and its key colour is that of the surface's skin.
class TVXWeb : public TComponent {
 public:
  explicit TVXWeb(TComponent* AOwner);

  TCoolBrowser* Surface = nullptr;

  [[nodiscard]] int GetTop() const;
  [[nodiscard]] int GetLeft() const;
  [[nodiscard]] int GetWidth() const;
  [[nodiscard]] int GetHeight() const;
  void SetTop(int Value);
  void SetLeft(int Value);
  void SetWidth(int Value);
  void SetHeight(int Value);
  [[nodiscard]] TColor GetInvisibleColor() const;
  void SetInvisibleColor(TColor Value);
  // The skin: the surface takes the file's picture and its size.
  void SetBitmap(const std::string& Path);
  void SetPosition(const std::string& Value) { Position = Value; }
  void SetStartpage(const std::string& Value) { Startpage = Value; }
  void SetStartSound(const std::string& Value) { StartSound = Value; }
  void SetExitSound(const std::string& Value) { ExitSound = Value; }

  std::string Bitmap;
  std::string Position = "Screencenter";
  std::string Startpage;
  std::string StartSound = ProjectText::NoSound;
  std::string ExitSound = ProjectText::NoSound;
};

// A build's configuration text and the files it copies (source, destination), in copy order.
struct TVXBuildPlan {
  std::string ConfigFile;
  TVXTextWriter Text{ProjectText::BuildHeader};
  std::vector<std::pair<std::string, std::string>> Copies;
};

using TSelectElementEvent = std::function<void(TComponent* Element)>;
using TPickColorEvent = std::function<void(TObject* Sender, TColor Color)>;

// Insert modes of a left click on the empty surface.
inline constexpr uint8_t imButton = 0;
inline constexpr uint8_t imLabel = 1;
inline constexpr uint8_t imImage = 2;
inline constexpr uint8_t imEdit = 3;
inline constexpr uint8_t imNone = 4;

class TVXBrowser : public TComponent {
 public:
  explicit TVXBrowser(TComponent* AOwner);
  // Frees the surface first (with every element control), then the owned components.
  ~TVXBrowser() override;

  [[nodiscard]] TComponent* Selected() const { return FSelected; }
  [[nodiscard]] TCoolBrowser* Surface() const { return FSurface; }
  [[nodiscard]] TVXBitmaps* Bitmaps() const { return FBitmaps; }
  [[nodiscard]] TVXSounds* Sounds() const { return FSounds; }
  [[nodiscard]] TVXWeb* Web() const { return FWeb; }
  [[nodiscard]] bool Visible() const { return FVisible; }
  [[nodiscard]] uint8_t InsertMode() const { return FInsertMode; }
  [[nodiscard]] bool PickMode() const { return FPickMode; }
  [[nodiscard]] const std::string& AppDir() const { return FAppDir; }

  TVXButton* AddButton(int Top, int Left);
  TVXLabel* AddLabel(int Top, int Left);
  TVXEdit* AddEdit(int Top, int Left);
  // Also enters AppDir + "/Image.bmp" in the bitmap list and shows it; when that picture cannot be
  // loaded the new element is removed again before the error propagates.
  TVXImage* AddImage(int Top, int Left);

  // The element of a surface control: the web element for the WebSpace panel, the owned wrapper of an
  // element control, null for anything else.
  [[nodiscard]] TComponent* FindElement(TControl* Control) const;
  void SelectElement(TComponent* Element);
  void SelectByControl(TControl* Control);
  // Shows the frame around the selected control again; a control placed wholly off the surface comes
  // back onto it first (reported through the change callback).
  void RefreshSelection();
  void DoChange(TObject* Sender);
  [[nodiscard]] int EditCount() const;
  // The owned element wrappers of one kind, in creation order.
  [[nodiscard]] std::vector<TVXButton*> Buttons() const;

  void SetVisible(bool Value);
  void SetAppDir(const std::string& Value) { FAppDir = Value; }
  void SetInsertMode(uint8_t Value) { FInsertMode = Value; }
  void SetPickMode(bool Value) { FPickMode = Value; }
  void SetOnChange(TNotifyEvent Value) { OnChange = std::move(Value); }
  void SetOnPickColor(TPickColorEvent Value) { OnPickColor = std::move(Value); }

  // Deletes the pictures and sounds that neither the window nor any button uses (paths compare
  // ignoring letter case; the sound entry "<NoSound>" always stays).
  void RemoveUnusedBitmaps();
  void RemoveUnusedSounds();

  // The surface's own mouse-down event: insert, pick a colour or move the window.
  void SurfaceMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y,
                        TCustomLayer* Layer);
  // The mouse-down of every element control and of the WebSpace panel.
  void ElementMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  // Writes the project with full media paths (replacing the file atomically).
  void SaveProject(const std::string& FileName);
  // Reads a project into this freshly created document and shows it. All or nothing: on any error the
  // document is emptied again (no elements, no media, surface hidden), refuses to be saved or built from
  // then on (so the project file is never overwritten with a part of itself), and the error propagates.
  void LoadProject(const std::string& FileName);
  // Writes a runtime folder: the runtime program under Target, the used media under generated names
  // and "Config.VX", all in Target's folder. Every referenced path must be listed. Nothing is written,
  // and one EVXBuildError names the files, when an output (the program, a copy, "Config.VX") is a file
  // the build copies (other than a file copied onto itself) or ProjectFile (the open project), when the
  // program's name is that of another output, or when the user may not write an existing output. The
  // old "Config.VX" is removed before the first copy and the new one written last, so a build that
  // fails or is cut off leaves a folder without one. When copies fail, one EVXBuildError names every
  // failed copy with its reason.
  void BuildBrowser(const std::string& Target, const std::string& ProjectFile = "");

  // Adds the project text that SaveProject writes to W (a writer started with the project header).
  void WriteProject(TVXTextWriter& W) const;
  // What BuildBrowser writes for Target, without writing anything: "Config.VX" and the copies. Raises
  // EVXBuildError naming the first referenced picture or sound that is not listed or does not exist.
  void PlanBuild(const std::string& Target, TVXBuildPlan& Plan) const;
  // The generated names of a build: "VXB" + list index + extension ("" for no picture), "VXS" + list
  // index + ".wav".
  [[nodiscard]] std::string BuildPictureName(const std::string& Path) const;
  [[nodiscard]] std::string BuildSoundName(const std::string& Sound) const;

  TSelectElementEvent OnSelectElement;
  TNotifyEvent OnChange;
  TPickColorEvent OnPickColor;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  using TMediaName = std::function<std::string(const std::string& Path)>;
  // Global, Web and the element sections, media named through Picture and Sound.
  void WriteDocumentSections(TVXTextWriter& W, const TMediaName& Picture, const TMediaName& Sound,
                             TVXWriteOrder Order) const;
  void CheckBuildReferences() const;
  // The inner rectangle a save writes: the one the loaded file holds while the skin and the surface's
  // rectangle are as the load left them, else the surface's.
  [[nodiscard]] TRect SavedInnerRect() const;
  // Whether the surface shows the skin the project names (not the stock picture that stands in for one
  // that cannot be loaded): only on that skin does a place beyond the surface lie out of reach.
  [[nodiscard]] bool SkinShown() const;
  // Makes the design surface and wires its events to this document.
  void CreateSurface();
  void ResetAfterFailedLoad();
  void LoadLines(const TStrings& Lines, const std::string& FileName);
  // A button with the default pictures; removed again when one of them cannot be loaded.
  TVXButton* InsertButton(int Top, int Left);
  [[nodiscard]] std::string AppPath(const std::string& Relative) const;
  template <typename T>
  [[nodiscard]] std::vector<T*> Elements() const;

  TComponent* FSelected = nullptr;
  TCoolBrowser* FSurface = nullptr;
  TVXBitmaps* FBitmaps = nullptr;
  bool FVisible = false;
  TVXWeb* FWeb = nullptr;
  uint8_t FInsertMode = imNone;
  std::string FAppDir;
  TVXSounds* FSounds = nullptr;
  bool FPickMode = false;
  bool FLoadFailed = false;
  // What the last Web section of the loaded file set: the inner rectangle as the file holds it, the
  // skin it came with and the rectangle the surface made of it (fitted to the picture shown). A skin
  // that cannot be loaded is shown as a stand-in picture, and the file's rectangle fitted to that must
  // not replace the project's own when it is saved again.
  struct TLoadedInner {
    TRect File;
    TRect Shown;
    std::string Skin;
  };
  std::optional<TLoadedInner> FLoadedInner;
};

// The colour of the pixel (X, Y) of Control as it is painted (its client coordinates); CLR_INVALID
// outside it.
[[nodiscard]] TColor ControlPixel(TControl* Control, int X, int Y);
// The colour a pick click at (X, Y) of an element's control takes: for a shaped control the pixel of its
// normal picture (the press already shows another one), otherwise what the control shows.
[[nodiscard]] TColor PickedPixel(TControl* Control, int X, int Y);
