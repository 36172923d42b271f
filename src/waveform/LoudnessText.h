#pragma once

#include <QString>

namespace snipwave {

class PeakScanner;

// The list's line about a file's loudness, from its waveform scan:
// "Loudness: measuring (42%)" while the scan runs, "Loudness: -14.2 LUFS,
// range 5.1 LU, true peak -0.3 dBTP" or "Loudness: silent" once it is done,
// "Loudness: not measured (<reason>)" when the file could not be decoded.
// No scanner: "Loudness: not measured".
QString LoudnessLine(const PeakScanner* scanner);

}  // namespace snipwave
