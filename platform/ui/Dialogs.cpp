#include "platform/ui/Dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

#include "platform/gdi/GdiPrivate.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"
#include "platform/ui/QtHost.h"

namespace {

TDialogProvider gQtProvider;
TDialogProvider* gProvider = &gQtProvider;

QString QtFilterOf(const std::string& Filter) {
  QStringList parts;
  for (const TFileFilter& f : ParseFilter(Filter)) {
    QStringList pats;
    for (const std::string& p : f.Patterns)
      pats << QString::fromStdString(p);
    parts << QString::fromStdString(f.Description) + " (" + pats.join(' ') + ")";
  }
  return parts.join(";;");
}

QWidget* ActiveWindowWidget() {
  return QApplication::activeWindow();
}

}  // namespace

std::vector<TFileFilter> ParseFilter(const std::string& Filter) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (start <= Filter.size()) {
    const size_t bar = Filter.find('|', start);
    fields.push_back(Filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::vector<TFileFilter> result;
  for (size_t i = 0; i + 1 < fields.size(); i += 2) {
    TFileFilter f;
    f.Description = fields[i];
    size_t s = 0;
    const std::string& pats = fields[i + 1];
    while (s <= pats.size()) {
      const size_t semi = pats.find(';', s);
      std::string p = pats.substr(s, semi == std::string::npos ? std::string::npos : semi - s);
      if (!p.empty()) f.Patterns.push_back(p);
      if (semi == std::string::npos) break;
      s = semi + 1;
    }
    result.push_back(std::move(f));
  }
  return result;
}

std::string NormalizeDefaultExt(const std::string& DefaultExt) {
  std::string e = DefaultExt;
  if (e.rfind("*.", 0) == 0) e = e.substr(2);
  while (!e.empty() && e.front() == '.')
    e.erase(e.begin());
  return e;
}

std::string ApplyDefaultExt(const std::string& FileName, const std::string& DefaultExt) {
  const std::string ext = NormalizeDefaultExt(DefaultExt);
  if (ext.empty() || FileName.empty()) return FileName;
  const auto slash = FileName.find_last_of("/\\");
  const std::string name = slash == std::string::npos ? FileName : FileName.substr(slash + 1);
  if (name.find('.') != std::string::npos) return FileName;
  return FileName + "." + ext;
}

bool TOpenDialog::Execute() {
  if (OnShow) OnShow(this);
  CancelMouseMode();
  const bool ok = DialogProvider()->ExecuteFileDialog(this);
  if (ok) {
    SetFileName(ApplyDefaultExt(FileName(), DefaultExt()));
    if (Files().empty()) SetFiles({FileName()});
  }
  if (OnClose) OnClose(this);
  return ok;
}

bool TColorDialog::Execute() {
  if (OnShow) OnShow(this);
  CancelMouseMode();
  const bool ok = DialogProvider()->ExecuteColorDialog(this);
  if (OnClose) OnClose(this);
  return ok;
}

TFontDialog::TFontDialog(TComponent* AOwner) : TCommonDialog(AOwner), FFont(std::make_unique<TFont>()) {}

bool TFontDialog::Execute() {
  if (OnShow) OnShow(this);
  CancelMouseMode();
  const bool ok = DialogProvider()->ExecuteFontDialog(this);
  if (OnClose) OnClose(this);
  return ok;
}

bool TPrintDialog::Execute() {
  if (OnShow) OnShow(this);
  CancelMouseMode();
  const bool ok = DialogProvider()->ExecutePrintDialog(this);
  if (OnClose) OnClose(this);
  return ok;
}

int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int /*HelpCtx*/) {
  CancelMouseMode();
  return DialogProvider()->MessageDlg(Msg, DlgType, Buttons);
}

void ShowMessage(const std::string& Msg) {
  Application->MessageBox(Msg, Application->Title(), MB_OK);
}

// ---- The Qt provider -----------------------------------------------------------------------------------

