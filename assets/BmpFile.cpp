#include "assets/BmpFile.h"

#include <fstream>
#include <stdexcept>

namespace {

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

}  // namespace

std::vector<uint8_t> EncodeBmp24(const QImage& picture) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  const uint32_t width = static_cast<uint32_t>(rgb.width());
  const uint32_t height = static_cast<uint32_t>(rgb.height());
  const uint32_t stride = (width * 3 + 3) & ~3u;
  const uint32_t pixelBytes = stride * height;
  const uint32_t headerBytes = 14 + 40;

  std::vector<uint8_t> out;
  out.reserve(headerBytes + pixelBytes);
  // File header.
  out.push_back('B');
  out.push_back('M');
  PutU32(out, headerBytes + pixelBytes);
  PutU32(out, 0);
  PutU32(out, headerBytes);
  // Info header (BITMAPINFOHEADER), bottom-up, no compression, 72 dpi.
  PutU32(out, 40);
  PutU32(out, width);
  PutU32(out, height);
  PutU16(out, 1);
  PutU16(out, 24);
  PutU32(out, 0);
  PutU32(out, pixelBytes);
  PutU32(out, 2835);
  PutU32(out, 2835);
  PutU32(out, 0);
  PutU32(out, 0);
  for (int y = static_cast<int>(height) - 1; y >= 0; --y) {
    const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (uint32_t x = 0; x < width; ++x) {
      out.push_back(static_cast<uint8_t>(qBlue(row[x])));
      out.push_back(static_cast<uint8_t>(qGreen(row[x])));
      out.push_back(static_cast<uint8_t>(qRed(row[x])));
    }
    for (uint32_t pad = width * 3; pad < stride; ++pad)
      out.push_back(0);
  }
  return out;
}

void WriteBmp24(const std::string& fileName, const QImage& picture) {
  const std::vector<uint8_t> bytes = EncodeBmp24(picture);
  std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + fileName);
}
