#include "convert/LosslessMp3.h"

#include <algorithm>

#include "components/audio/AudioInterfaces.h"
#include "convert/JobSupport.h"
#include "platform/Error.h"
#include "platform/FileNames.h"

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
  // The layout is read from a copy of the file: a mapping would end the
  // program if the file became shorter while it is scanned.
  const QByteArray bytes = source->file_.readAll();
  if (source->file_.error() != QFileDevice::NoError) {
    *reason = "it cannot be read (" + source->file_.errorString() + ")";
    return nullptr;
  }
  try {
    source->stream_ = mp3copy::ReadMp3Stream(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                             static_cast<std::size_t>(bytes.size()), SystemPath(path));
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

std::size_t Mp3FrameSource::Read(std::int64_t offset, std::uint8_t* out, std::size_t size) const {
  if (!file_.seek(offset)) return 0;
  std::size_t got = 0;
  while (got < size) {
    const qint64 n = file_.read(reinterpret_cast<char*>(out) + got, static_cast<qint64>(size - got));
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

mp3copy::CopyOutcome WriteMp3Copy(const std::vector<Mp3CopyRange>& ranges, IAudioFile2& reader,
                                  bool readerOnFirstSource, const QString& outputPath,
                                  const std::function<bool(double)>& keepGoing, const Mp3EdgeLevel& level) {
  std::vector<mp3copy::CopyRange> copyRanges;
  for (const Mp3CopyRange& r : ranges)
    copyRanges.push_back({&r.source->Stream(),
                          [source = r.source](std::int64_t offset, std::uint8_t* out, std::size_t size) {
                            return source->Read(offset, out, size);
                          },
                          r.begin, r.end, r.reencodeHead, r.reencodeTail, r.gainSteps});
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
    // Fewer samples than asked when the source ends early: past its end, or
    // because it has become shorter, which the copy then reports.
    out.resize(std::min(out.size(), static_cast<std::size_t>(count) * channels));
    if (level) level(row, from, out);
    return out;
  };
  mp3copy::CopyOutcome outcome =
      mp3copy::WriteFrameCopy(copyRanges, pcm, encoding, SystemPath(outputPath), keepGoing);
  detail::CloseIfOpen(&reader);
  return outcome;
}

QStringList ReencodedRunNotes(const mp3copy::CopyOutcome& outcome, const std::vector<Mp3CopyRange>& ranges) {
  QStringList notes;
  for (const mp3copy::CopyOutcome::ReencodedRun& run : outcome.reencodedRuns) {
    const Mp3FrameSource& source = *ranges[static_cast<std::size_t>(run.row)].source;
    const auto rate = static_cast<unsigned>(source.Stream().sampleRate);
    const bool withHours = source.Stream().length >= std::int64_t(rate) * 3600;
    const QString why = run.why == mp3copy::CopyOutcome::ReencodedRun::Why::ShortBlocks
                            ? "they open or close with short blocks, which cannot meet re-encoded frames"
                            : "no re-encoded frame before them could hold the bytes they take from the bit reservoir";
    notes << source.Path() + " was re-encoded from " + detail::PreciseTime(run.begin, rate, withHours) + " to " +
                 detail::PreciseTime(run.end, rate, withHours) + ", its MP3 frames not kept there: " + why + ".";
  }
  return notes;
}

QString ReencodedNote(const QString& path, const QString& reason) {
  return path + " was re-encoded, its MP3 frames not kept: " + reason + ".";
}

QString NoLengthTagNote(const QString& path) {
  return path + " has no LAME tag, so its own length is unknown: its frames were kept and the cut is exact to "
                "what a decoder gives for it.";
}

}  // namespace snipwave
