#pragma once
// Writes pictures as uncompressed 24-bit Windows bitmap files (bottom-up rows, B,G,R, rows padded to
// four bytes): the format the programs load their skins and button pictures from.

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

// The bytes of a 24-bit BMP file of the picture; alpha is dropped (pictures are flattened first).
[[nodiscard]] std::vector<uint8_t> EncodeBmp24(const QImage& picture);

// Writes EncodeBmp24 to the file; throws std::runtime_error when the file cannot be written.
void WriteBmp24(const std::string& fileName, const QImage& picture);
