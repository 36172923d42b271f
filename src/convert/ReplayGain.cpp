#include "convert/ReplayGain.h"

#include <cmath>
#include <exception>

#include "components/audio/AudioInterfaces.h"
#include "components/loudness/ReaderLoudness.h"
#include "platform/Error.h"
#include "platform/FileNames.h"

namespace snipwave::detail {

namespace {
std::optional<double> Gain(double integratedLufs) {
  if (!loudness::Shown(integratedLufs)) return std::nullopt;
  return kReplayGainReferenceLufs - integratedLufs;
}
std::optional<double> Peak(double truePeakDbtp) {
  if (!loudness::Shown(truePeakDbtp)) return std::nullopt;
  return loudness::DbToAmplitude(truePeakDbtp);
}
}  // namespace

std::shared_ptr<loudness::LoudnessMeter> MeasureOutput(IAudioFile2& reader, const QString& temporaryPath,
                                                       const QString& finalPath) {
  try {
    if (reader.IsOpen()) reader.CloseFile();
    reader.OpenFile(SystemPath(temporaryPath), 0, 1);
    auto meter = std::make_shared<loudness::LoudnessMeter>(static_cast<int>(reader.SampleRate()), reader.Channels(),
                                                           SystemPath(finalPath));
    loudness::FeedOpenReader(reader, *meter, 0, -1);
    reader.CloseFile();
    return meter;
  } catch (const NoSamplesError&) {
    return nullptr;
  } catch (const std::exception& e) {
    if (reader.IsOpen()) reader.CloseFile();
    QString reason = QString::fromUtf8(e.what());
    reason.replace(temporaryPath, finalPath);
    throw Error(reason.toStdString());
  }
}

void SetTrackGain(ReplayGainTags& tags, const loudness::Loudness& track) {
  tags.trackGainDb = Gain(track.integratedLufs);
  tags.trackPeak = tags.trackGainDb ? Peak(track.truePeakDbtp) : std::nullopt;
}

void SetAlbumGain(ReplayGainTags& tags, const loudness::Loudness& album) {
  tags.albumGainDb = Gain(album.integratedLufs);
  tags.albumPeak = tags.albumGainDb ? Peak(album.truePeakDbtp) : std::nullopt;
}

}  // namespace snipwave::detail
