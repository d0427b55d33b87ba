// BMP reading and writing. Every read goes through a bounds-checked cursor; sizes from the file are
// computed in 64 bits and bounded before any memory is taken.
#include "platform/gdi/BmpCodec.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi/GdiPrivate.h"
#include "platform/rtl/SysUtils.h"

namespace {

[[noreturn]] void Fail() {
  throw EInvalidGraphic(SInvalidBitmap);
}

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  [[nodiscard]] size_t Size() const { return size_; }
  [[nodiscard]] bool Has(size_t offset, size_t count) const {
    return offset <= size_ && count <= size_ - offset;
  }
  [[nodiscard]] uint8_t U8(size_t at) const {
    if (!Has(at, 1)) Fail();
    return data_[at];
  }
  [[nodiscard]] uint16_t U16(size_t at) const {
    if (!Has(at, 2)) Fail();
    return static_cast<uint16_t>(data_[at] | (data_[at + 1] << 8));
  }
  [[nodiscard]] uint32_t U32(size_t at) const {
    if (!Has(at, 4)) Fail();
    return data_[at] | (uint32_t{data_[at + 1]} << 8) | (uint32_t{data_[at + 2]} << 16) |
           (uint32_t{data_[at + 3]} << 24);
  }
  [[nodiscard]] int32_t I32(size_t at) const { return static_cast<int32_t>(U32(at)); }
  [[nodiscard]] const uint8_t* Ptr(size_t at, size_t count) const {
    if (!Has(at, count)) Fail();
    return data_ + at;
  }

 private:
  const uint8_t* data_;
  size_t size_;
};

struct Header {
  uint32_t Size = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  uint16_t BitCount = 0;
  uint32_t Compression = BI_RGB;
  uint32_t ColorsUsed = 0;
  uint32_t Masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  bool HasMasks = false;
  bool Core = false;
  size_t TableOffset = 0;
};

constexpr uint32_t kAlphaBitfields = 6;

Header ReadHeader(const Reader& in) {
  Header h;
  h.Size = in.U32(14);
  if (h.Size == 12) {
    h.Core = true;
    h.Width = in.U16(18);
    h.Height = static_cast<int16_t>(in.U16(20));
    if (in.U16(22) != 1) Fail();
    h.BitCount = in.U16(24);
    h.TableOffset = 14 + 12;
    return h;
  }
  if (h.Size != 16 && h.Size != 40 && h.Size != 52 && h.Size != 56 && h.Size != 64 && h.Size != 108 &&
      h.Size != 124)
    Fail();
  h.Width = in.I32(18);
  h.Height = in.I32(22);
  if (in.U16(26) != 1) Fail();
  h.BitCount = in.U16(28);
  if (h.Size >= 20) h.Compression = in.U32(30);
  if (h.Size >= 36) h.ColorsUsed = in.U32(46);
  h.TableOffset = 14 + size_t{h.Size};
  if (h.Compression == BI_BITFIELDS || h.Compression == kAlphaBitfields) {
    h.HasMasks = true;
    if (h.Size >= 52) {
      for (int i = 0; i < 3; ++i)
        h.Masks[i] = in.U32(54 + 4 * size_t(i));
      if (h.Size >= 56) h.Masks[3] = in.U32(66);
    } else {
      const int n = h.Compression == kAlphaBitfields ? 4 : 3;
      for (int i = 0; i < n; ++i)
        h.Masks[i] = in.U32(h.TableOffset + 4 * size_t(i));
      h.TableOffset += 4 * size_t(n);
    }
  } else if (h.Size >= 56 && (h.BitCount == 16 || h.BitCount == 32)) {
    h.Masks[3] = in.U32(66);  // an alpha mask in a V3+ header of an uncompressed file
  }
  return h;
}

