#include "convert/LevelPasses.h"

#include <algorithm>

#include "components/audio/AudioInterfaces.h"
#include "convert/JobSupport.h"
#include "level/TruePeakScan.h"
#include "platform/FileNames.h"

namespace snipwave {

loudness::Loudness MeasureRange(IAudioFile2& reader, const QString& source, std::int64_t begin, std::int64_t end,
                                unsigned rate, int channels) {
  detail::CloseIfOpen(&reader);
  detail::RequireRegularFile(source);
  reader.OpenFile(SystemPath(source), 0, 1);
  reader.SeekSample(begin, 3);
  const unsigned sourceRate = reader.SampleRate();
  if (rate != 0 && channels > 0) {
    reader.SetPcmFormat(static_cast<int>(rate), channels);
  } else {
    rate = sourceRate;
    channels = reader.Channels();
  }
  // The meter for the loudness, the level library's scan for the true peak.
  loudness::LoudnessMeter meter(static_cast<int>(rate), channels, source.toStdString(), false);
  level::TruePeakScan peak(channels, static_cast<int>(rate));
  // The range in the frames read: a converted rate scales it.
  const std::int64_t wanted = sourceRate == rate ? end - begin
                                                 : static_cast<std::int64_t>((end - begin) * double(rate) / sourceRate);
  const std::int64_t chunk = std::int64_t(rate);
  std::int64_t done = 0;
  while (done < wanted) {
    const SampleBuffer buffer = reader.ReadSamples(static_cast<int>(std::min(chunk, wanted - done)));
    if (buffer.empty()) break;
    const std::size_t frames = buffer.size() / std::size_t(channels);
    meter.Add(buffer.data(), frames);
    peak.Add(buffer.data(), frames);
    done += std::int64_t(frames);
  }
  detail::CloseIfOpen(&reader);
  loudness::Loudness result = meter.Result();
  result.truePeakDbtp = peak.PeakDb();
  return result;
}

QString GainNote(const QString& source, int row, const loudness::Loudness& measured, const level::RangeGain& gain,
                 double ceilingDbtp) {
  const QString where = row < 0 ? source : QString("%1 (range %2)").arg(source).arg(row + 1);
  if (gain.silent) return where + ": silent, no gain.";
  QString line = QString("%1: %2 LUFS, gain %3%4 dB")
                     .arg(where)
                     .arg(measured.integratedLufs, 0, 'f', 1)
                     .arg(gain.gainDb >= 0 ? "+" : "")
                     .arg(gain.gainDb, 0, 'f', 1);
  if (gain.limited) line += QString(" (held to the true-peak ceiling of %1 dBTP)").arg(ceilingDbtp, 0, 'f', 1);
  return line + ".";
}

}  // namespace snipwave
