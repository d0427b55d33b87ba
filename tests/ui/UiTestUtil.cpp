#include "tests/ui/UiTestUtil.h"

TExceptionRecorder::TExceptionRecorder() {
  Application->OnException = [this](TObject*, const Exception& E) { Messages.push_back(E.Message); };
}

TExceptionRecorder::~TExceptionRecorder() {
  Application->OnException = nullptr;
}
