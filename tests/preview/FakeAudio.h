#pragma once

#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "components/audio/AudioInterfaces.h"
#include "platform/Error.h"

namespace snipwave::test {

// One log shared by the fake reader and the fake player, so tests see the
// order of calls across both.
using CallLog = QStringList;

// Facts of a file the fake reader can open.
struct FakeFile {
  std::int64_t lengthSamples = 0;
  int durationMs = 0;
  unsigned sampleRate = 44100;
  int channels = 2;
};

// A reader over imaginary files: every frame has the value of its index, so
// a test can tell which part of the file was read. Fails like the real one
// when a file is unknown; can be told to fail reading.
class FakeReader final : public IAudioFile2 {
 public:
  explicit FakeReader(CallLog& log) : log_(log) {}

  std::map<std::string, FakeFile> files;
  bool failReads = false;
  std::string openPath;
  std::int64_t position = 0;

  void OpenFile(const std::string& path, int flags, int mode) override {
    log_ << QString("OpenFile(%1,%2,%3)").arg(QString::fromStdString(path)).arg(flags).arg(mode);
    auto it = files.find(path);
    if (it == files.end()) throw Error::Failed("Cannot open", path, "No such file or directory");
    open_ = it->second;
    openPath = path;
    position = 0;
  }
  void CloseFile() override {
    log_ << "CloseFile";
    open_.reset();
    openPath.clear();
  }
  void CreateOutputFile(const std::string&, int) override { throw Error("not a writer"); }
  void WriteSamples(const SampleBuffer&) override { throw Error("not a writer"); }
  SampleBuffer ReadSamples(int frames) override {
    log_ << QString("ReadSamples(%1)").arg(frames);
    if (!open_) throw Error("ReadSamples on a closed reader");
    if (failReads) throw Error::Failed("Cannot read", openPath, "Invalid data found when processing input");
    const std::int64_t n = std::clamp<std::int64_t>(open_->lengthSamples - position, 0, frames);
    SampleBuffer buffer(static_cast<std::size_t>(n * open_->channels));
    for (std::int64_t f = 0; f < n; ++f)
      for (int c = 0; c < open_->channels; ++c)
        buffer[static_cast<std::size_t>(f * open_->channels + c)] = static_cast<float>(position + f);
    position += n;
    return buffer;
  }
  std::int64_t SeekSample(std::int64_t pos, int mode) override {
    log_ << QString("SeekSample(%1,%2)").arg(pos).arg(mode);
    if (!open_) throw Error("SeekSample on a closed reader");
    position = pos;
    return static_cast<int>(pos);
  }
  bool CheckMp3Format(int, int, int) override { return true; }
  bool CheckOggFormat(int, int, int, int, int) override { return true; }
  void SetPcmFormat(int, int) override {}
  void SetWavFormat(int, int, int) override {}
  std::optional<WavFormatValues> WavFormat() const override { return std::nullopt; }
  void SetMp3Encoder(IAudioFile2LameEnc*) override {}
  void SetOggFormat(int, int, int, int, int, int) override {}
  void SetWmaProfile(int) override {}
  void SetFlacFormat(int, int) override {}
  void SetOpusFormat(int, bool, bool, int) override {}
  void SetM4aFormat(bool, int, int) override {}
  std::int64_t LengthSamples() const override { return open_ ? open_->lengthSamples : 0; }
  std::int64_t DamagedFrames() const override { return 0; }
  bool IsOpen() const override { return open_.has_value(); }
  int FrameSize() const override { return open_ ? open_->channels : 0; }
  int DurationMs() const override { return open_ ? open_->durationMs : 0; }
  int Channels() const override { return open_ ? open_->channels : 0; }
  unsigned SampleRate() const override { return open_ ? open_->sampleRate : 0; }
  void SetInitFlag(bool) override {}

 private:
  CallLog& log_;
  std::optional<FakeFile> open_;
};

// A player that plays nothing: it records calls and keeps the events, which a
// test fires in whatever order it likes.
class FakePlayer final : public IAudioPlayer2 {
 public:
  explicit FakePlayer(CallLog& log) : log_(log) {}

  AudioPlayerEvents events;
  bool playing = false;
  bool failSetPcmFormat = false;
  std::vector<SampleBuffer> queue;  // buffers queued since the last Play/Stop

  void Play() override {
    log_ << "Play";
    playing = true;
  }
  void Stop() override {
    log_ << "Stop";
    playing = false;
    queue.clear();
  }
  void QueueBuffer(const SampleBuffer& buffer) override {
    log_ << QString("QueueBuffer(%1)").arg(buffer.size());
    queue.push_back(buffer);
  }
  void SetPcmFormat(int sampleRate, int channels) override {
    log_ << QString("SetPcmFormat(%1,%2)").arg(sampleRate).arg(channels);
    if (failSetPcmFormat) throw Error("Audio device: unsupported format");
  }
  void SetEvents(AudioPlayerEvents e) override { events = std::move(e); }

  void FireEndArrayPlay() { events.OnEndArrayPlay(); }
  void FireRequestOnLoadArray() { events.OnRequestOnLoadArray(); }
  void FireTimer(std::int64_t currentSamples) { events.OnTimer(currentSamples, 0, 0); }
  void FireEndPlay() { events.OnEndPlay(); }

 private:
  CallLog& log_;
};

}  // namespace snipwave::test
