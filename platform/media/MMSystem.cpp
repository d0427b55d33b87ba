#include "platform/media/MMSystem.h"

#include <QFile>
#include <algorithm>
#include <cctype>
#include <map>

#include "platform/media/DeviceSoundOutput.h"
#include "platform/rtl/FileUtils.h"

namespace {

// A synchronous sound may take this much longer than its length before the wait gives up.
constexpr std::chrono::milliseconds kSyncSlack(1000);

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// The process's one sound channel. The lock is held for a whole PlaySound call, the wait of a
// synchronous sound included, so calls from several threads take turns.
struct TChannel {
  std::mutex Lock;
  std::unique_ptr<TSoundOutput> Output;
  std::map<std::string, std::vector<uint8_t>> Resources;  // keyed by lower-case name

  TSoundOutput& CurrentOutput() {
    if (!Output) Output = CreateDeviceSoundOutput();
    return *Output;
  }
};

TChannel& Channel() {
  static TChannel channel;
  return channel;
}

TWaveSound LoadResource(TChannel& channel, const std::string& name) {
  const auto it = channel.Resources.find(Lower(name));
  if (it != channel.Resources.end()) return ReadWave(it->second.data(), it->second.size());
  for (const QString& path : {QStringLiteral(":/sounds/"), QStringLiteral(":/")}) {
    QFile file(path + QString::fromStdString(name));
    if (file.open(QIODevice::ReadOnly)) {
      const QByteArray bytes = file.readAll();
      return ReadWave(bytes.constData(), static_cast<size_t>(bytes.size()));
    }
  }
  throw EInvalidWave("Sound resource " + name + " not found");
}

TWaveSound LoadSound(TChannel& channel, const char* sound, size_t size, DWORD flags) {
  if ((flags & SND_RESOURCE) == SND_RESOURCE) return LoadResource(channel, sound);
  if (flags & SND_MEMORY) return ReadWave(sound, size ? size : WaveImageSize(sound));
  // A file name, with or without SND_FILENAME (the registry's sound aliases do not exist here).
  const std::string name(sound);
  if (name.empty()) throw EInvalidWave("No sound named");
  return LoadWaveFile(ResolvePath(name));
}

bool Play(const char* sound, size_t size, DWORD flags) {
  TChannel& channel = Channel();
  std::lock_guard guard(channel.Lock);
  TSoundOutput& output = channel.CurrentOutput();
  output.Requested(sound, flags);
  if (!sound || (flags & SND_PURGE)) {
    output.Stop();
    return true;
  }
  if ((flags & SND_NOSTOP) && output.Playing()) return false;
  output.Stop();
  std::shared_ptr<const TWaveSound> wave;
  try {
    wave = std::make_shared<const TWaveSound>(LoadSound(channel, sound, size, flags));
  } catch (const Exception&) {
    return false;  // not found, unreadable or not a playable wave: nothing plays
  }
  const bool async = flags & SND_ASYNC;
  // A looped sound only repeats asynchronously; a synchronous one plays once so the caller returns.
  if (!output.Start(wave, async && (flags & SND_LOOP))) return false;
  if (!async) output.WaitForEnd(wave->Duration() + kSyncSlack);
  return true;
}

}  // namespace

bool PlaySound(const char* Sound, HMODULE, DWORD Flags) {
  return Play(Sound, 0, Flags);
}

bool PlaySoundMemory(const void* Image, size_t Size, DWORD Flags) {
  if (!Image) return Play(nullptr, 0, Flags);
  if (Size == 0) return false;
  return Play(static_cast<const char*>(Image), Size, (Flags & ~SND_FILENAME) | SND_MEMORY);
}

void RegisterSoundResource(const std::string& Name, std::vector<uint8_t> Image) {
  TChannel& channel = Channel();
  std::lock_guard guard(channel.Lock);
  channel.Resources[Lower(Name)] = std::move(Image);
}

void UnregisterSoundResource(const std::string& Name) {
  TChannel& channel = Channel();
  std::lock_guard guard(channel.Lock);
  channel.Resources.erase(Lower(Name));
}

std::unique_ptr<TSoundOutput> SetSoundOutput(std::unique_ptr<TSoundOutput> Output) {
  TChannel& channel = Channel();
  std::lock_guard guard(channel.Lock);
  if (channel.Output) channel.Output->Stop();
  std::swap(channel.Output, Output);
  return Output;
}

// --- TRecordingSoundOutput

void TRecordingSoundOutput::Requested(const void* Sound, DWORD Flags) {
  std::lock_guard guard(FLock);
  FRequests.push_back({Sound, Flags});
}

bool TRecordingSoundOutput::Start(std::shared_ptr<const TWaveSound> Sound, bool Loop) {
  std::lock_guard guard(FLock);
  if (!FDeviceAvailable) return false;
  TPlayed played;
  played.Sound = std::move(Sound);
  played.Loop = Loop;
  FPlayed.push_back(std::move(played));
  return true;
}

void TRecordingSoundOutput::WaitForEnd(std::chrono::milliseconds Bound) {
  std::lock_guard guard(FLock);
  if (FPlayed.empty() || FPlayed.back().Stopped) return;
  FPlayed.back().Waited = true;
  FPlayed.back().Bound = Bound;
  FPlayed.back().Stopped = true;  // a waited-for sound has ended when the wait returns
}

void TRecordingSoundOutput::Stop() {
  std::lock_guard guard(FLock);
  ++FStops;
  if (!FPlayed.empty()) FPlayed.back().Stopped = true;
}

bool TRecordingSoundOutput::Playing() {
  std::lock_guard guard(FLock);
  return !FPlayed.empty() && !FPlayed.back().Stopped;
}

void TRecordingSoundOutput::SetDeviceAvailable(bool Value) {
  std::lock_guard guard(FLock);
  FDeviceAvailable = Value;
}

std::vector<TRecordingSoundOutput::TRequest> TRecordingSoundOutput::Requests() const {
  std::lock_guard guard(FLock);
  return FRequests;
}

std::vector<TRecordingSoundOutput::TPlayed> TRecordingSoundOutput::Played() const {
  std::lock_guard guard(FLock);
  return FPlayed;
}

int TRecordingSoundOutput::StopCount() const {
  std::lock_guard guard(FLock);
  return FStops;
}
