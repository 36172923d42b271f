#include "convert/OutputConfiguration.h"

#include <array>

#include "components/audio/AudioInterfaces.h"
#include "components/audio/WmaProfiles.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "state/MainState.h"

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

OutputSetup ConfigureMp3(const SettingsStore& store, IAudioFile2& writer, IAudioFile2LameEnc& encoder) {
  encoder.SetSampleRate(SampleRate(store, keys::kMp3Frequency));
  encoder.SetBitRate(BitRate(store, keys::kMp3Bitrate));
  encoder.SetChannels(ChannelCount(store, keys::kMp3Channel));
  encoder.SetQuality(PlainInteger(store, keys::kMp3Quality));
  // Read as a plain integer: only 0 and 1 act, anything else keeps what an
  // earlier job of this run set on the encoder.
  const int vbr = PlainInteger(store, keys::kMp3EnableVbr);
  if (vbr == 0) {
    encoder.SetVbrMode(-1);
  } else if (vbr == 1) {
    encoder.SetVbrMode(0);
    encoder.SetVbrBitRate(BitRate(store, keys::kMp3VbrBitrate));
    encoder.SetVbrQuality(PlainInteger(store, keys::kMp3VbrQuality));
  }
  if (!writer.CheckMp3Format(encoder.SampleRate(), encoder.BitRate(), encoder.Channels()))
    return {QString(), kMp3NotSupported,
            QString("mp3: %1 Hz, %2 kbit/s, %3 channel(s)")
                .arg(encoder.SampleRate())
                .arg(encoder.BitRate())
                .arg(encoder.Channels()),
            "mp3"};
  writer.SetMp3Encoder(&encoder);
  return {".mp3", QString()};
}

OutputSetup ConfigureWav(const SettingsStore& store, IAudioFile2& writer) {
  const int mode = PlainInteger(store, keys::kWavMode);
  if (mode == settings::kWavModeCdQuality) {
    writer.SetWavFormat(44100, 2, 16);
  } else if (mode == settings::kWavModeCustom) {
    writer.SetWavFormat(SampleRate(store, keys::kWavFrequency), ChannelCount(store, keys::kWavChannel),
                        ListValue(store, keys::kWavBit, settings::kSampleWidths));
  }
  // Any other mode ("best suited" among them) leaves the writer's own choice.
  return {".wav", QString()};
}

OutputSetup ConfigureWma(const SettingsStore& store, IAudioFile2& writer, OutputUse use) {
  const int profile = IndexInRange(store, keys::kWmaFormat, audio::kWmaProfileTexts.size()) + 1;
  if (use == OutputUse::Join) {
    writer.SetWmaProfile(profile);  // replaced by kJoinWmaProfile before the file is created
    return {".wma", QString()};
  }
  // Refused before anything is written, like an MP3 or OGG format the
  // encoder cannot make, rather than failing in the middle of a job.
  const audio::WmaProfile& listed = audio::WmaProfileByNumber(profile);
  if (!listed.unsupportedReason.empty()) {
    return {QString(), QString(kWmaNotSupported) + " \rThe profile \"" +
                           QString::fromLatin1(listed.text.data(), static_cast<qsizetype>(listed.text.size())) +
                           "\" cannot be written: " + QString::fromStdString(listed.unsupportedReason) +
                           ". \rPlease choose another profile in the settings."};
  }
  writer.SetWmaProfile(profile);
  return {".wma", QString()};
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
  if (Flag(store, keys::kOggEnableQuality)) {
    writer.SetOggFormat(rate, channels, nominal, BitRate(store, keys::kOggMaxBitrate),
                        BitRate(store, keys::kOggMinBitrate), PlainInteger(store, keys::kOggQuality));
  } else if (Flag(store, keys::kOggEnableVbr)) {
    const int maximum = BitRate(store, keys::kOggMaxBitrate);
    const int minimum = BitRate(store, keys::kOggMinBitrate);
    if (!writer.CheckOggFormat(rate, channels, nominal, maximum, minimum))
      return {QString(), kOggVbrNotSupported, OggValues(rate, channels, nominal, maximum, minimum), "ogg"};
    writer.SetOggFormat(rate, channels, nominal, maximum, minimum, -1);
  } else {
    // The usual case: a managed bit rate pinned at 128 kbit/s either side.
    if (!writer.CheckOggFormat(rate, channels, nominal, 128, 128))
      return {QString(), kOggNotSupported, OggValues(rate, channels, nominal, 128, 128), "ogg"};
    writer.SetOggFormat(rate, channels, nominal, 128, 128, -1);
  }
  return {".ogg", QString()};
}

}  // namespace

std::optional<OutputType> OutputTypeFromIndex(int itemIndex) {
  if (itemIndex < 0 || itemIndex > 3) return std::nullopt;
  return static_cast<OutputType>(itemIndex);
}

QString OutputExtension(OutputType type) {
  switch (type) {
    case OutputType::Mp3: return ".mp3";
    case OutputType::Wav: return ".wav";
    case OutputType::Wma: return ".wma";
    case OutputType::Ogg: return ".ogg";
  }
  return QString();
}

FileFilter SaveFilterFor(OutputType type) {
  switch (type) {
    case OutputType::Mp3: return {"MP3 files (*.mp3)", "*.mp3"};
    case OutputType::Wav: return {"WAV files (*.wav)", "*.wav"};
    case OutputType::Wma: return {"WMA files (*.wma)", "*.wma"};
    case OutputType::Ogg: return {"OGG files (*.OGG)", "*.OGG"};
  }
  return {};
}

OutputSetup ApplyOutputSettings(OutputType type, const SettingsStore& settings, IAudioFile2& writer,
                                IAudioFile2LameEnc& encoder, OutputUse use) {
  switch (type) {
    case OutputType::Mp3: return ConfigureMp3(settings, writer, encoder);
    case OutputType::Wav: return ConfigureWav(settings, writer);
    case OutputType::Wma: return ConfigureWma(settings, writer, use);
    case OutputType::Ogg: return ConfigureOgg(settings, writer);
  }
  return {QString(), "This output format is not supported."};
}

std::optional<QString> ConfigureOutput(MainState& state, QString* refusedValues, OutputUse use) {
  const std::optional<OutputType> type = OutputTypeFromIndex(state.cm_Format->ItemIndex());
  const OutputSetup setup =
      type ? ApplyOutputSettings(*type, *state.SettingsFile, *state.AudioFileWrite, *state.AudioFile2LameEnc, use)
           : OutputSetup{QString(), "This output format is not supported."};
  if (!setup.refused()) return setup.extension;
  state.Dialogs->ShowInformation(setup.refusal);
  if (refusedValues && !setup.refusedValues.isEmpty())
    *refusedValues = setup.refusedValues + " from [" + setup.section + "] in " + state.SettingsFile->FilePath();
  state.Converting = false;
  state.cm_Format->SetEnabled(true);
  return std::nullopt;
}

}  // namespace snipwave
