// The property editor: the designer's second window. It shows the properties of the element selected
// on the design surface in one of five panels (window, button, label, address field, options) and
// writes every change into the document at once.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "document/BrowserClasses.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"
#include "platform/ui/StdCtrls.h"
#include "skin/UVexForm.h"
#include "skin/WavePlay.h"
#include "skin/organicShapeButton.h"

// The colour of the editor's edits and combo boxes (dark blue).
inline constexpr TColor EditorFieldColor = 8404992;
// A disabled edit of the editor: a muted field with grey text, so that it does not look editable.
inline constexpr TColor EditorDisabledFieldColor = 0x00C8CDD2;
inline constexpr TColor EditorDisabledTextColor = 0x00707070;

// A picture's size as the panels show it: "640 x 480".
[[nodiscard]] std::string SizeText(int Width, int Height);
// True for the press actions whose target edit is enabled.
[[nodiscard]] bool ActionTakesTarget(const std::string& Action);
// Enables or disables one of the editor's edits and gives it the matching colours.
void SetFieldEnabled(TEdit* Edit, bool Enabled);

class TPropertyForm : public TVexForm {
 public:
  explicit TPropertyForm(TComponent* AOwner);

  // Frame.
  TScrollBox* ScrollBox1 = nullptr;
  TPanel* FormPanel = nullptr;
  TPanel* ButtonPanel = nullptr;
  TPanel* LabelPanel = nullptr;
  TPanel* EditPanel = nullptr;
  TPanel* OptionsPanel = nullptr;
  TImage* Image1 = nullptr;
  TImage* fsdfsdfs = nullptr;
  TImage* Image4 = nullptr;
  TImage* Image3 = nullptr;
  TImage* Image5 = nullptr;
  TPopupMenu* PopupMenu = nullptr;
  TMenuItem* Stayontop1 = nullptr;
  TOpenPictureDialog* OpenPictureDialog = nullptr;
  TOpenDialog* SoundDialog = nullptr;
  TFontDialog* FontDialog = nullptr;
  TColorDialog* ColorDialog = nullptr;
  TPlayerWave* PropertySound = nullptr;

  // Window panel.
  TImage* FormImage = nullptr;
  TComboBox* BitmapEdit = nullptr;
  TLabel* SizeLabel = nullptr;
  TComboBox* PositionCombo = nullptr;
  TEdit* BrowserTopEdit = nullptr;
  TEdit* BrowserLeftEdit = nullptr;
  TEdit* BrowserWidthEdit = nullptr;
  TEdit* BrowserHeightEdit = nullptr;
  TEdit* BrowserILeftEdit = nullptr;
  TEdit* BrowserITopEdit = nullptr;
  TEdit* BrowserIWidthEdit = nullptr;
  TEdit* BrowserIHeightEdit = nullptr;
  TEdit* BrowserStartWidthEdit = nullptr;
  TEdit* BrowserStartHeightEdit = nullptr;
  TEdit* BrowserStartpageEdit = nullptr;
  TComboBox* StartSoundCombo = nullptr;
  TComboBox* ExitSoundCombo = nullptr;
  TOrganicShapeButton* OrganicShapeButton3 = nullptr;
  TOrganicShapeButton* OrganicShapeButton4 = nullptr;
  TOrganicShapeButton* OrganicShapeButton5 = nullptr;
  TOrganicShapeButton* OrganicShapeButton6 = nullptr;
  TOrganicShapeButton* OrganicShapeButton7 = nullptr;
  TOrganicShapeButton* OrganicShapeButton8 = nullptr;
  TOrganicShapeButton* OrganicShapeButton9 = nullptr;
  TShape* DialodIColorShape = nullptr;
  TCheckBox* BrowserStayOnTopBox = nullptr;
  TCheckBox* BrowserHLBox = nullptr;

  // Button panel.
  TImage* ButtonMaskImage = nullptr;
  TImage* ButtonTouchedImage = nullptr;
  TImage* ButtonPressedImage = nullptr;
  TImage* ButtonDisabledImage = nullptr;
  TComboBox* ButtonMaskCombo = nullptr;
  TComboBox* ButtonTouchedCombo = nullptr;
  TComboBox* ButtonPressedCombo = nullptr;
  TComboBox* ButtonDisabledCombo = nullptr;
  TLabel* ButtonMaskLabel = nullptr;
  TLabel* ButtonTouchedLabel = nullptr;
  TLabel* ButtonPressedLabel = nullptr;
  TLabel* ButtonDisabledLabel = nullptr;
  TComboBox* ButtonActionCombo = nullptr;
  TEdit* ButtonNavigationTarget = nullptr;
  TEdit* ButtonHintEdit = nullptr;
  TComboBox* ButtonAlignmentCombo = nullptr;
  TEdit* ButtonTopedit = nullptr;
  TEdit* ButtonLeftEdit = nullptr;
  TShape* ButtonIColorShape = nullptr;
  TOrganicShapeButton* OrganicShapeButton13 = nullptr;
  TComboBox* ButtonSoundCombo = nullptr;
  TOrganicShapeButton* OrganicShapeButton10 = nullptr;
  TOrganicShapeButton* OrganicShapeButton11 = nullptr;
  TOrganicShapeButton* OrganicShapeButton12 = nullptr;

