// Configure output: the branches of every format with the jobs' defaults, the support
// checks and their messages, the refusal, and hand-edited indexes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "JobHarness.h"
#include "convert/CutJob.h"
#include "convert/OutputConfiguration.h"

namespace snipwave::test {
namespace {

using ::testing::_;
using ::testing::AnyNumber;
using ::testing::InSequence;
using ::testing::Return;
using ::testing::StrictMock;
namespace sec = settings::section;
namespace key = settings::key;

class ConfigureOutputTest : public ::testing::Test {
 protected:
  ConfigureOutputTest() {
    memory.Attach(encoder);
    EXPECT_CALL(encoder, SampleRate()).Times(AnyNumber());
    EXPECT_CALL(encoder, BitRate()).Times(AnyNumber());
    EXPECT_CALL(encoder, Channels()).Times(AnyNumber());
    EXPECT_CALL(encoder, VbrMode()).Times(AnyNumber());
    EXPECT_CALL(encoder, VbrBitRate()).Times(AnyNumber());
    EXPECT_CALL(encoder, VbrQuality()).Times(AnyNumber());
  }
  OutputSetup Apply(OutputType type) { return ApplyOutputSettings(type, settings, writer, encoder); }

  TempDir dir;
  SettingsStore settings{dir.file("Snipwave.ini")};
  StrictMock<MockAudioFile2> writer;
  StrictMock<MockLameEnc> encoder;
  EncoderMemory memory;
};

TEST_F(ConfigureOutputTest, Mp3WithoutSettingsFileUsesTheJobDefaults) {
  {
    InSequence order;
    EXPECT_CALL(encoder, SetSampleRate(44100));
    EXPECT_CALL(encoder, SetBitRate(128));
    EXPECT_CALL(encoder, SetChannels(2));
    EXPECT_CALL(encoder, SetQuality(9));
    EXPECT_CALL(encoder, SetVbrMode(-1));
    EXPECT_CALL(writer, CheckMp3Format(44100, 128, 2)).WillOnce(Return(true));
    EXPECT_CALL(writer, SetMp3Encoder(&encoder));
  }
  const OutputSetup setup = Apply(OutputType::Mp3);
  EXPECT_FALSE(setup.refused());
  EXPECT_EQ(setup.extension, ".mp3");
}

TEST_F(ConfigureOutputTest, Mp3VbrOnWithoutVbrQualityKeyUsesQualityFive) {
  settings.WriteInteger(sec::kMp3, key::kEnableVbr, 1);
  settings.WriteInteger(sec::kMp3, key::kVbrBitrate, 13);
  settings.WriteInteger(sec::kMp3, key::kFrequency, 5);
  settings.WriteInteger(sec::kMp3, key::kChannel, 0);
  settings.WriteInteger(sec::kMp3, key::kQuality, 2);
  {
    InSequence order;
    EXPECT_CALL(encoder, SetSampleRate(22050));
    EXPECT_CALL(encoder, SetBitRate(128));
    EXPECT_CALL(encoder, SetChannels(1));
    EXPECT_CALL(encoder, SetQuality(2));
    EXPECT_CALL(encoder, SetVbrMode(0));
    EXPECT_CALL(encoder, SetVbrBitRate(192));
    EXPECT_CALL(encoder, SetVbrQuality(5));
    EXPECT_CALL(writer, CheckMp3Format(22050, 128, 1)).WillOnce(Return(true));
    EXPECT_CALL(writer, SetMp3Encoder(&encoder));
  }
  EXPECT_EQ(Apply(OutputType::Mp3).extension, ".mp3");
}

TEST_F(ConfigureOutputTest, Mp3EnableVbrOtherThanZeroOrOneLeavesVbrUntouched) {
  settings.WriteInteger(sec::kMp3, key::kEnableVbr, 2);
  EXPECT_CALL(encoder, SetSampleRate(_));
  EXPECT_CALL(encoder, SetBitRate(_));
  EXPECT_CALL(encoder, SetChannels(_));
  EXPECT_CALL(encoder, SetQuality(_));
  // No SetVbrMode, SetVbrBitRate or SetVbrQuality: the strict mock fails on them.
  EXPECT_CALL(writer, CheckMp3Format(_, _, _)).WillOnce(Return(true));
  EXPECT_CALL(writer, SetMp3Encoder(_));
  memory.vbrMode = 0;  // an earlier job's VBR choice on this encoder
  memory.vbrBitRate = 256;
  memory.vbrQuality = 2;
  const OutputConfiguration::Mp3 mp3 = Apply(OutputType::Mp3).configuration.mp3;
  // What a job's fresh encoders get is that choice, as it stands on this one.
  EXPECT_EQ(mp3.vbrMode, 0);
  EXPECT_EQ(mp3.vbrBitRate, 256);
  EXPECT_EQ(mp3.vbrQuality, 2);
}

TEST_F(ConfigureOutputTest, Mp3UnsupportedIsRefusedWithItsMessage) {
  settings.WriteInteger(sec::kMp3, key::kFrequency, 0);  // 6000 Hz
  EXPECT_CALL(encoder, SetSampleRate(6000));
  EXPECT_CALL(encoder, SetBitRate(_));
  EXPECT_CALL(encoder, SetChannels(_));
  EXPECT_CALL(encoder, SetQuality(_));
  EXPECT_CALL(encoder, SetVbrMode(-1));
  EXPECT_CALL(writer, CheckMp3Format(6000, 128, 2)).WillOnce(Return(false));
  const OutputSetup setup = Apply(OutputType::Mp3);
  EXPECT_TRUE(setup.refused());
  EXPECT_EQ(setup.refusal, "This MP3 format is not supported.");
}

TEST_F(ConfigureOutputTest, HandEditedIndexesOutsideTheirListsFallBackToTheJobDefault) {
  settings.WriteInteger(sec::kMp3, key::kFrequency, 10);
  settings.WriteInteger(sec::kMp3, key::kBitrate, 17);
  settings.WriteInteger(sec::kMp3, key::kChannel, 5);
  settings.WriteString(sec::kMp3, key::kEnableVbr, "1");
  settings.WriteInteger(sec::kMp3, key::kVbrBitrate, -1);
  EXPECT_CALL(encoder, SetSampleRate(44100));
  EXPECT_CALL(encoder, SetBitRate(128));
  EXPECT_CALL(encoder, SetChannels(2));
  EXPECT_CALL(encoder, SetQuality(9));
  EXPECT_CALL(encoder, SetVbrMode(0));
  EXPECT_CALL(encoder, SetVbrBitRate(128));
  EXPECT_CALL(encoder, SetVbrQuality(5));
  EXPECT_CALL(writer, CheckMp3Format(44100, 128, 2)).WillOnce(Return(true));
  EXPECT_CALL(writer, SetMp3Encoder(_));
  Apply(OutputType::Mp3);

  settings.WriteInteger(sec::kWav, key::kMode, 2);
  settings.WriteInteger(sec::kWav, key::kFrequency, 99);
  settings.WriteInteger(sec::kWav, key::kBit, 2);
  settings.WriteInteger(sec::kWav, key::kChannel, -3);
  EXPECT_CALL(writer, SetWavFormat(44100, 2, 16));
  Apply(OutputType::Wav);

  settings.WriteInteger(sec::kWma, key::kFormat, 47);
  EXPECT_CALL(writer, SetWmaProfile(10));
  Apply(OutputType::Wma);
  settings.WriteInteger(sec::kWma, key::kFormat, -1);
  EXPECT_CALL(writer, SetWmaProfile(10));
  Apply(OutputType::Wma);
}

TEST_F(ConfigureOutputTest, WavModes) {
  // Mode 0 (also when missing) is CD quality whatever the custom keys say.
  settings.WriteInteger(sec::kWav, key::kFrequency, 2);
  settings.WriteInteger(sec::kWav, key::kChannel, 0);
  settings.WriteInteger(sec::kWav, key::kBit, 0);
  EXPECT_CALL(writer, SetWavFormat(44100, 2, 16)).Times(2);
  EXPECT_EQ(Apply(OutputType::Wav).extension, ".wav");
  settings.WriteInteger(sec::kWav, key::kMode, 0);
  Apply(OutputType::Wav);

  settings.WriteInteger(sec::kWav, key::kMode, 2);
  EXPECT_CALL(writer, SetWavFormat(11025, 1, 8));
  Apply(OutputType::Wav);

  // Best suited, and any other value: no format call at all; the format the
  // writer holds (from an earlier job, or none) is what the job's workers get.
  for (const std::optional<WavFormatValues> held : {std::optional<WavFormatValues>(), {{11025, 1, 8}}}) {
    EXPECT_CALL(writer, WavFormat()).Times(3).WillRepeatedly(Return(held));
    for (int mode : {1, 3, -1}) {
      settings.WriteInteger(sec::kWav, key::kMode, mode);
      const OutputSetup setup = Apply(OutputType::Wav);
      EXPECT_EQ(setup.extension, ".wav");
      const auto& wav = setup.configuration.wav;
      ASSERT_EQ(wav.has_value(), held.has_value());
      if (wav) EXPECT_EQ(std::tuple(wav->sampleRate, wav->channels, wav->bitsPerSample), std::tuple(11025, 1, 8));
    }
  }
}

TEST_F(ConfigureOutputTest, WmaProfileIsTheIndexPlusOne) {
  EXPECT_CALL(writer, SetWmaProfile(10));  // missing key: index 9
  EXPECT_EQ(Apply(OutputType::Wma).extension, ".wma");
  settings.WriteInteger(sec::kWma, key::kFormat, 22);
  EXPECT_CALL(writer, SetWmaProfile(23));
  Apply(OutputType::Wma);
  settings.WriteInteger(sec::kWma, key::kFormat, 0);
  EXPECT_CALL(writer, SetWmaProfile(1));
  Apply(OutputType::Wma);
}

// Profiles the WMA encoder cannot make are refused before the writer is
// touched, with a message naming the profile and the reason.
TEST_F(ConfigureOutputTest, UnwritableWmaProfilesAreRefused) {
  EXPECT_CALL(writer, SetWmaProfile(_)).Times(0);
  struct Case { int index; const char* text; const char* reason; };
  for (const Case c : {Case{17, "WMA9 44KHz, 20Kbps, Mono, CBR", "at least 24 kbit/s"},
                       Case{40, "WMA9 44KHz, Stereo, VBR Quality 98", "variable bit rate"},
                       Case{46, "WMA9 44KHz, Stereo, Lossless", "lossless"}}) {
    settings.WriteInteger(sec::kWma, key::kFormat, c.index);
    const OutputSetup setup = Apply(OutputType::Wma);
    ASSERT_TRUE(setup.refused());
    EXPECT_TRUE(setup.refusal.startsWith(kWmaNotSupported));
    EXPECT_TRUE(setup.refusal.contains(QString("\"") + c.text + "\"")) << setup.refusal.toStdString();
    EXPECT_TRUE(setup.refusal.contains(c.reason)) << setup.refusal.toStdString();
  }
}

TEST_F(ConfigureOutputTest, OggQualityModePassesTheQualityUnchecked) {
  settings.WriteBool(sec::kOgg, key::kEnableQuality, true);
  settings.WriteInteger(sec::kOgg, key::kQuality, 1000);
  settings.WriteInteger(sec::kOgg, key::kMaxBitrate, 16);
  settings.WriteInteger(sec::kOgg, key::kMinBitrate, 0);
  // No CheckOggFormat: the strict mock would fail on it.
  EXPECT_CALL(writer, SetOggFormat(44100, 2, 128, 320, 8, 1000));
  EXPECT_EQ(Apply(OutputType::Ogg).extension, ".ogg");
}

TEST_F(ConfigureOutputTest, OggWithNeitherFlagChecksWith128Both) {
  settings.WriteInteger(sec::kOgg, key::kMaxBitrate, 16);
  settings.WriteInteger(sec::kOgg, key::kMinBitrate, 0);
  settings.WriteInteger(sec::kOgg, key::kFrequency, 5);
  settings.WriteInteger(sec::kOgg, key::kChannel, 0);
  settings.WriteInteger(sec::kOgg, key::kBitrate, 7);
  {
    InSequence order;
    EXPECT_CALL(writer, CheckOggFormat(22050, 1, 64, 128, 128)).WillOnce(Return(true));
    EXPECT_CALL(writer, SetOggFormat(22050, 1, 64, 128, 128, -1));
  }
  Apply(OutputType::Ogg);

  EXPECT_CALL(writer, CheckOggFormat(22050, 1, 64, 128, 128)).WillOnce(Return(false));
  const OutputSetup refused = Apply(OutputType::Ogg);
  EXPECT_EQ(refused.refusal, "This OGG Format not supported.");
}

TEST_F(ConfigureOutputTest, OggVbrFromAHandEditedFileChecksTheStoredLimits) {
  settings.WriteBool(sec::kOgg, key::kEnableVbr, true);
  settings.WriteInteger(sec::kOgg, key::kMaxBitrate, 13);
  settings.WriteInteger(sec::kOgg, key::kMinBitrate, 7);
  {
    InSequence order;
    EXPECT_CALL(writer, CheckOggFormat(44100, 2, 128, 192, 64)).WillOnce(Return(true));
    EXPECT_CALL(writer, SetOggFormat(44100, 2, 128, 192, 64, -1));
  }
  Apply(OutputType::Ogg);
  EXPECT_CALL(writer, CheckOggFormat(44100, 2, 128, 192, 64)).WillOnce(Return(false));
  EXPECT_EQ(Apply(OutputType::Ogg).refusal, "This OGG format is not supported.");
}

// The formats after OGG: the writer gets the stored values; a value outside
// its bounds in a hand-edited file reads as the key's default; a captured
// configuration repeats the same call on another writer.
TEST_F(ConfigureOutputTest, FormatsAfterOggTakeStoredValuesWithinBoundsElseTheDefault) {
  struct Case {
    OutputType type;
    std::vector<std::pair<settings::KeyDefaults, int>> stored;
    std::function<void(MockAudioFile2&)> expect;
    const char* extension;
  };
  namespace d = settings::defaults;
  const std::vector<Case> cases = {
      {OutputType::Flac, {}, [](auto& w) { EXPECT_CALL(w, SetFlacFormat(5, 16)); }, ".flac"},
      {OutputType::Flac, {{d::kFlacCompression, 8}, {d::kFlacBit, 24}},
       [](auto& w) { EXPECT_CALL(w, SetFlacFormat(8, 24)); }, ".flac"},
      {OutputType::Flac, {{d::kFlacCompression, 9}, {d::kFlacBit, 20}},
       [](auto& w) { EXPECT_CALL(w, SetFlacFormat(5, 16)); }, ".flac"},
      {OutputType::Opus, {}, [](auto& w) { EXPECT_CALL(w, SetOpusFormat(128, true, false, 0)); }, ".opus"},
      {OutputType::Opus, {{d::kOpusBitrate, 6}, {d::kOpusEnableVbr, 0}, {d::kOpusApplication, 1}, {d::kOpusChannel, 1}},
       [](auto& w) { EXPECT_CALL(w, SetOpusFormat(6, false, true, 1)); }, ".opus"},
      {OutputType::Opus, {{d::kOpusBitrate, 511}, {d::kOpusApplication, 2}, {d::kOpusChannel, 3}},
       [](auto& w) { EXPECT_CALL(w, SetOpusFormat(128, true, false, 0)); }, ".opus"},
      {OutputType::M4a, {}, [](auto& w) { EXPECT_CALL(w, SetM4aFormat(false, 192, 16)); }, ".m4a"},
      {OutputType::M4a, {{d::kM4aBitrate, 320}}, [](auto& w) { EXPECT_CALL(w, SetM4aFormat(false, 320, 16)); },
       ".m4a"},
      {OutputType::M4a, {{d::kM4aBitrate, 31}}, [](auto& w) { EXPECT_CALL(w, SetM4aFormat(false, 192, 16)); },
       ".m4a"},
      {OutputType::Alac, {{d::kAlacBit, 24}, {d::kM4aBitrate, 64}},
       [](auto& w) { EXPECT_CALL(w, SetM4aFormat(true, 64, 24)); }, ".m4a"},
      {OutputType::Alac, {{d::kAlacBit, 8}}, [](auto& w) { EXPECT_CALL(w, SetM4aFormat(true, 192, 16)); }, ".m4a"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    const Case& c = cases[i];
    TempDir caseDir;
    SettingsStore store(caseDir.file("Snipwave.ini"));
    for (const auto& [k, value] : c.stored) store.WriteInteger(k.section, k.key, value);
    StrictMock<MockAudioFile2> first, second;
    c.expect(first);
    const OutputSetup setup = ApplyOutputSettings(c.type, store, first, encoder);
    EXPECT_FALSE(setup.refused());
    EXPECT_EQ(setup.extension, c.extension);
    EXPECT_EQ(OutputTypeFromIndex(static_cast<int>(c.type)), c.type);
    c.expect(second);
    ApplyOutputConfiguration(setup.configuration, second, encoder);
  }
  EXPECT_EQ(OutputTypeFromIndex(kOutputTypeCount), std::nullopt);
}

TEST(ConfigureOutputRefusal, ShowsTheMessageClearsConvertingAndWritesNothing) {
  JobHarness h;
  h.AddRow("song.mp3", 0, 1000);
  h.format.index = 3;  // OGG
  ON_CALL(h.writer, CheckOggFormat).WillByDefault(Return(false));
  EXPECT_CALL(h.writer, CreateOutputFile(_, _)).Times(0);
  EXPECT_CALL(h.reader, OpenFile(_, _, _)).Times(0);

  Cut(h.state);

  EXPECT_EQ(h.dialogs.infoTexts(), QStringList{"This OGG Format not supported."});
  EXPECT_FALSE(h.state.Converting);
  EXPECT_TRUE(h.format.enabled);
  EXPECT_EQ(h.status(0), "unconverted");
  EXPECT_TRUE(QDir(h.outFolder()).isEmpty());
  EXPECT_TRUE(h.skin.object("pospb").log.isEmpty());  // the progress display is not touched
  EXPECT_TRUE(h.launcher.folders.isEmpty());
}

TEST(ConfigureOutputState, ConfiguresFromTheChosenFormatAndSettingsFile) {
  JobHarness h;
  h.format.index = 2;
  h.settings.WriteInteger(sec::kWma, key::kFormat, 3);
  h.AddRow("a.mp3", 0, 1000);
  EXPECT_CALL(h.writer, SetWmaProfile(4)).Times(::testing::AtLeast(1));
  Cut(h.state);
  EXPECT_EQ(h.simWriter.created, QStringList{h.outFile("Cut_a.wma")});
  EXPECT_TRUE(h.dialogs.shown.isEmpty());
}

}  // namespace
}  // namespace snipwave::test
