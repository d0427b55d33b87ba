// Whole GIF files: fixtures made by ImageMagick, Pillow and giflib, our output read back by giflib and
// Pillow, the block list, the header and hostile input.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/gif/GIFTestUtil.h"
#include "tests/rtl/TempDir.h"

namespace {

// One folder per run of the suite, so that runs side by side do not share files.
const TempDir& Scratch() {
  static const TempDir dir;
  return dir;
}

struct FixtureEntry {
  std::string Name;
  int Frames = 0;
};

std::vector<FixtureEntry> Manifest() {
  const Bytes text = ReadFileBytes(DataPath("MANIFEST"));
  std::istringstream in(std::string(text.begin(), text.end()));
  std::vector<FixtureEntry> entries;
  FixtureEntry e;
  while (in >> e.Name >> e.Frames)
    entries.push_back(e);
  return entries;
}

Bytes AllFramePixels(const TGIFImage& Image) {
  Bytes all;
  for (int i = 0; i < Image.Images()->Count(); ++i) {
    const Bytes p = FramePixels(Image.Images()->SubImage(i));
    all.insert(all.end(), p.begin(), p.end());
  }
  return all;
}

void LoadInto(TGIFImage& Image, const Bytes& Data) {
  auto stream = MemoryOf(Data);
  Image.LoadFromStream(stream.get());
}

std::string RunCommand(const std::string& Command) {
  std::string out;
  FILE* pipe = popen(Command.c_str(), "r");
  if (!pipe) return out;
  std::array<char, 4096> buffer{};
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    out.append(buffer.data(), n);
  pclose(pipe);
  return out;
}

std::string Hex(const Bytes& Data) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (uint8_t b : Data) {
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s;
}

std::string Signature(TGIFImage& Image) {
  const Bytes data = SaveImage(Image);
  return std::string(data.begin(), data.begin() + 6);
}

}  // namespace

// Every trusted fixture decodes to the indices giflib and ImageMagick agree on, without warnings; our
// copy written by either encoder is read by giflib with the same indices.
TEST(GIFFile, FixturesDecodeAsIndependentDecodersDo) {
  const auto entries = Manifest();
  ASSERT_GE(entries.size(), 15u);
  for (const auto& entry : entries) {
    SCOPED_TRACE(entry.Name);
    TGIFImage image;
    WarningLog warnings;
    warnings.Attach(image);
    LoadInto(image, ReadFileBytes(DataPath(entry.Name)));
    ASSERT_EQ(image.Images()->Count(), entry.Frames);
    const std::string base = entry.Name.substr(0, entry.Name.size() - 4);
    EXPECT_EQ(AllFramePixels(image), ReadFileBytes(DataPath(base + ".idx")));
    EXPECT_TRUE(warnings.Messages.empty()) << warnings.Messages.front();

    for (TGIFCompression compression : {gcLZW, gcRLE}) {
      image.SetCompression(compression);
      const Bytes ours = SaveImage(image);
      const GiflibView view = ReadWithGiflib(ours);
      ASSERT_EQ(view.Error, 0);
      ASSERT_EQ(static_cast<int>(view.Frames.size()), entry.Frames);
      for (int i = 0; i < entry.Frames; ++i)
        EXPECT_EQ(view.Frames[static_cast<size_t>(i)], FramePixels(image.Images()->SubImage(i)))
            << "frame " << i;
      EXPECT_EQ(view.Width, image.Width());
      EXPECT_EQ(view.Height, image.Height());
      TGIFImage again;
      LoadInto(again, ours);
      EXPECT_EQ(AllFramePixels(again), AllFramePixels(image));
    }
  }
}

TEST(GIFFile, ExtensionsOfFixturesSurvive) {
  TGIFImage image;
  LoadInto(image, ReadFileBytes(DataPath("gl_text.gif")));
  TGIFSubImage* first = image.Images()->SubImage(0);
  ASSERT_EQ(first->Extensions()->Count(), 2);
  auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(first->Extensions()->Extensions(0));
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(loop->Loops(), 5);
  auto* comment = dynamic_cast<TGIFCommentExtension*>(first->Extensions()->Extensions(1));
  ASSERT_NE(comment, nullptr);
  EXPECT_EQ(comment->Text()->Strings(0), "first comment line");
  auto* text = dynamic_cast<TGIFTextExtension*>(image.Images()->SubImage(1)->Extensions()->Extensions(0));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->GridWidth, 8);
  EXPECT_EQ(text->Text()->Strings(0), "Hello");
  EXPECT_TRUE(first->Interlaced());
  EXPECT_EQ(first->ColorMap()->Count(), 8);
  // Written back, the bytes between the header and the first image descriptor are identical.
  const Bytes original = ReadFileBytes(DataPath("gl_text.gif"));
  const Bytes ours = SaveImage(image);
  const size_t descriptor = 13 + 12;
  const auto end = std::find(original.begin() + descriptor, original.end(), 0x2C) - original.begin();
  EXPECT_TRUE(std::equal(original.begin() + descriptor, original.begin() + end, ours.begin() + descriptor));
}

