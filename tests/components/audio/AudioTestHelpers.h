#pragma once

#include <QString>
#include <QStringList>
#include <cmath>
#include <string>
#include <vector>

#include "Commands.h"
#include "components/audio/TAudioFile2.h"

namespace snipwave::test {

// The chirp sources every reader test uses: 8 s (more than 300000 frames at
// 44.1 kHz), stereo with a quieter right channel, in each source type.
struct SourceKind {
  const char* name;
  const char* file;
  QStringList encoder;
};
inline std::vector<SourceKind> SourceKinds() {
  return {
      {"Wav", "chirp8.wav", {}},
      {"Mp3Cbr", "chirp8-cbr.mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}},
      {"Mp3Vbr", "chirp8-vbr.mp3", {"-c:a", "libmp3lame", "-q:a", "2"}},
      {"Ogg", "chirp8.ogg", {"-c:a", "libvorbis", "-q:a", "4"}},
      {"Wma", "chirp8.wma", {"-c:a", "wmav2", "-b:a", "128k"}},
  };
}
inline QString SourceFixture(const SourceKind& kind) {
  return ChirpFixture(kind.file, 8.0, 44100, 2, kind.encoder);
}

// Everything a reader yields from its current position to the end.
inline std::vector<float> ReadToEnd(IAudioFile2& reader, int chunk = 4410) {
  std::vector<float> all;
  for (;;) {
    const SampleBuffer b = reader.ReadSamples(chunk);
    if (b.empty()) break;
    all.insert(all.end(), b.begin(), b.end());
  }
  return all;
}

// A WAV file of `frames` frames made from a function of (frame, channel).
template <typename F>
std::vector<float> MakeSignal(int frames, int channels, F f) {
  std::vector<float> s(static_cast<std::size_t>(frames) * channels);
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) s[static_cast<std::size_t>(i) * channels + c] = f(i, c);
  return s;
}

// Music-like material: a chord of harmonic tones that changes twice a second,
// with a tremolo and a little noise (encoders treat it as they treat music).
inline std::vector<float> Chords(int frames, int rate, int channels) {
  constexpr double kTwoPi = 6.283185307179586;
  unsigned seed = 11;
  return MakeSignal(frames, channels, [rate, &seed](int i, int c) {
    seed = seed * 1664525u + 1013904223u;
    const double t = static_cast<double>(i) / rate;
    const double notes[] = {220, 277.2, 329.6, 440, 554.4};
    double v = 0;
    for (int k = 0; k < 3; ++k) {
      const double f = notes[(k + static_cast<int>(t * 2)) % 5];
      for (int h = 1; h < 6 && f * h < rate / 2; ++h) v += 0.1 / h * std::sin(kTwoPi * f * h * t + c);
    }
    v *= 0.6 + 0.4 * std::sin(kTwoPi * 2 * t);
    return static_cast<float>(v + 0.03 * ((seed >> 8) / 16777216.0 - 0.5));
  });
}

}  // namespace snipwave::test
