// TJPEGImage on libjpeg. libjpeg reports errors through a callback that must not return; it jumps back
// with longjmp to the C-only functions below (no C++ objects live across the jump), which turn the jump
// into an error text that the callers raise as EInvalidGraphic.
#include "platform/gdi/Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "platform/gdi/GdiPrivate.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"

namespace {

struct ErrorManager {
  jpeg_error_mgr Pub;
  jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->Message);
  longjmp(err->Jump, 1);
}

// Warnings are ignored, except premature end of data: a truncated file is an error here.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) ErrorExit(cinfo);
}

void OutputMessage(j_common_ptr) {}

void InitErrors(ErrorManager* err) {
  jpeg_std_error(&err->Pub);
  err->Pub.error_exit = ErrorExit;
  err->Pub.emit_message = EmitMessage;
  err->Pub.output_message = OutputMessage;
  err->Message[0] = '\0';
}

// Scans read from one file at most. Each scan of a progressive (or multi-scan) file passes over every
// block of its components, so a file that repeats one small scan thousands of times takes minutes to
// decode; encoders write about ten scans.
constexpr int MaxJpegScans = 100;

// Called by the decoder before it consumes each part of its input: ends the decoding once the file
// has started more scans than MaxJpegScans.
void LimitScans(j_common_ptr cinfo) {
  const auto* decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (decompress->input_scan_number <= MaxJpegScans) return;
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::snprintf(err->Message, sizeof err->Message, "JPEG file has more than %d scans", MaxJpegScans);
  longjmp(err->Jump, 1);
}

struct RawImage {
  int Width = 0;
  int Height = 0;
  int Components = 0;             // 1 (gray) or 3 (B, G, R)
  unsigned char* Rows = nullptr;  // the first row of the target; rows follow at Stride bytes
  size_t Stride = 0;
};

struct DecodeOptions {
  bool HeaderOnly = false;
  bool Gray = false;
  int ScaleDenom = 1;
  bool Fast = false;
};

