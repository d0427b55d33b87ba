// libFuzzer entry for the designer's project loader. Any input either loads or is refused with one of
// the class library's exceptions; a project that loads saves a text that loads again and saves the same
// bytes. "@DIR@" in an input stands for a folder with the pictures and sounds the golden projects name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "tests/document/DocumentFixture.h"

using namespace doctest;

namespace {

const TAppFolder& Folder() {
  static const TAppFolder folder;
  return folder;
}

// Loads File into a new document and saves it as Saved; false when the load refuses the file.
bool LoadAndSave(const std::string& File, const std::string& Saved) {
  TVXBrowser document(nullptr);
  document.SetAppDir(Folder().Path());
  try {
    document.LoadProject(File);
  } catch (const Exception&) {
    return false;
  }
  document.SaveProject(Saved);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  (void)Application->Title();  // starts the window system the design surface needs
  (void)Folder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const TAppFolder& f = Folder();
  WriteAll(f / "input.VX",
           Replace(std::string(reinterpret_cast<const char*>(Data), Size), "@DIR@", f.Path()));
  if (LoadAndSave(f / "input.VX", f / "first.VX")) {
    // What the saver writes loads again, and saving it once more changes nothing.
    if (!LoadAndSave(f / "first.VX", f / "second.VX")) std::abort();
    if (ReadAll(f / "first.VX") != ReadAll(f / "second.VX")) std::abort();
  }
  Application->ProcessMessages();  // the windows of the freed documents go
  return 0;
}
