// The sound player component: plays one wave sound from a file, a resource or memory.
#pragma once

#include <string>

#include "platform/rtl/Classes.h"

enum TWhereWave { wwInFile, wwInResource, wwInRAM };

// Plays whatever it is given; callers decide whether to play at all (they skip "<NoSound>").
class TPlayerWave : public TComponent {
 public:
  using TComponent::TComponent;

  // File name (relative names resolve against the current directory) or resource name.
  [[nodiscard]] const std::string& WaveName() const { return FWaveName; }
  void SetWaveName(const std::string& Value) { FWaveName = Value; }
  // A wave image in memory, used only with wwInRAM; the caller keeps it alive while it plays.
  [[nodiscard]] const void* WaveData() const { return FWaveData; }
  void SetWaveData(const void* Value) { FWaveData = Value; }
  [[nodiscard]] TWhereWave WhereWave() const { return FWhereWave; }
  void SetWhereWave(TWhereWave Value) { FWhereWave = Value; }
  // Repeat until stopped; only an asynchronous sound repeats, a synchronous one plays once.
  [[nodiscard]] bool Loop() const { return FLoop; }
  void SetLoop(bool Value) { FLoop = Value; }
  // Return at once instead of when the sound has ended.
  [[nodiscard]] bool Async() const { return FAsync; }
  void SetAsync(bool Value) { FAsync = Value; }

  // Plays the sound; true when the sound output reports success.
  bool Play();
  // Stops any sound that the process is playing.
  void Stop();

 private:
  [[nodiscard]] DWORD SourceFlag() const;

  std::string FWaveName;
  const void* FWaveData = nullptr;
  TWhereWave FWhereWave = wwInFile;
  bool FLoop = false;
  bool FAsync = false;
};