// Reads the header (HeaderOnly: only that, filling out's size) or decodes into out->Rows, which the
// caller allocated for the size a header-only call reported. Returns null on success, else the error
// text (in err->Message).
const char* DecodeRaw(const uint8_t* data, size_t size, const DecodeOptions* opt, RawImage* out,
                      ErrorManager* err) {
  jpeg_decompress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  InitErrors(err);
  cinfo.err = &err->Pub;
  jpeg_progress_mgr progress;
  std::memset(&progress, 0, sizeof progress);
  progress.progress_monitor = LimitScans;
  unsigned char* cmykRow = nullptr;
  if (setjmp(err->Jump)) {
    jpeg_destroy_decompress(&cinfo);
    std::free(cmykRow);
    return err->Message;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.progress = &progress;
  if (size == 0 || size > 0x7FFFFFFF) {
    std::snprintf(err->Message, sizeof err->Message, "no JPEG data");
    jpeg_destroy_decompress(&cinfo);
    return err->Message;
  }
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  // The declared size is bounded before the decoder takes memory for it (a multi-scan file keeps every
  // coefficient of the picture).
  if (!PictureSizeAccepted(cinfo.image_width, cinfo.image_height)) {
    std::snprintf(err->Message, sizeof err->Message, "JPEG image too large");
    jpeg_destroy_decompress(&cinfo);
    return err->Message;
  }
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  if (opt->Gray || cinfo.num_components == 1)
    cinfo.out_color_space = JCS_GRAYSCALE;
  else if (cmyk)
    cinfo.out_color_space = JCS_CMYK;
  else
    cinfo.out_color_space = JCS_EXT_BGR;
  cinfo.scale_num = 1;
  cinfo.scale_denom = static_cast<unsigned>(opt->ScaleDenom);
  if (opt->Fast) {
    cinfo.dct_method = JDCT_IFAST;
    cinfo.do_fancy_upsampling = FALSE;
  }
  jpeg_calc_output_dimensions(&cinfo);
  const int width = static_cast<int>(cinfo.output_width);
  const int height = static_cast<int>(cinfo.output_height);
  const int components = cinfo.out_color_space == JCS_GRAYSCALE ? 1 : 3;
  if (opt->HeaderOnly) {
    out->Width = width;
    out->Height = height;
    out->Components = components;
    jpeg_destroy_decompress(&cinfo);
    return nullptr;
  }
  if (width != out->Width || height != out->Height || components != out->Components || !out->Rows) {
    std::snprintf(err->Message, sizeof err->Message, "JPEG size changed");
    jpeg_destroy_decompress(&cinfo);
    return err->Message;
  }
  jpeg_start_decompress(&cinfo);
  if (cinfo.out_color_space == JCS_CMYK) {
    cmykRow = static_cast<unsigned char*>(std::malloc(size_t(width) * 4));
    if (!cmykRow) {
      std::snprintf(err->Message, sizeof err->Message, "out of memory");
      longjmp(err->Jump, 1);
    }
  }
  const bool inverted = cinfo.saw_Adobe_marker;
  while (cinfo.output_scanline < cinfo.output_height) {
    unsigned char* row = out->Rows + out->Stride * cinfo.output_scanline;
    if (cmykRow) {
      JSAMPROW rows[1] = {cmykRow};
      jpeg_read_scanlines(&cinfo, rows, 1);
      for (int x = 0; x < width; ++x) {
        int c = cmykRow[4 * x], m = cmykRow[4 * x + 1], y = cmykRow[4 * x + 2], k = cmykRow[4 * x + 3];
        if (!inverted) {
          c = 255 - c;
          m = 255 - m;
          y = 255 - y;
          k = 255 - k;
        }
        row[3 * x] = static_cast<unsigned char>(y * k / 255);
        row[3 * x + 1] = static_cast<unsigned char>(m * k / 255);
        row[3 * x + 2] = static_cast<unsigned char>(c * k / 255);
      }
    } else {
      JSAMPROW rows[1] = {row};
      jpeg_read_scanlines(&cinfo, rows, 1);
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::free(cmykRow);
  return nullptr;
}

struct EncodeOptions {
  int Quality = 90;
  bool Gray = false;
  bool Progressive = false;
};

// `rgb` holds width * 3 bytes per row. On success *outData is malloc'ed by libjpeg.
const char* EncodeRaw(const unsigned char* rgb, int width, int height, const EncodeOptions* opt,
                      unsigned char** outData, unsigned long* outSize, ErrorManager* err) {
  jpeg_compress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  InitErrors(err);
  cinfo.err = &err->Pub;
  *outData = nullptr;
  *outSize = 0;
  if (setjmp(err->Jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(*outData);
    *outData = nullptr;
    return err->Message;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, outData, outSize);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  if (opt->Gray) jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
  jpeg_set_quality(&cinfo, opt->Quality, TRUE);
  if (opt->Progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW rows[1] = {const_cast<unsigned char*>(rgb) + size_t(width) * 3 * cinfo.next_scanline};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return nullptr;
}

int ScaleDenom(TJPEGScale s) {
  return 1 << static_cast<int>(s);
}

}  // namespace

TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::FreeBitmap() {
  FBitmap.reset();
}

bool TJPEGImage::Empty() const {
  return FData.empty() && (!FBitmap || FBitmap->Empty());
}

int TJPEGImage::Width() const {
  if (FBitmap) return FBitmap->Width();
  const int d = ScaleDenom(FScale);
  return (FWidth + d - 1) / d;
}

int TJPEGImage::Height() const {
  if (FBitmap) return FBitmap->Height();
  const int d = ScaleDenom(FScale);
  return (FHeight + d - 1) / d;
}

void TJPEGImage::SetWidth(int) {
  throw EInvalidGraphicOperation("Größe eines JPEG-Bildes kann nicht geändert werden");
}
void TJPEGImage::SetHeight(int) {
  throw EInvalidGraphicOperation("Größe eines JPEG-Bildes kann nicht geändert werden");
}

void TJPEGImage::ReadHeader() {
  ErrorManager err;
  RawImage raw;
  DecodeOptions opt;
  opt.HeaderOnly = true;
  if (const char* message = DecodeRaw(FData.data(), FData.size(), &opt, &raw, &err))
    throw EInvalidGraphic(std::string("JPEG-Fehler: ") + message);
  FWidth = raw.Width;
  FHeight = raw.Height;
  FGrayscaleSource = raw.Components == 1;
}

void TJPEGImage::LoadFromBytes(const uint8_t* Data, size_t Size) {
  if (Size > static_cast<uint64_t>(MaxPictureFileBytes))
    throw EInvalidGraphic("JPEG-Fehler: JPEG file too large");
  std::vector<uint8_t> old = std::move(FData);
  const int oldWidth = FWidth, oldHeight = FHeight;
  FData.assign(Data, Data + Size);
  try {
    ReadHeader();
  } catch (...) {
    FData = std::move(old);
    FWidth = oldWidth;
    FHeight = oldHeight;
    throw;
  }
  FreeBitmap();
  Changed(this);
}

void TJPEGImage::LoadFromStream(TStream* Stream) {
  const int64_t size = Stream->Size() - Stream->Position();
  if (size <= 0) throw EInvalidGraphic("JPEG-Fehler: no JPEG data");
  // A file larger than any accepted picture needs is refused before it is read into memory.
  if (size > MaxPictureFileBytes) throw EInvalidGraphic("JPEG-Fehler: JPEG file too large");
  std::vector<uint8_t> data(static_cast<size_t>(size));
  Stream->ReadBuffer(data.data(), size);
  LoadFromBytes(data.data(), data.size());
}

void TJPEGImage::SaveToStream(TStream* Stream) {
  if (FData.empty()) Compress();
  if (!FData.empty()) Stream->WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

void TJPEGImage::DIBNeeded() {
  if (FBitmap || FData.empty()) return;
  ErrorManager err;
  RawImage raw;
  DecodeOptions opt;
  opt.Gray = FGrayscale || FPixelFormat == jf8Bit;
  opt.ScaleDenom = ScaleDenom(FScale);
  opt.Fast = FPerformance == jpBestSpeed;
  opt.HeaderOnly = true;
  if (const char* message = DecodeRaw(FData.data(), FData.size(), &opt, &raw, &err))
    throw EInvalidGraphic(std::string("JPEG-Fehler: ") + message);
  // The pixels are decoded straight into the rows of a top-down DIB.
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(raw.Components == 1 ? pf8bit : pf24bit);
  bitmap->SetSize(raw.Width, raw.Height);
  if (raw.Components == 1) {
    TMaxLogPalette log;
    log.palNumEntries = 256;
    for (int i = 0; i < 256; ++i) {
      const auto v = static_cast<BYTE>(i);
      log.palPalEntry[i] = PALETTEENTRY{v, v, v, 0};
    }
    bitmap->SetPalette(CreatePalette(&log));
  }
  raw.Rows = static_cast<unsigned char*>(bitmap->ScanLine(0));
  raw.Stride = static_cast<size_t>(bitmap->BytesPerRow());
  opt.HeaderOnly = false;
  Progress(this, psStarting, 0, false, TRect{}, "");
  if (const char* message = DecodeRaw(FData.data(), FData.size(), &opt, &raw, &err)) {
    Progress(this, psEnding, 0, false, TRect{}, "");
    throw EInvalidGraphic(std::string("JPEG-Fehler: ") + message);
  }
  FBitmap = std::move(bitmap);
  Progress(this, psEnding, 100, false, TRect{}, "");
}

TBitmap* TJPEGImage::Bitmap() {
  DIBNeeded();
  if (!FBitmap) FBitmap = std::make_unique<TBitmap>();
  return FBitmap.get();
}

void TJPEGImage::Compress() {
  if (!FBitmap || FBitmap->Empty()) return;
  const int w = FBitmap->Width(), h = FBitmap->Height();
  const QImage img = BitmapToQImage(FBitmap->Handle());
  std::vector<unsigned char> rgb(size_t(w) * size_t(h) * 3);
  for (int y = 0; y < h; ++y) {
    const auto* line = reinterpret_cast<const uint32_t*>(img.constScanLine(y));
    unsigned char* out = rgb.data() + size_t(y) * size_t(w) * 3;
    for (int x = 0; x < w; ++x) {
      out[3 * x] = static_cast<unsigned char>(line[x] >> 16);
      out[3 * x + 1] = static_cast<unsigned char>(line[x] >> 8);
      out[3 * x + 2] = static_cast<unsigned char>(line[x]);
    }
  }
  ErrorManager err;
  EncodeOptions opt;
  opt.Quality = FQuality;
  opt.Gray = FGrayscale;
  opt.Progressive = FProgressiveEncoding;
  unsigned char* data = nullptr;
  unsigned long size = 0;
  if (const char* message = EncodeRaw(rgb.data(), w, h, &opt, &data, &size, &err))
    throw EInvalidGraphic(std::string("JPEG-Fehler: ") + message);
  std::unique_ptr<unsigned char, FreeDeleter> owned(data);
  FData.assign(data, data + size);
  FWidth = w;
  FHeight = h;
  FGrayscaleSource = FGrayscale;
}

void TJPEGImage::SetCompressionQuality(TJPEGQualityRange Value) {
  FQuality = std::clamp(Value, 1, 100);
}

void TJPEGImage::SetGrayscale(bool Value) {
  if (Value == FGrayscale) return;
  FGrayscale = Value;
  if (!FData.empty()) FreeBitmap();
  Changed(this);
}

void TJPEGImage::SetPerformance(TJPEGPerformance Value) {
  if (Value == FPerformance) return;
  FPerformance = Value;
  if (!FData.empty()) FreeBitmap();
}

void TJPEGImage::SetScale(TJPEGScale Value) {
  if (Value == FScale) return;
  FScale = Value;
  if (!FData.empty()) FreeBitmap();
  Changed(this);
}

void TJPEGImage::SetPixelFormat(TJPEGPixelFormat Value) {
  if (Value == FPixelFormat) return;
  FPixelFormat = Value;
  if (!FData.empty()) FreeBitmap();
  Changed(this);
}

void TJPEGImage::Assign(TPersistent* Source) {
  if (auto* j = dynamic_cast<TJPEGImage*>(Source)) {
    if (j == this) return;
    FData = j->FData;
    FWidth = j->FWidth;
    FHeight = j->FHeight;
    FGrayscaleSource = j->FGrayscaleSource;
    FQuality = j->FQuality;
    FGrayscale = j->FGrayscale;
    FProgressiveEncoding = j->FProgressiveEncoding;
    FPerformance = j->FPerformance;
    FScale = j->FScale;
    FPixelFormat = j->FPixelFormat;
    FreeBitmap();
    if (j->FBitmap) {
      FBitmap = std::make_unique<TBitmap>();
      FBitmap->Assign(j->FBitmap.get());
    }
    Changed(this);
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(Source)) {
    // Compressed on demand (SaveToStream) with the quality set by then.
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(b);
    FBitmap = std::move(copy);
    FData.clear();
    FWidth = FBitmap->Width();
    FHeight = FBitmap->Height();
    Changed(this);
    return;
  }
  TGraphic::Assign(Source);
}

void TJPEGImage::AssignTo(TPersistent* Dest) {
  if (auto* b = dynamic_cast<TBitmap*>(Dest)) {
    b->Assign(Bitmap());
    return;
  }
  TGraphic::AssignTo(Dest);
}

void TJPEGImage::Draw(TCanvas* ACanvas, const TRect& Rect) {
  TBitmap* b = Bitmap();
  if (!b->Empty()) ACanvas->StretchDraw(Rect, b);
}
