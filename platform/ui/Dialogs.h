// Common dialogs (open, save, open picture, colour, font, print) and message boxes. Every modal thing
// goes through a replaceable provider, so that tests can answer dialogs, message boxes, pop-up menus and
// modal forms without a user.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes.h"
#include "platform/ui/Messages.h"

class TCustomForm;
class TMenuItem;
class TPopupMenu;

class TCommonDialog : public TComponent {
 public:
  explicit TCommonDialog(TComponent* AOwner) : TComponent(AOwner) {}
  // Runs the dialog modally; true when the user accepted it.
  virtual bool Execute() = 0;
  [[nodiscard]] const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& Value) { FTitle = Value; }
  TNotifyEvent OnShow;
  TNotifyEvent OnClose;

 private:
  std::string FTitle;
};

enum TOpenOption {
  ofReadOnly,
  ofOverwritePrompt,
  ofHideReadOnly,
  ofNoChangeDir,
  ofShowHelp,
  ofNoValidate,
  ofAllowMultiSelect,
  ofExtensionDifferent,
  ofPathMustExist,
  ofFileMustExist,
  ofCreatePrompt,
  ofShareAware,
  ofNoReadOnlyReturn,
  ofNoTestFileCreate,
  ofNoNetworkButton,
  ofNoLongNames,
  ofOldStyleDialog,
  ofNoDereferenceLinks,
  ofEnableIncludeNotify,
  ofEnableSizing
};
using TOpenOptions = TSet<TOpenOption>;

// One "description|pattern" pair of a dialog filter; patterns are separated by ";".
struct TFileFilter {
  std::string Description;
  std::vector<std::string> Patterns;
};
// Splits "desc|pattern|desc|pattern" into its pairs (a trailing description without pattern is dropped).
[[nodiscard]] std::vector<TFileFilter> ParseFilter(const std::string& Filter);
// "*.VX", ".VX" and "VX" all give "VX".
[[nodiscard]] std::string NormalizeDefaultExt(const std::string& DefaultExt);
// Appends "." + the default extension when FileName has no extension (and one is given).
[[nodiscard]] std::string ApplyDefaultExt(const std::string& FileName, const std::string& DefaultExt);

class TOpenDialog : public TCommonDialog {
 public:
  explicit TOpenDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}
  bool Execute() override;
  [[nodiscard]] const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& Value) { FFileName = Value; }
  [[nodiscard]] const std::string& Filter() const { return FFilter; }
  void SetFilter(const std::string& Value) { FFilter = Value; }
  [[nodiscard]] int FilterIndex() const { return FFilterIndex; }
  void SetFilterIndex(int Value) { FFilterIndex = Value; }
  [[nodiscard]] const std::string& DefaultExt() const { return FDefaultExt; }
  void SetDefaultExt(const std::string& Value) { FDefaultExt = Value; }
  [[nodiscard]] const std::string& InitialDir() const { return FInitialDir; }
  void SetInitialDir(const std::string& Value) { FInitialDir = Value; }
  [[nodiscard]] TOpenOptions Options() const { return FOptions; }
  void SetOptions(TOpenOptions Value) { FOptions = Value; }
  [[nodiscard]] const std::vector<std::string>& Files() const { return FFiles; }
  void SetFiles(std::vector<std::string> Value) { FFiles = std::move(Value); }
  // True for save dialogs.
  [[nodiscard]] virtual bool IsSaveDialog() const { return false; }
  // True for dialogs that show a preview of the selected picture.
  [[nodiscard]] virtual bool HasPreview() const { return false; }

 private:
  std::string FFileName;
  std::string FFilter;
  int FFilterIndex = 1;
  std::string FDefaultExt;
  std::string FInitialDir;
  TOpenOptions FOptions = {ofHideReadOnly, ofEnableSizing};
  std::vector<std::string> FFiles;
};

class TSaveDialog : public TOpenDialog {
 public:
  explicit TSaveDialog(TComponent* AOwner) : TOpenDialog(AOwner) {}
  [[nodiscard]] bool IsSaveDialog() const override { return true; }
};

class TOpenPictureDialog : public TOpenDialog {
 public:
  explicit TOpenPictureDialog(TComponent* AOwner) : TOpenDialog(AOwner) {}
  [[nodiscard]] bool HasPreview() const override { return true; }
};

enum TColorDialogOption { cdFullOpen, cdPreventFullOpen, cdShowHelp, cdSolidColor, cdAnyColor };
using TColorDialogOptions = TSet<TColorDialogOption>;

class TColorDialog : public TCommonDialog {
 public:
  explicit TColorDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}
  bool Execute() override;
  [[nodiscard]] TColor Color() const { return FColor; }
  void SetColor(TColor Value) { FColor = Value; }
  [[nodiscard]] TColorDialogOptions Options() const { return FOptions; }
  void SetOptions(TColorDialogOptions Value) { FOptions = Value; }

 private:
  TColor FColor = clBlack;
  TColorDialogOptions FOptions;
};

class TFontDialog : public TCommonDialog {
 public:
  explicit TFontDialog(TComponent* AOwner);
  bool Execute() override;
  [[nodiscard]] TFont* Font() const { return FFont.get(); }
  void SetFont(TFont* Value) { FFont->Assign(Value); }
  [[nodiscard]] int MinFontSize() const { return FMinFontSize; }
  void SetMinFontSize(int Value) { FMinFontSize = Value; }
  [[nodiscard]] int MaxFontSize() const { return FMaxFontSize; }
  void SetMaxFontSize(int Value) { FMaxFontSize = Value; }

