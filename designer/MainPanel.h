// The designer's main window: a small skinned window with shaped tool buttons that owns the open
// project (the document), switches its buttons between three window modes (no project, editing, test
// run), runs the project commands (New, Open, Save, Build, Check), the insert tools, Kill, Options, Link,
// Minimize and Exit, and keeps the designer's options in the registry.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "designer/DesignerPanel.h"
#include "designer/VexMessages.h"
#include "document/BrowserClasses.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/StdCtrls.h"
#include "runtime/VXBuilder.h"
#include "skin/UVexForm.h"
#include "skin/WavePlay.h"
#include "skin/organicShapeButton.h"

// Window modes.
inline constexpr uint8_t mdNoProject = 0;
inline constexpr uint8_t mdEditing = 1;
inline constexpr uint8_t mdTestRun = 2;

// The twelve buttons of the state pictures, in the order of their table.
enum TMainButton : uint8_t {
  tbNew,
  tbOpen,
  tbSave,
  tbBuild,
  tbCheck,
  tbButton,
  tbEdit,
  tbKill,
  tbLabel,
  tbExit,
  tbLink,
  tbOptions,
  MainButtonCount
};

// What a button shows in a window mode: true normal, false disabled.
[[nodiscard]] bool ButtonNormalInMode(TMainButton Button, uint8_t Mode);
// The file names of a button's four state pictures: normal, under the mouse, pressed, disabled.
[[nodiscard]] std::array<const char*, 4> ButtonPictureNames(TMainButton Button);

// The question asked before a modified project is discarded.
inline constexpr const char* DiscardQuestion =
    "There is still a Project\n\ropened. Do you like to\n\rsave it first?";
// The registry key of the options.
inline constexpr const char* OptionsKey = "Software\\Pelloran\\";

class TMainForm : public TVexForm {
 public:
  explicit TMainForm(TComponent* AOwner);
  ~TMainForm() override;

  TSaveDialog* SaveDialog = nullptr;
  TOpenDialog* OpenDialog = nullptr;
  TOrganicShapeButton* NewBut = nullptr;
  TOrganicShapeButton* OpenBut = nullptr;
  TOrganicShapeButton* SaveBut = nullptr;
  TOrganicShapeButton* BuildBut = nullptr;
  TOrganicShapeButton* CheckBut = nullptr;
  TOrganicShapeButton* ButtonBut = nullptr;
  TOrganicShapeButton* EditBut = nullptr;
  TOrganicShapeButton* KillBut = nullptr;
  TOrganicShapeButton* LabelBut = nullptr;
  TOrganicShapeButton* ExitBut = nullptr;
  TPlayerWave* EndSound = nullptr;
  TPlayerWave* StartSound = nullptr;
  TPlayerWave* NewSound = nullptr;
  TPlayerWave* SaveSound = nullptr;
  TPlayerWave* OpenSound = nullptr;
  TPlayerWave* ButtonSound = nullptr;
  TPlayerWave* LabelSound = nullptr;
  TPlayerWave* EditSound = nullptr;
  TPlayerWave* ExitButSound = nullptr;
  TPlayerWave* KillSound = nullptr;
  TPlayerWave* BuildSound = nullptr;
  TPlayerWave* CheckSound = nullptr;
  TOrganicShapeButton* OptionsBut = nullptr;
  TPlayerWave* OptionsSound = nullptr;
  TSaveDialog* BuildDialog = nullptr;
  TLabel* Actionlabel = nullptr;
  TOrganicShapeButton* OrganicShapeButton1 = nullptr;
  TOrganicShapeButton* LinkBut = nullptr;

  // The other two windows of the designer (created after this one).
  void SetPropertyForm(TPropertyForm* Value);
  [[nodiscard]] TPropertyForm* PropertyForm() const { return FPropertyForm; }
  void SetQuestionBox(TVexMessage* Value);
  [[nodiscard]] TVexMessage* QuestionBox() const { return FQuestionBox; }

  [[nodiscard]] TVXBrowser* Document() const { return FDocument; }
  [[nodiscard]] uint8_t Mode() const { return FMode; }
  [[nodiscard]] TVXBuilder* TestWindow() const { return FTestWindow; }
  [[nodiscard]] TOrganicShapeButton* Button(TMainButton Which) const;
  // The state picture (0 normal, 1 under the mouse, 2 pressed, 3 disabled) of a button.
  [[nodiscard]] TBitmap* StatePicture(TMainButton Which, int State) const;

