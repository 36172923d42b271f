#include "convert/LosslessMp3.h"

#include <algorithm>

#include "components/audio/AudioInterfaces.h"
#include "convert/JobSupport.h"
#include "platform/Error.h"
#include "platform/FileNames.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "state/MainState.h"

namespace snipwave {

namespace {

QString ChannelText(int channels) { return channels == 1 ? "mono" : QString("%1 channels").arg(channels); }

}  // namespace

std::unique_ptr<Mp3FrameSource> Mp3FrameSource::Open(const QString& path, std::int64_t decodedLength, int outputRate,
                                                     int outputChannels, QString* reason) {
  auto source = std::unique_ptr<Mp3FrameSource>(new Mp3FrameSource);
  source->path_ = path;
  source->file_.setFileName(path);
  if (!source->file_.open(QIODevice::ReadOnly)) {
    *reason = "it cannot be read (" + source->file_.errorString() + ")";
    return nullptr;
  }
  const qint64 size = source->file_.size();
  source->bytes_ = size > 0 ? source->file_.map(0, size) : nullptr;
  if (!source->bytes_) {
    *reason = "it cannot be read (" + source->file_.errorString() + ")";
    return nullptr;
  }
  try {
    source->stream_ = mp3copy::ReadMp3Stream(source->bytes_, static_cast<std::size_t>(size), SystemPath(path));
  } catch (const Error&) {
    *reason = "it is no MP3 file";
    return nullptr;
  }
  const mp3copy::Mp3Stream& s = source->stream_;
  if (s.sampleRate != outputRate || s.channels != outputChannels) {
    *reason = QString("the output is set to %1 Hz, %2 and the source has %3 Hz, %4")
                  .arg(outputRate)
                  .arg(ChannelText(outputChannels))
                  .arg(s.sampleRate)
                  .arg(ChannelText(s.channels));
    return nullptr;
  }
  if (!s.whole || s.length != decodedLength) {
    *reason = "some of its frames are damaged or unreadable";
    return nullptr;
  }
  return source;
}

mp3copy::CopyOutcome WriteMp3Copy(const std::vector<Mp3CopyRange>& ranges, IAudioFile2& reader,
                                  bool readerOnFirstSource, const QString& outputPath,
                                  const std::function<bool(double)>& keepGoing) {
  std::vector<mp3copy::CopyRange> copyRanges;
  for (const Mp3CopyRange& r : ranges)
    copyRanges.push_back({&r.source->Stream(), r.source->Bytes(), r.begin, r.end});
  const mp3copy::Mp3Stream& first = ranges.front().source->Stream();
  const mp3copy::EdgeEncoding encoding =
      mp3copy::EdgeEncodingFor(first);

  const Mp3FrameSource* open = readerOnFirstSource && reader.IsOpen() ? ranges.front().source : nullptr;
  const mp3copy::PcmSource pcm = [&](int row, std::int64_t from, std::int64_t count) {
    const Mp3FrameSource* source = ranges[static_cast<std::size_t>(row)].source;
    if (source != open) {
      detail::CloseIfOpen(&reader);
      reader.OpenFile(SystemPath(source->Path()), 0, 1);
      open = source;
    }
    const auto channels = static_cast<std::size_t>(source->Stream().channels);
    std::vector<float> out;
    out.reserve(static_cast<std::size_t>(count) * channels);
    reader.SeekSample(from, 3);
    while (static_cast<std::int64_t>(out.size() / channels) < count) {
      const std::int64_t left = count - static_cast<std::int64_t>(out.size() / channels);
      const SampleBuffer buffer = reader.ReadSamples(static_cast<int>(std::min<std::int64_t>(left, 1 << 16)));
      if (buffer.empty()) break;
      out.insert(out.end(), buffer.begin(), buffer.end());
    }
    out.resize(static_cast<std::size_t>(count) * channels, 0.0f);
    return out;
  };
  mp3copy::CopyOutcome outcome =
      mp3copy::WriteFrameCopy(copyRanges, pcm, encoding, SystemPath(outputPath), keepGoing);
  detail::CloseIfOpen(&reader);
  return outcome;
}

bool KeepMp3Frames(const MainState& state, const JobOptions& options) {
  if (options.keepMp3Frames) return *options.keepMp3Frames;
  return state.SettingsFile &&
         state.SettingsFile->ReadBool(settings::section::kMp3, settings::key::kLossless, false);
}

QString ReencodedNote(const QString& path, const QString& reason) {
  return path + " was re-encoded, its MP3 frames not kept: " + reason + ".";
}

QString NoLengthTagNote(const QString& path) {
  return path + " has no LAME tag, so its own length is unknown: its frames were kept and the cut is exact to "
                "what a decoder gives for it.";
}

}  // namespace snipwave
