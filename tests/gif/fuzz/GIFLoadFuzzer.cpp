// libFuzzer target: loads arbitrary bytes as a GIF picture and writes back what loaded. Any failure
// must be an exception of the class library; crashes, hangs and memory errors are findings.
#include <cstddef>
#include <cstdint>

#include "gif/GIFImage.h"
#include "platform/rtl/Streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TMemoryStream input;
  if (Size > 0) input.WriteBuffer(Data, static_cast<int64_t>(Size));
  input.SetPosition(0);
  TGIFImage image;
  image.OnWarningMessage = [](TObject*, int, const std::string&) {};
  try {
    image.LoadFromStream(&input);
  } catch (const Exception&) {
  }
  // Writing back is checked on pictures small enough to keep the fuzzer fast.
  int64_t pixels = 0;
  for (int i = 0; i < image.Images()->Count(); ++i)
    pixels += image.Images()->SubImage(i)->PixelsSize();
  if (!image.Empty() && pixels <= 1 << 20) {
    for (TGIFCompression compression : {gcLZW, gcRLE}) {
      image.SetCompression(compression);
      TMemoryStream output;
      try {
        image.SaveToStream(&output);
      } catch (const Exception&) {
      }
    }
  }
  return 0;
}