  void SetMode(uint8_t Mode);
  void LoadButtonBitmaps();
  void SetModified(bool Flag);
  [[nodiscard]] bool IsModified() const;
  void ProjectChanged(TObject* Sender);
  void SelectionChanged(TComponent* Element);
  void SetProjectPath(const std::string& Text);
  [[nodiscard]] const std::string& ProjectPath() const { return FProjectPath; }
  void SetAppDir(const std::string& Text);
  [[nodiscard]] const std::string& AppDir() const { return FAppDir; }
  void SetBuildPath(const std::string& Text) { FBuildPath = Text; }
  [[nodiscard]] const std::string& BuildPath() const { return FBuildPath; }
  // The scratch file of a test run.
  [[nodiscard]] std::string CheckFileName() const;

  // Commands. NewProject and OpenProject return when done or stopped; SaveProject is false when its
  // dialog was cancelled.
  void NewProject();
  void OpenProject();
  bool SaveProject();
  void CloseProject();
  void BuildProject();
  void StartCheck();
  void ExitProgram();
  // The question before a modified project is discarded: false when the command must stop (Cancel, or
  // Yes with a cancelled save).
  [[nodiscard]] bool ConfirmDiscard();

  // Options.
  [[nodiscard]] TColor ShapeColorOption() const { return FShapeColor; }
  [[nodiscard]] TColor HelperColorOption() const { return FHelperColor; }
  [[nodiscard]] bool SoundsOnOption() const { return FSoundsOn; }
  [[nodiscard]] bool MessageSoundsOnOption() const { return FMessageSoundsOn; }
  void SetShapeColor(TColor Value) { FShapeColor = Value; }
  void SetHelperColor(TColor Value) { FHelperColor = Value; }
  void SetSoundsOn(bool Value) { FSoundsOn = Value; }
  void SetMessageSoundsOn(bool Value) { FMessageSoundsOn = Value; }
  // Defaults, then the stored values up to the first missing or mistyped one.
  void LoadRegistryOptions();
  // Stores the four values; failures are dropped.
  void StoreRegistryOptions() const;
  void ApplyOptions();
  void ReadOptions();
  void OptionsChanged(TObject* Sender);

  // Handlers of the form resource.
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void FormDestroy(TObject* Sender);
  void NewButClick(TObject* Sender);
  void OpenButClick(TObject* Sender);
  void SaveButClick(TObject* Sender);
  void BuildButClick(TObject* Sender);
  void CheckButClick(TObject* Sender);
  void BuildButtonsClick(TObject* Sender);
  void KillButClick(TObject* Sender);
  void Exit1Click(TObject* Sender);
  void OptionsButClick(TObject* Sender);
  void OrganicShapeButton1Click(TObject* Sender);
  void LinkButClick(TObject* Sender);
  void CheckEnded(TObject* Sender, TCloseAction& Action);
  void StartMoveItemLayer(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y,
                          TCustomLayer* Layer);
  void MainFormMoved();

  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

 protected:
  void ReadResource() override;
  // Forgets the editor, the question box and the test window when they go first.
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  TOrganicShapeButton* MakeButton(const char* Name, int Left, int Top, TColor Key, TNotifyEvent Click);
  TPlayerWave* MakeSound(const char* Name, const char* Wave, bool Async);
  void ShowNormal(TMainButton Which);
  void ShowDisabled(TMainButton Which);
  void ShowState(TMainButton Which, bool Normal);
  // The tool shows its normal pictures again (its insert mode is used up or replaced).
  void ReleaseTool(TMainButton Which);
  void PlayIfOn(TPlayerWave* Sound) const;
  void SetAction(const std::string& Word);
  // Shows Word while Action runs; the label is emptied also when Action fails.
  void RunAction(const std::string& Word, const std::function<void()>& Action);
  void CommitPending();
  void FreeDocument();
  void CreateDocument();
  void WireDocument();
  // Kill and the address-field tool follow the selection and the number of address fields.
  void UpdateElementTools(TComponent* Selected);
  void ShowDesignWindows(bool Show);

  TVXBrowser* FDocument = nullptr;
  std::array<std::array<std::unique_ptr<TBitmap>, 4>, MainButtonCount> FPictures;
  uint8_t FMode = mdNoProject;
  std::string FProjectPath;
  // The file the open project was read from or last written to; empty for a new one (a build never
  // writes over it).
  std::string FDocumentFile;
  std::string FAppDir;
  bool FMessageSoundsOn = true;
  bool FSoundsOn = true;
  TColor FShapeColor = 255;
  std::string FBuildPath;
  TColor FHelperColor = 16777215;
  TVXBuilder* FTestWindow = nullptr;
  TPropertyForm* FPropertyForm = nullptr;
  TVexMessage* FQuestionBox = nullptr;
  bool FApplyingOptions = false;
  bool FOptionsStored = false;
};
