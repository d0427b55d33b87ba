// Dialog filters and default extensions, scripted dialogs and menus, the clipboard, the screen cursor,
// window placement and state.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

#include "platform/ui/Clipbrd.h"
#include "platform/ui/Dialogs.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Menus.h"
#include "platform/ui/QtHost.h"
#include "platform/ui/StdCtrls.h"
#include "tests/ui/UiTestUtil.h"

namespace {

TEST(DialogsTest, FilterSplitsIntoDescriptionAndPatternPairs) {
  struct Case {
    std::string Filter;
    std::vector<std::pair<std::string, std::vector<std::string>>> Expected;
  };
  const Case cases[] = {
      {"Pelloran File *.VX|*.VX", {{"Pelloran File *.VX", {"*.VX"}}}},
      {"Bitmaps (*.bmp)|*.bmp|JPEGs (*.jpg)|*.jpg|All (*.bmp, *.jpg)|*.bmp;*.jpg",
       {{"Bitmaps (*.bmp)", {"*.bmp"}},
        {"JPEGs (*.jpg)", {"*.jpg"}},
        {"All (*.bmp, *.jpg)", {"*.bmp", "*.jpg"}}}},
      {"", {}},
      {"Lonely description", {}},
      {"A|*.a|B", {{"A", {"*.a"}}}},
  };
  for (const Case& c : cases) {
    const auto got = ParseFilter(c.Filter);
    ASSERT_EQ(got.size(), c.Expected.size()) << c.Filter;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].Description, c.Expected[i].first);
      EXPECT_EQ(got[i].Patterns, c.Expected[i].second);
    }
  }
}

TEST(DialogsTest, DefaultExtensionIsAddedOnlyToNamesWithoutOne) {
  struct Case {
    std::string Name, Ext, Expected;
  };
  const Case cases[] = {
      {"/p/test", "*.VX", "/p/test.VX"},     {"/p/test", "VX", "/p/test.VX"},
      {"/p/test", ".VX", "/p/test.VX"},      {"/p/test.vx", "VX", "/p/test.vx"},
      {"/p.d/test", "htm", "/p.d/test.htm"}, {"/p/test", "", "/p/test"},
      {"/p/a.b.c", "VX", "/p/a.b.c"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ApplyDefaultExt(c.Name, c.Ext), c.Expected) << c.Name << " " << c.Ext;
}

TEST(DialogsTest, ScriptedProviderAnswersDialogsAndTheDialogAppliesItsDefaultExtension) {
  TScriptedDialogProvider script;
  TDialogProviderScope scope(&script);
  TSaveDialog save(nullptr);
  save.SetTitle("Build");
  save.SetDefaultExt("*.VX");
  EXPECT_FALSE(save.Execute());  // no answer: cancelled
  script.OnFileDialog = [](TOpenDialog* D) {
    EXPECT_TRUE(D->IsSaveDialog());
    D->SetFileName("/tmp/project");
    return true;
  };
  EXPECT_TRUE(save.Execute());
  EXPECT_EQ(save.FileName(), "/tmp/project.VX");
  script.OnFileDialog = nullptr;
  TOpenPictureDialog pic(nullptr);
  pic.SetTitle("Open Bitmap");
  (void)pic.Execute();
  EXPECT_EQ(script.Log, (std::vector<std::string>{"save:Build", "save:Build", "openpicture:Open Bitmap"}));
  EXPECT_EQ(MessageDlg("Sure?", mtConfirmation, mbYesNoCancel, 0), mrYes);
  script.OnMessageDlg = [](const std::string&, TMsgDlgType, TMsgDlgButtons) { return mrCancel; };
  EXPECT_EQ(MessageDlg("Sure?", mtConfirmation, mbYesNoCancel, 0), mrCancel);
  TColorDialog color(nullptr);
  script.OnColorDialog = [](TColorDialog* D) {
    D->SetColor(clRed);
    return true;
  };
  EXPECT_TRUE(color.Execute());
  EXPECT_EQ(color.Color(), clRed);
}

TEST(DialogsTest, PrintDialogKeepsTheChosenPrinterOrFile) {
  // Qt's print dialog, answered by a timer: accepted, the destination given before comes back (a file
  // wins over a printer); cancelled, nothing changes.
  struct Case {
    bool Accept;
    std::string File;
    int Copies;
  };
  const Case cases[] = {{true, "/tmp/pelloran-print.pdf", 3}, {false, "/tmp/other.pdf", 2}};
  ASSERT_NE(Application.Get(), nullptr);
  for (const Case& c : cases) {
    TPrintDialog dialog(nullptr);
    dialog.SetPrinterName("");
    dialog.SetFileName(c.File);
    dialog.SetCopies(c.Copies);
    bool answered = false;
    QTimer::singleShot(50, [&] {
      auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!modal) return;
      answered = true;
      c.Accept ? modal->accept() : modal->reject();
    });
    EXPECT_EQ(dialog.Execute(), c.Accept);
    EXPECT_TRUE(answered);
    EXPECT_EQ(dialog.FileName(), c.File);
    EXPECT_EQ(dialog.PrinterName(), "");
    EXPECT_EQ(dialog.Copies(), c.Copies);
  }
  // A scripted answer picks a printer; the dialog keeps it for the caller.
  TScriptedDialogProvider script;
  TDialogProviderScope scope(&script);
  script.OnPrintDialog = [](TPrintDialog* D) {
    D->SetPrinterName("Office");
    return true;
  };
  TPrintDialog dialog(nullptr);
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.PrinterName(), "Office");
  EXPECT_EQ(dialog.FileName(), "");
}

