#include "platform/media/DeviceSoundOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <condition_variable>
#include <cstring>

namespace {

// How often the audio thread looks whether the sound has ended.
constexpr int kPollMs = 10;
// Silence after a sound that plays once (see TSoundSource).
constexpr uint64_t kPaddingMs = 500;
// How long a sound is given to leave the device after the device has taken its last byte.
constexpr qint64 kTailMs = 60;
// A sound that plays once ends at the latest this long after its playing time.
constexpr qint64 kLatestMs = 1000;

// Feeds a sound's bytes to the sink, from the start again at the end when looping. A sound that plays
// once is followed by silence: the device starts a stream only when its buffer has filled, so a sound
// shorter than that buffer would otherwise never be heard.
class TSoundSource final : public QIODevice {
 public:
  TSoundSource(std::shared_ptr<const TWaveSound> sound, bool loop)
      : FSound(std::move(sound)), FLoop(loop && !FSound->Data.empty()) {
    const uint64_t padding = uint64_t{FSound->SamplesPerSec} * FSound->BlockAlign() * kPaddingMs / 1000;
    FSilence = FLoop ? 0 : static_cast<qint64>(padding);
    FSilenceByte = FSound->BitsPerSample == 8 ? '\x80' : '\0';
  }

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    qint64 done = 0;
    while (done < maxSize) {
      if (FPos >= Size()) {
        if (!FLoop) break;
        FPos = 0;
      }
      const qint64 n = std::min(maxSize - done, Size() - FPos);
      std::memcpy(data + done, FSound->Data.data() + FPos, static_cast<size_t>(n));
      done += n;
      FPos += n;
    }
    const qint64 quiet = std::min(maxSize - done, FSilence);
    std::memset(data + done, FSilenceByte, static_cast<size_t>(quiet));
    FSilence -= quiet;
    return done + quiet;
  }
  qint64 writeData(const char*, qint64) override { return -1; }
  qint64 bytesAvailable() const override {
    return (FLoop ? Size() : Size() - FPos) + FSilence + QIODevice::bytesAvailable();
  }

 private:
  qint64 Size() const { return static_cast<qint64>(FSound->Data.size()); }

  std::shared_ptr<const TWaveSound> FSound;
  bool FLoop;
  qint64 FPos = 0;
  qint64 FSilence = 0;
  char FSilenceByte = 0;
};

