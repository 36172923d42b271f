#include "convert/OutputConfiguration.h"

#include <array>

#include "components/audio/AudioInterfaces.h"
#include "components/audio/WmaProfiles.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

namespace snipwave {

namespace {

namespace keys = settings::defaults;
using settings::KeyDefaults;

int PlainInteger(const SettingsStore& store, const KeyDefaults& key) {
  return store.ReadInteger(key.section, key.key, key.jobDefault);
}

bool Flag(const SettingsStore& store, const KeyDefaults& key) {
  return store.ReadBool(key.section, key.key, key.jobDefault != 0);
}

// The index stored under the key, or the key's job default when the file holds
// an index outside 0..count-1 (only a hand-edited file does).
int IndexInRange(const SettingsStore& store, const KeyDefaults& key, std::size_t count) {
  const int index = PlainInteger(store, key);
  if (index < 0 || static_cast<std::size_t>(index) >= count) return key.jobDefault;
  return index;
}

template <std::size_t N>
int ListValue(const SettingsStore& store, const KeyDefaults& key, const std::array<int, N>& list) {
  return list[static_cast<std::size_t>(IndexInRange(store, key, N))];
}

int SampleRate(const SettingsStore& store, const KeyDefaults& key) {
  return ListValue(store, key, settings::kSampleRates);
}
int BitRate(const SettingsStore& store, const KeyDefaults& key) {
  return ListValue(store, key, settings::kBitRates);
}
// "channel" holds 0 (mono) or 1 (stereo); the count is the index + 1.
int ChannelCount(const SettingsStore& store, const KeyDefaults& key) {
  return IndexInRange(store, key, settings::kChannelTexts.size()) + 1;
}

void ApplyMp3(const OutputConfiguration::Mp3& mp3, IAudioFile2LameEnc& encoder) {
  encoder.SetSampleRate(mp3.sampleRate);
  encoder.SetBitRate(mp3.bitRate);
  encoder.SetChannels(mp3.channels);
  encoder.SetQuality(mp3.quality);
  if (mp3.vbrMode) encoder.SetVbrMode(*mp3.vbrMode);
  if (mp3.vbrBitRate) encoder.SetVbrBitRate(*mp3.vbrBitRate);
  if (mp3.vbrQuality) encoder.SetVbrQuality(*mp3.vbrQuality);
}

OutputSetup ConfigureMp3(const SettingsStore& store, IAudioFile2& writer, IAudioFile2LameEnc& encoder) {
  OutputConfiguration::Mp3 mp3;
  mp3.sampleRate = SampleRate(store, keys::kMp3Frequency);
  mp3.bitRate = BitRate(store, keys::kMp3Bitrate);
  mp3.channels = ChannelCount(store, keys::kMp3Channel);
  mp3.quality = PlainInteger(store, keys::kMp3Quality);
  // Read as a plain integer: only 0 and 1 act, anything else keeps what an
  // earlier job of this run set on the encoder.
  const int vbr = PlainInteger(store, keys::kMp3EnableVbr);
  if (vbr == 0) {
    mp3.vbrMode = -1;
  } else if (vbr == 1) {
    mp3.vbrMode = 0;
    mp3.vbrBitRate = BitRate(store, keys::kMp3VbrBitrate);
    mp3.vbrQuality = PlainInteger(store, keys::kMp3VbrQuality);
  }
  ApplyMp3(mp3, encoder);
  // The VBR values the encoder holds now, set here or kept from an earlier
  // job on it: every worker's fresh encoder gets them too.
  mp3.vbrMode = encoder.VbrMode();
  mp3.vbrBitRate = encoder.VbrBitRate();
  mp3.vbrQuality = encoder.VbrQuality();
  if (!writer.CheckMp3Format(encoder.SampleRate(), encoder.BitRate(), encoder.Channels()))
    return OutputSetup::Refused(kMp3NotSupported,
                                QString("mp3: %1 Hz, %2 kbit/s, %3 channel(s)")
                                    .arg(encoder.SampleRate())
                                    .arg(encoder.BitRate())
                                    .arg(encoder.Channels()),
                                "mp3");
  writer.SetMp3Encoder(&encoder);
  OutputSetup setup = OutputSetup::Accepted(".mp3");
  setup.configuration.mp3 = mp3;
  return setup;
}

OutputSetup ConfigureWav(const SettingsStore& store, IAudioFile2& writer) {
  const int mode = PlainInteger(store, keys::kWavMode);
  OutputSetup setup = OutputSetup::Accepted(".wav");
  if (mode == settings::kWavModeCdQuality) {
    setup.configuration.wav = OutputConfiguration::Wav{44100, 2, 16};
  } else if (mode == settings::kWavModeCustom) {
    setup.configuration.wav =
        OutputConfiguration::Wav{SampleRate(store, keys::kWavFrequency), ChannelCount(store, keys::kWavChannel),
                                 ListValue(store, keys::kWavBit, settings::kSampleWidths)};
  }
  if (const auto& wav = setup.configuration.wav) {
    writer.SetWavFormat(wav->sampleRate, wav->channels, wav->bitsPerSample);
  } else if (const std::optional<WavFormatValues> kept = writer.WavFormat()) {
    // Any other mode ("best suited" among them) sets nothing: what an earlier
    // job set on this writer stays, and every worker's fresh writer gets it.
    setup.configuration.wav = OutputConfiguration::Wav{kept->sampleRate, kept->channels, kept->bitsPerSample};
  }
  return setup;
}

OutputSetup ConfigureWma(const SettingsStore& store, IAudioFile2& writer, OutputUse use) {
  const int profile = IndexInRange(store, keys::kWmaFormat, audio::kWmaProfileTexts.size()) + 1;
  OutputSetup setup = OutputSetup::Accepted(".wma");
  setup.configuration.wmaProfile = profile;
  if (use == OutputUse::Join) {
    writer.SetWmaProfile(profile);  // replaced by kJoinWmaProfile before the file is created
    return setup;
  }
  // Refused before anything is written, like an MP3 or OGG format the
  // encoder cannot make, rather than failing in the middle of a job.
  const audio::WmaProfile& listed = audio::WmaProfileByNumber(profile);
  if (!listed.unsupportedReason.empty()) {
    return OutputSetup::Refused(QString(kWmaNotSupported) + " \rThe profile \"" +
                                QString::fromLatin1(listed.text.data(), static_cast<qsizetype>(listed.text.size())) +
                                "\" cannot be written: " + QString::fromStdString(listed.unsupportedReason) +
                                ". \rPlease choose another profile in the settings.");
  }
  writer.SetWmaProfile(profile);
  return setup;
}

QString OggValues(int rate, int channels, int nominal, int maximum, int minimum) {
  return QString("ogg: %1 Hz, %2 channel(s), %3 kbit/s nominal, %4 kbit/s max, %5 kbit/s min")
      .arg(rate)
      .arg(channels)
      .arg(nominal)
      .arg(maximum)
      .arg(minimum);
}

OutputSetup ConfigureOgg(const SettingsStore& store, IAudioFile2& writer) {
  const int rate = SampleRate(store, keys::kOggFrequency);
  const int channels = ChannelCount(store, keys::kOggChannel);
  const int nominal = BitRate(store, keys::kOggBitrate);
  OutputSetup setup = OutputSetup::Accepted(".ogg");
  OutputConfiguration::Ogg& ogg = setup.configuration.ogg;
  if (Flag(store, keys::kOggEnableQuality)) {
    ogg = {rate, channels, nominal, BitRate(store, keys::kOggMaxBitrate), BitRate(store, keys::kOggMinBitrate),
           PlainInteger(store, keys::kOggQuality)};
  } else if (Flag(store, keys::kOggEnableVbr)) {
    const int maximum = BitRate(store, keys::kOggMaxBitrate);
    const int minimum = BitRate(store, keys::kOggMinBitrate);
    if (!writer.CheckOggFormat(rate, channels, nominal, maximum, minimum))
      return OutputSetup::Refused(kOggVbrNotSupported, OggValues(rate, channels, nominal, maximum, minimum), "ogg");
    ogg = {rate, channels, nominal, maximum, minimum, -1};
  } else {
    // The usual case: a managed bit rate pinned at 128 kbit/s either side.
    if (!writer.CheckOggFormat(rate, channels, nominal, 128, 128))
      return OutputSetup::Refused(kOggNotSupported, OggValues(rate, channels, nominal, 128, 128), "ogg");
    ogg = {rate, channels, nominal, 128, 128, -1};
  }
  writer.SetOggFormat(ogg.sampleRate, ogg.channels, ogg.nominalKbps, ogg.maxKbps, ogg.minKbps, ogg.quality);
  return setup;
}

// The value stored under the key, or the key's job default when the file
// holds one outside minimum..maximum (only a hand-edited file does).
int ValueInRange(const SettingsStore& store, const KeyDefaults& key, int minimum, int maximum) {
  const int value = PlainInteger(store, key);
  return value < minimum || value > maximum ? key.jobDefault : value;
}

// 16 or 24; any other value reads as the key's job default.
int LosslessBits(const SettingsStore& store, const KeyDefaults& key) {
  const int bits = PlainInteger(store, key);
  for (const int allowed : settings::kLosslessBits)
    if (bits == allowed) return bits;
  return key.jobDefault;
}

OutputSetup ConfigureFlac(const SettingsStore& store, IAudioFile2& writer) {
  OutputSetup setup = OutputSetup::Accepted(".flac");
  OutputConfiguration::Flac& flac = setup.configuration.flac;
  flac.compressionLevel = ValueInRange(store, keys::kFlacCompression, settings::kFlacCompressionMin,
                                       settings::kFlacCompressionMax);
  flac.bitsPerSample = LosslessBits(store, keys::kFlacBit);
  writer.SetFlacFormat(flac.compressionLevel, flac.bitsPerSample);
  return setup;
}

OutputSetup ConfigureOpus(const SettingsStore& store, IAudioFile2& writer) {
  OutputSetup setup = OutputSetup::Accepted(".opus");
  OutputConfiguration::Opus& opus = setup.configuration.opus;
  opus.kbps = ValueInRange(store, keys::kOpusBitrate, settings::kOpusKbpsMin, settings::kOpusKbpsMax);
  opus.variableBitRate = Flag(store, keys::kOpusEnableVbr);
  opus.speech = ValueInRange(store, keys::kOpusApplication, 0, 1) == 1;
  opus.channels = ValueInRange(store, keys::kOpusChannel, 0, settings::kOpusChannelMax);
  writer.SetOpusFormat(opus.kbps, opus.variableBitRate, opus.speech, opus.channels);
  return setup;
}

OutputSetup ConfigureM4a(const SettingsStore& store, IAudioFile2& writer, bool alac) {
  OutputSetup setup = OutputSetup::Accepted(".m4a");
  OutputConfiguration::M4a& m4a = setup.configuration.m4a;
  m4a.alac = alac;
  m4a.aacKbps = ValueInRange(store, keys::kM4aBitrate, settings::kAacKbpsMin, settings::kAacKbpsMax);
  m4a.alacBits = LosslessBits(store, keys::kAlacBit);
  writer.SetM4aFormat(m4a.alac, m4a.aacKbps, m4a.alacBits);
  return setup;
}

}  // namespace

std::optional<OutputType> OutputTypeFromIndex(int itemIndex) {
  if (itemIndex < 0 || itemIndex >= kOutputTypeCount) return std::nullopt;
  return static_cast<OutputType>(itemIndex);
}

QString OutputExtension(OutputType type) {
  switch (type) {
    case OutputType::Mp3: return ".mp3";
    case OutputType::Wav: return ".wav";
    case OutputType::Wma: return ".wma";
    case OutputType::Ogg: return ".ogg";
    case OutputType::Flac: return ".flac";
    case OutputType::Opus: return ".opus";
    case OutputType::M4a:
    case OutputType::Alac: return ".m4a";
  }
  return QString();
}

FileFilter SaveFilterFor(OutputType type) {
  switch (type) {
    case OutputType::Mp3: return {"MP3 files (*.mp3)", "*.mp3"};
    case OutputType::Wav: return {"WAV files (*.wav)", "*.wav"};
    case OutputType::Wma: return {"WMA files (*.wma)", "*.wma"};
    case OutputType::Ogg: return {"OGG files (*.OGG)", "*.OGG"};
    case OutputType::Flac: return {"FLAC files (*.flac)", "*.flac"};
    case OutputType::Opus: return {"Opus files (*.opus)", "*.opus"};
    case OutputType::M4a: return {"M4A files (*.m4a)", "*.m4a"};
    case OutputType::Alac: return {"M4A (ALAC) files (*.m4a)", "*.m4a"};
  }
  return {};
}

OutputSetup ApplyOutputSettings(OutputType type, const SettingsStore& settings, IAudioFile2& writer,
                                IAudioFile2LameEnc& encoder, OutputUse use) {
  OutputSetup setup = OutputSetup::Refused(kUnknownOutputType);
  switch (type) {
    case OutputType::Mp3: setup = ConfigureMp3(settings, writer, encoder); break;
    case OutputType::Wav: setup = ConfigureWav(settings, writer); break;
    case OutputType::Wma: setup = ConfigureWma(settings, writer, use); break;
    case OutputType::Ogg: setup = ConfigureOgg(settings, writer); break;
    case OutputType::Flac: setup = ConfigureFlac(settings, writer); break;
    case OutputType::Opus: setup = ConfigureOpus(settings, writer); break;
    case OutputType::M4a: setup = ConfigureM4a(settings, writer, /*alac=*/false); break;
    case OutputType::Alac: setup = ConfigureM4a(settings, writer, /*alac=*/true); break;
  }
  setup.configuration.type = type;
  setup.configuration.extension = setup.extension;
  return setup;
}

QString RefusedValuesText(const OutputSetup& setup, const SettingsStore& settings) {
  if (setup.refusedValues.isEmpty()) return {};
  return setup.refusedValues + " from [" + setup.section + "] in " + settings.FilePath();
}

void ApplyOutputConfiguration(const OutputConfiguration& c, IAudioFile2& writer, IAudioFile2LameEnc& encoder) {
  switch (c.type) {
    case OutputType::Mp3:
      ApplyMp3(c.mp3, encoder);
      writer.SetMp3Encoder(&encoder);
      break;
    case OutputType::Wav:
      if (c.wav) writer.SetWavFormat(c.wav->sampleRate, c.wav->channels, c.wav->bitsPerSample);
      break;
    case OutputType::Wma: writer.SetWmaProfile(c.wmaProfile); break;
    case OutputType::Ogg:
      writer.SetOggFormat(c.ogg.sampleRate, c.ogg.channels, c.ogg.nominalKbps, c.ogg.maxKbps, c.ogg.minKbps,
                          c.ogg.quality);
      break;
    case OutputType::Flac: writer.SetFlacFormat(c.flac.compressionLevel, c.flac.bitsPerSample); break;
    case OutputType::Opus:
      writer.SetOpusFormat(c.opus.kbps, c.opus.variableBitRate, c.opus.speech, c.opus.channels);
      break;
    case OutputType::M4a:
    case OutputType::Alac: writer.SetM4aFormat(c.m4a.alac, c.m4a.aacKbps, c.m4a.alacBits); break;
  }
}

}  // namespace snipwave
