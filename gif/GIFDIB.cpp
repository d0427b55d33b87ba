#include "gif/GIFDIB.h"

#include <cstring>

#include "gif/GIFCore.h"
#include "platform/rtl/Streams.h"

TDIBReader::TDIBReader(TBitmap* ABitmap, TPixelFormat APixelFormat) : TDIB(ABitmap, APixelFormat) {
  ABitmap->SetPixelFormat(APixelFormat);
}

uint8_t* TDIBReader::RowAddress(int Row) {
  return static_cast<uint8_t*>(FBitmap->ScanLine(Row));
}

TDIBWriter::TDIBWriter(TBitmap* ABitmap, TPixelFormat APixelFormat, int AWidth, int AHeight,
                       HPALETTE APalette)
    : TDIB(ABitmap, APixelFormat), FPalette(APalette), FHeight(AHeight), FWidth(AWidth) {
  if (APixelFormat != pf8bit && APixelFormat != pf24bit) RaiseGIFError("Unsupported PixelFormat");
  if (AWidth <= 0 || AHeight <= 0) RaiseGIFError("Invalid image dimensions");
}

TDIBWriter::~TDIBWriter() {
  try {
    FlushToBitmap();
  } catch (...) {  // a destructor must not raise; the bitmap keeps what it had
  }
  ReleaseDIB();
}

int TDIBWriter::RowBytes() const {
  return PaddedByteCount(FWidth, FPixelFormat == pf8bit ? 8 : 24, 32);
}

void TDIBWriter::PaletteEntriesToRGBQuads(uint8_t* Entries, int Count) {
  for (int i = 0; i < Count; ++i) {
    uint8_t* e = Entries + 4 * i;
    std::swap(e[0], e[2]);
    e[3] = 0;
  }
}

void TDIBWriter::AllocateDIB() {
  ReleaseDIB();
  try {
    const bool eight = FPixelFormat == pf8bit;
    FHeader.assign(eight ? 1064 : 40, 0);
    BITMAPINFOHEADER h;
    h.biSize = 40;
    h.biWidth = FWidth;
    h.biHeight = FHeight;
    h.biPlanes = 1;
    h.biBitCount = eight ? 8 : 24;
    h.biCompression = BI_RGB;
    if (eight) {
      UINT n = FPalette ? GetPaletteEntries(FPalette, 0, 0, nullptr) : 0;
      if (n > 256) n = 256;
      if (n > 0) {
        GetPaletteEntries(FPalette, 0, n, reinterpret_cast<PALETTEENTRY*>(FHeader.data() + 40));
        PaletteEntriesToRGBQuads(FHeader.data() + 40, static_cast<int>(n));
      }
      h.biClrUsed = 256;
      h.biClrImportant = n;
    }
    std::memcpy(FHeader.data(), &h, 40);
    const int64_t size = int64_t{RowBytes()} * FHeight;
    if (size > 0x7FFFFFFF) throw EOutOfMemory("Failed to allocate memory for GIF DIB");
    try {
      FPixels.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
      throw EOutOfMemory("Failed to allocate memory for GIF DIB");
    }
    FBuilt = true;
  } catch (...) {
    ReleaseDIB();
    throw;
  }
}

void TDIBWriter::ReleaseDIB() {
  FHeader.clear();
  FHeader.shrink_to_fit();
  FPixels.clear();
  FPixels.shrink_to_fit();
  FBuilt = false;
}

void TDIBWriter::EnsureDIB() {
  if (!FBuilt) AllocateDIB();
}

uint8_t* TDIBWriter::RowAddress(int Row) {
  EnsureDIB();
  if (Row < 0 || Row >= FHeight) throw EInvalidGraphicOperation("Bereichsüberschreitung bei Zeilenindex");
  GdiFlush();
  return FPixels.data() + static_cast<size_t>(FHeight - Row - 1) * RowBytes();
}

void TDIBWriter::FlushToBitmap() {
  if (!FBuilt) return;
  BITMAPFILEHEADER fh;
  fh.bfSize = static_cast<DWORD>(14 + FHeader.size() + FPixels.size());
  fh.bfOffBits = static_cast<DWORD>(14 + FHeader.size());
  TMemoryStream stream;
  stream.WriteBuffer(&fh, 14);
  stream.WriteBuffer(FHeader.data(), static_cast<int64_t>(FHeader.size()));
  stream.WriteBuffer(FPixels.data(), static_cast<int64_t>(FPixels.size()));
  stream.SetPosition(0);
  FBitmap->LoadFromStream(&stream);
}
