// libFuzzer entry for the BMP reader: any input either decodes or raises EInvalidGraphic.
#include <cstddef>
#include <cstdint>

#include "platform/gdi/BmpCodec.h"
#include "platform/gdi/Windows.h"
#include "platform/rtl/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    // A smaller pixel bound than the reader's default keeps each run within the fuzzer's memory.
    HBITMAP bmp = DecodeBmp(data, size);
    DeleteObject(bmp);
  } catch (const EInvalidGraphic&) {
  }
  return 0;
}