// Pillow reads what we write: frame count, size, and the first frame's indices.
TEST(GIFFile, PillowReadsOurFiles) {
  if (RunCommand("/usr/bin/python3 -c 'import PIL; print(1)' 2>/dev/null") != "1\n")
    GTEST_SKIP() << "no Pillow";
  TGIFImage image;
  LoadInto(image, ReadFileBytes(DataPath("pil_anim.gif")));
  image.SetCompression(gcRLE);
  const Bytes ours = SaveImage(image);
  const std::string path = Scratch() / "gif_pillow_check.gif";
  FILE* f = fopen(path.c_str(), "wb");
  fwrite(ours.data(), 1, ours.size(), f);
  fclose(f);
  const std::string out = RunCommand(
      "/usr/bin/python3 -c \"from PIL import Image; im = Image.open('" + path +
      "'); print(im.size[0], im.size[1], im.n_frames, im.info.get('version').decode(), im.info.get('loop')); "
      "print(bytes(im.getdata()).hex())\"");
  std::ostringstream expected;
  expected << image.Width() << " " << image.Height() << " 3 GIF89a 3\n"
           << Hex(FramePixels(image.Images()->SubImage(0))) << "\n";
  EXPECT_EQ(out, expected.str());
}

// The colour-table size field of the header announces what the global table writes, whatever the local
// tables hold.
TEST(GIFFile, HeaderSizeFieldFollowsTheGlobalTable) {
  TGIFImage image;
  FillColorMap(image.GlobalColorMap(), 3);
  TGIFSubImage* frame = AddPixelFrame(image, 4, 2, Bytes{0, 1, 2, 0, 1, 2, 0, 1});
  FillColorMap(frame->ColorMap(), 200);
  const Bytes ours = SaveImage(image);
  EXPECT_EQ(ours[10], 0x80 | 0x70 | 0x01) << "table present, resolution 8 bits, 2^(1+1) entries";
  // Four triplets follow (the fourth black), then the image descriptor.
  EXPECT_EQ(ours[13 + 12], 0x2C);
  EXPECT_EQ(Bytes(ours.begin() + 22, ours.begin() + 25), Bytes(3, 0));
  const GiflibView view = ReadWithGiflib(ours);
  EXPECT_EQ(view.Error, 0);
  EXPECT_EQ(view.GlobalColors, 4);
  EXPECT_EQ(view.Version, "GIF87a");
}

TEST(GIFFile, WrittenVersionIsTheHigherOfHeaderAndContent) {
  TGIFImage image;
  FillColorMap(image.GlobalColorMap(), 2);
  AddPixelFrame(image, 1, 1, Bytes{1});
  EXPECT_EQ(Signature(image), "GIF87a");
  image.Header()->LogicalScreenDescriptor.AspectRatio = 49;
  EXPECT_EQ(Signature(image), "GIF89a");
  image.Header()->LogicalScreenDescriptor.AspectRatio = 0;
  auto gce = std::make_unique<TGIFGraphicControlExtension>(image.Images()->SubImage(0));
  image.Images()->SubImage(0)->Extensions()->Add(std::move(gce));
  EXPECT_EQ(Signature(image), "GIF89a");
}

TEST(GIFFile, SignatureRules) {
  TGIFImage source;
  FillColorMap(source.GlobalColorMap(), 2);
  AddPixelFrame(source, 2, 1, Bytes{1, 0});
  Bytes data = SaveImage(source);
  // Lower case signature and any version text.
  Bytes lower = data;
  std::memcpy(lower.data(), "gif12x", 6);
  // Four other bytes in front.
  Bytes prefixed{1, 2, 3, 4};
  prefixed.insert(prefixed.end(), data.begin(), data.end());
  for (const Bytes& file : {lower, prefixed}) {
    TGIFImage image;
    LoadInto(image, file);
    EXPECT_EQ(FramePixels(image.Images()->SubImage(0)), (Bytes{1, 0}));
  }
  Bytes bad = data;
  bad[0] = 'X';
  TGIFImage image;
  auto stream = MemoryOf(bad);
  try {
    image.LoadFromStream(stream.get());
    ADD_FAILURE();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Invalid GIF signature");
  }
  EXPECT_EQ(stream->Position(), 0) << "a failed load leaves the stream where it was";
  // No frames: nothing is written.
  TGIFImage empty;
  TMemoryStream out;
  EXPECT_THROW(empty.SaveToStream(&out), GIFException);
  EXPECT_EQ(out.Size(), 0);
}

