// libFuzzer entry for the runtime window's configuration reader: any input is read, or refused with
// one of the class library's exceptions, and the window then shows. Media named in an input are looked
// up in the folder given by PELLORAN_FUZZ_MEDIA (a built browser folder), or the current one.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/media/MMSystem.h"
#include "platform/media/ScriptedWebEngine.h"
#include "runtime/VXBuilder.h"

namespace {

const std::string& InputFile() {
  static const std::string file = (std::filesystem::temp_directory_path() /
                                   ("pelloran-config-fuzz-" + std::to_string(::getpid()) + ".VX"))
                                      .string();
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (const char* media = std::getenv("PELLORAN_FUZZ_MEDIA")) std::filesystem::current_path(media);
  (void)Application->Title();
  (void)SetWebEngineFactory([] { return std::make_unique<TScriptedWebEngine>(); });
  (void)SetSoundOutput(std::make_unique<TRecordingSoundOutput>());
  // Pictures that cannot be loaded are reported without ending the reading: the report goes nowhere.
  Application->OnException = [](TObject*, const Exception&) {};
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::ofstream(InputFile(), std::ios::binary)
      .write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Size));
  auto* window = TCustomForm::Create<TVXBuilder>(nullptr);
  try {
    window->ReadConfig(InputFile());
  } catch (const Exception&) {
  }
  std::filesystem::remove(InputFile());
  // The window is shown as the program shows it after any reading, complete or not.
  window->Show();
  delete window;
  Application->ProcessMessages();
  return 0;
}