void DecodeRle(const Reader& in, size_t offset, GdiBitmap& b, bool four) {
  // Rows run bottom-up: y counts from the bottom row.
  int x = 0, y = 0;
  size_t p = offset;
  auto put = [&](int value) {
    if (x < b.Width && y < b.Height) {
      uint8_t* row = b.Row(b.Height - 1 - y);
      if (four) {
        uint8_t& byte = row[x >> 1];
        byte = (x & 1) ? static_cast<uint8_t>((byte & 0xF0) | (value & 0x0F))
                       : static_cast<uint8_t>((byte & 0x0F) | ((value & 0x0F) << 4));
      } else {
        row[x] = static_cast<uint8_t>(value);
      }
    }
    ++x;
  };
  for (;;) {
    if (y >= b.Height) return;  // the picture is complete; an end marker may be missing
    const uint8_t count = in.U8(p);
    const uint8_t value = in.U8(p + 1);
    p += 2;
    if (count > 0) {
      for (int i = 0; i < count && x < b.Width; ++i)
        put(four ? ((i & 1) ? value & 0x0F : value >> 4) : value);
      if (x < b.Width) continue;
      x = std::min(x, b.Width);
      continue;
    }
    switch (value) {
      case 0:  // end of line
        x = 0;
        ++y;
        break;
      case 1:  // end of bitmap
        return;
      case 2: {  // delta
        const int dx = in.U8(p);
        const int dy = in.U8(p + 1);
        p += 2;
        x += dx;
        y += dy;
        if (x > b.Width) Fail();
        break;
      }
      default: {  // absolute run of `value` pixels, padded to 16 bits
        const size_t bytes = four ? (size_t{value} + 1) / 2 : value;
        const uint8_t* run = in.Ptr(p, bytes);
        for (int i = 0; i < value; ++i)
          put(four ? ((i & 1) ? run[i / 2] & 0x0F : run[i / 2] >> 4) : run[i]);
        p += (bytes + 1) & ~size_t{1};
        if (p > in.Size()) Fail();
        break;
      }
    }
  }
}

}  // namespace

HBITMAP DecodeBmp(const uint8_t* data, size_t size) {
  const Reader in(data, size);
  if (!data || size < 14 + 12 || in.U16(0) != 0x4D42) Fail();
  const uint32_t pixelOffset = in.U32(10);
  const Header h = ReadHeader(in);

  const bool rle8 = h.Compression == BI_RLE8;
  const bool rle4 = h.Compression == BI_RLE4;
  const bool fields = h.Compression == BI_BITFIELDS || h.Compression == kAlphaBitfields;
  if (h.Compression != BI_RGB && !rle8 && !rle4 && !fields) Fail();
  if (rle8 && h.BitCount != 8) Fail();
  if (rle4 && h.BitCount != 4) Fail();
  if (fields && h.BitCount != 16 && h.BitCount != 32) Fail();
  if (h.BitCount != 1 && h.BitCount != 4 && h.BitCount != 8 && h.BitCount != 16 && h.BitCount != 24 &&
      h.BitCount != 32)
    Fail();
  if (h.Core && h.BitCount == 16) Fail();
  if (h.Width <= 0 || h.Height == 0 || h.Height == INT32_MIN) Fail();
  const bool topDown = h.Height < 0;
  if (topDown && (rle8 || rle4)) Fail();  // compressed files are always bottom-up
  const int width = h.Width;
  const int height = topDown ? -h.Height : h.Height;

  // The declared size is bounded before any memory is taken for the pixels.
  if (!PictureSizeAccepted(width, height)) Fail();
  const int64_t stride = ((int64_t{width} * h.BitCount + 31) / 32) * 4;
  if (pixelOffset < h.TableOffset || pixelOffset > size) Fail();
  if (!(rle8 || rle4)) {
    // Uncompressed rows must all be there (the last row's padding may be missing).
    const int64_t need = stride * (height - 1) + (int64_t{width} * h.BitCount + 7) / 8;
    if (need > static_cast<int64_t>(size - pixelOffset)) Fail();
  }

  // Pixels are kept top-down whatever the file's order: painting and copies then work on them in place.
  std::unique_ptr<GdiBitmap> b = GdiBitmap::Create(width, height, h.BitCount, true, true);
  if (!b) Fail();

  if (h.BitCount <= 8) {
    const size_t maxColors = size_t{1} << h.BitCount;
    const size_t entrySize = h.Core ? 3 : 4;
    size_t count = h.ColorsUsed ? std::min<size_t>(h.ColorsUsed, maxColors) : maxColors;
    // A table that runs into the pixels or past the end is cut to what is there.
    const size_t room = (pixelOffset - h.TableOffset) / entrySize;
    count = std::min(count, room);
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* e = in.Ptr(h.TableOffset + i * entrySize, entrySize);
      b->Colors[i] = RGBQUAD{e[0], e[1], e[2], 0};
    }
  }
  if (h.BitCount == 16) {
    if (fields) {
      b->Compression = BI_BITFIELDS;
      std::copy_n(h.Masks, 3, b->Masks);
    }
  }

  if (rle8 || rle4) {
    DecodeRle(in, pixelOffset, *b, rle4);
  } else if (h.BitCount == 32 && fields &&
             !(h.Masks[0] == 0xFF0000 && h.Masks[1] == 0xFF00 && h.Masks[2] == 0xFF)) {
    // Other 32-bit layouts are brought to B, G, R, A (alpha from its mask, 0 without one).
    GdiBitmap source;
    source.Width = width;
    source.Height = 1;
    source.BitCount = 32;
    source.Compression = BI_BITFIELDS;
    std::copy_n(h.Masks, 3, source.Masks);
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = in.Ptr(pixelOffset + size_t(stride) * size_t(y), size_t(width) * 4);
      const int target = topDown ? y : height - 1 - y;
      for (int x = 0; x < width; ++x) {
        uint32_t v;
        std::memcpy(&v, row + 4 * x, 4);
        uint32_t argb = 0;
        for (int c = 0; c < 3; ++c) {
          const uint32_t m = h.Masks[c];
          uint32_t channel = 0;
          if (m) {
            int shift = 0;
            while (!((m >> shift) & 1))
              ++shift;
            const uint32_t mm = m >> shift;
            channel = static_cast<uint32_t>((uint64_t{(v >> shift) & mm} * 255) / mm);
          }
          argb |= channel << (16 - 8 * c);
        }
        if (const uint32_t m = h.Masks[3]) {
          int shift = 0;
          while (!((m >> shift) & 1))
            ++shift;
          const uint32_t mm = m >> shift;
          argb |= static_cast<uint32_t>((uint64_t{(v >> shift) & mm} * 255) / mm) << 24;
        }
        std::memcpy(b->Row(target) + 4 * x, &argb, 4);
      }
    }
  } else {
    const size_t rowBytes = static_cast<size_t>((int64_t{width} * h.BitCount + 7) / 8);
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = in.Ptr(pixelOffset + size_t(stride) * size_t(y), rowBytes);
      std::memcpy(b->Row(topDown ? y : height - 1 - y), row, rowBytes);
    }
  }
  return RegisterGdiObject(std::move(b));
}

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