TEST(GIFFile, BlockListSkipsZerosAndStopsAtUnknownBlocks) {
  TGIFImage source;
  FillColorMap(source.GlobalColorMap(), 4);
  AddPixelFrame(source, 2, 2, Bytes{0, 1, 2, 3});
  AddPixelFrame(source, 2, 2, Bytes{3, 2, 1, 0});
  const Bytes data = SaveImage(source);
  const size_t secondFrame = std::find(data.begin() + 40, data.end(), 0x2C) - data.begin();

  Bytes zeros(data.begin(), data.begin() + static_cast<long>(secondFrame));
  zeros.insert(zeros.end(), 5, 0);
  zeros.insert(zeros.end(), data.begin() + static_cast<long>(secondFrame), data.end() - 1);
  zeros.insert(zeros.end(), {0, 0, 0x3B, 0});
  Bytes noTrailer(data.begin(), data.end() - 1);
  Bytes unknown(data.begin(), data.begin() + static_cast<long>(secondFrame));
  unknown.push_back('X');
  unknown.insert(unknown.end(), data.begin() + static_cast<long>(secondFrame), data.end());

  struct Case {
    const char* Name;
    Bytes File;
    int Frames;
    std::vector<std::string> Warnings;
  };
  for (const auto& c : std::vector<Case>{
           {"zeros", zeros, 2, {}},
           {"no trailer", noTrailer, 2, {}},
           {"unknown block", unknown, 1, {"Unknown GIF block type", "Invalid Image trailer"}}}) {
    TGIFImage image;
    WarningLog log;
    log.Attach(image);
    LoadInto(image, c.File);
    EXPECT_EQ(image.Images()->Count(), c.Frames) << c.Name;
    EXPECT_EQ(log.Messages, c.Warnings) << c.Name;
  }
}

TEST(GIFFile, ExtensionsBeforeTheTrailerMakeAFrameWithoutImage) {
  TGIFImage source;
  FillColorMap(source.GlobalColorMap(), 2);
  AddPixelFrame(source, 1, 1, Bytes{1});
  auto trailing = std::make_unique<TGIFSubImage>(&source);
  auto comment = std::make_unique<TGIFCommentExtension>(trailing.get());
  comment->Text()->Add("the end");
  trailing->Extensions()->Add(std::move(comment));
  source.AddFrame(std::move(trailing));
  const Bytes data = SaveImage(source);
  TGIFImage image;
  LoadInto(image, data);
  ASSERT_EQ(image.Images()->Count(), 2);
  EXPECT_TRUE(image.Images()->SubImage(1)->IsEmpty());
  EXPECT_EQ(SaveImage(image), data);
  // A copy keeps the trailing comment too.
  TGIFImage copy;
  copy.Assign(&image);
  EXPECT_EQ(SaveImage(copy), data);
}

TEST(GIFFile, ProgressOfSavingThreeFrames) {
  TGIFImage image;
  FillColorMap(image.GlobalColorMap(), 2);
  for (int i = 0; i < 3; ++i)
    AddPixelFrame(image, 1, 1, Bytes{0});
  std::vector<int> running;
  std::vector<std::string> messages;
  image.OnProgress = [&](TObject*, TProgressStage stage, uint8_t percent, bool, const TRect&,
                         const std::string& msg) {
    if (stage == psRunning) running.push_back(percent);
    messages.push_back(msg);
  };
  (void)SaveImage(image);
  EXPECT_EQ(running, (std::vector<int>{33, 67, 100}));
  EXPECT_EQ(messages.front(), "Saving...");
}