namespace {

// Shows the chosen picture beside the file list of an open-picture dialog.
void AddPreview(QFileDialog& Dialog) {
  auto* preview = new QLabel(&Dialog);
  preview->setFixedSize(160, 160);
  preview->setAlignment(Qt::AlignCenter);
  preview->setFrameShape(QFrame::StyledPanel);
  if (auto* grid = qobject_cast<QGridLayout*>(Dialog.layout()))
    grid->addWidget(preview, 1, grid->columnCount(), grid->rowCount() - 1, 1);
  QObject::connect(&Dialog, &QFileDialog::currentChanged, preview, [preview](const QString& path) {
    QImage img;
    try {
      TPicture pic;
      pic.LoadFromFile(path.toStdString());
      if (auto* bmp = dynamic_cast<TBitmap*>(pic.Graphic()))
        img = BitmapToQImage(bmp->Handle());
      else if (pic.Graphic() != nullptr) {
        TBitmap b;
        b.SetSize(pic.Width(), pic.Height());
        b.Canvas()->Draw(0, 0, pic.Graphic());
        img = BitmapToQImage(b.Handle());
      }
    } catch (...) {
      img = QImage();
    }
    if (img.isNull())
      preview->setText("(None)");
    else
      preview->setPixmap(QPixmap::fromImage(img.scaled(preview->size(), Qt::KeepAspectRatio)));
  });
}

}  // namespace

