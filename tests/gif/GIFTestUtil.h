// Helpers shared by the GIF tests: byte buffers, warning capture, frames built from pixel arrays.
#pragma once

#include <gif_lib.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "gif/GIFImage.h"
#include "platform/rtl/Streams.h"

using Bytes = std::vector<uint8_t>;

inline Bytes StreamBytes(TMemoryStream& Stream) {
  return Bytes(Stream.Memory(), Stream.Memory() + Stream.Size());
}

inline std::unique_ptr<TMemoryStream> MemoryOf(const Bytes& Data) {
  auto stream = std::make_unique<TMemoryStream>();
  if (!Data.empty()) stream->WriteBuffer(Data.data(), static_cast<int64_t>(Data.size()));
  stream->SetPosition(0);
  return stream;
}

inline std::string SourceDir() {
  const char* dir = std::getenv("PELLORAN_SOURCE_DIR");
  return dir ? dir : ".";
}

inline std::string DataPath(const std::string& Name) {
  return SourceDir() + "/tests/gif/data/" + Name;
}

inline Bytes ReadFileBytes(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A binary PPM picture (P6, 8 bits): red, green, blue per pixel, rows from the top.
struct Ppm {
  int Width = 0, Height = 0;
  Bytes Rgb;
};

inline Ppm ReadPpm(const std::string& Path) {
  const Bytes data = ReadFileBytes(Path);
  Ppm ppm;
  size_t pos = 0;
  int fields[3] = {0, 0, 0};
  auto skip = [&] {
    while (pos < data.size() && std::isspace(data[pos]))
      ++pos;
  };
  pos = 2;
  for (int& f : fields) {
    skip();
    while (pos < data.size() && std::isdigit(data[pos]))
      f = f * 10 + (data[pos++] - '0');
  }
  ++pos;
  ppm.Width = fields[0];
  ppm.Height = fields[1];
  ppm.Rgb.assign(data.begin() + static_cast<long>(pos), data.end());
  return ppm;
}

// Collects the warnings of an image.
struct WarningLog {
  std::vector<std::string> Messages;
  void Attach(TGIFImage& Image) {
    Image.OnWarningMessage = [this](TObject*, int, const std::string& Message) {
      Messages.push_back(Message);
    };
  }
};

// A palette of Count distinct colours.
inline void FillColorMap(TGIFColorMap* Map, int Count) {
  for (int i = 0; i < Count; ++i)
    Map->Add(static_cast<TColor>((i * 37 % 256) | ((i * 91 % 256) << 8) | (i << 16)));
}

// Adds a frame of the given size whose pixels come from Pixels (row-major).
inline TGIFSubImage* AddPixelFrame(TGIFImage& Image, int Width, int Height, const Bytes& Pixels,
                                   bool Interlaced = false) {
  auto frame = std::make_unique<TGIFSubImage>(&Image);
  TGIFSubImage* raw = frame.get();
  raw->SetBounds(0, 0, Width, Height);
  raw->SetInterlaced(Interlaced);
  if (!Pixels.empty()) std::copy(Pixels.begin(), Pixels.end(), raw->Pixels());
  Image.AddFrame(std::move(frame));
  return raw;
}

inline Bytes SaveImage(TGIFImage& Image) {
  TMemoryStream stream;
  Image.SaveToStream(&stream);
  return StreamBytes(stream);
}

inline Bytes FramePixels(const TGIFSubImage* Frame) {
  return Bytes(Frame->Pixels(), Frame->Pixels() + Frame->PixelsSize());
}

inline Bytes NoisePixels(int Count, int Colors, uint32_t Seed) {
  std::mt19937 rng(Seed);
  Bytes pixels(static_cast<size_t>(Count));
  for (auto& p : pixels)
    p = static_cast<uint8_t>(rng() % static_cast<uint32_t>(Colors));
  return pixels;
}

// What giflib reads from a GIF in memory.
struct GiflibView {
  int Error = 0;
  int Width = 0, Height = 0, ColorResolution = 0, GlobalColors = 0;
  std::string Version;
  std::vector<Bytes> Frames;
};

inline GiflibView ReadWithGiflib(const Bytes& Data) {
  struct Source {
    const Bytes* Data;
    size_t Pos;
  } source{&Data, 0};
  GiflibView view;
  GifFileType* gif = DGifOpen(
      &source,
      [](GifFileType* g, GifByteType* buf, int n) {
        auto* s = static_cast<Source*>(g->UserData);
        const size_t count = std::min(static_cast<size_t>(n), s->Data->size() - s->Pos);
        std::memcpy(buf, s->Data->data() + s->Pos, count);
        s->Pos += count;
        return static_cast<int>(count);
      },
      &view.Error);
  if (!gif) return view;
  if (DGifSlurp(gif) == GIF_OK) {
    view.Width = gif->SWidth;
    view.Height = gif->SHeight;
    view.ColorResolution = gif->SColorResolution;
    view.GlobalColors = gif->SColorMap ? gif->SColorMap->ColorCount : 0;
    view.Version = std::string(DGifGetGifVersion(gif));
    for (int i = 0; i < gif->ImageCount; ++i) {
      const SavedImage& s = gif->SavedImages[i];
      view.Frames.emplace_back(s.RasterBits, s.RasterBits + s.ImageDesc.Width * s.ImageDesc.Height);
    }
  } else {
    view.Error = gif->Error;
  }
  int closeError = 0;
  DGifCloseFile(gif, &closeError);
  return view;
}
