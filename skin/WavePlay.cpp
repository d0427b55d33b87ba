#include "skin/WavePlay.h"

#include "platform/media/MMSystem.h"

DWORD TPlayerWave::SourceFlag() const {
  switch (FWhereWave) {
    case wwInResource:
      return SND_RESOURCE;
    case wwInRAM:
      return SND_MEMORY;
    case wwInFile:
      break;
  }
  return SND_FILENAME;
}

bool TPlayerWave::Play() {
  DWORD flags = SourceFlag();
  if (FLoop) flags |= SND_LOOP;
  if (FAsync) flags |= SND_ASYNC;
  const char* sound = FWhereWave == wwInRAM ? static_cast<const char*>(FWaveData) : FWaveName.c_str();
  // A memory sound without an image plays nothing (a null sound would stop the channel instead).
  if (FWhereWave == wwInRAM && !sound) return false;
  return PlaySound(sound, nullptr, flags);
}

void TPlayerWave::Stop() {
  (void)PlaySound(nullptr, nullptr, SourceFlag());
}
