#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "platform/media/WaveFile.h"
#include "tests/media/WaveBuilder.h"

namespace {

TWaveSound Read(const std::vector<uint8_t>& b) {
  return ReadWave(b.data(), b.size());
}

struct TFixtureCase {
  const char* File;
  uint16_t Channels;
  uint32_t Rate;
  uint16_t Bits;
  uint64_t Frames;
};

class WaveFixtures : public ::testing::TestWithParam<TFixtureCase> {};

// Files written by sox read with the format and sample count sox gave them.
TEST_P(WaveFixtures, ReadsWhatSoxWrote) {
  const auto& c = GetParam();
  const TWaveSound s = LoadWaveFile(MediaFixture(c.File));
  EXPECT_EQ(s.Channels, c.Channels);
  EXPECT_EQ(s.SamplesPerSec, c.Rate);
  EXPECT_EQ(s.BitsPerSample, c.Bits);
  EXPECT_EQ(s.FrameCount(), c.Frames);
}

INSTANTIATE_TEST_SUITE_P(Sox, WaveFixtures,
                         ::testing::Values(TFixtureCase{"tone8m.wav", 1, 11025, 8, 2756},
                                           TFixtureCase{"tone16s.wav", 2, 44100, 16, 11025},
                                           TFixtureCase{"plain16m.wav", 1, 22050, 16, 2205}));

TEST(WaveFile, RefusesFormatsOtherThanEightOrSixteenBitPcm) {
  for (const char* f : {"alaw.wav", "float.wav", "pcm24.wav"}) {
    SCOPED_TRACE(f);
    EXPECT_THROW((void)LoadWaveFile(MediaFixture(f)), EInvalidWave);
  }
}

TEST(WaveFile, SamplesArePassedThroughUnchanged) {
  TWaveBuilder b;
  b.Channels = 2;
  b.Tone(100, 300);
  const TWaveSound s = Read(b.Build());
  EXPECT_EQ(s.Data, b.Samples);
  EXPECT_EQ(s.BlockAlign(), 4u);
  EXPECT_EQ(s.Duration().count(), 13);  // 100 frames at 8000 Hz = 12.5 ms, rounded up
}

TEST(WaveFile, SkipsForeignChunksAndHonoursPadding) {
  TWaveBuilder b;
  b.Bits = 8;
  b.Tone(51, 440);  // odd data size: padded
  std::vector<uint8_t> list;
  TWaveBuilder::Tag(list, "LIST");
  TWaveBuilder::Put32(list, 3);
  list.insert(list.end(), {'a', 'b', 'c', 0});  // odd chunk plus its pad byte
  const TWaveSound s = Read(TWaveBuilder::Riff({list, b.FormatChunk(), list, b.DataChunk()}));
  EXPECT_EQ(s.Data, b.Samples);
}

TEST(WaveFile, DropsATrailingPartialFrame) {
  TWaveBuilder b;
  b.Channels = 2;
  b.Tone(10, 440);
  b.Samples.push_back(7);  // one byte of an eleventh frame
  EXPECT_EQ(Read(b.Build()).FrameCount(), 10u);
}

TEST(WaveFile, ExtensiblePcmIsPcm) {
  TWaveBuilder b;
  b.Tone(20, 440);
  std::vector<uint8_t> fmt = b.FormatChunk();
  fmt[4] = 40;                   // chunk size
  fmt[8] = 0xFE, fmt[9] = 0xFF;  // WAVE_FORMAT_EXTENSIBLE
  TWaveBuilder::Put16(fmt, 22);  // cbSize
  TWaveBuilder::Put16(fmt, 16);  // valid bits
  TWaveBuilder::Put32(fmt, 4);   // channel mask
  const uint8_t pcm[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  fmt.insert(fmt.end(), pcm, pcm + 16);
  EXPECT_EQ(Read(TWaveBuilder::Riff({fmt, b.DataChunk()})).Data, b.Samples);
  fmt[8 + 24] = 3;  // sub-format IEEE float
  EXPECT_THROW(Read(TWaveBuilder::Riff({fmt, b.DataChunk()})), EInvalidWave);
}

struct TDamage {
  const char* What;
  std::function<std::vector<uint8_t>()> Make;
};

// Odd headers and contradictions are refused, not guessed at.
TEST(WaveFile, RefusesOddHeaders) {
  auto with = [](std::function<void(TWaveBuilder&)> change) {
    return [change] {
      TWaveBuilder b;
      b.Tone(50, 440);
      change(b);
      return b.Build();
    };
  };
  const std::vector<TDamage> cases = {
      {"format tag 2 (ADPCM)", with([](TWaveBuilder& b) { b.FormatTag = 2; })},
      {"no channels", with([](TWaveBuilder& b) { b.Channels = 0; })},
      {"three channels", with([](TWaveBuilder& b) { b.Channels = 3; })},
      {"12 bits", with([](TWaveBuilder& b) { b.Bits = 12; })},
      {"zero rate", with([](TWaveBuilder& b) { b.Rate = 0; })},
      {"block align off", with([](TWaveBuilder& b) { b.BlockAlignDelta = 1; })},
      {"byte rate off", with([](TWaveBuilder& b) { b.ByteRateDelta = -2; })},
      {"not RIFF", with([](TWaveBuilder&) {})},
      {"no format chunk",
       [] {
         TWaveBuilder b;
         b.Tone(5, 440);
         return TWaveBuilder::Riff({b.DataChunk()});
       }},
      {"no data chunk",
       [] {
         TWaveBuilder b;
         return TWaveBuilder::Riff({b.FormatChunk()});
       }},
      {"two format chunks",
       [] {
         TWaveBuilder b;
         b.Tone(5, 440);
         return TWaveBuilder::Riff({b.FormatChunk(), b.FormatChunk(), b.DataChunk()});
       }},
      {"short format chunk",
       [] {
         TWaveBuilder b;
         std::vector<uint8_t> fmt = b.FormatChunk();
         fmt[4] = 14;
         fmt.resize(8 + 14);
         return TWaveBuilder::Riff({fmt, b.DataChunk()});
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    std::vector<uint8_t> bytes = c.Make();
    if (std::string(c.What) == "not RIFF") bytes[0] = 'X';
    EXPECT_THROW(Read(bytes), EInvalidWave);
  }
}

// Every cut of a valid image either reads (the cut lies after the data) or is refused; none reads
// out of bounds (the sanitizer build checks that).
TEST(WaveFile, TruncatedImagesAreRefused) {
  TWaveBuilder b;
  b.Tone(40, 440);
  const std::vector<uint8_t> whole = b.Build();
  for (size_t n = 0; n < whole.size(); ++n) {
    SCOPED_TRACE(n);
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + n);
    EXPECT_THROW(Read(cut), EInvalidWave);
  }
  EXPECT_EQ(Read(whole).Data, b.Samples);
}

TEST(WaveFile, DataSizeBeyondTheRiffSizeIsTruncation) {
  TWaveBuilder b;
  b.Tone(40, 440);
  std::vector<uint8_t> bytes = b.Build();
  bytes.insert(bytes.end(), 100, 0);  // room in the buffer, but not inside the RIFF chunk
  bytes[40] += 10;                    // data size claims ten bytes more
  EXPECT_THROW(Read(bytes), EInvalidWave);
  bytes[40] -= 10;
  bytes[41] = 0xFF, bytes[42] = 0xFF, bytes[43] = 0xFF;  // a size that wraps 32 bits
  EXPECT_THROW(Read(bytes), EInvalidWave);
}

TEST(WaveFile, ImageSizeComesFromTheRiffHeader) {
  TWaveBuilder b;
  b.Tone(40, 440);
  const std::vector<uint8_t> bytes = b.Build();
  EXPECT_EQ(WaveImageSize(bytes.data()), bytes.size());
  const uint8_t junk[12] = {'R', 'I', 'F', 'X'};
  EXPECT_EQ(WaveImageSize(junk), 0u);
}

// A file is read up to the largest size a sound file may have (made sparse: zeros after the RIFF
// chunk); one byte more is refused unread, as are a missing file and a folder.
// The process's peak resident memory so far.
long PeakMemoryKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(WaveFile, FilesAreReadUpToTheBound) {
  TWaveBuilder b;
  b.Tone(40, 440);
  const std::string file =
      (std::filesystem::temp_directory_path() / ("pelloran-wave-" + std::to_string(::getpid()) + ".wav"))
          .string();
  const auto sized = [&](uint64_t Size) {
    return [&b, &file, Size] {
      TWaveBuilder::Write(file, b.Build());
      std::filesystem::resize_file(file, Size);
      return file;
    };
  };
  struct Case {
    const char* What;
    std::function<std::string()> Make;
    std::string Error;  // the start of the message; empty: the sound is read
  };
  const Case cases[] = {
      {"at the bound", sized(MaxWaveFileSize), ""},
      {"a byte over", sized(MaxWaveFileSize + 1), "Invalid wave data: file too large"},
      {"missing", [] { return std::string("/nonexistent/sound.wav"); }, "Datei /nonexistent/sound.wav"},
      {"a folder", [] { return MediaFixture(""); }, "Datei " + MediaFixture("")},
  };
  for (const Case& c : cases) {
    try {
      const std::string name = c.Make();
      const long before = PeakMemoryKiB();
      EXPECT_EQ(LoadWaveFile(name).Data, b.Samples) << c.What;
      // The file is a short sound followed by a gigabyte of padding: only the sound is held.
      EXPECT_LT(PeakMemoryKiB() - before, 64 * 1024) << c.What << ": held the whole file";
      EXPECT_EQ(c.Error, "") << c.What << ": read";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message.substr(0, c.Error.size()), c.Error) << c.What;
      EXPECT_NE(c.Error, "") << c.What << ": " << e.Message;
    }
  }
  std::filesystem::remove(file);
}

}  // namespace

namespace {

// Random damage to real files: every result either reads or is refused, never more (run this in an
// ASan build to catch reads out of bounds).
TEST(WaveFile, MutatedImagesNeverCrash) {
  std::mt19937 random(20261208);
  for (const char* f : {"tone8m.wav", "tone16s.wav", "plain16m.wav", "alaw.wav", "pcm24.wav"}) {
    std::ifstream in(MediaFixture(f), std::ios::binary);
    const std::vector<uint8_t> original((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
    ASSERT_GT(original.size(), 44u) << f;
    for (int round = 0; round < 400; ++round) {
      std::vector<uint8_t> bytes = original;
      const int flips = 1 + static_cast<int>(random() % 8);
      for (int i = 0; i < flips; ++i) {
        // Mostly the header, where the sizes and format lie.
        const size_t at = random() % 4 ? random() % 64 : random() % bytes.size();
        bytes[at] = static_cast<uint8_t>(random());
      }
      if (random() % 4 == 0) bytes.resize(random() % bytes.size());
      try {
        const TWaveSound s = ReadWave(bytes.data(), bytes.size());
        EXPECT_LE(s.Data.size(), bytes.size());
        EXPECT_EQ(s.Data.size() % s.BlockAlign(), 0u);
      } catch (const EInvalidWave&) {
      }
    }
  }
}

}  // namespace
