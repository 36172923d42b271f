#include "TAudioPlayer2.h"

#include <SDL.h>
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "platform/Error.h"

namespace snipwave {

namespace {
constexpr int kTimerMs = 50;

// Frames per device period: the power of two from about 40 ms up (2048 at
// 44.1 and 48 kHz). Short enough for a quick start and stop, long enough that
// a busy machine does not let the sound server run dry between callbacks.
int PeriodFrames(int sampleRate) {
  int frames = 256;
  while (frames < sampleRate / 25) frames *= 2;
  return frames;
}

// SDL asks for real-time scheduling of its audio thread only through RTKit;
// where that is not there (no D-Bus, a server or container, root) the thread
// runs as any other, and a busy machine can keep it from refilling the sound
// server in time, which then skips sound. Where the process may raise the
// thread itself, it does; elsewhere the request is refused and nothing changes.
void RaiseThisThreadForAudio() {
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_RR);
  int policy = SCHED_OTHER;
  sched_param current{};
  if (pthread_getschedparam(pthread_self(), &policy, &current) == 0 && policy == SCHED_OTHER)
    pthread_setschedparam(pthread_self(), SCHED_RR, &param);
}
}  // namespace

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
  want.samples = static_cast<Uint16>(PeriodFrames(sampleRate_));
  want.callback = &TAudioPlayer2::Callback;
  want.userdata = this;
  {
    // Ready before the device's thread exists. With no changes allowed, SDL
    // hands the callback exactly the period asked for.
    std::lock_guard lock(mutex_);
    // SDL's drivers keep about one period queued beyond the one the callback
    // fills (PulseAudio: a target length of one period; ALSA: two periods of
    // buffer). SDL2 cannot tell the latency; this is the least the clock
    // counts with, and it counts more where the device shows it holds more.
    clock_.emplace(want.freq, want.samples);
    leadIn_ = want.samples;
    threadRaised_ = false;  // each device has its own thread
    endPosted_ = false;
    requestPosted_ = false;
    peakLeft_ = peakRight_ = 0;
  }
  SDL_AudioSpec have{};
  const SDL_AudioDeviceID dev = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (dev == 0) {
    const std::string reason = SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    std::lock_guard lock(mutex_);
    clock_.reset();
    throw Error("Cannot start the sound output: no usable audio device (" + reason + ")");
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
  clock_.reset();
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
  const auto now = std::chrono::steady_clock::now();
  const std::size_t ch = static_cast<std::size_t>(channels_);
  std::lock_guard lock(mutex_);
  if (!clock_) {
    std::memset(out, 0, static_cast<std::size_t>(frames) * ch * sizeof(float));
    return;
  }
  if (!threadRaised_) {
    threadRaised_ = true;
    RaiseThisThreadForAudio();
  }
  const std::int64_t lead = std::min<std::int64_t>(leadIn_, frames);
  leadIn_ -= lead;
  std::memset(out, 0, static_cast<std::size_t>(lead) * ch * sizeof(float));
  out += static_cast<std::size_t>(lead) * ch;
  std::size_t want = static_cast<std::size_t>(frames - lead) * ch;
  std::int64_t handed = 0;
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
    handed += static_cast<std::int64_t>(n / ch);
    if (frontOffset_ == front.size()) {
      queue_.pop_front();
      frontOffset_ = 0;
      Post(Note::kEndArray);
    }
  }
  if (want > 0) std::memset(out, 0, want * sizeof(float));
  clock_->Handed(now, frames, lead, handed);
  if (queue_.empty()) {
    if (endMarked_) {
      // The device plays silence from here until what it holds has sounded.
      if (!endPosted_ && clock_->PlayedOut()) {
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
    played = clock_ ? clock_->Sounded(std::chrono::steady_clock::now()) : 0;
    left = peakLeft_;
    right = peakRight_;
    peakLeft_ = peakRight_ = 0;
  }
  const auto level = [](float peak) { return static_cast<int>(std::lround(std::min(peak, 1.0f) * 32767.0f)); };
  if (events_.OnTimer) events_.OnTimer(played, level(left), level(right));
}

}  // namespace snipwave
