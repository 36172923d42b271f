#pragma once

#include <array>
#include <string_view>

// Everything the settings file holds: section and key names, the value lists
// whose indexes the file stores, and the defaults of the two kinds of reader.
// The settings dialog fills its controls with the dialog defaults; the cut and
// join jobs pass the job defaults. They differ in [mp3] "vbr quality" and
// [ogg] "enable quality", so a missing key reads differently in the two places.
namespace snipwave::settings {

inline constexpr std::string_view kFileName = "Snipwave.ini";

namespace section {
inline constexpr std::string_view kFormat = "Format";
inline constexpr std::string_view kMp3 = "mp3";
inline constexpr std::string_view kWav = "wav";
inline constexpr std::string_view kWma = "wma";
inline constexpr std::string_view kOgg = "ogg";
inline constexpr std::string_view kFlac = "flac";
inline constexpr std::string_view kOpus = "opus";
inline constexpr std::string_view kM4a = "m4a";    // M4A with AAC
inline constexpr std::string_view kAlac = "alac";  // M4A with Apple Lossless
inline constexpr std::string_view kWindow = "Window";  // the main window's size
inline constexpr std::string_view kSilence = "Silence";  // what "Split at silences" takes for a silence
inline constexpr std::string_view kWaveform = "Waveform";  // the waveform view's choices
inline constexpr std::string_view kLevel = "Level";  // fades, loudness, clicks at the edges
}  // namespace section

namespace key {
inline constexpr std::string_view kDir = "Dir";
inline constexpr std::string_view kFrequency = "frequency";
inline constexpr std::string_view kBitrate = "bitrate";
inline constexpr std::string_view kChannel = "channel";
inline constexpr std::string_view kQuality = "quality";
inline constexpr std::string_view kEnableVbr = "enable vbr";
inline constexpr std::string_view kVbrBitrate = "vbr bitrate";
inline constexpr std::string_view kVbrQuality = "vbr quality";
inline constexpr std::string_view kMode = "mode";
inline constexpr std::string_view kBit = "bit";
inline constexpr std::string_view kFormat = "format";
inline constexpr std::string_view kMaxBitrate = "max bitrate";
inline constexpr std::string_view kMinBitrate = "min bitrate";
inline constexpr std::string_view kEnableQuality = "enable quality";
// [flac]: compression level 0 (fastest) ... 8 (smallest), default 5.
inline constexpr std::string_view kCompression = "compression";
// [opus]: 0 tunes the encoder for music (default), 1 for speech ("voip").
inline constexpr std::string_view kApplication = "application";
inline constexpr std::string_view kWidth = "Width";    // [Window], client pixels
inline constexpr std::string_view kHeight = "Height";  // [Window], client pixels
// [Window]: the waveform's height the user chose at the splitter, in the
// skin layout's pixels; absent or 0 leaves it to the skin.
inline constexpr std::string_view kWaveHeight = "WaveHeight";
// [Format]: 1 (default) gives every output the tags of its sources.
inline constexpr std::string_view kKeepTags = "KeepTags";
// [Format]: rows the window cuts at once, 1 or more; absent or below 1: the
// number of processor cores. 1 cuts one row after the other.
inline constexpr std::string_view kJobs = "Jobs";
// [Format]: the cut's output names, e.g. "{n:2} {title}" (fields {n}, {n:2},
// {title}, {artist}, {name}, {begin}); absent or empty: "Cut_{name}".
inline constexpr std::string_view kNameTemplate = "NameTemplate";
// [Format]: 1 restores the list saved as the user worked when the program
// starts (default 0: every run starts with an empty list).
inline constexpr std::string_view kStartWithLastList = "StartWithLastList";
// [mp3]: 1 copies the source's MP3 frames inside a range instead of
// re-encoding them (default 0), when source and output formats agree.
// [ogg], [opus], [m4a], [flac]: 1 copies the source's compressed packets
// (Vorbis, Opus, AAC, FLAC) into an output of its own format instead of
// re-encoding them (default 0), when rate and channels agree.
inline constexpr std::string_view kLossless = "lossless";
// [Silence]: a silence stays below "ThresholdDb" dBFS (0 or below) for at
// least "MinSeconds" seconds (above 0); decimal numbers with a point.
inline constexpr std::string_view kSilenceThresholdDb = "ThresholdDb";
inline constexpr std::string_view kSilenceMinSeconds = "MinSeconds";
// [Waveform]: how the view follows the play line, "page" (default),
// "centred" or "off"; and 1 for a dB amplitude scale (default 0, linear).
inline constexpr std::string_view kWaveformFollow = "Follow";
inline constexpr std::string_view kWaveformDbScale = "DbScale";
inline constexpr std::string_view kFollowPage = "page";
inline constexpr std::string_view kFollowCentred = "centred";
inline constexpr std::string_view kFollowOff = "off";
// [Level]: every default leaves the audio exactly as it is.
// Fades at the start and end of every output of a cut and at the ends of a
// join, in ms (0 = none), with "FadeCurve" "linear" (default), "equal-power"
// or "log"; "CrossfadeMs" overlaps each seam of a join (0 = none), shaped by
// "CrossfadeCurve" (default "equal-power").
inline constexpr std::string_view kFadeInMs = "FadeInMs";
inline constexpr std::string_view kFadeOutMs = "FadeOutMs";
inline constexpr std::string_view kFadeCurve = "FadeCurve";
inline constexpr std::string_view kCrossfadeMs = "CrossfadeMs";
inline constexpr std::string_view kCrossfadeCurve = "CrossfadeCurve";
inline constexpr std::string_view kCurveLinear = "linear";
inline constexpr std::string_view kCurveEqualPower = "equal-power";
inline constexpr std::string_view kCurveLog = "log";
// [Level]: a short fade in ms at both ends of every output against clicks
// (default 0).
inline constexpr std::string_view kEdgeFadeMs = "EdgeFadeMs";
// [Level]: a join's ranges gained to "TargetLufs" ("target"), to the first
// range's loudness ("first") or not at all ("off", default); "Normalise" 1
// gains every output of a cut to "TargetLufs" (default 0). "TargetLufs"
// (default -16) and the true-peak ceiling "TruePeakDbtp" (default -1) are
// decimal numbers with a point.
inline constexpr std::string_view kMatchLoudness = "MatchLoudness";
inline constexpr std::string_view kMatchOff = "off";
inline constexpr std::string_view kMatchTarget = "target";
inline constexpr std::string_view kMatchFirst = "first";
inline constexpr std::string_view kNormalise = "Normalise";
inline constexpr std::string_view kTargetLufs = "TargetLufs";
inline constexpr std::string_view kTruePeakDbtp = "TruePeakDbtp";
// [Level]: 1 writes ReplayGain 2.0 tags (track, and album for the outputs
// of one cut) measured from the output's audio (default 0).
inline constexpr std::string_view kReplayGain = "ReplayGain";
// [Level]: 1 moves a mark set by key or on the waveform to the nearest zero
// crossing within "SnapWindowMs" ms either side (default 0; window 10).
inline constexpr std::string_view kSnapToZero = "SnapToZero";
inline constexpr std::string_view kSnapWindowMs = "SnapWindowMs";
}  // namespace key

// Sample rates in Hz, by "frequency" index.
inline constexpr std::array<int, 10> kSampleRates = {6000,  8000,  11025, 12000, 16000,
                                                     22050, 24000, 32000, 44100, 48000};
inline constexpr std::array<std::string_view, 10> kSampleRateTexts = {
    "6000 Hz",  "8000 Hz",  "11025 Hz", "12000 Hz", "16000 Hz",
    "22050 Hz", "24000 Hz", "32000 Hz", "44100 Hz", "48000 Hz"};

// Bit rates in kbit/s, by "bitrate", "vbr bitrate", "max bitrate", "min bitrate" index.
inline constexpr std::array<int, 17> kBitRates = {8,  16, 24,  32,  40,  48,  56,  64, 80,
                                                  96, 112, 128, 160, 192, 224, 256, 320};
inline constexpr std::array<std::string_view, 17> kBitRateTexts = {
    "8 Kbps",  "16 Kbps",  "24 Kbps",  "32 Kbps",  "40 Kbps",  "48 Kbps",
    "56 Kbps", "64 Kbps",  "80 Kbps",  "96 Kbps",  "112 Kbps", "128 Kbps",
    "160 Kbps", "192 Kbps", "224 Kbps", "256 Kbps", "320 Kbps"};

// "channel": the channel count is the index + 1.
inline constexpr std::array<std::string_view, 2> kChannelTexts = {"Mono", "Stereo"};

// [wav] "bit": bits per sample by index.
inline constexpr std::array<int, 2> kSampleWidths = {8, 16};
inline constexpr std::array<std::string_view, 2> kSampleWidthTexts = {"8 bps", "16 bps"};

// [wav] "mode".
inline constexpr int kWavModeCdQuality = 0;  // 44100 Hz, stereo, 16 bit whatever the other keys say
inline constexpr int kWavModeBestSuited = 1;  // no format imposed: the writer keeps its own
inline constexpr int kWavModeCustom = 2;      // "frequency", "channel", "bit" apply

// [wma] "format": an index into audio::kWmaProfileTexts (components/audio/WmaProfiles.h);
// the writer gets profile number index + 1.

// The sections of the formats after OGG store values, not list indexes:
// [flac] "compression" 0..8 (default 5) and "bit" 16 or 24 (default 16);
// [opus] "bitrate" 6..510 kbit/s (default 128), "enable vbr" 1/0 (default 1),
// "application" 0 music / 1 speech (default 0), "channel" 0 = the source's
// count, 1 mono, 2 stereo (default 0); [m4a] "bitrate" 32..320 kbit/s AAC
// (default 192); [alac] "bit" 16 or 24 (default 16). A value outside its
// bounds (only a hand-edited file holds one) reads as the key's default, as
// an index outside its list does in the older sections.
inline constexpr int kFlacCompressionMin = 0;
inline constexpr int kFlacCompressionMax = 8;
inline constexpr int kOpusKbpsMin = 6;
inline constexpr int kOpusKbpsMax = 510;
inline constexpr int kOpusChannelMax = 2;  // "channel" 0..2
inline constexpr int kAacKbpsMin = 32;
inline constexpr int kAacKbpsMax = 320;
// The two sample widths the lossless writers take, in bits.
inline constexpr std::array<int, 2> kLosslessBits = {16, 24};

// [Silence] when a key is missing; the command line's defaults too.
inline constexpr double kDefaultSilenceThresholdDb = -50.0;
inline constexpr double kDefaultSilenceMinSeconds = 0.5;

// [Level] when a key is missing; the command line's defaults too.
inline constexpr double kDefaultTargetLufs = -16.0;
inline constexpr double kDefaultTruePeakDbtp = -1.0;
inline constexpr int kDefaultSnapWindowMs = 10;

// One key with the defaults of its two readers.
struct KeyDefaults {
  std::string_view section;
  std::string_view key;
  int dialogDefault;
  int jobDefault;
};

namespace defaults {
inline constexpr KeyDefaults kMp3Frequency{section::kMp3, key::kFrequency, 8, 8};
inline constexpr KeyDefaults kMp3Bitrate{section::kMp3, key::kBitrate, 11, 11};
inline constexpr KeyDefaults kMp3Channel{section::kMp3, key::kChannel, 1, 1};
inline constexpr KeyDefaults kMp3Quality{section::kMp3, key::kQuality, 9, 9};
inline constexpr KeyDefaults kMp3EnableVbr{section::kMp3, key::kEnableVbr, 0, 0};
inline constexpr KeyDefaults kMp3VbrBitrate{section::kMp3, key::kVbrBitrate, 11, 11};
inline constexpr KeyDefaults kMp3VbrQuality{section::kMp3, key::kVbrQuality, 9, 5};
inline constexpr KeyDefaults kWavMode{section::kWav, key::kMode, 0, 0};
inline constexpr KeyDefaults kWavBit{section::kWav, key::kBit, 1, 1};
inline constexpr KeyDefaults kWavChannel{section::kWav, key::kChannel, 1, 1};
inline constexpr KeyDefaults kWavFrequency{section::kWav, key::kFrequency, 8, 8};
inline constexpr KeyDefaults kWmaFormat{section::kWma, key::kFormat, 9, 9};
inline constexpr KeyDefaults kOggChannel{section::kOgg, key::kChannel, 1, 1};
inline constexpr KeyDefaults kOggFrequency{section::kOgg, key::kFrequency, 8, 8};
inline constexpr KeyDefaults kOggBitrate{section::kOgg, key::kBitrate, 11, 11};
inline constexpr KeyDefaults kOggMaxBitrate{section::kOgg, key::kMaxBitrate, 11, 11};
inline constexpr KeyDefaults kOggMinBitrate{section::kOgg, key::kMinBitrate, 11, 11};
inline constexpr KeyDefaults kOggEnableQuality{section::kOgg, key::kEnableQuality, 1, 0};
inline constexpr KeyDefaults kOggQuality{section::kOgg, key::kQuality, 300, 300};
// Read by the jobs only (when quality mode is off); never written by the program.
inline constexpr KeyDefaults kOggEnableVbr{section::kOgg, key::kEnableVbr, 0, 0};
inline constexpr KeyDefaults kFlacCompression{section::kFlac, key::kCompression, 5, 5};
inline constexpr KeyDefaults kFlacBit{section::kFlac, key::kBit, 16, 16};
inline constexpr KeyDefaults kOpusBitrate{section::kOpus, key::kBitrate, 128, 128};
inline constexpr KeyDefaults kOpusEnableVbr{section::kOpus, key::kEnableVbr, 1, 1};
inline constexpr KeyDefaults kOpusApplication{section::kOpus, key::kApplication, 0, 0};
inline constexpr KeyDefaults kOpusChannel{section::kOpus, key::kChannel, 0, 0};
inline constexpr KeyDefaults kM4aBitrate{section::kM4a, key::kBitrate, 192, 192};
inline constexpr KeyDefaults kAlacBit{section::kAlac, key::kBit, 16, 16};
// "lossless" flags (0/1) of the formats whose packets can be copied.
inline constexpr KeyDefaults kOggLossless{section::kOgg, key::kLossless, 0, 0};
inline constexpr KeyDefaults kOpusLossless{section::kOpus, key::kLossless, 0, 0};
inline constexpr KeyDefaults kM4aLossless{section::kM4a, key::kLossless, 0, 0};
inline constexpr KeyDefaults kFlacLossless{section::kFlac, key::kLossless, 0, 0};
}  // namespace defaults

// The order in which the settings dialog's OK writes every format key.
// [wav] "mode" is written only when one of the WAV mode choices is selected.
inline constexpr std::array<KeyDefaults, 19> kDialogWriteOrder = {
    defaults::kMp3Bitrate,     defaults::kMp3Channel,     defaults::kMp3Frequency,
    defaults::kMp3Quality,     defaults::kMp3EnableVbr,   defaults::kMp3VbrBitrate,
    defaults::kMp3VbrQuality,  defaults::kWavMode,        defaults::kWavBit,
    defaults::kWavChannel,     defaults::kWavFrequency,   defaults::kWmaFormat,
    defaults::kOggChannel,     defaults::kOggFrequency,   defaults::kOggBitrate,
    defaults::kOggMaxBitrate,  defaults::kOggMinBitrate,  defaults::kOggEnableQuality,
    defaults::kOggQuality};

// The keys of the formats after OGG, in the order the dialog's OK writes
// them. Only a value that differs from what the file reads is written, so a
// file that never had them (the first OK among them) stays as it was.
inline constexpr std::array<KeyDefaults, 8> kNewFormatWriteOrder = {
    defaults::kFlacCompression, defaults::kFlacBit,        defaults::kOpusBitrate, defaults::kOpusEnableVbr,
    defaults::kOpusApplication, defaults::kOpusChannel,    defaults::kM4aBitrate,  defaults::kAlacBit};

}  // namespace snipwave::settings
