#pragma once

#include <gmock/gmock.h>

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <cmath>
#include <functional>
#include <vector>

#include "AudioMocks.h"
#include "components/audio/AudioInterfaces.h"
#include "platform/Error.h"

namespace snipwave::test {

// Gives a mocked encoder settings object the read-back of what was written.
struct EncoderMemory {
  int rate = 0, bitRate = 0, channels = 0;
  int vbrMode = -1, vbrBitRate = 128, vbrQuality = 5;  // the real encoder's own
  void Attach(MockLameEnc& enc) {
    using ::testing::Invoke;
    ON_CALL(enc, SetSampleRate).WillByDefault(Invoke([this](int v) { rate = v; }));
    ON_CALL(enc, SetBitRate).WillByDefault(Invoke([this](int v) { bitRate = v; }));
    ON_CALL(enc, SetChannels).WillByDefault(Invoke([this](int v) { channels = v; }));
    ON_CALL(enc, SampleRate).WillByDefault(Invoke([this] { return rate; }));
    ON_CALL(enc, BitRate).WillByDefault(Invoke([this] { return bitRate; }));
    ON_CALL(enc, Channels).WillByDefault(Invoke([this] { return channels; }));
    ON_CALL(enc, SetVbrMode).WillByDefault(Invoke([this](int v) { vbrMode = v; }));
    ON_CALL(enc, SetVbrBitRate).WillByDefault(Invoke([this](int v) { vbrBitRate = v; }));
    ON_CALL(enc, SetVbrQuality).WillByDefault(Invoke([this](int v) { vbrQuality = v; }));
    ON_CALL(enc, VbrMode).WillByDefault(Invoke([this] { return vbrMode; }));
    ON_CALL(enc, VbrBitRate).WillByDefault(Invoke([this] { return vbrBitRate; }));
    ON_CALL(enc, VbrQuality).WillByDefault(Invoke([this] { return vbrQuality; }));
  }
};

// The sources a simulated reader knows: rate, channels and length in frames.
struct SimulatedSource {
  unsigned rate = 44100;
  int channels = 2;
  std::int64_t frames = 0;
};

// Makes a mocked reader behave like a real one over simulated sources (looked
// up by path), logging every call into `log` as "reader.<call>(args)".
// SetPcmFormat converts what is read next: remaining frames scale by the
// rate ratio, the channel count becomes the asked one.
class SimulatedReader {
 public:
  std::function<SimulatedSource(const QString& path)> sources;
  QStringList* log = nullptr;

  void Attach(MockAudioFile2& mock) {
    using ::testing::Invoke;
    ON_CALL(mock, OpenFile).WillByDefault(Invoke([this](const std::string& path, int flags, int mode) {
      Log(QString("OpenFile(%1,%2,%3)").arg(QString::fromStdString(path)).arg(flags).arg(mode));
      source_ = sources(QString::fromStdString(path));
      open_ = true;
      position_ = 0;
      outRate_ = source_.rate;
      outChannels_ = source_.channels;
    }));
    ON_CALL(mock, CloseFile).WillByDefault(Invoke([this] {
      Log("CloseFile");
      open_ = false;
    }));
    ON_CALL(mock, IsOpen).WillByDefault(Invoke([this] { return open_; }));
    ON_CALL(mock, SampleRate).WillByDefault(Invoke([this] { return source_.rate; }));
    ON_CALL(mock, Channels).WillByDefault(Invoke([this] { return source_.channels; }));
    ON_CALL(mock, FrameSize).WillByDefault(Invoke([this] { return source_.channels; }));
    ON_CALL(mock, LengthSamples).WillByDefault(Invoke([this] { return std::int64_t(source_.frames); }));
    ON_CALL(mock, SeekSample).WillByDefault(Invoke([this](std::int64_t p, int mode) {
      Log(QString("SeekSample(%1,%2)").arg(p).arg(mode));
      position_ = double(p);
      return p;
    }));
    ON_CALL(mock, SetPcmFormat).WillByDefault(Invoke([this](int rate, int channels) {
      Log(QString("SetPcmFormat(%1,%2)").arg(rate).arg(channels));
      outRate_ = unsigned(rate);
      outChannels_ = channels;
    }));
    ON_CALL(mock, ReadSamples).WillByDefault(Invoke([this](int frames) {
      Log(QString("ReadSamples(%1)").arg(frames));
      const double step = double(source_.rate) / double(outRate_);  // source frames per output frame
      const auto left = std::int64_t(std::llround((double(source_.frames) - position_) / step));
      const std::int64_t n = std::max<std::int64_t>(0, std::min<std::int64_t>(frames, left));
      position_ += double(n) * step;
      return SampleBuffer(std::size_t(n * outChannels_), 0.25f);
    }));
  }

