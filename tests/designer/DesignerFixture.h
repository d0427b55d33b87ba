// The designer's three windows in a private copy of the application folder: dialogs, the question box
// and sounds are scripted, the registry lives in the test's own folder, reports are recorded.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "designer/DesignerPanel.h"
#include "designer/MainPanel.h"
#include "designer/VexMessages.h"
#include "gif/GIFImage.h"
#include "platform/media/MMSystem.h"
#include "platform/media/ScriptedWebEngine.h"
#include "platform/media/WebEngine.h"
#include "platform/rtl/FileUtils.h"
#include "platform/ui/Dialogs.h"
#include "skin/KUtilities.h"
#include "tests/ui/UiTestUtil.h"

namespace dt {

namespace fs = std::filesystem;

inline std::string ReadAll(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteAll(const std::string& Path, const std::string& Data) {
  fs::create_directories(fs::path(Path).parent_path());
  std::ofstream out(Path, std::ios::binary);
  out << Data;
}

// True when both bitmaps have the same size and pixels.
inline bool SamePicture(TBitmap* A, TBitmap* B) {
  if (A == nullptr || B == nullptr) return A == B;
  if (A->Width() != B->Width() || A->Height() != B->Height()) return false;
  for (int y = 0; y < A->Height(); ++y)
    for (int x = 0; x < A->Width(); ++x)
      if (A->Canvas()->Pixels(x, y) != B->Canvas()->Pixels(x, y)) return false;
  return true;
}

// The application folder is copied once per test program; every test runs in it.
class DesignerEnvironment {
 public:
  static const std::string& Folder() {
    static const std::string folder = [] {
      std::string pattern = (fs::temp_directory_path() / "pelloran-designer-XXXXXX").string();
      if (::mkdtemp(pattern.data()) == nullptr) std::abort();
      fs::copy(PELLORAN_TEST_APP_DIR, pattern, fs::copy_options::recursive);
      // The copy goes when the test program ends.
      static const std::string* kept = new std::string(pattern);
      std::atexit([] {
        std::error_code ec;
        fs::current_path(fs::temp_directory_path(), ec);
        fs::remove_all(*kept, ec);
      });
      ::setenv("XDG_CONFIG_HOME", (pattern + "/config").c_str(), 1);
      fs::current_path(pattern);
      SetStartDirectory(pattern);
      RegisterGIFImageFormat();
      return pattern;
    }();
    return folder;
  }
};

class DesignerFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)Application->Title();
    App = DesignerEnvironment::Folder();
    fs::current_path(App);
    fs::remove_all(App + "/config");
    fs::remove_all(App + "/work");
    fs::create_directories(App + "/work");
    PreviousFactory = SetWebEngineFactory([] { return std::make_unique<TScriptedWebEngine>(); });
    auto recorder = std::make_unique<TRecordingSoundOutput>();
    Sounds = recorder.get();
    PreviousOutput = SetSoundOutput(std::move(recorder));
    Dialogs.OnFileDialog = [this](TOpenDialog* Dialog) { return AnswerFile(Dialog); };
    Dialogs.OnRunModal = [this](TCustomForm* Form, const std::function<int()>& Loop) {
      return AnswerModal(Form, Loop);
    };
    Scope = std::make_unique<TDialogProviderScope>(&Dialogs);
    Reports = std::make_unique<TExceptionRecorder>();
    if (CreateOnSetUp) CreateWindows();
  }

  void TearDown() override {
    DestroyWindows();
    Reports.reset();
    Scope.reset();
    SetSoundOutput(std::move(PreviousOutput));
    SetWebEngineFactory(PreviousFactory);
  }

  void CreateWindows() {
    Main = TCustomForm::Create<TMainForm>(nullptr);
    Editor = TCustomForm::Create<TPropertyForm>(nullptr);
    Question = TCustomForm::Create<TVexMessage>(nullptr);
    Editor->SetMainWindow(Main);
    Main->SetPropertyForm(Editor);
    Main->SetQuestionBox(Question);
  }

  void DestroyWindows() {
    delete Main;
    Main = nullptr;
    delete Editor;
    Editor = nullptr;
    delete Question;
    Question = nullptr;
  }

  // File dialogs answer from the queue (an empty string cancels); the question box clicks the queued
  // answer (-1 closes it without a button).
  bool AnswerFile(TOpenDialog* Dialog) {
    FileDialogs.push_back(Dialog->Name());
    if (Files.empty()) return false;
    const std::string file = Files.front();
    Files.pop_front();
    if (file.empty()) return false;
    Dialog->SetFileName(file);
    return true;
  }

  int AnswerModal(TCustomForm* Form, const std::function<int()>&) {
    ++Questions;
    if (Answers.empty()) {
      ADD_FAILURE() << "unexpected question";
      Form->SetModalResult(mrCancel);
      return mrCancel;
    }
    const int answer = Answers.front();
    Answers.pop_front();
    auto* box = dynamic_cast<TVexMessage*>(Form);
    if (box == nullptr || answer < 0) {
      Form->Close();
      return Form->ModalResult();
    }
    TOrganicShapeButton* buttons[] = {box->YesBut, box->NoBut, box->CancelBut};
    buttons[answer]->OnClick(buttons[answer]);
    return Form->ModalResult();
  }

  // A new project with its skin, the web element selected.
  void NewProject() {
    Main->NewButClick(Main->NewBut);
    ASSERT_NE(Main->Document(), nullptr);
  }

  // Inserts an element with the tool at (X, Y) of the surface, as the user does.
  void Insert(TOrganicShapeButton* Tool, int X, int Y) {
    Tool->OnClick(Tool);
    Doc()->SurfaceMouseDown(Doc()->Surface(), mbLeft, TShiftState{ssLeft}, X, Y, nullptr);
  }

  [[nodiscard]] TVXBrowser* Doc() const { return Main->Document(); }
  [[nodiscard]] std::string Work(const std::string& Name) const { return App + "/work/" + Name; }

  bool CreateOnSetUp = true;
  std::string App;
  TRecordingSoundOutput* Sounds = nullptr;
  std::unique_ptr<TSoundOutput> PreviousOutput;
  TWebEngineFactory PreviousFactory;
  TScriptedDialogProvider Dialogs;
  std::unique_ptr<TDialogProviderScope> Scope;
  std::unique_ptr<TExceptionRecorder> Reports;
  std::deque<std::string> Files;
  std::deque<int> Answers;
  std::vector<std::string> FileDialogs;
  int Questions = 0;
  TMainForm* Main = nullptr;
  TPropertyForm* Editor = nullptr;
  TVexMessage* Question = nullptr;
};

}  // namespace dt