bool TDialogProvider::ExecuteFileDialog(TOpenDialog* Dialog) {
  QFileDialog dlg(ActiveWindowWidget(), QString::fromStdString(Dialog->Title()));
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  dlg.setAcceptMode(Dialog->IsSaveDialog() ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dlg.setFileMode(Dialog->IsSaveDialog()                           ? QFileDialog::AnyFile
                  : Dialog->Options().Contains(ofAllowMultiSelect) ? QFileDialog::ExistingFiles
                                                                   : QFileDialog::ExistingFile);
  const QString filter = QtFilterOf(Dialog->Filter());
  if (!filter.isEmpty()) {
    dlg.setNameFilter(filter);
    const QStringList names = dlg.nameFilters();
    const int idx = Dialog->FilterIndex() - 1;
    if (idx >= 0 && idx < names.size()) dlg.selectNameFilter(names[idx]);
  }
  const std::string ext = NormalizeDefaultExt(Dialog->DefaultExt());
  if (!ext.empty()) dlg.setDefaultSuffix(QString::fromStdString(ext));
  if (!Dialog->InitialDir().empty()) dlg.setDirectory(QString::fromStdString(Dialog->InitialDir()));
  if (!Dialog->FileName().empty()) dlg.selectFile(QString::fromStdString(Dialog->FileName()));
  if (Dialog->HasPreview()) AddPreview(dlg);
  if (dlg.exec() != QDialog::Accepted) return false;
  std::vector<std::string> files;
  for (const QString& f : dlg.selectedFiles())
    files.push_back(f.toStdString());
  if (files.empty()) return false;
  Dialog->SetFiles(files);
  Dialog->SetFileName(files.front());
  const int fi = static_cast<int>(dlg.nameFilters().indexOf(dlg.selectedNameFilter()));
  if (fi >= 0) Dialog->SetFilterIndex(fi + 1);
  return true;
}

bool TDialogProvider::ExecuteColorDialog(TColorDialog* Dialog) {
  const QColor c = QColorDialog::getColor(ColorToQColor(Dialog->Color()), ActiveWindowWidget(),
                                          QString::fromStdString(Dialog->Title()));
  if (!c.isValid()) return false;
  Dialog->SetColor(static_cast<TColor>(
      RGB(static_cast<BYTE>(c.red()), static_cast<BYTE>(c.green()), static_cast<BYTE>(c.blue()))));
  return true;
}

bool TDialogProvider::ExecuteFontDialog(TFontDialog* Dialog) {
  bool ok = false;
  const QFont f = QFontDialog::getFont(&ok, FontToQFont(Dialog->Font()), ActiveWindowWidget());
  if (!ok) return false;
  TFont* font = Dialog->Font();
  font->SetName(f.family().toStdString());
  if (f.pixelSize() > 0)
    font->SetHeight(-f.pixelSize());
  else
    font->SetSize(static_cast<int>(f.pointSizeF() + 0.5));
  TFontStyles st;
  if (f.bold()) st.Include(TFontStyle::fsBold);
  if (f.italic()) st.Include(TFontStyle::fsItalic);
  if (f.underline()) st.Include(TFontStyle::fsUnderline);
  if (f.strikeOut()) st.Include(TFontStyle::fsStrikeOut);
  font->SetStyle(st);
  return true;
}

bool TDialogProvider::ExecutePrintDialog(TPrintDialog* Dialog) {
  QPrinter printer;
  printer.setCopyCount(Dialog->Copies());
  if (!Dialog->PrinterName().empty()) printer.setPrinterName(QString::fromStdString(Dialog->PrinterName()));
  if (!Dialog->FileName().empty()) printer.setOutputFileName(QString::fromStdString(Dialog->FileName()));
  QPrintDialog dlg(&printer, ActiveWindowWidget());
  if (dlg.exec() != QDialog::Accepted) return false;
  Dialog->SetCopies(printer.copyCount());
  // Printing into a file leaves the printer's name as it was; only one of the two is the destination.
  const QString file = printer.outputFileName();
  Dialog->SetFileName(file.toStdString());
  Dialog->SetPrinterName(file.isEmpty() ? printer.printerName().toStdString() : std::string());
  return true;
}

int TDialogProvider::MessageBox(const std::string& Text, const std::string& Caption, int Flags) {
  QMessageBox box(ActiveWindowWidget());
  box.setWindowTitle(QString::fromStdString(Caption));
  box.setText(QString::fromStdString(Text));
  switch (Flags & 0xF0) {
    case MB_ICONHAND:
      box.setIcon(QMessageBox::Critical);
      break;
    case MB_ICONQUESTION:
      box.setIcon(QMessageBox::Question);
      break;
    case MB_ICONEXCLAMATION:
      box.setIcon(QMessageBox::Warning);
      break;
    case MB_ICONASTERISK:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      break;
  }
  struct B {
    QMessageBox::StandardButton Button;
    int Id;
  };
  std::vector<B> buttons;
  switch (Flags & 0xF) {
    case MB_OKCANCEL:
      buttons = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
      break;
    case MB_ABORTRETRYIGNORE:
      buttons = {
          {QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
      break;
    case MB_YESNOCANCEL:
      buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
      break;
    case MB_YESNO:
      buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
      break;
    case MB_RETRYCANCEL:
      buttons = {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
      break;
    default:
      buttons = {{QMessageBox::Ok, IDOK}};
      break;
  }
  QMessageBox::StandardButtons set;
  for (const B& b : buttons)
    set |= b.Button;
  box.setStandardButtons(set);
  const auto chosen = static_cast<QMessageBox::StandardButton>(box.exec());
  for (const B& b : buttons)
    if (b.Button == chosen) return b.Id;
  return (Flags & 0xF) == MB_OK ? IDOK : IDCANCEL;
}

int TDialogProvider::MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) {
  QMessageBox box(ActiveWindowWidget());
  box.setWindowTitle(QString::fromStdString(Application->Title()));
  box.setText(QString::fromStdString(Msg));
  switch (DlgType) {
    case mtWarning:
      box.setIcon(QMessageBox::Warning);
      break;
    case mtError:
      box.setIcon(QMessageBox::Critical);
      break;
    case mtInformation:
      box.setIcon(QMessageBox::Information);
      break;
    case mtConfirmation:
      box.setIcon(QMessageBox::Question);
      break;
    default:
      break;
  }
  struct B {
    TMsgDlgBtn Btn;
    QMessageBox::StandardButton Button;
    int Result;
  };
  const B all[] = {{mbYes, QMessageBox::Yes, mrYes},
                   {mbNo, QMessageBox::No, mrNo},
                   {mbOK, QMessageBox::Ok, mrOk},
                   {mbCancel, QMessageBox::Cancel, mrCancel},
                   {mbAbort, QMessageBox::Abort, mrAbort},
                   {mbRetry, QMessageBox::Retry, mrRetry},
                   {mbIgnore, QMessageBox::Ignore, mrIgnore},
                   {mbAll, QMessageBox::YesToAll, mrAll},
                   {mbNoToAll, QMessageBox::NoToAll, mrNoToAll},
                   {mbYesToAll, QMessageBox::YesToAll, mrYesToAll},
                   {mbHelp, QMessageBox::Help, mrNone}};
  QMessageBox::StandardButtons set;
  for (const B& b : all)
    if (Buttons.Contains(b.Btn)) set |= b.Button;
  if (set == QMessageBox::NoButton) set = QMessageBox::Ok;
  box.setStandardButtons(set);
  const auto chosen = static_cast<QMessageBox::StandardButton>(box.exec());
  for (const B& b : all)
    if (b.Button == chosen && Buttons.Contains(b.Btn)) return b.Result;
  return mrCancel;
}

int TDialogProvider::RunModal(TCustomForm* /*Form*/, const std::function<int()>& Loop) {
  return Loop();
}

TMenuItem* TDialogProvider::PopupMenu(TPopupMenu* Menu, int X, int Y) {
  QMenu menu;
  std::vector<std::pair<QAction*, TMenuItem*>> map;
  TMenuItem* root = Menu->Items();
  for (int i = 0; i < root->Count(); ++i) {
    TMenuItem* item = root->Items(i);
    if (!item->Visible()) continue;
    if (item->Caption() == "-") {
      menu.addSeparator();
      continue;
    }
    QString text = QString::fromStdString(item->Caption());
    QAction* a = menu.addAction(text);
    a->setCheckable(item->Checked());
    a->setChecked(item->Checked());
    a->setEnabled(item->Enabled());
    map.emplace_back(a, item);
  }
  QAction* chosen = menu.exec(QPoint(X, Y));
  for (auto& [a, item] : map)
    if (a == chosen) return item;
  return nullptr;
}

// ---- The scripted provider -----------------------------------------------------------------------------

bool TScriptedDialogProvider::ExecuteFileDialog(TOpenDialog* Dialog) {
  Log.push_back(std::string(Dialog->IsSaveDialog() ? "save"
                            : Dialog->HasPreview() ? "openpicture"
                                                   : "open") +
                ":" + Dialog->Title());
  return OnFileDialog ? OnFileDialog(Dialog) : false;
}

bool TScriptedDialogProvider::ExecuteColorDialog(TColorDialog* Dialog) {
  Log.push_back("color:" + Dialog->Title());
  return OnColorDialog ? OnColorDialog(Dialog) : false;
}

bool TScriptedDialogProvider::ExecuteFontDialog(TFontDialog* Dialog) {
  Log.push_back("font:" + Dialog->Title());
  return OnFontDialog ? OnFontDialog(Dialog) : false;
}

bool TScriptedDialogProvider::ExecutePrintDialog(TPrintDialog* Dialog) {
  Log.push_back("print:" + Dialog->Title());
  return OnPrintDialog ? OnPrintDialog(Dialog) : false;
}

int TScriptedDialogProvider::MessageBox(const std::string& Text, const std::string& Caption, int Flags) {
  Log.push_back("messagebox:" + Caption + ":" + Text);
  if (OnMessageBox) return OnMessageBox(Text, Caption, Flags);
  switch (Flags & 0xF) {
    case MB_ABORTRETRYIGNORE:
      return IDABORT;
    case MB_YESNOCANCEL:
    case MB_YESNO:
      return IDYES;
    case MB_RETRYCANCEL:
      return IDRETRY;
    default:
      return IDOK;
  }
}

int TScriptedDialogProvider::MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) {
  Log.push_back("messagedlg:" + Msg);
  if (OnMessageDlg) return OnMessageDlg(Msg, DlgType, Buttons);
  if (Buttons.Contains(mbOK)) return mrOk;
  if (Buttons.Contains(mbYes)) return mrYes;
  return mrCancel;
}

int TScriptedDialogProvider::RunModal(TCustomForm* Form, const std::function<int()>& Loop) {
  Log.push_back("modal:" + Form->Name());
  return OnRunModal ? OnRunModal(Form, Loop) : Loop();
}

TMenuItem* TScriptedDialogProvider::PopupMenu(TPopupMenu* Menu, int X, int Y) {
  Log.push_back("popup:" + Menu->Name());
  return OnPopupMenu ? OnPopupMenu(Menu, X, Y) : nullptr;
}

TDialogProvider* DialogProvider() {
  return gProvider;
}

TDialogProvider* SetDialogProvider(TDialogProvider* Provider) {
  TDialogProvider* old = gProvider;
  gProvider = Provider != nullptr ? Provider : &gQtProvider;
  return old;
}
