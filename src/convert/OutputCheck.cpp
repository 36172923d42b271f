#include "convert/OutputCheck.h"

#include <QFileInfo>
#include <algorithm>
#include <exception>

#include "components/audio/AudioInterfaces.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"

namespace snipwave::detail {

namespace {

// The longest WMA frame: the format pads the end of a stream to whole frames.
constexpr std::int64_t kWmaBlockFrames = 2048;

QString Failed(const QString& finalPath, const QString& why) {
  return finalPath + " failed its check after writing: " + why + ".";
}

}  // namespace

std::optional<QString> CheckOutputLength(IAudioFile2& reader, const QString& temporaryPath, const QString& finalPath,
                                         std::int64_t writtenFrames, unsigned inputRate) {
  std::int64_t found = 0;
  unsigned outputRate = 0;
  try {
    if (reader.IsOpen()) reader.CloseFile();
    reader.OpenFile(SystemPath(temporaryPath), 0, 1);
    found = reader.LengthSamples();
    outputRate = reader.SampleRate();
    reader.CloseFile();
  } catch (const NoSamplesError& e) {
    // Headers and no audio: right when what was written comes to no frame
    // at the output's rate (a frame or two resampled to a lower one).
    outputRate = static_cast<unsigned>(std::max(0, e.SampleRate()));
  } catch (const std::exception& e) {
    // An empty range gives an output with headers and no audio, which the
    // reader refuses as holding no samples: exactly the 0 frames written.
    if (writtenFrames <= 0 && PathExists(temporaryPath)) return std::nullopt;
    QString reason = QString::fromUtf8(e.what());
    reason.replace(temporaryPath, finalPath);
    return Failed(finalPath, "it cannot be read back (" + reason + ")");
  }
  const std::int64_t expected =
      inputRate == 0 || inputRate == outputRate
          ? writtenFrames
          : (writtenFrames * outputRate + inputRate / 2) / inputRate;
  const bool wma = QFileInfo(finalPath).suffix().compare("wma", Qt::CaseInsensitive) == 0;
  const bool ok = wma ? found >= expected && found - expected <= kWmaBlockFrames : found == expected;
  if (ok) return std::nullopt;
  return Failed(finalPath, QString("it holds %1 sample frames where %2 were written").arg(found).arg(expected));
}

}  // namespace snipwave::detail
