#include "TAudioPlayer2.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/Error.h"

namespace snipwave {

namespace {
constexpr int kTimerMs = 50;
}

TAudioPlayer2::TAudioPlayer2(QObject* parent) : QObject(parent) {
  timer_.setInterval(kTimerMs);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
}

TAudioPlayer2::~TAudioPlayer2() { Stop(); }

void TAudioPlayer2::SetPcmFormat(int sampleRate, int channels) {
  if (sampleRate < 1000 || sampleRate > 384000 || channels < 1 || channels > 8) {
    throw Error("Cannot play " + std::to_string(sampleRate) + " Hz with " + std::to_string(channels) +
                " channel(s): not a valid PCM format");
  }
  sampleRate_ = sampleRate;
  channels_ = channels;
}

void TAudioPlayer2::Play() {
  if (device_) return;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    throw Error(std::string("Cannot start the sound output: ") + SDL_GetError());
  }
  SDL_AudioSpec want{};
  want.freq = sampleRate_;
  want.format = AUDIO_F32SYS;
  want.channels = static_cast<Uint8>(channels_);
  want.samples = 1024;  // ~23 ms at 44.1 kHz: fine-grained positions, no underruns
  want.callback = &TAudioPlayer2::Callback;
  want.userdata = this;
  SDL_AudioSpec have{};
  const SDL_AudioDeviceID dev = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (dev == 0) {
    const std::string reason = SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    throw Error("Cannot start the sound output: no usable audio device (" + reason + ")");
  }
  {
    std::lock_guard lock(mutex_);
    played_ = 0;
    endPosted_ = false;
    requestPosted_ = false;
    peakLeft_ = peakRight_ = 0;
  }
  ++generation_;
  device_ = dev;
  SDL_PauseAudioDevice(dev, 0);
  timer_.start();
}

void TAudioPlayer2::Stop() {
  ++generation_;  // whatever is already posted is dropped
  timer_.stop();
  if (device_) {
    SDL_CloseAudioDevice(device_);  // returns when the callback has finished
    device_ = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  std::lock_guard lock(mutex_);
  queue_.clear();
  frontOffset_ = 0;
  endMarked_ = false;
}

void TAudioPlayer2::QueueBuffer(const SampleBuffer& buffer) {
  if (buffer.size() % static_cast<std::size_t>(channels_) != 0) {
    throw Error("Cannot play the buffer: " + std::to_string(buffer.size()) + " values do not make whole frames of " +
                std::to_string(channels_) + " channel(s)");
  }
  std::lock_guard lock(mutex_);
  if (buffer.empty()) {
    endMarked_ = true;  // the feeder has no more data
    return;
  }
  queue_.push_back(buffer);
  endMarked_ = false;
  requestPosted_ = false;
}

void TAudioPlayer2::Callback(void* self, std::uint8_t* stream, int len) {
  auto* player = static_cast<TAudioPlayer2*>(self);
  player->Fill(reinterpret_cast<float*>(stream), len / static_cast<int>(sizeof(float)) / player->channels_);
}

void TAudioPlayer2::Fill(float* out, int frames) {
  const std::size_t ch = static_cast<std::size_t>(channels_);
  std::size_t want = static_cast<std::size_t>(frames) * ch;
  std::lock_guard lock(mutex_);
  while (want > 0 && !queue_.empty()) {
    const SampleBuffer& front = queue_.front();
    const std::size_t n = std::min(want, front.size() - frontOffset_);
    const float* src = front.data() + frontOffset_;
    for (std::size_t i = 0; i < n; ++i) {
      const float a = std::fabs(src[i]);
      if (ch == 1 || (i + frontOffset_) % ch == 0) peakLeft_ = std::max(peakLeft_, a);
      if (ch == 1 || (i + frontOffset_) % ch == 1) peakRight_ = std::max(peakRight_, a);
    }
    std::memcpy(out, src, n * sizeof(float));
    out += n;
    want -= n;
    frontOffset_ += n;
    played_ += static_cast<std::int64_t>(n / ch);
    if (frontOffset_ == front.size()) {
      queue_.pop_front();
      frontOffset_ = 0;
      Post(Note::kEndArray);
    }
  }
  if (want > 0) std::memset(out, 0, want * sizeof(float));
  if (queue_.empty()) {
    if (endMarked_) {
      if (!endPosted_) {
        endPosted_ = true;
        Post(Note::kEndPlay);
      }
    } else if (!requestPosted_) {
      requestPosted_ = true;
      Post(Note::kRequest);
    }
  }
}

void TAudioPlayer2::Post(Note note) {
  const unsigned generation = generation_.load();
  QMetaObject::invokeMethod(this, [this, note, generation] { Deliver(note, generation); }, Qt::QueuedConnection);
}

void TAudioPlayer2::Deliver(Note note, unsigned generation) {
  if (generation != generation_.load() || !device_) return;
  switch (note) {
    case Note::kEndArray:
      if (events_.OnEndArrayPlay) events_.OnEndArrayPlay();
      break;
    case Note::kRequest:
      if (events_.OnRequestOnLoadArray) events_.OnRequestOnLoadArray();
      break;
    case Note::kEndPlay:
      Tick();  // the last position first, so a display shows the end
      if (generation == generation_.load() && events_.OnEndPlay) events_.OnEndPlay();
      break;
  }
}

void TAudioPlayer2::Tick() {
  if (!device_) return;
  std::int64_t played;
  float left, right;
  {
    std::lock_guard lock(mutex_);
    played = played_;
    left = peakLeft_;
    right = peakRight_;
    peakLeft_ = peakRight_ = 0;
  }
  const auto level = [](float peak) { return static_cast<int>(std::lround(std::min(peak, 1.0f) * 32767.0f)); };
  if (events_.OnTimer) events_.OnTimer(played, level(left), level(right));
}

}  // namespace snipwave