std::vector<uint8_t> EncodeBmp(HBITMAP bitmap) {
  const GdiBitmap* b = LookupGdi<GdiBitmap>(bitmap);
  if (!b) throw EInvalidGraphic(SInvalidBitmap);
  const bool standard32 = b->BitCount != 32 || b->Compression == BI_RGB ||
                          (b->Masks[0] == 0xFF0000 && b->Masks[1] == 0xFF00 && b->Masks[2] == 0xFF);
  const bool standard16 = b->BitCount != 16 || b->Compression == BI_RGB ||
                          (b->Masks[0] == 0x7C00 && b->Masks[1] == 0x03E0 && b->Masks[2] == 0x001F);
  const bool masks = !standard32 || !standard16;
  const size_t tableBytes = b->BitCount <= 8 ? (size_t{1} << b->BitCount) * 4 : (masks ? 12 : 0);
  const size_t offset = 14 + 40 + tableBytes;
  const size_t image = b->ByteSize();
  std::vector<uint8_t> out;
  out.reserve(offset + image);
  Put16(out, 0x4D42);
  Put32(out, static_cast<uint32_t>(offset + image));
  Put32(out, 0);
  Put32(out, static_cast<uint32_t>(offset));
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(b->Width));
  Put32(out, static_cast<uint32_t>(b->Height));
  Put16(out, 1);
  Put16(out, static_cast<uint32_t>(b->BitCount));
  Put32(out, masks ? BI_BITFIELDS : BI_RGB);
  Put32(out, static_cast<uint32_t>(image));
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  if (b->BitCount <= 8) {
    for (size_t i = 0; i < (size_t{1} << b->BitCount); ++i) {
      const RGBQUAD q = i < b->Colors.size() ? b->Colors[i] : RGBQUAD{};
      out.insert(out.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed, 0});
    }
  } else if (masks) {
    for (int i = 0; i < 3; ++i)
      Put32(out, b->Masks[i]);
  }
  for (int y = b->Height - 1; y >= 0; --y) {
    const uint8_t* row = b->Row(y);
    out.insert(out.end(), row, row + b->Stride);
  }
  return out;
}
