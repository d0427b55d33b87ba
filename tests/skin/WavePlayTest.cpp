#include <gtest/gtest.h>

#include <filesystem>

#include "platform/media/MMSystem.h"
#include "skin/WavePlay.h"
#include "tests/media/SoundFixture.h"
#include "tests/media/WaveBuilder.h"

namespace {

class PlayerWaveTest : public TRecordedSoundTest {
 protected:
  PlayerWaveTest() : TRecordedSoundTest("skin-waveplay-", "sounds") {}
  void SetUp() override {
    TRecordedSoundTest::SetUp();
    Tone.Tone(400, 440);  // 50 ms at 8000 Hz
    Image = Tone.Build();
    TWaveBuilder::Write("sounds/NewButton.wav", Image);
    RegisterSoundResource("CLICK", Image);
  }
  void TearDown() override {
    UnregisterSoundResource("CLICK");
    TRecordedSoundTest::TearDown();
  }

  TWaveBuilder Tone;
  std::vector<uint8_t> Image;
};

struct TSettingsCase {
  TWhereWave Where;
  bool Loop;
  bool Async;
  DWORD Flags;   // handed to PlaySound
  bool Repeats;  // what the channel does with them
  bool Waited;
};

TEST_F(PlayerWaveTest, SettingsBecomePlaySoundFlags) {
  const TSettingsCase cases[] = {
      {wwInFile, false, false, 0x20000, false, true},   {wwInFile, false, true, 0x20001, false, false},
      {wwInFile, true, false, 0x20008, false, true},  // plays once, synchronously: never hangs
      {wwInFile, true, true, 0x20009, true, false},     {wwInResource, false, false, 0x40004, false, true},
      {wwInResource, true, true, 0x4000D, true, false}, {wwInRAM, false, false, 0x4, false, true},
      {wwInRAM, true, true, 0xD, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "where " << c.Where << " loop " << c.Loop << " async " << c.Async);
    TPlayerWave player(nullptr);
    player.SetWhereWave(c.Where);
    player.SetWaveName(c.Where == wwInResource ? "click" : "Sounds\\newbutton.wav");
    player.SetWaveData(Image.data());
    player.SetLoop(c.Loop);
    player.SetAsync(c.Async);
    const size_t before = Out->Played().size();
    EXPECT_TRUE(player.Play());
    const auto request = Out->Requests().back();
    EXPECT_EQ(request.Flags, c.Flags);
    if (c.Where == wwInRAM) {
      EXPECT_EQ(request.Sound, Image.data());
    }
    const auto played = Out->Played();
    ASSERT_EQ(played.size(), before + 1);
    EXPECT_EQ(played.back().Loop, c.Repeats);
    EXPECT_EQ(played.back().Waited, c.Waited);
    EXPECT_EQ(played.back().Sound->Data, Tone.Samples);
  }
}

TEST_F(PlayerWaveTest, StopWithoutPlayingAsksTheChannelAndDoesNoHarm) {
  TPlayerWave player(nullptr);
  player.Stop();
  ASSERT_EQ(Out->Requests().size(), 1u);
  EXPECT_EQ(Out->Requests()[0].Sound, nullptr);
  EXPECT_EQ(Out->Requests()[0].Flags, SND_FILENAME);
  EXPECT_TRUE(Out->Played().empty());
}

TEST_F(PlayerWaveTest, StopEndsTheSoundOfAnyPlayer) {
  TPlayerWave looping(nullptr), other(nullptr);
  looping.SetWaveName("sounds/NewButton.wav");
  looping.SetLoop(true);
  looping.SetAsync(true);
  ASSERT_TRUE(looping.Play());
  EXPECT_TRUE(Out->Playing());
  other.SetWhereWave(wwInResource);
  other.Stop();
  EXPECT_FALSE(Out->Playing());
  EXPECT_EQ(Out->Requests().back().Flags, SND_RESOURCE);
}

// Failures are only reported by the result: nothing is raised.
TEST_F(PlayerWaveTest, WhatCannotPlayReturnsFalse) {
  TPlayerWave player(nullptr);
  EXPECT_FALSE(player.Play());  // empty name
  player.SetWaveName("<NoSound>");
  EXPECT_FALSE(player.Play());
  player.SetWhereWave(wwInRAM);  // no image
  EXPECT_FALSE(player.Play());
  player.SetWhereWave(wwInFile);
  player.SetWaveName("sounds/NewButton.wav");
  Out->SetDeviceAvailable(false);
  EXPECT_FALSE(player.Play());
  EXPECT_TRUE(Out->Played().empty());
}

TEST_F(PlayerWaveTest, OwnedByItsOwner) {
  auto owner = std::make_unique<TComponent>(nullptr);
  auto* player = new TPlayerWave(owner.get());
  EXPECT_EQ(owner->ComponentCount(), 1);
  EXPECT_EQ(owner->Components(0), player);
  EXPECT_EQ(player->WhereWave(), wwInFile);
  EXPECT_FALSE(player->Loop());
  EXPECT_FALSE(player->Async());
  EXPECT_EQ(player->WaveData(), nullptr);
}

}  // namespace
