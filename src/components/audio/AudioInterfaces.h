#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Error.h"

namespace snipwave {

// The parameters of WAV output: bits per sample 8 or 16.
struct WavFormatValues {
  int sampleRate = 0, channels = 0, bitsPerSample = 0;
  bool operator==(const WavFormatValues&) const = default;
};

// A block of PCM audio as it travels between reader, writer and player:
// interleaved float32 samples in [-1, 1], one element per sample of one
// channel, frames one after the other. frames = size() / channels.
using SampleBuffer = std::vector<float>;

// MP3 encoder settings (the LAME parameters). Set on this object, handed to a
// writer with SetMp3Encoder; the writer reads them when it creates an MP3 file.
class IAudioFile2LameEnc {
 public:
  virtual ~IAudioFile2LameEnc() = default;

  virtual void SetVbrBitRate(int kbps) = 0;
  virtual void SetVbrQuality(int quality) = 0;  // 0 best ... 9 worst
  virtual void SetVbrMode(int mode) = 0;        // -1 = constant bit rate, 0 = variable bit rate
  virtual void SetQuality(int quality) = 0;     // encoder effort, 0 best/slow ... 9 worst/fast

  virtual int VbrBitRate() const = 0;
  virtual int VbrQuality() const = 0;
  virtual int VbrMode() const = 0;
  virtual int Quality() const = 0;

  virtual int SampleRate() const = 0;  // Hz
  virtual void SetSampleRate(int hz) = 0;
  virtual int Channels() const = 0;  // 1 or 2
  virtual void SetChannels(int channels) = 0;
  virtual int BitRate() const = 0;  // kbit/s, constant bit rate
  virtual void SetBitRate(int kbps) = 0;
};

// What OpenFile throws for a file that is audio of a known format but holds
// no sample frames (a header and nothing after it: the output of an empty
// range). `SampleRate` is the rate its header gives.
class NoSamplesError : public Error {
 public:
  NoSamplesError(const std::string& path, int sampleRate)
      : Error(Failed("Cannot read", path, "the file holds no audio samples")), sampleRate_(sampleRate) {}
  int SampleRate() const { return sampleRate_; }

 private:
  int sampleRate_;
};

// Reader and writer of audio files. One instance either reads a source file
// (OpenFile ... ReadSamples) or writes an output file (CreateOutputFile ...
// WriteSamples); both end with CloseFile. Positions and lengths are sample
// frames of the open source file; durations milliseconds.
// Every failing call throws snipwave::Error naming the operation, the path and
// the library's reason.
class IAudioFile2 {
 public:
  virtual ~IAudioFile2() = default;

  // Opens a source file (MP3, WAV, WMA, OGG) for reading. flags/mode are kept
  // for the callers' sake (0 and 1) and select nothing.
  virtual void OpenFile(const std::string& path, int flags = 0, int mode = 1) = 0;
  // Closes what is open; a writer's output is complete and playable afterwards.
  virtual void CloseFile() = 0;
  // Creates or overwrites an output file; the type follows the extension
  // (.mp3 .wav .wma .ogg .flac .opus .m4a, any case), the parameters those set
  // for that type.
  virtual void CreateOutputFile(const std::string& path, int flags = 0) = 0;
  // Appends interleaved samples in the format of the last SetPcmFormat.
  virtual void WriteSamples(const SampleBuffer& buffer) = 0;
  // Up to `frames` frames from the read position, advancing it; empty at the end.
  virtual SampleBuffer ReadSamples(int frames) = 0;
  // Moves the read position to a frame; exact to the sample. Returns the position.
  virtual std::int64_t SeekSample(std::int64_t position, int mode = 3) = 0;

  virtual bool CheckMp3Format(int sampleRate, int bitRateKbps, int channels) = 0;
  virtual bool CheckOggFormat(int sampleRate, int channels, int nominalKbps, int maxKbps, int minKbps) = 0;

  // Writer: the format of the data written next. Reader: convert what is read next.
  virtual void SetPcmFormat(int sampleRate, int channels) = 0;
  virtual void SetWavFormat(int sampleRate, int channels, int bitsPerSample) = 0;
  // What SetWavFormat last set (the writer keeps it from file to file);
  // nothing before it was ever called: WAV then takes the incoming data's
  // rate and channels at 16 bits.
  virtual std::optional<WavFormatValues> WavFormat() const = 0;
  virtual void SetMp3Encoder(IAudioFile2LameEnc* encoder) = 0;
  // quality: 0 best ... 1000 worst; -1 = quality mode off (managed bit rate).
  virtual void SetOggFormat(int sampleRate, int channels, int nominalKbps, int maxKbps, int minKbps,
                            int quality) = 0;
  virtual void SetWmaProfile(int profile) = 0;  // 1..47
  // FLAC at the incoming data's rate and channels: compression level 0
  // (fastest) ... 8 (smallest), 16 or 24 bits per sample.
  virtual void SetFlacFormat(int compressionLevel, int bitsPerSample) = 0;
  // Opus, always 48000 Hz: kbit/s 6..510, variable or constant bit rate,
  // tuned for music (speech = false) or for speech; channels 1 or 2, 0 = the
  // incoming data's (mono stays mono, more than one channel becomes stereo).
  virtual void SetOpusFormat(int kbps, bool variableBitRate, bool speech, int channels) = 0;
  // M4A at the incoming data's rate and channels: AAC at aacKbps (32..320),
  // or with alac = true Apple Lossless at alacBits (16 or 24) per sample.
  virtual void SetM4aFormat(bool alac, int aacKbps, int alacBits) = 0;

  virtual std::int64_t LengthSamples() const = 0;
  // Frames of the open source that could not be decoded and were read as
  // silence of their own duration (0 for an undamaged file).
  virtual std::int64_t DamagedFrames() const = 0;
  virtual bool IsOpen() const = 0;
  virtual int FrameSize() const = 0;  // buffer elements per frame (= Channels)
  virtual int DurationMs() const = 0;
  virtual int Channels() const = 0;
  virtual unsigned SampleRate() const = 0;
  // Bits per sample of the open source when its codec is lossless (FLAC,
  // ALAC, integer PCM: their depth; float PCM: 24); 0 for a lossy codec or
  // when the reader cannot tell.
  virtual int BitsPerSample() const { return 0; }
  virtual void SetInitFlag(bool on) = 0;
};

// Events of the player, delivered on the GUI thread.
struct AudioPlayerEvents {
  std::function<void()> OnEndArrayPlay;        // a queued buffer finished playing
  std::function<void()> OnRequestOnLoadArray;  // the player wants one more buffer
  // currentSamples: frames actually played (sounded) since Play; levels 0..32767.
  std::function<void(std::int64_t currentSamples, int levelLeft, int levelRight)> OnTimer;
  std::function<void()> OnEndPlay;  // the queue ran dry after the last buffer and the device played it out
};

// Preview output, fed with buffers by the program.
class IAudioPlayer2 {
 public:
  virtual ~IAudioPlayer2() = default;
  virtual void Play() = 0;  // start playing what is (and will be) queued
  virtual void Stop() = 0;  // halt output at once, drop the queue; no OnEndPlay
  virtual void QueueBuffer(const SampleBuffer& buffer) = 0;
  virtual void SetPcmFormat(int sampleRate, int channels) = 0;
  virtual void SetEvents(AudioPlayerEvents events) = 0;
};

}  // namespace snipwave
