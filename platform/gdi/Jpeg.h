// JPEG pictures on libjpeg: TJPEGImage keeps the compressed data and decodes it into a bitmap on demand.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gdi/Graphics.h"

enum class TJPEGPixelFormat { jf24Bit, jf8Bit };
using enum TJPEGPixelFormat;
enum class TJPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };
using enum TJPEGScale;
enum class TJPEGPerformance { jpBestQuality, jpBestSpeed };
using enum TJPEGPerformance;

using TJPEGQualityRange = int;  // 1..100

class TJPEGImage : public TGraphic {
 public:
  TJPEGImage();
  ~TJPEGImage() override;

  void Assign(TPersistent* Source) override;
  [[nodiscard]] bool Empty() const override;
  [[nodiscard]] int Width() const override;
  void SetWidth(int Value) override;
  [[nodiscard]] int Height() const override;
  void SetHeight(int Value) override;

  // Reads the whole JPEG stream; the header is checked at once, the pixels are decoded when first
  // needed. Raises EInvalidGraphic for data that is not JPEG or is corrupt.
  void LoadFromStream(TStream* Stream) override;
  void SaveToStream(TStream* Stream) override;
  void LoadFromBytes(const uint8_t* Data, size_t Size);
  [[nodiscard]] const std::vector<uint8_t>& Data() const { return FData; }

  // Encodes the decoded bitmap (or the bitmap assigned) with the current quality and grayscale setting.
  void Compress();
  // Decodes the data into the bitmap now.
  void DIBNeeded();
  // The decoded picture (24 bits, or 8 bits of gray for grayscale output).
  [[nodiscard]] TBitmap* Bitmap();

  [[nodiscard]] TJPEGQualityRange CompressionQuality() const { return FQuality; }
  void SetCompressionQuality(TJPEGQualityRange Value);
  [[nodiscard]] bool Grayscale() const { return FGrayscale; }
  void SetGrayscale(bool Value);
  [[nodiscard]] bool ProgressiveEncoding() const { return FProgressiveEncoding; }
  void SetProgressiveEncoding(bool Value) { FProgressiveEncoding = Value; }
  [[nodiscard]] TJPEGPerformance Performance() const { return FPerformance; }
  void SetPerformance(TJPEGPerformance Value);
  [[nodiscard]] TJPEGScale Scale() const { return FScale; }
  void SetScale(TJPEGScale Value);
  [[nodiscard]] TJPEGPixelFormat PixelFormat() const { return FPixelFormat; }
  void SetPixelFormat(TJPEGPixelFormat Value);

  void Draw(TCanvas* ACanvas, const TRect& Rect) override;

 protected:
  std::string ClassName() const override { return "TJPEGImage"; }
  void AssignTo(TPersistent* Dest) override;

 private:
  void FreeBitmap();
  void ReadHeader();
  std::vector<uint8_t> FData;
  std::unique_ptr<TBitmap> FBitmap;
  int FWidth = 0;
  int FHeight = 0;
  bool FGrayscaleSource = false;
  TJPEGQualityRange FQuality = 90;
  bool FGrayscale = false;
  bool FProgressiveEncoding = false;
  TJPEGPerformance FPerformance = jpBestQuality;
  TJPEGScale FScale = jsFullSize;
  TJPEGPixelFormat FPixelFormat = jf24Bit;
};
