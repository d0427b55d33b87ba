// Plays through the real device output. Run under with-pulse.sh, a private PulseAudio daemon with a
// null sink gives a device, and parec records from its monitor what actually arrived.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAudioDevice>
#include <QCoreApplication>
#include <QMediaDevices>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/media/MMSystem.h"
#include "tests/media/WaveBuilder.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class AppEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "media_device_tests";
    static char* argv[] = {name, nullptr};
    App = std::make_unique<QCoreApplication>(argc, argv);
  }
  void TearDown() override { App.reset(); }
  std::unique_ptr<QCoreApplication> App;
};
[[maybe_unused]] auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new AppEnvironment);

// Records the null sink's monitor as raw 16-bit mono at 44100 Hz while it lives.
class TMonitorRecording {
 public:
  TMonitorRecording(const std::string& source, const fs::path& file) : FFile(file) {
    FPid = fork();
    if (FPid == 0) {
      const std::string out = file.string();
      std::freopen(out.c_str(), "wb", stdout);
      execlp("parec", "parec", "-d", source.c_str(), "--format=s16le", "--rate=44100", "--channels=1",
             "--latency-msec=20", "--raw", static_cast<char*>(nullptr));
      _exit(127);
    }
    // The monitor streams silence once connected: wait until the first samples arrive.
    WaitForBytes(1);
  }
  // Waits (bounded) until the recording holds at least Bytes bytes; a loaded machine connects late.
  void WaitForBytes(std::uintmax_t Bytes) const {
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    std::error_code ec;
    while (Clock::now() < deadline && (fs::file_size(FFile, ec) < Bytes || ec))
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  // Waits until Seconds more of recording have arrived after this call.
  void WaitForMore(double Seconds) const {
    std::error_code ec;
    const std::uintmax_t now = fs::file_size(FFile, ec);
    WaitForBytes((ec ? 0 : now) + static_cast<std::uintmax_t>(Seconds * 44100) * 2);
  }
  ~TMonitorRecording() { Finish(); }
  std::vector<int16_t> Finish() {
    if (FPid > 0) {
      kill(FPid, SIGTERM);
      waitpid(FPid, nullptr, 0);
      FPid = -1;
    }
    std::ifstream in(FFile, std::ios::binary);
    std::vector<int16_t> samples;
    int16_t s;
    while (in.read(reinterpret_cast<char*>(&s), 2))
      samples.push_back(s);
    return samples;
  }

 private:
  fs::path FFile;
  pid_t FPid = -1;
};

// Frequency from the zero crossings of the part of the recording that is loud.
struct TAnalysis {
  double Seconds = 0;  // loud time
  double Hz = 0;
};
TAnalysis Analyse(const std::vector<int16_t>& s) {
  size_t first = s.size(), last = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (std::abs(s[i]) > 3000) {
      first = std::min(first, i);
      last = i;
    }
  }
  TAnalysis a;
  if (first >= last) return a;
  int crossings = 0;
  for (size_t i = first + 1; i <= last; ++i)
    if ((s[i - 1] < 0) != (s[i] < 0)) ++crossings;
  a.Seconds = double(last - first) / 44100;
  a.Hz = crossings / 2.0 / a.Seconds;
  return a;
}

class DeviceSound : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QMediaDevices::defaultAudioOutput().isNull())
      GTEST_SKIP() << "No audio output device: real playback is not tested here "
                      "(tests/media/with-pulse.sh provides one)";
    (void)SetSoundOutput(nullptr);  // the device output
    Dir = fs::temp_directory_path() / ("media-device-" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  void TearDown() override {
    (void)PlaySound(nullptr, nullptr, 0);
    fs::remove_all(Dir);
  }
  static double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

  fs::path Dir;
};

struct TToneCase {
  const char* File;
  double Seconds;
  double Hz;
};

class DeviceTones : public DeviceSound, public ::testing::WithParamInterface<TToneCase> {};

