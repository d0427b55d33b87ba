// libFuzzer entry for JPEG loading: any input either decodes or raises EInvalidGraphic.
#include <cstddef>
#include <cstdint>

#include "platform/gdi/Jpeg.h"
#include "platform/rtl/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    TJPEGImage jpeg;
    jpeg.LoadFromBytes(data, size);
    // Pictures above 16 megapixels are left undecoded to keep each run small.
    if (int64_t{jpeg.Width()} * jpeg.Height() <= 16 * 1024 * 1024) jpeg.DIBNeeded();
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}
