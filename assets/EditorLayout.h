#pragma once
// Where the designer's generated pictures expect their controls: the places of the property editor's
// controls on its five panel pictures, and the file names of the pictures that the designer's windows
// take from the application folder beyond the ones its start-up loads by name.
//
// The asset generator draws captions, wells and frames at these places; the designer's form resources
// put their controls there. Plain data, no dependencies.

namespace editor_layout {

// Size of the property editor's skin and of every panel picture.
inline constexpr int kWidth = 272;
inline constexpr int kHeight = 470;

enum class BoxKind {
  Field,    // edit or drop-down list: drawn as a dark well
  Picture,  // stretched preview image: drawn as a framed tray
  Swatch,   // colour shape: drawn as a ring
  Icon,     // shaped 20 x 20 button: nothing drawn beneath
  Check,    // check box with its own caption: nothing drawn
  Text,     // label the program fills in (size text): nothing drawn
  Font      // scroll box with the font sample label: drawn as a light tray
};

struct Box {
  const char* name;  // component name in the form resource
  int left, top, width, height;
  BoxKind kind;
};

struct Caption {
  const char* text;
  int left, top;  // top-left of the text; captions of rows end at kCaptionRight
  bool rightAligned;
};

// Top of the hint text that the button, label, address-field and options panel pictures carry at the
// foot of their card; no control is placed below it on those panels.
inline constexpr int kTipTop = kHeight - 62;

// Right edge of the row captions; controls of a row start at kControlLeft.
inline constexpr int kCaptionRight = 90;
inline constexpr int kControlLeft = 96;

// Panel FormPanel (the window and its web view).
inline constexpr Box kFormPanel[] = {
    {"BitmapEdit", 96, 50, 160, 21, BoxKind::Field},
    {"FormImage", 96, 76, 104, 64, BoxKind::Picture},
    {"SizeLabel", 10, 94, 80, 14, BoxKind::Text},  // under "Preview", ending where the captions end
    {"DialodIColorShape", 206, 99, 22, 18, BoxKind::Swatch},
    {"OrganicShapeButton9", 234, 98, 20, 20, BoxKind::Icon},
    {"PositionCombo", 96, 146, 160, 21, BoxKind::Field},
    {"BrowserTopEdit", 96, 172, 76, 21, BoxKind::Field},
    {"BrowserLeftEdit", 180, 172, 76, 21, BoxKind::Field},
    {"BrowserWidthEdit", 96, 198, 76, 21, BoxKind::Field},
    {"BrowserHeightEdit", 180, 198, 76, 21, BoxKind::Field},
    {"BrowserILeftEdit", 96, 224, 76, 21, BoxKind::Field},
    {"BrowserITopEdit", 180, 224, 76, 21, BoxKind::Field},
    {"BrowserIWidthEdit", 96, 250, 76, 21, BoxKind::Field},
    {"BrowserIHeightEdit", 180, 250, 76, 21, BoxKind::Field},
    {"BrowserStartWidthEdit", 96, 276, 76, 21, BoxKind::Field},
    {"BrowserStartHeightEdit", 180, 276, 76, 21, BoxKind::Field},
    {"BrowserStartpageEdit", 96, 302, 160, 21, BoxKind::Field},
    {"StartSoundCombo", 96, 328, 160, 21, BoxKind::Field},
    {"OrganicShapeButton3", 96, 352, 20, 20, BoxKind::Icon},
    {"OrganicShapeButton4", 120, 352, 20, 20, BoxKind::Icon},
    {"OrganicShapeButton5", 144, 352, 20, 20, BoxKind::Icon},
    {"ExitSoundCombo", 96, 378, 160, 21, BoxKind::Field},
    {"OrganicShapeButton6", 96, 402, 20, 20, BoxKind::Icon},
    {"OrganicShapeButton7", 120, 402, 20, 20, BoxKind::Icon},
    {"OrganicShapeButton8", 144, 402, 20, 20, BoxKind::Icon},
    {"BrowserStayOnTopBox", 16, 432, 16, 16, BoxKind::Check},
    {"BrowserHLBox", 140, 432, 16, 16, BoxKind::Check},
};
inline constexpr Caption kFormCaptions[] = {
    {"Skin", 0, 50, true},           {"Preview", 0, 76, true},        {"key", 206, 119, false},
    {"Position", 0, 146, true},      {"Web top, left", 0, 172, true}, {"Web size", 0, 198, true},
    {"Inner from", 0, 224, true},    {"Inner to", 0, 250, true},      {"Start size", 0, 276, true},
    {"Start page", 0, 302, true},    {"Start sound", 0, 328, true},   {"Exit sound", 0, 378, true},
    {"Stay on top", 36, 432, false}, {"Guides", 160, 432, false},
};

// Panel ButtonPanel: four state columns, then rows.
inline constexpr Box kButtonPanel[] = {
    {"ButtonMaskImage", 16, 62, 56, 40, BoxKind::Picture},
    {"ButtonTouchedImage", 76, 62, 56, 40, BoxKind::Picture},
    {"ButtonPressedImage", 136, 62, 56, 40, BoxKind::Picture},
    {"ButtonDisabledImage", 196, 62, 56, 40, BoxKind::Picture},
    {"ButtonMaskCombo", 16, 104, 56, 21, BoxKind::Field},
    {"ButtonTouchedCombo", 76, 104, 56, 21, BoxKind::Field},
    {"ButtonPressedCombo", 136, 104, 56, 21, BoxKind::Field},
    {"ButtonDisabledCombo", 196, 104, 56, 21, BoxKind::Field},
    // Centred under their column, reaching into the gaps between the columns.
    {"ButtonMaskLabel", 14, 127, 60, 14, BoxKind::Text},
    {"ButtonTouchedLabel", 74, 127, 60, 14, BoxKind::Text},
    {"ButtonPressedLabel", 134, 127, 60, 14, BoxKind::Text},
    {"ButtonDisabledLabel", 194, 127, 60, 14, BoxKind::Text},
    {"ButtonActionCombo", 96, 148, 160, 21, BoxKind::Field},
    {"ButtonNavigationTarget", 96, 174, 160, 21, BoxKind::Field},
    {"ButtonHintEdit", 96, 200, 160, 21, BoxKind::Field},
    {"ButtonAlignmentCombo", 96, 226, 160, 21, BoxKind::Field},
    {"ButtonTopedit", 96, 252, 76, 21, BoxKind::Field},
    {"ButtonLeftEdit", 180, 252, 76, 21, BoxKind::Field},
    {"ButtonIColorShape", 96, 279, 22, 18, BoxKind::Swatch},
    {"OrganicShapeButton13", 124, 278, 20, 20, BoxKind::Icon},
    {"ButtonSoundCombo", 96, 304, 160, 21, BoxKind::Field},
    {"OrganicShapeButton10", 96, 328, 20, 20, BoxKind::Icon},
    {"OrganicShapeButton11", 120, 328, 20, 20, BoxKind::Icon},
    {"OrganicShapeButton12", 144, 328, 20, 20, BoxKind::Icon},
};
inline constexpr Caption kButtonCaptions[] = {
    {"Normal", 16, 48, false},    {"Touched", 76, 48, false},    {"Pressed", 136, 48, false},
    {"Disabled", 196, 48, false}, {"Action", 0, 148, true},      {"Target", 0, 174, true},
    {"Hint", 0, 200, true},       {"Anchor", 0, 226, true},      {"Top, left", 0, 252, true},
    {"Key colour", 0, 278, true}, {"Click sound", 0, 304, true},
};

// Panel LabelPanel.
inline constexpr Box kLabelPanel[] = {
    {"LabelStyleCombo", 96, 50, 160, 21, BoxKind::Field},
    {"LabelTextEdit", 96, 76, 160, 21, BoxKind::Field},
    {"LabelTopEdit", 96, 102, 76, 21, BoxKind::Field},
    {"LabelLeftEdit", 180, 102, 76, 21, BoxKind::Field},
    {"LabelWidthEdit", 96, 128, 76, 21, BoxKind::Field},
    {"LabelAlignmentCombo", 96, 154, 160, 21, BoxKind::Field},
    {"LabelColorShape", 96, 181, 22, 18, BoxKind::Swatch},
    {"LabelTransparentCheck", 140, 181, 116, 18, BoxKind::Check},
    {"LabelAutosizeBox", 96, 206, 160, 18, BoxKind::Check},
    {"ScrollBox2", 96, 232, 160, 48, BoxKind::Font},
};
inline constexpr Caption kLabelCaptions[] = {
    {"Style", 0, 50, true},   {"Text", 0, 76, true},    {"Top, left", 0, 102, true}, {"Width", 0, 128, true},
    {"Anchor", 0, 154, true}, {"Colour", 0, 180, true}, {"Size", 0, 206, true},      {"Font", 0, 232, true},
};

// Panel EditPanel (the address field).
inline constexpr Box kEditPanel[] = {
    {"EditStyleCombo", 96, 50, 160, 21, BoxKind::Field},
    {"EditTopEdit", 96, 76, 76, 21, BoxKind::Field},
    {"EditLeftEdit", 180, 76, 76, 21, BoxKind::Field},
    {"EditWidthEdit", 96, 102, 76, 21, BoxKind::Field},
    {"EditAlignmentCombo", 96, 128, 160, 21, BoxKind::Field},
    {"EditColorShape", 96, 155, 22, 18, BoxKind::Swatch},
    {"EditAutoSizeBox", 96, 180, 160, 18, BoxKind::Check},
    {"ScrollBox3", 96, 206, 160, 48, BoxKind::Font},
};
inline constexpr Caption kEditCaptions[] = {
    {"Style", 0, 50, true},   {"Top, left", 0, 76, true}, {"Width", 0, 102, true}, {"Anchor", 0, 128, true},
    {"Colour", 0, 154, true}, {"Size", 0, 180, true},     {"Font", 0, 206, true},
};

// Panel OptionsPanel.
inline constexpr Box kOptionsPanel[] = {
    {"ShapeColor", 120, 51, 22, 18, BoxKind::Swatch},
    {"HelperColor", 120, 77, 22, 18, BoxKind::Swatch},
    {"SoundsOn", 16, 106, 220, 18, BoxKind::Check},
    {"MessageSoundsOn", 16, 130, 220, 18, BoxKind::Check},
    {"OrganicShapeButton1", 16, 166, 20, 20, BoxKind::Icon},
    {"OrganicShapeButton2", 16, 192, 20, 20, BoxKind::Icon},
};
inline constexpr Caption kOptionsCaptions[] = {
    {"Selection frame", 16, 52, false},
    {"Guides", 16, 78, false},
    {"Remove unused pictures", 42, 169, false},
    {"Remove unused sounds", 42, 195, false},
};

// Panel picture files below the application folder, in the order FormPanel, ButtonPanel, LabelPanel,
// EditPanel, OptionsPanel (the images Image1, fsdfsdfs, Image4, Image3 and Image5).
inline constexpr const char* kPanelPictures[] = {
    "Images/PanelWindow.BMP", "Images/PanelButton.BMP",  "Images/PanelLabel.BMP",
    "Images/PanelEdit.BMP",   "Images/PanelOptions.BMP",
};

// The shaped 20 x 20 buttons of the panels (key colour white); each has a normal, an under-the-mouse and
// a pressed picture: <name>.BMP, <name>Over.BMP, <name>Press.BMP below "Images/Buttons/".
//   "Start" (play) buttons: "Play"; "Stop" buttons: "Stop"; "Öffnen" buttons: "Folder";
//   "Pipette" buttons: "Pipette"; the options panel's removal buttons: "Sweep".
// The main window's minimise button (key colour white, 22 x 22): "Minimize1".
// The question box's buttons (key colour white, 23 x 21): "Yes", "No", "Cancel".

}  // namespace editor_layout
