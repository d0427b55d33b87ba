#include "assets/GifFile.h"

#include <fstream>
#include <map>
#include <stdexcept>

namespace {

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

// Packs codes least significant bit first, as GIF's LZW streams are packed.
class CodePacker {
 public:
  void Put(uint32_t code, int width) {
    buffer_ |= code << filled_;
    filled_ += width;
    while (filled_ >= 8) {
      bytes_.push_back(static_cast<uint8_t>(buffer_ & 0xFF));
      buffer_ >>= 8;
      filled_ -= 8;
    }
  }
  std::vector<uint8_t> Finish() {
    if (filled_ > 0) bytes_.push_back(static_cast<uint8_t>(buffer_ & 0xFF));
    buffer_ = 0;
    filled_ = 0;
    return std::move(bytes_);
  }

 private:
  std::vector<uint8_t> bytes_;
  uint32_t buffer_ = 0;
  int filled_ = 0;
};

}  // namespace

std::vector<uint8_t> EncodeGif(const QImage& picture) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  const int width = rgb.width();
  const int height = rgb.height();

  // Palette in order of first appearance.
  std::map<QRgb, uint8_t> index;
  std::vector<QRgb> palette;
  std::vector<uint8_t> pixels;
  pixels.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < width; ++x) {
      const QRgb c = row[x] & 0xFFFFFF;
      auto it = index.find(c);
      if (it == index.end()) {
        if (palette.size() == 256) throw std::runtime_error("a GIF picture holds at most 256 colours");
        it = index.emplace(c, static_cast<uint8_t>(palette.size())).first;
        palette.push_back(c);
      }
      pixels.push_back(it->second);
    }
  }

  int bits = 1;
  while ((1u << bits) < palette.size())
    ++bits;
  const int minCodeSize = bits < 2 ? 2 : bits;
  const uint32_t clearCode = 1u << minCodeSize;
  const uint32_t endCode = clearCode + 1;
  const int codeWidth = minCodeSize + 1;
  // After a clear code the decoder adds one table entry per code from the second on; staying well below
  // the next power of two keeps the code width fixed.
  const uint32_t literalsPerClear = clearCode - 3;

  std::vector<uint8_t> out;
  for (const char c : {'G', 'I', 'F', '8', '9', 'a'})
    out.push_back(static_cast<uint8_t>(c));
  PutU16(out, static_cast<uint32_t>(width));
  PutU16(out, static_cast<uint32_t>(height));
  out.push_back(static_cast<uint8_t>(0x80 | ((bits - 1) << 4) | (bits - 1)));
  out.push_back(0);  // background colour index
  out.push_back(0);  // no aspect ratio
  for (uint32_t i = 0; i < (1u << bits); ++i) {
    const QRgb c = i < palette.size() ? palette[i] : 0;
    out.push_back(static_cast<uint8_t>(qRed(c)));
    out.push_back(static_cast<uint8_t>(qGreen(c)));
    out.push_back(static_cast<uint8_t>(qBlue(c)));
  }
  out.push_back(0x2C);  // image descriptor
  PutU16(out, 0);
  PutU16(out, 0);
  PutU16(out, static_cast<uint32_t>(width));
  PutU16(out, static_cast<uint32_t>(height));
  out.push_back(0);  // no local colour table, not interlaced
  out.push_back(static_cast<uint8_t>(minCodeSize));

  CodePacker packer;
  packer.Put(clearCode, codeWidth);
  uint32_t sinceClear = 0;
  for (const uint8_t p : pixels) {
    if (sinceClear == literalsPerClear) {
      packer.Put(clearCode, codeWidth);
      sinceClear = 0;
    }
    packer.Put(p, codeWidth);
    ++sinceClear;
  }
  packer.Put(endCode, codeWidth);
  const std::vector<uint8_t> stream = packer.Finish();
  for (size_t at = 0; at < stream.size(); at += 255) {
    const size_t n = std::min<size_t>(255, stream.size() - at);
    out.push_back(static_cast<uint8_t>(n));
    for (size_t i = 0; i < n; ++i)
      out.push_back(stream[at + i]);
  }
  out.push_back(0);     // end of the image data
  out.push_back(0x3B);  // trailer
  return out;
}

void WriteGif(const std::string& fileName, const QImage& picture) {
  const std::vector<uint8_t> bytes = EncodeGif(picture);
  std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + fileName);
}
