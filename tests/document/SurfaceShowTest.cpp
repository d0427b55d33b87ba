// Shows a project on the design surface for a while, for a look at it on a real display:
//   PELLORAN_SHOW_PROJECT=<file.VX> [PELLORAN_SHOW_SECONDS=n] document_tests --gtest_filter=SurfaceShow.*
// Without the variable the test is skipped.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "document/BrowserClasses.h"
#include "platform/ui/Forms.h"

namespace {

TEST(SurfaceShow, ProjectOnTheDesignSurface) {
  const char* project = std::getenv("PELLORAN_SHOW_PROJECT");
  if (project == nullptr) GTEST_SKIP() << "PELLORAN_SHOW_PROJECT is not set";
  const char* seconds = std::getenv("PELLORAN_SHOW_SECONDS");
  auto doc = std::make_unique<TVXBrowser>(nullptr);
  doc->LoadProject(project);
  TCoolBrowser* s = doc->Surface();
  s->SetLeft(40);
  s->SetTop(40);
  // Select the first button, so the frame shows around an element.
  const std::vector<TVXButton*> buttons = doc->Buttons();
  if (!buttons.empty()) s->SelectControl(buttons.front()->Control());
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds ? std::atoi(seconds) : 5);
  while (std::chrono::steady_clock::now() < end) {
    Application->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(s->Visible());
}

}  // namespace
