// libFuzzer entry for the wave reader: any input either decodes or raises EInvalidWave.
#include <cstddef>
#include <cstdint>

#include "platform/media/WaveFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const TWaveSound sound = ReadWave(data, size);
    if (sound.Data.size() % sound.BlockAlign() != 0) __builtin_trap();
  } catch (const EInvalidWave&) {
  }
  return 0;
}