  // Label panel.
  TComboBox* LabelStyleCombo = nullptr;
  TEdit* LabelTextEdit = nullptr;
  TEdit* LabelTopEdit = nullptr;
  TEdit* LabelLeftEdit = nullptr;
  TEdit* LabelWidthEdit = nullptr;
  TShape* LabelColorShape = nullptr;
  TCheckBox* LabelTransparentCheck = nullptr;
  TComboBox* LabelAlignmentCombo = nullptr;
  TCheckBox* LabelAutosizeBox = nullptr;
  TScrollBox* ScrollBox2 = nullptr;
  TLabel* LabelFontLabel = nullptr;

  // Address-field panel.
  TComboBox* EditStyleCombo = nullptr;
  TEdit* EditTopEdit = nullptr;
  TEdit* EditLeftEdit = nullptr;
  TEdit* EditWidthEdit = nullptr;
  TComboBox* EditAlignmentCombo = nullptr;
  TCheckBox* EditAutoSizeBox = nullptr;
  TShape* EditColorShape = nullptr;
  TScrollBox* ScrollBox3 = nullptr;
  TLabel* EditFontLabel = nullptr;

  // Options panel.
  TShape* ShapeColor = nullptr;
  TShape* HelperColor = nullptr;
  TCheckBox* SoundsOn = nullptr;
  TCheckBox* MessageSoundsOn = nullptr;
  TOrganicShapeButton* OrganicShapeButton1 = nullptr;
  TOrganicShapeButton* OrganicShapeButton2 = nullptr;

  // What the main window calls.
  [[nodiscard]] TVXBrowser* Project() const { return FProject; }
  void SetProject(TVXBrowser* Value) { FProject = Value; }
  void SetOnChange(TNotifyEvent Value) { OnChange = std::move(Value); }
  void SetOnOptionsChanged(TNotifyEvent Value) { OnOptionsChanged = std::move(Value); }
  void SetAppDir(const std::string& Value);
  [[nodiscard]] const std::string& AppDir() const { return FAppDir; }
  // The window under which the editor docks (the application's main form when none is set).
  void SetMainWindow(TControl* Value) { FMainWindow = Value; }
  [[nodiscard]] bool Docked() const { return FDocked; }
  void SetDocked(bool Value) { FDocked = Value; }
  // Places the editor 150 pixels below the main window's top, at its left.
  void DockUnderMainWindow();
  [[nodiscard]] const std::string& LastPicturePath() const { return FLastPicturePath; }
  [[nodiscard]] const std::string& LastSoundPath() const { return FLastSoundPath; }

  void SelectElement(TComponent* Element);
  void ShowPanel(TPanel* Panel);
  [[nodiscard]] TPanel* CurrentPanel() const;
  // Moves the focus to the scroll box, so that an edit being typed in writes its value back first.
  void CommitPending();
  // The change notification: OnChange with no sender, after every value written into the document.
  // (Under the name Changed it would override the form's own notification that its picture changed,
  // and a repaint of the editor would mark the project modified.)
  void NotifyChange();
  void ElementMoved(TObject* Sender);
  void ColorPicked(TObject* Sender, TColor Color);

  void LoadWeb();
  void LoadButton(TVXButton* Button);
  void LoadLabel(TVXLabel* Label);
  void LoadEdit(TVXEdit* Edit);

  // Handlers of the form resource.
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void fsdfsdfsMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void sffddfsfDblClick(TObject* Sender);
  void Stayontop1Click(TObject* Sender);
  void IntegerEditsEnter(TObject* Sender) {}
  // Repairs an integer edit: empty becomes "0", a text that is no whole number is undone one step.
  void IntegerEditsCheck(TObject* Sender);
  void EditKeyPress(TObject* Sender, char& Key);
  void SoundStopButClick(TObject* Sender);
  void DialogPickButClick(TObject* Sender);

  void BrowserEditExit(TObject* Sender);
  void BrowserStartpageEditChange(TObject* Sender);
  void FormImageClick(TObject* Sender);
  void BitmapEditChange(TObject* Sender);
  void StartSoundOpenButClick(TObject* Sender);
  void EndSoundOpenButClick(TObject* Sender);
  void StartSoundPlayButClick(TObject* Sender);
  void EndSoundStartButClick(TObject* Sender);
  void DialodIColorShapeMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void BrowserHLBoxClick(TObject* Sender);

