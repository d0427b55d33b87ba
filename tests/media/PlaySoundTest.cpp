#include <gtest/gtest.h>

#include <filesystem>

#include "platform/media/MMSystem.h"
#include "tests/media/SoundFixture.h"
#include "tests/media/WaveBuilder.h"

namespace {

class PlaySoundTest : public TRecordedSoundTest {
 protected:
  PlaySoundTest() : TRecordedSoundTest("media-playsound-", "Sounds") {}
  void SetUp() override {
    TRecordedSoundTest::SetUp();
    Tone.Tone(800, 440);  // 100 ms
    TWaveBuilder::Write("Sounds/Tone.wav", Tone.Build());
  }

  TWaveBuilder Tone;
};

struct TFlagCase {
  DWORD Flags;
  bool Loop;    // repeats
  bool Waited;  // the call waited for the end
};

// Looping needs SND_ASYNC: a synchronous looped sound plays once and the call returns.
TEST_F(PlaySoundTest, FlagsDecideLoopingAndWaiting) {
  const TFlagCase cases[] = {
      {SND_FILENAME, false, true},
      {SND_FILENAME | SND_ASYNC, false, false},
      {SND_FILENAME | SND_LOOP, false, true},
      {SND_FILENAME | SND_LOOP | SND_ASYNC, true, false},
      {SND_FILENAME | SND_NODEFAULT | SND_ASYNC, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Flags);
    const size_t before = Out->Played().size();
    EXPECT_TRUE(PlaySound("Sounds/Tone.wav", nullptr, c.Flags));
    const auto played = Out->Played();
    ASSERT_EQ(played.size(), before + 1);
    EXPECT_EQ(played.back().Loop, c.Loop);
    EXPECT_EQ(played.back().Waited, c.Waited);
    if (c.Waited) {
      EXPECT_EQ(played.back().Bound.count(), 100 + 1000);  // the sound's length plus slack
    }
    EXPECT_EQ(played.back().Sound->Data, Tone.Samples);
  }
}

TEST_F(PlaySoundTest, FileNamesResolveBackslashesAndLetterCase) {
  EXPECT_TRUE(PlaySound("sounds\\TONE.wav", nullptr, SND_FILENAME | SND_ASYNC));
  EXPECT_TRUE(PlaySound((Dir / "SOUNDS" / "tone.WAV").c_str(), nullptr, SND_FILENAME | SND_ASYNC));
  EXPECT_TRUE(PlaySound("Sounds/Tone.wav", nullptr, SND_ASYNC));  // a bare name is a file name too
  EXPECT_EQ(Out->Played().size(), 3u);
}

// Nothing is found: no default sound stands in, the call fails and waits for nothing.
TEST_F(PlaySoundTest, UnplayableSoundsFailWithoutPlaying) {
  TWaveBuilder::Write("Sounds/bad.wav", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
  for (const char* name : {"Sounds/missing.wav", "Sounds/bad.wav", "", "Sounds"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(PlaySound(name, nullptr, SND_FILENAME));
  }
  EXPECT_TRUE(Out->Played().empty());
}

TEST_F(PlaySoundTest, MemoryImagesPlayWithAndWithoutSize) {
  const std::vector<uint8_t> image = Tone.Build();
  EXPECT_TRUE(PlaySound(reinterpret_cast<const char*>(image.data()), nullptr, SND_MEMORY | SND_ASYNC));
  EXPECT_TRUE(PlaySoundMemory(image.data(), image.size(), SND_ASYNC));
  // A size that cuts the image short is truncation, refused.
  EXPECT_FALSE(PlaySoundMemory(image.data(), image.size() - 1, SND_ASYNC));
  const auto played = Out->Played();
  ASSERT_EQ(played.size(), 2u);
  EXPECT_EQ(played[0].Sound->Data, Tone.Samples);
  EXPECT_EQ(played[1].Sound->Data, Tone.Samples);
}

TEST_F(PlaySoundTest, ResourcesAreRegisteredImagesFoundIgnoringCase) {
  RegisterSoundResource("Boing", Tone.Build());
  EXPECT_TRUE(PlaySound("BOING", nullptr, SND_RESOURCE | SND_ASYNC));
  EXPECT_FALSE(PlaySound("Sounds/Tone.wav", nullptr, SND_RESOURCE | SND_ASYNC));  // not a resource
  UnregisterSoundResource("boing");
  EXPECT_FALSE(PlaySound("Boing", nullptr, SND_RESOURCE | SND_ASYNC));
  EXPECT_EQ(Out->Played().size(), 1u);
}

TEST_F(PlaySoundTest, WithoutADeviceTheCallFailsAndDoesNotWait) {
  Out->SetDeviceAvailable(false);
  EXPECT_FALSE(PlaySound("Sounds/Tone.wav", nullptr, SND_FILENAME));
  EXPECT_FALSE(PlaySound("Sounds/Tone.wav", nullptr, SND_FILENAME | SND_LOOP | SND_ASYNC));
  EXPECT_TRUE(Out->Played().empty());
}

// One channel: a new sound replaces the one that plays; a null sound stops it.
TEST_F(PlaySoundTest, OneChannelForTheWholeProcess) {
  EXPECT_TRUE(PlaySound("Sounds/Tone.wav", nullptr, SND_FILENAME | SND_ASYNC | SND_LOOP));
  EXPECT_TRUE(Out->Playing());
  EXPECT_FALSE(PlaySound("Sounds/Tone.wav", nullptr, SND_FILENAME | SND_ASYNC | SND_NOSTOP));
  EXPECT_TRUE(PlaySound("Sounds/Tone.wav", nullptr, SND_FILENAME | SND_ASYNC));
  auto played = Out->Played();
  ASSERT_EQ(played.size(), 2u);
  EXPECT_TRUE(played[0].Stopped);
  EXPECT_FALSE(played[1].Stopped);
  EXPECT_TRUE(PlaySound(nullptr, nullptr, SND_FILENAME));
  EXPECT_FALSE(Out->Playing());
  // A failed play still stops what played before.
  EXPECT_TRUE(PlaySound("Sounds/Tone.wav", nullptr, SND_FILENAME | SND_ASYNC));
  EXPECT_FALSE(PlaySound("Sounds/none.wav", nullptr, SND_FILENAME | SND_ASYNC));
  EXPECT_FALSE(Out->Playing());
}

TEST_F(PlaySoundTest, EveryCallIsReportedToTheOutputWithItsFlags) {
  (void)PlaySound("Sounds/none.wav", nullptr, SND_FILENAME | SND_LOOP);
  (void)PlaySound(nullptr, nullptr, SND_RESOURCE);
  const auto requests = Out->Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].Flags, 0x20008u);
  EXPECT_EQ(requests[1].Sound, nullptr);
  EXPECT_EQ(requests[1].Flags, 0x40004u);
}

}  // namespace