 private:
  std::unique_ptr<TFont> FFont;
  int FMinFontSize = 0;
  int FMaxFontSize = 0;
};

class TPrintDialog : public TCommonDialog {
 public:
  explicit TPrintDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}
  bool Execute() override;
  [[nodiscard]] int Copies() const { return FCopies; }
  void SetCopies(int Value) { FCopies = Value; }
  // The printer chosen in the dialog (empty: the default printer).
  [[nodiscard]] const std::string& PrinterName() const { return FPrinterName; }
  void SetPrinterName(const std::string& Value) { FPrinterName = Value; }
  // The file printed into when the user chose to print to a file (empty: print to the printer).
  [[nodiscard]] const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& Value) { FFileName = Value; }

 private:
  int FCopies = 1;
  std::string FPrinterName;
  std::string FFileName;
};

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn {
  mbYes,
  mbNo,
  mbOK,
  mbCancel,
  mbAbort,
  mbRetry,
  mbIgnore,
  mbAll,
  mbNoToAll,
  mbYesToAll,
  mbHelp
};
using TMsgDlgButtons = TSet<TMsgDlgBtn>;
inline const TMsgDlgButtons mbYesNoCancel = {mbYes, mbNo, mbCancel};
inline const TMsgDlgButtons mbOKCancel = {mbOK, mbCancel};

// Shows a message with the given buttons; returns the modal result of the chosen one (mrYes...).
int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx);
// A message box with an OK button, captioned with the application's title.
void ShowMessage(const std::string& Msg);

// Runs everything modal. The default shows Qt's dialogs; tests install their own.
class TDialogProvider {
 public:
  virtual ~TDialogProvider() = default;
  // Open, save and open-picture dialogs: fill FileName (and Files) and return true, or return false.
  virtual bool ExecuteFileDialog(TOpenDialog* Dialog);
  virtual bool ExecuteColorDialog(TColorDialog* Dialog);
  virtual bool ExecuteFontDialog(TFontDialog* Dialog);
  virtual bool ExecutePrintDialog(TPrintDialog* Dialog);
  // Returns IDOK, IDYES...
  virtual int MessageBox(const std::string& Text, const std::string& Caption, int Flags);
  // Returns mrYes, mrOk...
  virtual int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons);
  // Runs a modal form: Loop runs the message loop until the form's ModalResult is set and returns it.
  // A test provider may act on the form (set ModalResult, click its buttons) before or instead.
  virtual int RunModal(TCustomForm* Form, const std::function<int()>& Loop);
  // Shows a pop-up menu; returns the item picked or null. The caller runs the item's Click.
  virtual TMenuItem* PopupMenu(TPopupMenu* Menu, int X, int Y);
};

// A provider whose answers are functions (tests set those they need). Without a function, file, colour,
// font and print dialogs are cancelled, message boxes answer their first button (IDOK / mrOk, or IDYES /
// mrYes when there is no OK), modal forms run their loop, and pop-up menus pick nothing. Every call is
// counted in Log as "<kind>:<caption or title>".
class TScriptedDialogProvider : public TDialogProvider {
 public:
  std::function<bool(TOpenDialog*)> OnFileDialog;
  std::function<bool(TColorDialog*)> OnColorDialog;
  std::function<bool(TFontDialog*)> OnFontDialog;
  std::function<bool(TPrintDialog*)> OnPrintDialog;
  std::function<int(const std::string& Text, const std::string& Caption, int Flags)> OnMessageBox;
  std::function<int(const std::string& Msg, TMsgDlgType, TMsgDlgButtons)> OnMessageDlg;
  std::function<int(TCustomForm* Form, const std::function<int()>& Loop)> OnRunModal;
  std::function<TMenuItem*(TPopupMenu* Menu, int X, int Y)> OnPopupMenu;
  std::vector<std::string> Log;

  bool ExecuteFileDialog(TOpenDialog* Dialog) override;
  bool ExecuteColorDialog(TColorDialog* Dialog) override;
  bool ExecuteFontDialog(TFontDialog* Dialog) override;
  bool ExecutePrintDialog(TPrintDialog* Dialog) override;
  int MessageBox(const std::string& Text, const std::string& Caption, int Flags) override;
  int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) override;
  int RunModal(TCustomForm* Form, const std::function<int()>& Loop) override;
  TMenuItem* PopupMenu(TPopupMenu* Menu, int X, int Y) override;
};

// The provider in use (never null). The modal entry points (the dialogs' Execute, MessageDlg, the
// application's MessageBox, ShowModal, a pop-up menu's Popup) end the windows' mouse mode
// (CancelMouseMode) before they ask it, so no control keeps a capture or a pressed state whose release
// the modal window takes.
[[nodiscard]] TDialogProvider* DialogProvider();
// Installs a provider (not owned; null restores Qt's). Returns the previous one.
TDialogProvider* SetDialogProvider(TDialogProvider* Provider);
// Installs a provider for the life of a scope.
class TDialogProviderScope {
 public:
  explicit TDialogProviderScope(TDialogProvider* Provider) : FOld(SetDialogProvider(Provider)) {}
  ~TDialogProviderScope() { SetDialogProvider(FOld); }
  TDialogProviderScope(const TDialogProviderScope&) = delete;
  TDialogProviderScope& operator=(const TDialogProviderScope&) = delete;

 private:
  TDialogProvider* FOld;
};
