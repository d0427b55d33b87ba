// A runtime window in a scratch folder with its own media: a 200 x 150 skin whose top-left corner is
// key colour, button pictures (the Disabled one smaller, so its outline shows), a click sound and two
// pages. Sounds go to a recorder; the web view's engine is scripted unless a test asks for the real one.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "platform/media/MMSystem.h"
#include "platform/media/ScriptedWebEngine.h"
#include "platform/rtl/FileUtils.h"
#include "runtime/VXBuilder.h"
#include "tests/media/WaveBuilder.h"

namespace rt {

namespace fs = std::filesystem;

inline constexpr TColor Key = 0xFF00FF;  // magenta
inline constexpr TColor SkinColour = 0x804020;
inline constexpr TColor NormalColour = 0x0000C0;
inline constexpr TColor TouchedColour = 0x00C000;
inline constexpr TColor PressedColour = 0xC00000;
inline constexpr TColor DisabledColour = 0x808080;

// The sections every test project starts with: a skin of 200 x 150 with the inner rectangle
// (50, 40, 150, 110), a start size of 300 x 250 and the web rectangle (50, 40) 100 x 70.
inline std::string BaseConfig(const std::string& WebExtra = "") {
  return "Pelloran=V1.0\n"
         "Object=Global\nTop=10\nLeft=20\nWidth=300\nHeight=250\nITop=40\nILeft=50\nIRight=150\n"
         "IBottom=110\nend\n"
         "Object=Web\nTop=40\nLeft=50\nHeight=70\nWidth=100\nPosition=Like designed\nBitmap=skin.bmp\n"
         "InvisibleColor=16711935\nStartSound=<NoSound>\nExitSound=<NoSound>\nZOrder=3\n" +
         WebExtra + "end\n";
}

// A Button section with the four standard pictures.
inline std::string ButtonSection(const std::string& Action, int Left, int Top,
                                 const std::string& Extra = "") {
  return "Object=Button\nTop=" + std::to_string(Top) + "\nLeft=" + std::to_string(Left) +
         "\nMask=n.bmp\nTouched=o.bmp\nPressed=p.bmp\nDisabled=d.bmp\nInvisibleColor=16711935\n"
         "Pressaction=" +
         Action + "\n" + Extra + "end\n";
}

class RuntimeFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)Application->Title();
    if (UseScriptedEngine()) {
      PreviousFactory = SetWebEngineFactory([this] {
        auto engine = std::make_unique<TScriptedWebEngine>();
        Script = engine.get();
        return engine;
      });
    }
    auto recorder = std::make_unique<TRecordingSoundOutput>();
    Sounds = recorder.get();
    PreviousOutput = SetSoundOutput(std::move(recorder));

    std::string pattern = (fs::temp_directory_path() / "pelloran-runtime-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    Dir = pattern;
    OldDir = fs::current_path();
    fs::current_path(Dir);
    MakeMedia();
  }

  void TearDown() override {
    delete Form;
    Form = nullptr;
    SetSoundOutput(std::move(PreviousOutput));
    if (UseScriptedEngine()) SetWebEngineFactory(PreviousFactory);
    fs::current_path(OldDir);
    std::error_code ec;
    fs::remove_all(Dir, ec);
  }

  [[nodiscard]] virtual bool UseScriptedEngine() const { return true; }

  static void Bmp(const std::string& Name, int W, int H, TColor Colour, bool KeyCorner = false) {
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(W, H);
    b.Canvas()->Brush()->SetColor(Colour);
    b.Canvas()->FillRect(Rect(0, 0, W, H));
    if (KeyCorner) {
      b.Canvas()->Brush()->SetColor(Key);
      b.Canvas()->FillRect(Rect(0, 0, 10, 10));
    }
    b.SaveToFile(Name);
  }
  static void Write(const std::string& Name, const std::string& Content) {
    std::ofstream(Name, std::ios::binary) << Content;
  }

  void MakeMedia() {
    Bmp("skin.bmp", 200, 150, SkinColour, true);
    Bmp("n.bmp", 20, 20, NormalColour);
    Bmp("o.bmp", 20, 20, TouchedColour);
    Bmp("p.bmp", 20, 20, PressedColour);
    Bmp("d.bmp", 16, 16, DisabledColour);
    TWaveBuilder tone;
    tone.Tone(80, 440);
    TWaveBuilder::Write("click.wav", tone.Build());
    Write("a.htm", "<html><head><title>Page A</title></head><body><a id=l href='b.htm'>B</a></body></html>");
    Write("b.htm", "<html><head><title>Page B</title></head><body>B</body></html>");
  }

  // Writes Config.VX and reads it into a new window created without the application as owner.
  TVXBuilder* Load(const std::string& Text) {
    Write("Config.VX", Text);
    delete Form;
    Form = TCustomForm::Create<TVXBuilder>(nullptr);
    Form->ReadConfig("Config.VX");
    return Form;
  }

  // Shows the window (running FormShow) and lets the window system settle.
  void Show() {
    Form->Show();
    Pump(50);
  }

  static void Pump(int Milliseconds) {
    QElapsedTimer clock;
    clock.start();
    do {
      QApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (clock.elapsed() < Milliseconds);
  }
  static bool WaitUntil(const std::function<bool()>& Done, int Milliseconds = 30000) {
    QElapsedTimer clock;
    clock.start();
    while (!Done() && clock.elapsed() < Milliseconds)
      QApplication::processEvents(QEventLoop::AllEvents, 20);
    return Done();
  }

  // The first button whose press action is Action.
  TVXOButton* ButtonOf(const std::string& Action) const {
    for (int i = 0; i < Form->ComponentCount(); ++i)
      if (auto* b = dynamic_cast<TVXOButton*>(Form->Components(i));
          b != nullptr && b->Pressaction() == Action)
        return b;
    return nullptr;
  }
  template <typename T>
  T* Nth(int N) const {
    for (int i = 0; i < Form->ComponentCount(); ++i)
      if (auto* c = dynamic_cast<T*>(Form->Components(i)); c != nullptr && N-- == 0) return c;
    return nullptr;
  }

  // A left click as the window layer delivers it.
  static void Click(TControl* Control) {
    Control->HandleMouseDown(mbLeft, TShiftState{ssLeft}, 3, 3, false);
    Control->HandleMouseUp(mbLeft, TShiftState{}, 3, 3);
  }

  [[nodiscard]] std::string Where(const std::string& Name) const { return (Dir / Name).string(); }
  [[nodiscard]] std::string FileURL(const std::string& Name) const { return "file://" + Where(Name); }

  TVXBuilder* Form = nullptr;
  TScriptedWebEngine* Script = nullptr;
  TRecordingSoundOutput* Sounds = nullptr;
  fs::path Dir;
  fs::path OldDir;

 private:
  TWebEngineFactory PreviousFactory;
  std::unique_ptr<TSoundOutput> PreviousOutput;
};

}  // namespace rt
