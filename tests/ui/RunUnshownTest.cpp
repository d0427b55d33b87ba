// A main form that fails while it is being shown is reported once, and the message loop then ends
// instead of running on without a window. In a binary of its own: the application ends with it.
#include <gtest/gtest.h>

#include "platform/ui/Forms.h"
#include "tests/ui/UiTestUtil.h"

namespace {

TEST(RunTest, AMainFormThatCannotBeShownEndsTheProgramAfterOneReport) {
  TExceptionRecorder recorder;
  TForm* main = nullptr;
  Application->CreateForm(main);
  main->OnShow = [](TObject*) { throw EOutOfResources("Can't allocate the DIB handle"); };
  Application->Run();  // returns: without the guard it would wait for a window nobody can close
  EXPECT_EQ(recorder.Messages, std::vector<std::string>{"Can't allocate the DIB handle"});
  EXPECT_FALSE(main->Showing());
  delete main;
}

}  // namespace