// Truncated and corrupted files raise GIF errors or warn; they never read or write out of bounds (this
// suite runs under AddressSanitizer in the sanitizer build).
TEST(GIFFile, HostileFilesRaiseOrWarnOnly) {
  for (const char* name :
       {"gl_text.gif", "pil_anim.gif", "im_interlaced_h5.gif", "rechunk1_im_anim_local.gif"}) {
    const Bytes original = ReadFileBytes(DataPath(name));
    ASSERT_FALSE(original.empty()) << DataPath(name);
    auto tryLoad = [](const Bytes& data) {
      TGIFImage image;
      image.OnWarningMessage = [](TObject*, int, const std::string&) {};
      try {
        LoadInto(image, data);
        if (!image.Empty()) (void)SaveImage(image);
      } catch (const Exception&) {
      }
    };
    for (size_t n = 0; n < original.size(); ++n)
      tryLoad(Bytes(original.begin(), original.begin() + static_cast<long>(n)));
    std::mt19937 rng(42);
    for (int round = 0; round < 400; ++round) {
      Bytes damaged = original;
      for (int k = 0; k < 1 + round % 4; ++k)
        damaged[rng() % damaged.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
      tryLoad(damaged);
    }
  }
}

TEST(GIFFile, HugeFramesAreRefused) {
  // A 65535 x 65535 frame would need 4 GB of pixels.
  Bytes huge{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
  huge.insert(huge.end(), {0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 1, 0x44, 0, 0x3B});
  // Frames of 4096 x 2048 (codes clear and end only): eight fill the file's 64 megapixels, a ninth is
  // one too many.
  auto frames = [](int Count) {
    Bytes file{'G', 'I', 'F', '8', '9', 'a', 0, 0x10, 0, 0x08, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
    for (int i = 0; i < Count; ++i)
      file.insert(file.end(), {0x2C, 0, 0, 0, 0, 0, 0x10, 0, 0x08, 0, 2, 1, 0x2C, 0});
    file.push_back(0x3B);
    return file;
  };
  const std::pair<Bytes, bool> cases[] = {{huge, false}, {frames(8), true}, {frames(9), false}};
  for (const auto& [file, loads] : cases) {
    TGIFImage image;
    image.OnWarningMessage = [](TObject*, int, const std::string&) {};
    try {
      LoadInto(image, file);
      EXPECT_TRUE(loads) << file.size();
      EXPECT_EQ(image.Images()->Count(), 8);
    } catch (const GIFException& e) {
      EXPECT_FALSE(loads) << file.size();
      EXPECT_STREQ(e.what(), "Invalid image dimensions");
    }
  }
}

// Many small frames load in time linear in their number, read from a file through a buffer: the frame
// bound is a running total, and a frame's many one-byte reads do not each reach the file.
TEST(GIFFile, HundredThousandFramesLoadInBoundedTime) {
  constexpr int frames = 100000;
  Bytes file{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
  // A 1 x 1 frame of colour 0: codes clear, 0, end at three bits.
  const Bytes frame{0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0};
  for (int i = 0; i < frames; ++i)
    file.insert(file.end(), frame.begin(), frame.end());
  file.push_back(0x3B);
  const std::string path = Scratch() / "gif_many_frames.gif";
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  }
  // Counts the reads that reach the file.
  struct CountingStream : TStream {
    TFileStream File;
    int Reads = 0;
    explicit CountingStream(const std::string& Path) : File(Path, fmOpenRead) {}
    int64_t Read(void* Buffer, int64_t Count) override {
      ++Reads;
      return File.Read(Buffer, Count);
    }
    int64_t Write(const void* Buffer, int64_t Count) override { return File.Write(Buffer, Count); }
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override { return File.Seek(Offset, Origin); }
  };
  const auto start = std::chrono::steady_clock::now();
  {
    CountingStream stream(path);
    TGIFImage image;
    image.LoadFromStream(&stream);
    ASSERT_EQ(image.Images()->Count(), frames);
    EXPECT_EQ(FramePixels(image.Images()->SubImage(frames - 1)), Bytes{0});
    EXPECT_LT(stream.Reads, 100) << "the file is read in pieces, not byte by byte";
    EXPECT_EQ(stream.Position(), static_cast<int64_t>(file.size())) << "the stream ends after the trailer";
  }
  // Loading and freeing; generous for a loaded or instrumented build (the quadratic steps took 28 s).
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  std::remove(path.c_str());
  // One frame more than a file may hold, and a file beyond the size bound (its frames are never read).
  file.insert(file.end() - 1, frame.begin(), frame.end());
  const std::string big = Scratch() / "gif_big.gif";
  {
    std::ofstream out(big, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), 19);
  }
  std::filesystem::resize_file(big, static_cast<uintmax_t>(MaxGIFFileBytes) + 1);  // sparse
  TGIFImage image;
  EXPECT_THROW(LoadInto(image, file), GIFException);
  TFileStream stream(big, fmOpenRead);
  EXPECT_THROW(image.LoadFromStream(&stream), GIFException);
  std::remove(big.c_str());
}

// ".gif" files load through the picture registry once the format is registered.
TEST(GIFFile, PictureRegistryLoadsGIFFiles) {
  RegisterGIFImageFormat();
  RegisterGIFImageFormat();
  TPicture picture;
  picture.LoadFromFile(DataPath("im_gradient.gif"));
  auto* gif = dynamic_cast<TGIFImage*>(picture.Graphic());
  ASSERT_NE(gif, nullptr);
  EXPECT_EQ(gif->Width(), 64);
  EXPECT_EQ(gif->Height(), 48);
  EXPECT_EQ(picture.Width(), 64);
}

TEST(GIFFile, LoadingReportsProgressAndFilesRoundTrip) {
  TGIFImage image;
  std::vector<std::pair<TProgressStage, int>> stages;
  image.OnProgress = [&](TObject*, TProgressStage stage, uint8_t percent, bool, const TRect&,
                         const std::string& msg) {
    EXPECT_EQ(msg, "Loading...");
    stages.emplace_back(stage, percent);
  };
  LoadInto(image, ReadFileBytes(DataPath("pil_anim.gif")));
  ASSERT_EQ(stages.size(), 5u);
  EXPECT_EQ(stages.front(), std::make_pair(psStarting, 0));
  EXPECT_EQ(stages.back(), std::make_pair(psEnding, 100));
  EXPECT_EQ(stages[3].first, psRunning);
  image.OnProgress = nullptr;
  // A frame writes itself to a file and reads itself back.
  const std::string path = Scratch() / "gif_frame_item.bin";
  TGIFSubImage* frame = image.Images()->SubImage(1);
  frame->WriteToFile(path);
  TGIFSubImage copy(&image);
  copy.ReadFromFile(path);
  EXPECT_EQ(FramePixels(&copy), FramePixels(frame));
  std::remove(path.c_str());
}

// giftext reports the header fields we wrote.
TEST(GIFFile, GiftextAgreesOnHeaderFields) {
  if (RunCommand("command -v giftext").empty()) GTEST_SKIP() << "no giftext";
  TGIFImage image;
  FillColorMap(image.GlobalColorMap(), 16);
  AddPixelFrame(image, 21, 13, NoisePixels(21 * 13, 16, 9));
  TGIFSubImage* local = AddPixelFrame(image, 5, 4, NoisePixels(20, 64, 10));
  FillColorMap(local->ColorMap(), 64);
  image.Header()->LogicalScreenDescriptor.BackgroundColorIndex = 3;
  const Bytes ours = SaveImage(image);
  const std::string path = Scratch() / "gif_giftext_check.gif";
  FILE* f = fopen(path.c_str(), "wb");
  fwrite(ours.data(), 1, ours.size(), f);
  fclose(f);
  const std::string text = RunCommand("giftext " + path);
  EXPECT_NE(text.find("Screen Size - Width = 21, Height = 13."), std::string::npos) << text;
  EXPECT_NE(text.find("ColorResolution = 6, BitsPerPixel = 4, BackGround = 3, Aspect = 0."),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Image Size - Left = 0, Top = 0, Width = 5, Height = 4."), std::string::npos) << text;
  EXPECT_NE(text.find("Image Has Color Map."), std::string::npos) << text;
  EXPECT_NE(text.find("GIF file terminated normally."), std::string::npos) << text;
  std::remove(path.c_str());
}

// giflib reads what both encoders write, for every bit depth, interlaced and not.
TEST(GIFFile, GiflibReadsBothEncodersAtEveryDepth) {
  for (int bpp = 1; bpp <= 8; ++bpp)
    for (bool interlaced : {false, true})
      for (TGIFCompression compression : {gcLZW, gcRLE}) {
        TGIFImage image;
        FillColorMap(image.GlobalColorMap(), 1 << bpp);
        image.SetCompression(compression);
        const Bytes noise = NoisePixels(300 * 200, 1 << bpp, static_cast<uint32_t>(bpp));
        Bytes runs(97 * 31, 0);
        for (size_t i = 0; i < runs.size(); ++i)
          runs[i] = static_cast<uint8_t>((i / 40) % (1u << bpp));
        AddPixelFrame(image, 300, 200, noise, interlaced);
        AddPixelFrame(image, 97, 31, runs, interlaced);
        const GiflibView view = ReadWithGiflib(SaveImage(image));
        ASSERT_EQ(view.Error, 0);
        ASSERT_EQ(view.Frames.size(), 2u);
        EXPECT_EQ(view.Frames[0], noise)
            << "bpp " << bpp << (interlaced ? " interlaced " : " ") << int{compression};
        EXPECT_EQ(view.Frames[1], runs)
            << "bpp " << bpp << (interlaced ? " interlaced " : " ") << int{compression};
      }
}
