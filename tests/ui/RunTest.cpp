// The message loop of the application ends when the main form closes. In a binary of its own: after it
// the application counts as terminated for the rest of the process.
#include <gtest/gtest.h>

#include <QTimer>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Forms.h"
#include "tests/Sanitizer.h"

namespace {

// Resident memory of this process in KiB.
long ResidentKiB() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// The start-up of the programs leaves the heap as it is: memory of the size of pictures goes back to
// the system when it is freed, which the designer, loading and dropping skins, relies on.
TEST(RunTest, FreedPicturesGoBackToTheSystemAfterStartUp) {
  if (kUnderAddressSanitizer) GTEST_SKIP() << "no memory measures under the address sanitizer";
  Application->Initialize();
  const long before = ResidentKiB();
  constexpr size_t kPicture = size_t{8} << 20;  // a 2-megapixel picture of 32 bits
  std::vector<std::unique_ptr<char[]>> pictures;
  for (int i = 0; i < 7; ++i) {
    pictures.push_back(std::make_unique<char[]>(kPicture));
    for (size_t at = 0; at < kPicture; at += 4096)
      pictures.back()[at] = 1;
  }
  EXPECT_GT(ResidentKiB() - before, 50 * 1024) << "the pictures were taken";
  pictures.clear();
  EXPECT_LT(ResidentKiB() - before, 16 * 1024) << "the freed pictures stay with the process";
}

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
