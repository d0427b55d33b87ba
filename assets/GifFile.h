#pragma once
// Writes a small palette picture as a GIF87a-compatible GIF89a file. The pixel codes are written without
// compression: a clear code follows every few literal codes, so the code width never grows and every
// decoder reads the stream the same way. Meant for the few small stock pictures the programs ship.

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

// The bytes of a GIF file of the picture. Every colour of the picture (alpha ignored) goes into the
// global colour table; throws std::runtime_error when the picture has more than 256 colours.
[[nodiscard]] std::vector<uint8_t> EncodeGif(const QImage& picture);

// Writes EncodeGif to the file; throws std::runtime_error when the file cannot be written.
void WriteGif(const std::string& fileName, const QImage& picture);
