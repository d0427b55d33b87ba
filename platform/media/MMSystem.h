// Waveform sound output: PlaySound over one process-wide channel, with exchangeable output back ends.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/media/WaveFile.h"
#include "platform/rtl/Types.h"

using HMODULE = void*;

// PlaySound flags.
constexpr DWORD SND_SYNC = 0x0000;       // return when the sound has ended
constexpr DWORD SND_ASYNC = 0x0001;      // return at once
constexpr DWORD SND_NODEFAULT = 0x0002;  // accepted; there is no default sound to fall back on
constexpr DWORD SND_MEMORY = 0x0004;     // the sound argument points to a wave image in memory
constexpr DWORD SND_LOOP = 0x0008;       // repeat until stopped (only together with SND_ASYNC)
constexpr DWORD SND_NOSTOP = 0x0010;     // fail instead of interrupting a sound that plays
constexpr DWORD SND_PURGE = 0x0040;      // accepted for compatibility; stops like a null sound
constexpr DWORD SND_FILENAME = 0x20000;  // the sound argument is a file name
constexpr DWORD SND_RESOURCE = 0x40004;  // the sound argument names a registered sound resource

// Plays a wave sound on the process's one sound channel; a new sound, or a null Sound, stops the one
// that plays. Sound is a file name (SND_FILENAME; backslashes and letter case are resolved as for every
// path the programs open), a resource name (SND_RESOURCE, see RegisterSoundResource) or a wave image in
// memory (SND_MEMORY). Without SND_ASYNC the call returns when the sound has ended, at most a little
// longer than the sound lasts; SND_LOOP repeats only an asynchronous sound, a synchronous one plays
// once. Returns false, without waiting, when the sound cannot be found or read, is not a playable wave,
// or no output device can play it. hmod is ignored.
bool PlaySound(const char* Sound, HMODULE hmod, DWORD Flags);
inline bool PlaySoundA(const char* Sound, HMODULE hmod, DWORD Flags) {
  return PlaySound(Sound, hmod, Flags);
}

// Plays a wave image of known size (the sized form of SND_MEMORY); Flags as for PlaySound.
bool PlaySoundMemory(const void* Image, size_t Size, DWORD Flags);

// Sound resources are named wave images the program registers at start-up (names ignore letter case);
// a resource that is not registered is looked up in the application's built-in resources as
// ":/sounds/<name>" and, failing that, ":/<name>".
void RegisterSoundResource(const std::string& Name, std::vector<uint8_t> Image);
void UnregisterSoundResource(const std::string& Name);

// Where the channel's sounds go. PlaySound calls it on any thread, serialised by the channel.
class TSoundOutput {
 public:
  virtual ~TSoundOutput() = default;
  // Told of every PlaySound call before anything else happens (Sound may be null).
  virtual void Requested(const void* Sound, DWORD Flags) {}
  // Starts Sound, replacing whatever plays; false when no device can play it.
  [[nodiscard]] virtual bool Start(std::shared_ptr<const TWaveSound> Sound, bool Loop) = 0;
  // Blocks until the sound that Start began has ended, at most Bound; then stops it.
  virtual void WaitForEnd(std::chrono::milliseconds Bound) = 0;
  virtual void Stop() = 0;
  [[nodiscard]] virtual bool Playing() = 0;
};

// Installs the channel's output and returns the previous one. Null restores the device output, which
// plays through the system's default audio device (it needs a running application object).
std::unique_ptr<TSoundOutput> SetSoundOutput(std::unique_ptr<TSoundOutput> Output);

// An output that plays nothing and records what would have played; tests install it.
class TRecordingSoundOutput final : public TSoundOutput {
 public:
  struct TRequest {
    const void* Sound;
    DWORD Flags;
  };
  struct TPlayed {
    std::shared_ptr<const TWaveSound> Sound;
    bool Loop = false;
    bool Waited = false;  // the caller waited for the end
    std::chrono::milliseconds Bound{0};
    bool Stopped = false;  // replaced or stopped
  };

  void Requested(const void* Sound, DWORD Flags) override;
  [[nodiscard]] bool Start(std::shared_ptr<const TWaveSound> Sound, bool Loop) override;
  void WaitForEnd(std::chrono::milliseconds Bound) override;
  void Stop() override;
  [[nodiscard]] bool Playing() override;

  // When false, Start fails as it does without an audio device.
  void SetDeviceAvailable(bool Value);

  [[nodiscard]] std::vector<TRequest> Requests() const;
  [[nodiscard]] std::vector<TPlayed> Played() const;
  [[nodiscard]] int StopCount() const;

 private:
  mutable std::mutex FLock;
  bool FDeviceAvailable = true;
  std::vector<TRequest> FRequests;
  std::vector<TPlayed> FPlayed;
  int FStops = 0;
};