TEST(MenusTest, PopupIsModalAndRunsThePickedItem) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  auto* menu = new TPopupMenu(f);
  auto* front = new TMenuItem(f);
  front->SetCaption("Bring to front");
  menu->Items()->Add(front);
  auto* back = new TMenuItem(f);
  back->SetCaption("Send to back");
  menu->Items()->Add(back);
  std::string clicked;
  front->OnClick = [&](TObject*) { clicked = "front"; };
  back->OnClick = [&](TObject*) { clicked = "back"; };
  TScriptedDialogProvider script;
  TDialogProviderScope scope(&script);
  script.OnPopupMenu = [&](TPopupMenu* M, int, int) { return M->Items()->Items(1); };
  auto* shape = new TShape(f);
  shape->SetParent(f);
  shape->SetBounds(10, 10, 50, 50);
  shape->SetPopupMenu(menu);
  f->SetBounds(0, 0, 200, 200);
  ShowAndWait(f);
  MouseClick(shape, 5, 5, mbRight);
  EXPECT_EQ(clicked, "back");
  EXPECT_EQ(menu->PopupComponent(), shape);
  // Freeing the menu clears the control's reference to it.
  delete menu;
  EXPECT_EQ(shape->PopupMenu(), nullptr);
  delete f;
}

TEST(ClipboardTest, TextAndRegisteredFormatsRoundTrip) {
  const UINT gif = RegisterClipboardFormat("GIF Image");
  EXPECT_EQ(RegisterClipboardFormat("GIF Image"), gif);
  EXPECT_GE(gif, 0xC000u);
  Clipboard()->SetAsText("hello");
  EXPECT_TRUE(Clipboard()->HasFormat(CF_TEXT));
  EXPECT_EQ(Clipboard()->AsText(), "hello");
  EXPECT_FALSE(Clipboard()->HasFormat(gif));
  // Between Open and Close several formats go on together; outside, each put replaces the content.
  Clipboard()->Open();
  Clipboard()->SetAsText("both");
  Clipboard()->SetData(gif, {'G', 'I', 'F', '8', '9', 'a'});
  Clipboard()->Close();
  EXPECT_EQ(Clipboard()->AsText(), "both");
  HGLOBAL h = Clipboard()->GetAsHandle(gif);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(GlobalSize(h), 6u);
  EXPECT_EQ(std::string(static_cast<const char*>(GlobalLock(h)), 6), "GIF89a");
  GlobalUnlock(h);
  Clipboard()->SetAsText("alone");
  EXPECT_FALSE(Clipboard()->HasFormat(gif));
  EXPECT_EQ(GlobalFree(reinterpret_cast<HGLOBAL>(0x1234)), reinterpret_cast<HGLOBAL>(0x1234));
}

