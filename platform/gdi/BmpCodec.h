// The BMP file reader and writer behind TBitmap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdi/Windows.h"

// Decodes a BMP file (core, info, V2-V5 headers; 1, 4, 8, 16, 24, 32 bits; BI_RGB, BI_RLE4, BI_RLE8,
// BI_BITFIELDS; bottom-up and top-down) into a new DIB section. 32-bit files keep their fourth byte.
// Raises EInvalidGraphic on anything malformed or truncated and for a picture larger than
// PictureSizeAccepted allows (before taking memory for it); never reads outside `data`.
[[nodiscard]] HBITMAP DecodeBmp(const uint8_t* data, size_t size);

// Writes a bitmap as a BMP file: 40-byte info header, rows bottom-up, BI_RGB (BI_BITFIELDS for 16 and
// 32 bits with other than the standard masks), a full colour table for 1, 4 and 8 bits.
[[nodiscard]] std::vector<uint8_t> EncodeBmp(HBITMAP bitmap);