// A synchronous sound returns after it has played, and its samples reach the device.
TEST_P(DeviceTones, SynchronousSoundPlaysToTheEnd) {
  const auto& c = GetParam();
  const char* monitor = std::getenv("PELLORAN_PULSE_MONITOR");
  std::unique_ptr<TMonitorRecording> recording;
  if (monitor) recording = std::make_unique<TMonitorRecording>(monitor, Dir / "rec.raw");
  const auto t0 = Clock::now();
  ASSERT_TRUE(PlaySound(MediaFixture(c.File).c_str(), nullptr, SND_FILENAME));
  const double took = Seconds(Clock::now() - t0);
  EXPECT_GE(took, c.Seconds * 0.9);
  EXPECT_LT(took, c.Seconds + 1.0);
  if (!recording) {
    std::cout << "No null-sink monitor: the samples that arrived are not checked\n";
    return;
  }
  recording->WaitForMore(0.3);
  const TAnalysis a = Analyse(recording->Finish());
  EXPECT_NEAR(a.Seconds, c.Seconds, 0.05);
  EXPECT_NEAR(a.Hz, c.Hz, c.Hz * 0.05);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DeviceTones,
                         ::testing::Values(TToneCase{"tone8m.wav", 0.25, 440},
                                           TToneCase{"tone16s.wav", 0.25, 1000},
                                           TToneCase{"plain16m.wav", 0.1, 440}));

// A sound without samples plays at once and ends.
TEST_F(DeviceSound, EmptySoundEndsAtOnce) {
  TWaveBuilder b;
  const std::vector<uint8_t> image = b.Build();
  const auto t0 = Clock::now();
  EXPECT_TRUE(PlaySoundMemory(image.data(), image.size(), SND_SYNC));
  EXPECT_LT(Seconds(Clock::now() - t0), 1.0);
}

// A looped synchronous sound plays once: the call returns.
TEST_F(DeviceSound, LoopedSynchronousSoundReturns) {
  const auto t0 = Clock::now();
  ASSERT_TRUE(PlaySound(MediaFixture("tone8m.wav").c_str(), nullptr, SND_FILENAME | SND_LOOP));
  EXPECT_LT(Seconds(Clock::now() - t0), 1.25);
}

TEST_F(DeviceSound, AsynchronousLoopRunsUntilStopped) {
  const auto t0 = Clock::now();
  ASSERT_TRUE(PlaySound(MediaFixture("tone8m.wav").c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_LOOP));
  EXPECT_LT(Seconds(Clock::now() - t0), 0.2);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));  // longer than the sound
  EXPECT_FALSE(PlaySound(MediaFixture("tone8m.wav").c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NOSTOP));
  EXPECT_TRUE(PlaySound(nullptr, nullptr, 0));
  EXPECT_TRUE(PlaySound(MediaFixture("tone8m.wav").c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NOSTOP));
}

// A sound that ends by itself frees the channel: SND_NOSTOP then succeeds.
TEST_F(DeviceSound, AsynchronousSoundEndsByItself) {
  ASSERT_TRUE(PlaySound(MediaFixture("tone8m.wav").c_str(), nullptr, SND_FILENAME | SND_ASYNC));
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  EXPECT_TRUE(PlaySound(MediaFixture("tone8m.wav").c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NOSTOP));
}

// Without an audio device PlaySound fails at once, whatever the flags (ctest runs this binary a second
// time with no sound server reachable).
TEST(NoDevice, PlaySoundFailsWithoutWaiting) {
  if (!QMediaDevices::defaultAudioOutput().isNull()) GTEST_SKIP() << "An audio device exists";
  (void)SetSoundOutput(nullptr);
  for (DWORD flags : {SND_FILENAME, SND_FILENAME | SND_LOOP, SND_FILENAME | SND_ASYNC | SND_LOOP}) {
    SCOPED_TRACE(flags);
    const auto t0 = Clock::now();
    EXPECT_FALSE(PlaySound(MediaFixture("tone16s.wav").c_str(), nullptr, flags));
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - t0).count(), 0.2);
  }
  EXPECT_TRUE(PlaySound(nullptr, nullptr, 0));
}

}  // namespace
