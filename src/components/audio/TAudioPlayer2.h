#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "AudioInterfaces.h"
#include "PlayoutClock.h"

namespace snipwave {

// The preview output on SDL2 audio, fed with buffers by the program.
//
// Threads: SDL's audio callback (its own thread) only copies queued samples
// to the device and posts notes to this object; every event is delivered on
// the thread this object lives in (the GUI thread) by the Qt event loop.
// A note posted before Stop, or by an earlier Play, is dropped on delivery.
//
// Sound: each Play hands the device a period of silence before the first
// queued frame, so a sound server that drops the head of a stream as it
// starts (PulseAudio rewinds over it) drops silence. What the device has been
// handed sounds a little later (the driver and the server buffer it); the
// player counts it as sounding only then (see PlayoutClock).
//
// Events: OnEndArrayPlay once per queued buffer handed to the device to its
// end; OnRequestOnLoadArray when the queue ran empty while more data may come
// (the output then plays silence); OnEndPlay once, when the queue ran dry
// after an empty buffer was queued (the program's end-of-data mark) and the
// device has sounded everything it was handed; OnTimer every 50 ms while
// playing with CurrentSamples = frames of the queued data sounded since Play
// and the peak levels (0..32767) of what was handed since the last tick.
// Stop halts output at once, drops the queue and raises nothing.
//
// SetPcmFormat applies from the next Play. No sound device, or a driver that
// cannot start, makes Play throw snipwave::Error with SDL's reason.
class TAudioPlayer2 final : public QObject, public IAudioPlayer2 {
 public:
  explicit TAudioPlayer2(QObject* parent = nullptr);
  ~TAudioPlayer2() override;

  void Play() override;
  void Stop() override;
  void QueueBuffer(const SampleBuffer& buffer) override;
  void SetPcmFormat(int sampleRate, int channels) override;
  void SetEvents(AudioPlayerEvents events) override { events_ = std::move(events); }

  bool IsPlaying() const { return device_ != 0; }

 private:
  enum class Note { kEndArray, kRequest, kEndPlay };
  static void Callback(void* self, std::uint8_t* stream, int len);
  void Fill(float* out, int frames);
  void Post(Note note);
  void Deliver(Note note, unsigned generation);
  void Tick();

  AudioPlayerEvents events_;
  int sampleRate_ = 44100;
  int channels_ = 2;
  std::uint32_t device_ = 0;  // SDL_AudioDeviceID, 0 when not playing
  QTimer timer_;
  std::atomic<unsigned> generation_{0};

  // Shared with the callback thread, under mutex_.
  std::mutex mutex_;
  std::deque<SampleBuffer> queue_;
  std::size_t frontOffset_ = 0;  // elements of queue_.front() already played
  bool endMarked_ = false;
  bool endPosted_ = false;
  bool requestPosted_ = false;
  std::int64_t leadIn_ = 0;  // frames of silence still to hand before the first queued frame
  bool threadRaised_ = false;
  std::optional<PlayoutClock> clock_;  // from Play on
  float peakLeft_ = 0, peakRight_ = 0;
};

}  // namespace snipwave