 private:
  void Log(const QString& call) {
    if (log) *log << "reader." + call;
  }
  SimulatedSource source_;
  bool open_ = false;
  double position_ = 0;
  unsigned outRate_ = 44100;
  int outChannels_ = 2;
};

// The name a job's output gets when it is complete: the hidden temporary
// name it is written under without its dot and random part
// ("/o/.Cut_a.snipwave-x1Y2z3.wav" -> "/o/Cut_a.wav"). Other paths unchanged.
inline QString FinalNameOf(const QString& path) {
  static const QRegularExpression temporary(QStringLiteral(R"(^(.*/)\.(.*)\.snipwave-[A-Za-z0-9]{6}(\.[^./]*)?$)"));
  const QRegularExpressionMatch m = temporary.match(path);
  return m.hasMatch() ? m.captured(1) + m.captured(2) + m.captured(3) : path;
}

// A mocked writer that keeps IsOpen, creates the output file empty (so names
// are taken as they would be), counts written frames and logs its calls.
// Outputs are logged and listed under the name they get when complete; the
// paths actually created are in `temporaries`.
class SimulatedWriter {
 public:
  QStringList* log = nullptr;
  std::function<void(const SampleBuffer&)> onWrite;
  std::vector<std::int64_t> framesPerFile;  // frames written into each created file
  QStringList created;
  QStringList temporaries;

  void Attach(MockAudioFile2& mock) {
    using ::testing::Invoke;
    ON_CALL(mock, CreateOutputFile).WillByDefault(Invoke([this](const std::string& path, int flags) {
      const QString p = QString::fromStdString(path);
      Log(QString("CreateOutputFile(%1,%2)").arg(FinalNameOf(p)).arg(flags));
      QFile file(p);
      if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw Error("Cannot create " + path);
      created << FinalNameOf(p);
      temporaries << p;
      framesPerFile.push_back(0);
      open_ = true;
    }));
    ON_CALL(mock, CloseFile).WillByDefault(Invoke([this] {
      Log("CloseFile");
      open_ = false;
    }));
    ON_CALL(mock, IsOpen).WillByDefault(Invoke([this] { return open_; }));
    ON_CALL(mock, SetPcmFormat).WillByDefault(Invoke([this](int rate, int channels) {
      Log(QString("SetPcmFormat(%1,%2)").arg(rate).arg(channels));
      channels_ = channels;
    }));
    ON_CALL(mock, SetWmaProfile).WillByDefault(Invoke([this](int profile) {
      Log(QString("SetWmaProfile(%1)").arg(profile));
    }));
    ON_CALL(mock, CheckMp3Format).WillByDefault(::testing::Return(true));
    ON_CALL(mock, CheckOggFormat).WillByDefault(::testing::Return(true));
    ON_CALL(mock, WriteSamples).WillByDefault(Invoke([this](const SampleBuffer& buffer) {
      Log(QString("WriteSamples(%1)").arg(buffer.size() / std::size_t(std::max(1, channels_))));
      if (!open_) throw Error("WriteSamples: no file open");
      framesPerFile.back() += std::int64_t(buffer.size()) / std::max(1, channels_);
      if (onWrite) onWrite(buffer);
    }));
  }

 private:
  void Log(const QString& call) {
    if (log) *log << "writer." + call;
  }
  bool open_ = false;
  int channels_ = 2;
};

}  // namespace snipwave::test
