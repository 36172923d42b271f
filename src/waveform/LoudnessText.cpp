#include "waveform/LoudnessText.h"

#include <cmath>

#include "components/loudness/ReaderLoudness.h"
#include "waveform/PeakScanner.h"

namespace snipwave {

QString LoudnessLine(const PeakScanner* scanner) {
  const QString head = QStringLiteral("Loudness: ");
  if (!scanner) return head + "not measured";
  if (!scanner->ErrorText().isEmpty()) return head + "not measured (" + scanner->ErrorText() + ")";
  if (const auto& level = scanner->Loudness()) return head + QString::fromStdString(loudness::Describe(*level));
  return head + QString("measuring (%1%)").arg(static_cast<int>(std::floor(scanner->Progress() * 100)));
}

}  // namespace snipwave