  void ButtonEditExit(TObject* Sender);
  void ButtonNavigationTargetChange(TObject* Sender);
  void ButtonHintEditChange(TObject* Sender);
  // State 0 Mask, 1 Touched, 2 Pressed, 3 Disabled.
  void ButtonStateImageClick(int State);
  void ButtonStateComboChange(int State);
  void ButtonSoundOpenButClick(TObject* Sender);
  void ButtonSoundPlayButClick(TObject* Sender);
  void ButtonIColorShapeMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  void LabelEditExit(TObject* Sender);
  void LabelTextEditChange(TObject* Sender);
  void LabelTransparentCheckClick(TObject* Sender);
  void LabelFontLabelClick(TObject* Sender);
  void LabelColorShapeMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void EditEditExit(TObject* Sender);
  void EditFontLabelClick(TObject* Sender);
  void EditColorShapeMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  void SoundsOnClick(TObject* Sender);
  void ShapeColorMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void HelperColorMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void SpeedButton10Click(TObject* Sender);
  void SpeedButton11Click(TObject* Sender);

  TNotifyEvent OnChange;
  TNotifyEvent OnOptionsChanged;

 protected:
  void ReadResource() override;
  // The editor has no close of its own: the window system's close leaves it shown.
  void WMSysCommand(TMessage& Message) override;

 private:
  void BuildFormPanel();
  void BuildButtonPanel();
  void BuildLabelPanel();
  void BuildEditPanel();
  void BuildOptionsPanel();
  TPanel* MakePanel(const char* Name, const char* ImageName, const char* Picture, TImage*& Image);
  // Number: the edit holds a number of that kind (checked against its range when the edit is left).
  TEdit* MakeEdit(TPanel* Panel, const char* Name, const std::function<void(TObject*)>& Exit,
                  std::optional<TVXNumberKind> Number);
  TComboBox* MakeCombo(TPanel* Panel, const char* Name, std::initializer_list<const char*> Items,
                       const std::function<void(TObject*)>& Change, bool Sorted = false);
  TShape* MakeSwatch(TPanel* Panel, const char* Name, const char* Hint);
  TCheckBox* MakeCheck(TPanel* Panel, const char* Name, const char* Caption);
  TImage* MakePreview(TPanel* Panel, const char* Name);
  TLabel* MakeText(TPanel* Panel, const char* Name, TAlignment Alignment);
  TOrganicShapeButton* MakeIcon(TPanel* Panel, const char* Name, const char* Picture, const char* Hint,
                                const std::function<void(TObject*)>& Click);
  TScrollBox* MakeFontBox(TPanel* Panel, const char* Name, TLabel*& FontLabel,
                          const std::function<void(TObject*)>& Click);
  void Place(TControl* Control, TPanel* Panel);

  // Shared routines.
  bool ChoosePicture(std::string& File);
  bool ChooseSound(std::string& File);
  bool ChooseColor(TShape* Shape, TShiftState Shift);
  void Preview(TComboBox* Combo, const std::string& Sound);
  void ShowListBitmap(TImage* Image, int Index);
  [[nodiscard]] std::string ListSizeText(int Index) const;
  [[nodiscard]] bool IsIntegerEdit(TObject* Sender) const;
  // The number in a number edit; EConvertError for bad text or a value outside its kind's range.
  [[nodiscard]] int Number(const TEdit* Edit) const;
  [[nodiscard]] bool HasFocus(const TWinControl* Control) const;
  // The sound path of a sound combo's index, or Keep when the combo selects nothing.
  [[nodiscard]] std::string SoundOf(TComboBox* Combo, const std::string& Keep) const;
  void FillSoundCombo(TComboBox* Combo, const std::string& Sound);
  void FillPictureCombo(TComboBox* Combo, int Index);
  [[nodiscard]] TComboBox* ButtonStateCombo(int State) const;
  [[nodiscard]] TImage* ButtonStateImage(int State) const;
  [[nodiscard]] TLabel* ButtonStateLabel(int State) const;
  [[nodiscard]] TVXButton* SelectedButton() const;
  [[nodiscard]] TVXLabel* SelectedLabel() const;
  [[nodiscard]] TVXEdit* SelectedEdit() const;
  // Sets the button's four paths from the four state combos.
  void ButtonPathsFromCombos(TVXButton* Button);

  TVXBrowser* FProject = nullptr;
  std::string FAppDir;
  std::string FLastPicturePath;
  std::string FLastSoundPath;
  bool FDocked = true;
  TControl* FMainWindow = nullptr;
  std::map<const TObject*, TVXNumberKind> FIntegerEdits;
  int FLoading = 0;  // loads in progress: the change handlers of the fields write nothing back
};

// Selects the combo's item equal to Text, or nothing when there is none.
void SelectItem(TComboBox* Combo, const std::string& Text);
