#pragma once

#include <QString>
#include <optional>

#include "platform/DialogService.h"

namespace snipwave {

class IAudioFile2;
class IAudioFile2LameEnc;
class SettingsStore;

// The output types in the order of the main window's format list `cm_Format`.
// M4a is M4A with AAC, Alac M4A with Apple Lossless (both ".m4a").
enum class OutputType { Mp3 = 0, Wav = 1, Wma = 2, Ogg = 3, Flac = 4, Opus = 5, M4a = 6, Alac = 7 };
inline constexpr int kOutputTypeCount = 8;

// The type of a format-list index, nothing for an index outside 0..7.
std::optional<OutputType> OutputTypeFromIndex(int itemIndex);
// ".mp3", ".wav", ".wma", ".ogg", ".flac", ".opus", ".m4a" (AAC and ALAC).
QString OutputExtension(OutputType type);
// The one-entry filter of the join's save dialog ("MP3 files (*.mp3)", "*.mp3").
FileFilter SaveFilterFor(OutputType type);

// The messages of an unsupported combination, exactly as the user reads them.
inline constexpr const char* kMp3NotSupported = "This MP3 format is not supported.";
inline constexpr const char* kOggVbrNotSupported = "This OGG format is not supported.";
inline constexpr const char* kOggNotSupported = "This OGG Format not supported.";
// A WMA profile the encoder cannot make: the start of the message, which
// goes on with the profile's text and the reason.
inline constexpr const char* kWmaNotSupported = "This WMA format is not supported.";

// The writer parameters of one output type, as the settings gave them when a
// job started; every worker's writer gets the same.
struct OutputConfiguration {
  OutputType type = OutputType::Mp3;
  QString extension;  // as OutputExtension gives it
  // MP3: the encoder's settings as the configuration left them. The VBR
  // values are read back from the encoder configured: where the settings set
  // none ("enable vbr" other than 0 and 1), what an earlier job of the run set
  // on that encoder.
  struct Mp3 {
    int sampleRate = 0, bitRate = 0, channels = 0, quality = 0;
    std::optional<int> vbrMode, vbrBitRate, vbrQuality;
  } mp3;
  // WAV: the format set on the writer or, where the settings set none (mode
  // "best suited"), the one an earlier job of the run set on the writer
  // configured; none leaves the writer's own choice (the source's rate and
  // channels, 16 bits).
  struct Wav {
    int sampleRate = 0, channels = 0, bitsPerSample = 0;
  };
  std::optional<Wav> wav;
  int wmaProfile = 0;  // 1..47
  // OGG: quality -1 is the managed bit rate.
  struct Ogg {
    int sampleRate = 0, channels = 0, nominalKbps = 0, maxKbps = 0, minKbps = 0, quality = -1;
  } ogg;
  struct Flac {
    int compressionLevel = 5, bitsPerSample = 16;
  } flac;
  // Opus: channels 0 keeps the source's count (more than two become stereo).
  struct Opus {
    int kbps = 128;
    bool variableBitRate = true, speech = false;
    int channels = 0;
  } opus;
  // M4A: AAC at aacKbps, or with alac Apple Lossless at alacBits.
  struct M4a {
    bool alac = false;
    int aacKbps = 192, alacBits = 16;
  } m4a;
};

// Sets a writer (and, for MP3, its encoder) to a captured configuration:
// the same calls the configuration made on the writer it was read with.
void ApplyOutputConfiguration(const OutputConfiguration& configuration, IAudioFile2& writer,
                              IAudioFile2LameEnc& encoder);

// The result of turning the stored settings into writer parameters: the
// extension of the output files, or the message of a refusal.
struct OutputSetup {
  QString extension;  // empty when refused
  QString refusal;    // the message; empty on success
  // With a refusal: the values checked and the settings section they come
  // from ("mp3: 8000 Hz, 320 kbit/s, 2 channels", "mp3").
  QString refusedValues;
  QString section;
  OutputConfiguration configuration;  // what was applied, when not refused
  bool refused() const { return !refusal.isEmpty(); }

  static OutputSetup Accepted(QString extension) {
    OutputSetup setup;
    setup.extension = std::move(extension);
    return setup;
  }
  static OutputSetup Refused(QString message, QString values = {}, QString section = {}) {
    OutputSetup setup;
    setup.refusal = std::move(message);
    setup.refusedValues = std::move(values);
    setup.section = std::move(section);
    return setup;
  }
};

// The refusal of an output type the program does not know.
inline constexpr const char* kUnknownOutputType = "This output format is not supported.";

// What the output is for. A join writes WMA with a profile of its own
// (kJoinWmaProfile, set after the configuration), so the stored profile is
// not checked for it.
enum class OutputUse { Cut, Join };
// A joined WMA file always uses this profile ("WMA9 44KHz, 64Kbps, Stereo, CBR"),
// whatever [wma] "format" holds.
inline constexpr int kJoinWmaProfile = 13;

// Sets the writer (and, for MP3, the encoder settings) from the settings file
// with the jobs' defaults. The store is read afresh on every call. An index
// outside its list in a hand-edited file is read as the key's job default.
// Component failures throw snipwave::Error.
OutputSetup ApplyOutputSettings(OutputType type, const SettingsStore& settings, IAudioFile2& writer,
                                IAudioFile2LameEnc& encoder, OutputUse use = OutputUse::Cut);

// The values of a refusal and where they are set, for a caller that says
// more than its message ("mp3: 8000 Hz, 320 kbit/s, 2 channels from [mp3] in
// /home/u/.config/Snipwave.ini"); empty when the refusal names no values.
QString RefusedValuesText(const OutputSetup& setup, const SettingsStore& settings);

}  // namespace snipwave