TEST(ClipboardTest, BitmapsGoOnAndComeBack) {
  TBitmap bmp;
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(4, 3);
  bmp.Canvas()->SetPixels(1, 2, clRed);
  Clipboard()->Assign(&bmp);
  EXPECT_TRUE(Clipboard()->HasFormat(CF_BITMAP));
  TPicture pic;
  pic.Assign(Clipboard());
  ASSERT_NE(pic.Graphic(), nullptr);
  EXPECT_EQ(pic.Width(), 4);
  EXPECT_EQ(pic.Height(), 3);
  EXPECT_EQ(pic.Bitmap()->Canvas()->Pixels(1, 2), clRed);
}

TEST(ScreenTest, OneGlobalCursorThatCrDefaultRemoves) {
  Screen->SetCursor(crHourGlass);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  Screen->SetCursor(crSizeAll);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::SizeAllCursor);
  Screen->SetCursor(crDefault);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_GT(Screen->Width(), 0);
  EXPECT_GT(Screen->Height(), 0);
}

TEST(ScreenTest, FormsAreListedWhileTheyExist) {
  const int before = Screen->FormCount();
  auto* f = TCustomForm::Create<TForm>(nullptr);
  EXPECT_EQ(Screen->FormCount(), before + 1);
  EXPECT_EQ(Screen->Forms(before), f);
  delete f;
  EXPECT_EQ(Screen->FormCount(), before);
}

TEST(PlacementTest, ScreenCentreIsAppliedAtShowTimeWithTheSizeSetInOnShow) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  f->SetBorderStyle(bsNone);
  f->SetPosition(poScreenCenter);
  f->SetBounds(0, 0, 100, 100);
  f->OnShow = [&](TObject*) { f->SetBounds(f->Left(), f->Top(), 200, 120); };
  f->Show();
  EXPECT_EQ(f->Left(), (Screen->Width() - 200) / 2);
  EXPECT_EQ(f->Top(), (Screen->Height() - 120) / 2);
  delete f;
}

TEST(PlacementTest, MaximizedAndBackToNormal) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  f->SetBorderStyle(bsNone);
  f->SetBounds(10, 10, 100, 80);
  int resizes = 0;
  f->OnResize = [&](TObject*) { ++resizes; };
  ShowAndWait(f);
  f->SetWindowState(wsMaximized);
  ProcessEvents();
  EXPECT_EQ(f->WindowState(), wsMaximized);
  EXPECT_GT(f->Width(), 100);
  EXPECT_GE(resizes, 1);
  f->SetWindowState(wsNormal);
  ProcessEvents();
  EXPECT_EQ(f->WindowState(), wsNormal);
  EXPECT_EQ(f->Width(), 100);
  delete f;
}

TEST(TestInputTest, KeysAndPixelsThroughTheLayersOwnInterface) {
  auto* f = TCustomForm::Create<TForm>(nullptr);
  f->SetBounds(0, 0, 200, 100);
  f->SetColor(clTeal);
  auto* e = new TEdit(f);
  e->SetParent(f);
  e->SetBounds(10, 50, 100, 21);
  ShowAndWait(f);
  e->SetFocus();
  TestInput::KeyChars(e, "ab");
  TestInput::KeyClick(e, 'C', TShiftState{ssShift});
  TestInput::KeyClick(e, VK_BACK);
  TestInput::KeyClick(e, 'D');
  EXPECT_EQ(e->Text(), "abd");
  EXPECT_EQ(TestInput::GrabPixel(f, 5, 5), clTeal);
  delete f;
}

}  // namespace
