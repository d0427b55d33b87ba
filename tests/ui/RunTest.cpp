// The message loop of the application ends when the main form closes. In a binary of its own: after it
// the application counts as terminated for the rest of the process.
#include <gtest/gtest.h>

#include <QTimer>

#include "platform/ui/Forms.h"

namespace {

TEST(RunTest, RunEndsWhenTheMainFormClosesEvenWithOtherFormsVisible) {
  TForm* main = nullptr;
  Application->CreateForm(main);
  ASSERT_EQ(Application->MainForm(), main);
  TForm* other = nullptr;
  Application->CreateForm(other);
  EXPECT_EQ(Application->MainForm(), main);
  other->Show();
  bool closed = false;
  main->OnClose = [&](TObject*, TCloseAction&) { closed = true; };
  QTimer::singleShot(10, [&] {
    EXPECT_TRUE(main->Visible());
    main->Close();
  });
  Application->Run();
  EXPECT_TRUE(closed);
  EXPECT_TRUE(Application->Terminated());
  delete other;
  delete main;
  EXPECT_EQ(Application->MainForm(), nullptr);
}

}  // namespace
