// Build-time generator of the application folder's media and of the sample browser folder.
//   GenerateAssets <application folder> <sample folder>
// Draws every picture with Qt's raster painter (offscreen), synthesises the sounds, and writes them in
// the formats the programs read: 24-bit BMP, GIF and 16-bit PCM wave files.

#include "assets/DesignerArt.h"
#include "assets/MediaFolder.h"
#include "assets/SampleBrowser.h"
#include "assets/Sounds.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>

namespace {

void GenerateDesignerSounds(MediaFolder& app) {
  app.Wave("sounds/NewStart.wav", StartChime(), kSoundRate);
  app.Wave("sounds/NewExit.wav", ExitChime(), kSoundRate);
  app.Wave("sounds/NewButton.wav", SoftClick(), kSoundRate);
  app.Wave("sounds/NewBoing.wav", Boing(), kSoundRate);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <application folder> <sample folder>\n", argv[0]);
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  try {
    // The programs name this folder "images" and "Images"; one folder serves both spellings through
    // the programs' case-blind path lookup. A folder of the other spelling left by an older generator
    // would make the lookup ambiguous, so it goes.
    const std::filesystem::path lower = std::filesystem::path(argv[1]) / "images";
    const std::filesystem::path upper = std::filesystem::path(argv[1]) / "Images";
    if (std::filesystem::is_directory(lower) && std::filesystem::is_directory(upper) &&
        !std::filesystem::equivalent(lower, upper))
      std::filesystem::remove_all(lower);
    MediaFolder app(argv[1]);
    GenerateDesignerPictures(app);
    GenerateDesignerSounds(app);
    app.Folder("temp");
    MediaFolder sample(argv[2]);
    GenerateSampleBrowser(sample, app);
    std::printf("GenerateAssets: %zu files in %s, %zu files in %s\n", app.Written().size(), argv[1],
                sample.Written().size(), argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "GenerateAssets: %s\n", e.what());
    return 1;
  }
  return 0;
}