QAudioFormat FormatOf(const TWaveSound& sound) {
  QAudioFormat format;
  format.setSampleRate(static_cast<int>(sound.SamplesPerSec));
  format.setChannelCount(sound.Channels);
  format.setSampleFormat(sound.BitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
  return format;
}

// Lives on the audio thread and owns the one sink that plays.
class TAudioWorker final : public QObject {
 public:
  // Tells the output that the sound of a start has ended (or could not go on).
  std::function<void(uint64_t Generation)> Ended;

  bool Start(std::shared_ptr<const TWaveSound> sound, bool loop, uint64_t generation) {
    StopSink();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return false;
    const QAudioFormat format = FormatOf(*sound);
    if (!device.isFormatSupported(format)) return false;
    FDuration = sound->Duration().count();
    FBytes = static_cast<qint64>(sound->Data.size());
    FTaken = -1;
    FLoop = loop;
    FGeneration = generation;
    FSource = std::make_unique<TSoundSource>(std::move(sound), loop);
    FSource->open(QIODevice::ReadOnly);
    FSink = std::make_unique<QAudioSink>(device, format);
    FSink->start(FSource.get());
    if (FSink->error() != QAudio::NoError || FSink->state() == QAudio::StoppedState) {
      StopSink();
      return false;
    }
    FClock.start();
    if (!FPoll) {
      FPoll = new QTimer(this);
      FPoll->setInterval(kPollMs);
      QObject::connect(FPoll, &QTimer::timeout, this, [this] { Poll(); });
    }
    FPoll->start();
    return true;
  }

  // Stops the sink; Flush drops what the device has not played yet.
  void StopSink(bool Flush = true) {
    if (FPoll) FPoll->stop();
    if (FSink) {
      if (Flush) FSink->reset();
      FSink->stop();
    }
    FSink.reset();
    FSource.reset();
  }

 private:
  // A sound that plays once has ended when its playing time has passed and the device has taken all
  // of it from its buffer (what was written less what still waits there), plus a short tail; a device
  // that reports nothing useful ends it a while after its playing time.
  void Poll() {
    if (!FSink) return;
    const bool failed = FSink->state() == QAudio::StoppedState;
    const qint64 elapsed = FClock.elapsed();
    if (FTaken < 0 && elapsed >= FDuration) {
      const qint64 written = FSink->format().bytesForDuration(FSink->processedUSecs());
      const qint64 waiting = FSink->bufferSize() - FSink->bytesFree();
      if (written - waiting >= FBytes) FTaken = elapsed;
    }
    const bool ended =
        !FLoop && ((FTaken >= 0 && elapsed >= FTaken + kTailMs) || elapsed >= FDuration + kLatestMs);
    if (!failed && !ended) return;
    StopSink(false);
    if (Ended) Ended(FGeneration);
  }

 private:
  std::unique_ptr<TSoundSource> FSource;
  std::unique_ptr<QAudioSink> FSink;
  QTimer* FPoll = nullptr;
  QElapsedTimer FClock;
  qint64 FDuration = 0;
  qint64 FBytes = 0;
  qint64 FTaken = -1;  // when the device had taken every byte of the sound, or -1
  bool FLoop = false;
  uint64_t FGeneration = 0;
};

class TDeviceSoundOutput final : public TSoundOutput {
 public:
  ~TDeviceSoundOutput() override { Shutdown(); }

  bool Start(std::shared_ptr<const TWaveSound> Sound, bool Loop) override {
    if (!EnsureThread()) return false;
    uint64_t generation;
    {
      std::lock_guard guard(FLock);
      generation = ++FGeneration;
    }
    bool started = false;
    QMetaObject::invokeMethod(
        FWorker, [&] { started = FWorker->Start(std::move(Sound), Loop, generation); },
        Qt::BlockingQueuedConnection);
    std::lock_guard guard(FLock);
    if (!started) FEnded = generation;
    return started;
  }

  void WaitForEnd(std::chrono::milliseconds Bound) override {
    std::unique_lock lock(FLock);
    const uint64_t generation = FGeneration;
    if (FEnded >= generation) return;
    if (!FChanged.wait_for(lock, Bound, [&] { return FEnded >= generation; })) {
      lock.unlock();
      Stop();
    }
  }

  void Stop() override {
    if (!FThread) return;
    {
      std::lock_guard guard(FLock);
      FEnded = FGeneration;
    }
    QMetaObject::invokeMethod(
        FWorker, [this] { FWorker->StopSink(); }, Qt::BlockingQueuedConnection);
    FChanged.notify_all();
  }

  bool Playing() override {
    std::lock_guard guard(FLock);
    return FThread && FEnded < FGeneration;
  }

 private:
  // The audio thread runs while the application object that it was started under lives.
  bool EnsureThread() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
      Shutdown();
      return false;
    }
    if (FThread && FApp == app) return true;
    Shutdown();
    FApp = app;
    // The multimedia back end is made on first use and stays with the thread that made it: let that
    // be the application's thread, not the audio thread, which ends before the application does.
    if (QThread::currentThread() == app->thread()) (void)QMediaDevices::audioOutputs();
    FThread = std::make_unique<QThread>();
    FThread->setObjectName(QStringLiteral("Sound"));
    FWorker = new TAudioWorker;
    FWorker->Ended = [this](uint64_t generation) {
      {
        std::lock_guard guard(FLock);
        FEnded = std::max(FEnded, generation);
      }
      FChanged.notify_all();
    };
    FWorker->moveToThread(FThread.get());
    QObject::connect(FThread.get(), &QThread::finished, FWorker, &QObject::deleteLater);
    FThread->start();
    // The application object's destruction stops the thread while Qt is still up.
    Live() = this;
    qAddPostRoutine(&TDeviceSoundOutput::ShutdownLive);
    return true;
  }

  void Shutdown() {
    if (!FThread) return;
    if (FWorker)
      QMetaObject::invokeMethod(
          FWorker, [w = FWorker] { w->StopSink(); }, Qt::BlockingQueuedConnection);
    FThread->quit();
    FThread->wait();
    FThread.reset();
    FWorker = nullptr;  // deleted by the thread's finished signal
    FApp = nullptr;
    {
      std::lock_guard guard(FLock);
      FEnded = FGeneration;
    }
    FChanged.notify_all();
    if (Live() == this) Live() = nullptr;
  }

  static TDeviceSoundOutput*& Live() {
    static TDeviceSoundOutput* live = nullptr;
    return live;
  }
  static void ShutdownLive() {
    if (Live()) Live()->Shutdown();
  }

  std::unique_ptr<QThread> FThread;
  TAudioWorker* FWorker = nullptr;
  QCoreApplication* FApp = nullptr;
  std::mutex FLock;
  std::condition_variable FChanged;
  uint64_t FGeneration = 0;
  uint64_t FEnded = 0;
};

}  // namespace

std::unique_ptr<TSoundOutput> CreateDeviceSoundOutput() {
  return std::make_unique<TDeviceSoundOutput>();
}
