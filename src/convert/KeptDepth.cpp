#include "convert/KeptDepth.h"

#include "components/audio/AudioInterfaces.h"
#include "settings/SettingsKeys.h"

namespace snipwave {

bool KeepsSourceDepth(const JobChoices& choices) {
  return choices.keepPackets && (choices.output.type == OutputType::Flac || choices.output.type == OutputType::Alac);
}

JobChoices WithSourceDepth(const JobChoices& choices, int sourceBits, const QString& source, QStringList& notes) {
  if (!KeepsSourceDepth(choices) || sourceBits <= 0) return choices;
  int bits = settings::kLosslessBits.back();
  for (const int depth : settings::kLosslessBits) {
    if (depth >= sourceBits) {
      bits = depth;
      break;
    }
  }
  if (sourceBits > bits)
    notes << QString("%1 has %2-bit samples; they are written with %3 bits, the most %4 output takes here.")
                 .arg(source)
                 .arg(sourceBits)
                 .arg(bits)
                 .arg(choices.output.type == OutputType::Flac ? "a FLAC" : "an ALAC");
  JobChoices kept = choices;
  if (kept.output.type == OutputType::Flac) kept.output.flac.bitsPerSample = bits;
  else kept.output.m4a.alacBits = bits;
  return kept;
}

void ApplyLosslessFormat(IAudioFile2& writer, const OutputConfiguration& output) {
  if (output.type == OutputType::Flac) writer.SetFlacFormat(output.flac.compressionLevel, output.flac.bitsPerSample);
  else if (output.type == OutputType::Alac) writer.SetM4aFormat(true, output.m4a.aacKbps, output.m4a.alacBits);
}

}  // namespace snipwave
