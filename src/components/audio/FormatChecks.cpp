#include "FormatChecks.h"

#include "OutputEncoder.h"
#include "OutputSetups.h"
#include "platform/Error.h"

namespace snipwave::audio {

bool IsOggFormatSupported(int sampleRate, int channels, int nominalKbps, int maxKbps, int minKbps) {
  if (sampleRate <= 0 || channels < 1 || channels > 2 || nominalKbps <= 0) return false;
  OggSettings s{sampleRate, channels, nominalKbps, maxKbps, minKbps, -1};
  try {
    OpenEncoder(MakeOggSetup(s, ""), "", true);
    return true;
  } catch (const Error&) {
    return false;
  }
}

}  // namespace snipwave::audio
