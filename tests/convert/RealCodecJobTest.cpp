// Cut and join with the real reader and writer on fixtures made by ffmpeg;
// every output is decoded independently with the ffmpeg CLI and compared
// with a decode of its sources.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>
#include <algorithm>
#include <cmath>

#include "Commands.h"
#include "FakeMainParts.h"
#include "FakeSkin.h"
#include "ScriptedDialogs.h"
#include "TempDir.h"
#include "components/audio/TAudioFile2.h"
#include "components/audio/TAudioFile2LameEnc.h"
#include "convert/CutJob.h"
#include "convert/JoinJob.h"
#include "convert/OutputCheck.h"
#include "convert/RealRowComponents.h"
#include "platform/Error.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "shell/WindowJobs.h"
#include "state/MainState.h"

namespace snipwave::test {
namespace {

namespace sec = settings::section;
namespace key = settings::key;

struct RealHarness {
  TempDir dir;
  SettingsStore settings{dir.file("Snipwave.ini")};
  FakeTrackList list;
  FakeFormatChooser format;
  FakeSkinWindow skin;
  ScriptedDialogs dialogs;
  RecordingLauncher launcher;
  TAudioFile2 reader, writer, checker;
  TAudioFile2LameEnc encoder;
  MainState state;

  RealHarness() {
    state.SettingsFile = &settings;
    state.AudioFileRead = &reader;
    state.AudioFileWrite = &writer;
    state.AudioFileCheck = &checker;  // every output here is read back
    state.AudioFile2LameEnc = &encoder;
    state.lv = &list;
    state.cm_Format = &format;
    state.Dialogs = &dialogs;
    state.Launcher = &launcher;
    skin.BindInto(state);
    QDir().mkdir(out());
    settings.WriteString(sec::kFormat, key::kDir, out());
  }
  QString out() const { return dir.file("out"); }
  QString out(const QString& name) const { return dir.file("out/" + name); }

  // Lists a source as the add does: probed by the reader. end < 0: the whole file.
  void AddRow(const QString& path, std::int32_t begin, std::int32_t end) {
    reader.OpenFile(path.toStdString(), 0, 1);
    const int length = reader.LengthSamples();
    reader.CloseFile();
    Timerec& r = state.TrackTable[static_cast<std::size_t>(state.TrackCount++)];
    r.FilePath = path;
    r.BeginSample = begin;
    r.EndSample = end < 0 ? length : end;
    r.TotalSamples = length;
    TrackRowTexts texts;
    texts.caption = QFileInfo(path).fileName();
    texts.cells[kStatusCell] = "unconverted";
    list.AppendRow(texts);
  }
};

// Interleaved samples [begin, end) frames of a decode.
std::vector<float> Frames(const std::vector<float>& all, int channels, std::int64_t begin, std::int64_t end) {
  return std::vector<float>(all.begin() + begin * channels, all.begin() + end * channels);
}

float MaxDifference(const std::vector<float>& a, const std::vector<float>& b) {
  float worst = 0;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) worst = std::max(worst, std::fabs(a[i] - b[i]));
  return worst;
}

std::vector<float> Channel(const std::vector<float>& interleaved, int channels, int which) {
  std::vector<float> one;
  for (std::size_t i = which; i < interleaved.size(); i += channels) one.push_back(interleaved[i]);
  return one;
}

// One 16-bit step, plus the float rounding of the decoders.
constexpr float kPcm16Step = 1.0f / 32768.0f * 1.01f;

QString StereoWav() { return ChirpFixture("job-src.wav", 4.0, 44100, 2); }
QString StereoMp3() { return ChirpFixture("job-src.mp3", 4.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "192k"}); }
QString StereoOgg() { return ChirpFixture("job-src.ogg", 4.0, 44100, 2, {"-c:a", "libvorbis", "-q:a", "6"}); }

TEST(RealCutJob, ThreeRowsIntoWavHoldExactlyTheirRanges) {
  RealHarness h;
  h.format.index = 1;  // WAV, CD quality (mode 0)
  const QStringList sources = {StereoWav(), StereoMp3(), StereoOgg()};
  const QList<QPair<int, int>> ranges = {{0, 44100}, {12345, 112345}, {100000, 170001}};
  for (int i = 0; i < 3; ++i) h.AddRow(sources[i], ranges[i].first, ranges[i].second);

  Cut(h.state);

  const QStringList names = {"Cut_" + QFileInfo(sources[0]).completeBaseName() + ".wav",
                             "Cut_" + QFileInfo(sources[1]).completeBaseName() + ".wav",
                             "Cut_" + QFileInfo(sources[2]).completeBaseName() + ".wav"};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(names[i].toStdString());
    const std::vector<float> got = DecodeWithFfmpeg(h.out(names[i]));
    const std::vector<float> source = DecodeWithFfmpeg(sources[i]);
    const std::vector<float> expected = Frames(source, 2, ranges[i].first, ranges[i].second);
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_LE(MaxDifference(got, expected), kPcm16Step);
    EXPECT_EQ(h.list.CellText(i, kStatusCell), "Finish");
  }
  EXPECT_EQ(QDir(h.out()).entryList(QDir::Files).size(), 3);
  EXPECT_EQ(h.launcher.folders, QStringList{h.out() + "/"});
}

// ffprobe's value of a format tag ("title", "artist", "track").
QString TagOf(const QString& path, const QString& tag) {
  return QString::fromUtf8(
             RunCommand("ffprobe", {"-v", "error", "-show_entries", "format_tags=" + tag, "-of", "csv=p=0", path}).out)
      .trimmed();
}

TEST(RealCutJob, RowsOwnTitleAndTagsNameAndTagTheirOutputsWithTheTrackNumber) {
  RealHarness h;
  h.format.index = 0;  // MP3
  h.settings.WriteString(sec::kFormat, key::kNameTemplate, "{n:2} {title}");
  h.AddRow(StereoWav(), 0, 44100);
  h.AddRow(StereoWav(), 44100, 88200);
  Timerec& titled = h.state.TrackTable[0];
  titled.Title = "Opening";
  titled.Tags.Set(TagField::Artist, "Cue Artist");

  Cut(h.state);

  const QString first = h.out("01 Opening.mp3");
  EXPECT_EQ(TagOf(first, "title"), "Opening");
  EXPECT_EQ(TagOf(first, "artist"), "Cue Artist");
  EXPECT_EQ(TagOf(first, "track"), "1");
  // The second row has nothing of its own: its source's name, its number.
  const QString second = h.out("02 " + QFileInfo(StereoWav()).completeBaseName() + ".mp3");
  EXPECT_EQ(TagOf(second, "track"), "2");
  EXPECT_EQ(TagOf(second, "artist"), "");
  EXPECT_EQ(QDir(h.out()).entryList(QDir::Files).size(), 2);
}

TEST(RealCutJob, Mp3AndOggOutputsHaveTheRangesLengthAndContent) {
  struct Case {
    int format;
    const char* ext;
    int frequencyIndex;  // of [mp3]/[ogg] "frequency"
    int rate;
  };
  for (const Case& c : {Case{0, ".mp3", 8, 44100}, Case{0, ".mp3", 5, 22050}, Case{3, ".ogg", 8, 44100},
                        Case{3, ".ogg", 9, 48000}}) {
    SCOPED_TRACE(std::string(c.ext) + " at " + std::to_string(c.rate));
    RealHarness h;
    h.format.index = c.format;
    h.settings.WriteInteger(c.format == 0 ? sec::kMp3 : sec::kOgg, key::kFrequency, c.frequencyIndex);
    const QString source = StereoWav();
    const int begin = 20000, end = 120000;
    h.AddRow(source, begin, end);
    Cut(h.state);
    const QString output = h.out("Cut_" + QFileInfo(source).completeBaseName() + c.ext);
    EXPECT_EQ(FfprobeInfo(output).sampleRate, c.rate);
    const std::vector<float> got = DecodeWithFfmpeg(output);
    const double expectedFrames = (end - begin) * double(c.rate) / 44100.0;
    EXPECT_NEAR(double(got.size() / 2), expectedFrames, 1.0);
    // Content: the left channels correlate at the source's rate.
    const std::vector<float> back = DecodeWithFfmpeg(output, 2, 44100);
    const std::vector<float> expected = Frames(DecodeWithFfmpeg(source), 2, begin, end);
    EXPECT_GT(Correlation(Channel(back, 2, 0), Channel(expected, 2, 0)), 0.9);
  }
}

TEST(RealCutJob, WmaOutputHasTheExpectedLengthWithinOneFrame) {
  RealHarness h;
  h.format.index = 2;  // WMA, profile 10 by default: 44.1 kHz 128 kbit/s stereo
  const QString source = StereoWav();
  h.AddRow(source, 0, 132300);
  Cut(h.state);
  const QString output = h.out("Cut_" + QFileInfo(source).completeBaseName() + ".wma");
  const ProbeInfo info = FfprobeInfo(output);
  EXPECT_EQ(info.codec, "wmav2");
  EXPECT_EQ(info.sampleRate, 44100);
  const std::vector<float> got = DecodeWithFfmpeg(output);
  EXPECT_NEAR(double(got.size() / 2), 132300.0, 2048.0);
}

TEST(RealCutJob, StopDuringTheSecondRowLeavesAShorterValidFile) {
  RealHarness h;
  h.format.index = 1;
  const QString source = StereoMp3();  // decoded and re-encoded chunk by chunk
  for (int i = 0; i < 3; ++i) h.AddRow(source, 0, 100000);
  // Stop arrives while row 1 shows its first chunk.
  JobOptions options;
  options.afterReport = [&](int) {
    if (h.list.CellText(1, kStatusCell) == "Cutting" && h.skin.object("showpos").text == "88%")
      options.stop.request_stop();
  };
  Cut(h.state, options);
  const QString base = QFileInfo(source).completeBaseName() + ".wav";
  EXPECT_EQ(DecodeWithFfmpeg(h.out("Cut_" + base)).size(), 200000u);
  EXPECT_EQ(DecodeWithFfmpeg(h.out("Cut(1)_" + base)).size(), 2u * 88200u);
  EXPECT_FALSE(QFileInfo::exists(h.out("Cut(2)_" + base)));
  EXPECT_EQ(h.list.CellText(1, kStatusCell), "Finish");
  EXPECT_EQ(h.list.CellText(2, kStatusCell), "unconverted");
  EXPECT_FALSE(h.reader.IsOpen());
  EXPECT_FALSE(h.writer.IsOpen());
  EXPECT_FALSE(h.state.Converting);
}

TEST(RealCutJob, WmaCutUsesTheStoredProfile) {
  RealHarness h;
  h.format.index = 2;
  h.settings.WriteInteger(sec::kWma, key::kFormat, 0);  // profile 1: 48 kHz, 192 kbit/s
  h.AddRow(StereoWav(), 0, 44100);
  Cut(h.state);
  const QStringList files = QDir(h.out()).entryList(QDir::Files);
  ASSERT_EQ(files.size(), 1);
  EXPECT_EQ(FfprobeInfo(h.out(files[0])).sampleRate, 48000);
}

TEST(RealJoinJob, TenAndFiveSecondsMakeExactlyFifteen) {
  RealHarness h;
  h.format.index = 1;
  const QString a = ChirpFixture("join-a.wav", 11.0, 44100, 2);
  const QString b = ChirpFixture("join-b.mp3", 6.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "192k"});
  h.AddRow(a, 22050, 22050 + 441000);
  h.AddRow(b, 1000, 1000 + 220500);
  h.dialogs.saveAnswers.push_back(h.out("mix"));
  QList<int> shown;  // the percentage after each report, while it is visible
  JobOptions options;
  options.afterReport = [&](int) {
    if (h.skin.object("showpos").visible) shown << h.skin.object("showpos").text.chopped(1).toInt();
  };

  Join(h.state, options);

  const std::vector<float> got = DecodeWithFfmpeg(h.out("mix.wav"));
  ASSERT_EQ(got.size(), 2u * 661500u);
  std::vector<float> expected = Frames(DecodeWithFfmpeg(a), 2, 22050, 22050 + 441000);
  const std::vector<float> second = Frames(DecodeWithFfmpeg(b), 2, 1000, 1000 + 220500);
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_LE(MaxDifference(got, expected), kPcm16Step);
  // The whole job's share, chunk by chunk, rising to full with the last one.
  ASSERT_FALSE(shown.isEmpty());
  EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
  EXPECT_GE(QSet<int>(shown.begin(), shown.end()).size(), 7);  // 15 s in chunks of 2 s
  EXPECT_EQ(shown.last(), 100);
  EXPECT_EQ(h.list.CellText(0, kStatusCell), "Finish");
  EXPECT_EQ(h.list.CellText(1, kStatusCell), "Finish");
  EXPECT_EQ(h.launcher.folders, QStringList{h.out()});
}

TEST(RealJoinJob, MonoFirstRowSetsTheFormatAndLaterRowsAreResampled) {
  RealHarness h;
  h.format.index = 1;
  h.settings.WriteInteger(sec::kWav, key::kMode, 1);  // best suited: the stream's own format
  const QString mono = ChirpFixture("join-mono.wav", 2.0, 22050, 1);
  const QString stereo = ChirpFixture("join-stereo.wav", 3.0, 44100, 2);
  h.AddRow(mono, 0, 22050);
  h.AddRow(stereo, 44100, 132300);
  h.dialogs.saveAnswers.push_back(h.out("mix.wav"));

  Join(h.state);

  const QString output = h.out("mix.wav");
  const ProbeInfo info = FfprobeInfo(output);
  EXPECT_EQ(info.sampleRate, 22050);
  EXPECT_EQ(info.channels, 1);
  const std::vector<float> got = DecodeWithFfmpeg(output);
  EXPECT_NEAR(double(got.size()), 22050.0 + 44100.0, 1.0);
  const std::vector<float> first = Frames(DecodeWithFfmpeg(mono), 1, 0, 22050);
  EXPECT_LE(MaxDifference(std::vector<float>(got.begin(), got.begin() + 22050), first), kPcm16Step);
  // The second part against ffmpeg's own conversion of the range to 22050 Hz mono.
  const std::vector<float> converted = Frames(DecodeWithFfmpeg(stereo, 1, 22050), 1, 22050, 66150);
  EXPECT_GT(Correlation(std::vector<float>(got.begin() + 22050, got.end()), converted), 0.95);
}

TEST(RealJoinJob, WmaJoinUsesProfile13) {
  RealHarness h;
  h.format.index = 2;
  h.settings.WriteInteger(sec::kWma, key::kFormat, 0);
  h.AddRow(StereoWav(), 0, 44100);
  h.dialogs.saveAnswers.push_back(h.out("mix"));
  Join(h.state);
  const CommandResult probe = RunCommand(
      "ffprobe", {"-v", "error", "-show_entries", "stream=sample_rate,bit_rate", "-of", "csv=p=0", h.out("mix.wma")});
  EXPECT_EQ(probe.out.trimmed(), "44100,64000");  // "WMA9 44KHz, 64Kbps, Stereo, CBR"
}

TEST(RealJoinJob, ReadOnlyFileAnsweredYesIsReplaced) {
  RealHarness h;
  h.format.index = 1;
  h.AddRow(StereoWav(), 0, 4410);
  const QString target = h.out("mix.wav");
  {
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old");
  }
  QFile::setPermissions(target, QFileDevice::ReadOwner);
  h.dialogs.saveAnswers.push_back(target);
  h.dialogs.yesNoAnswers.push_back(true);
  Join(h.state);
  EXPECT_EQ(DecodeWithFfmpeg(target).size(), 2u * 4410u);
}

TEST(RealJobErrors, SourceThatShrinksWhileItIsCutEndsTheRowWithAMessage) {
  RealHarness h;
  h.format.index = 1;  // WAV
  const QString source = h.dir.file("shrinking.wav");
  ASSERT_TRUE(QFile::copy(StereoWav(), source));
  h.AddRow(source, 0, -1);  // four seconds
  // Once the row has started, another program cuts the file to one second.
  JobReport report;
  JobOptions options{QString(), &report};
  options.afterReport = [&](int) {
    if (h.list.CellText(0, kStatusCell) == "Cutting" && QFileInfo(source).size() > 44 + 44100 * 4)
      ASSERT_TRUE(QFile::resize(source, 44 + 44100 * 4));
  };
  Cut(h.state, options);
  ASSERT_EQ(report.shortReads.size(), 1);
  EXPECT_TRUE(report.shortReads[0].startsWith(source + " ended at 0:0")) << report.shortReads[0].toStdString();
  EXPECT_TRUE(report.shortReads[0].endsWith(" of the range's 0:04.000 were written."))
      << report.shortReads[0].toStdString();
  EXPECT_EQ(h.dialogs.infoTexts(), report.shortReads);
  EXPECT_EQ(h.list.CellText(0, kStatusCell), "Short");
  // What was read is written, complete, under the output's name.
  const QString written = h.out("Cut_shrinking.wav");
  EXPECT_EQ(report.writtenFiles, QStringList{written});
  const std::vector<float> decoded = DecodeWithFfmpeg(written);
  EXPECT_GE(decoded.size(), 2u * 44100u * 95 / 100);
  EXPECT_LE(decoded.size(), 2u * 44100u);
  EXPECT_EQ(QDir(h.out()).entryList(QDir::Files | QDir::Hidden), QStringList{"Cut_shrinking.wav"});
}

TEST(RealJobErrors, Mp3SourceThatShrinksWhileItsFramesAreCopiedEndsTheRowWithAMessage) {
  const QString mp3 = ChirpFixture("job-src20.mp3", 20.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "192k"});
  for (const bool join : {false, true}) {
    SCOPED_TRACE(join ? "join" : "cut");
    RealHarness h;
    h.format.index = 0;  // MP3, 44.1 kHz stereo as the source
    const QString source = h.dir.file("shrinking.mp3");
    ASSERT_TRUE(QFile::copy(mp3, source));
    h.AddRow(source, 10000, 10000 + 44100 * 15);
    // Once the first frames are in the output, another program cuts the
    // source to half its bytes (about ten seconds).
    const qint64 size = QFileInfo(source).size();
    bool cut = false;
    JobReport report;
    JobOptions options{QString(), &report};
    options.keepMp3Frames = true;
    options.afterReport = [&](int) {
      const QFileInfoList files = QDir(h.out()).entryInfoList(QDir::Files | QDir::Hidden);
      if (cut || files.isEmpty() || files[0].size() < 50000) return;
      cut = true;
      ASSERT_TRUE(QFile::resize(source, size / 2));
    };
    if (join) {
      h.dialogs.saveAnswers.push_back(h.out("mix"));
      Join(h.state, options);
    } else {
      Cut(h.state, options);
    }
    ASSERT_TRUE(cut);
    ASSERT_EQ(report.shortReads.size(), 1);
    EXPECT_TRUE(report.shortReads[0].startsWith(source + " ended at 0:")) << report.shortReads[0].toStdString();
    EXPECT_TRUE(report.shortReads[0].contains(", before its range (0:00.227 to 0:15.227) did: "))
        << report.shortReads[0].toStdString();
    EXPECT_TRUE(report.shortReads[0].endsWith(" of the range's 0:15.000 were written."))
        << report.shortReads[0].toStdString();
    EXPECT_EQ(h.list.CellText(0, kStatusCell), "Short");
    // What was copied is written, complete, under the output's name, and no
    // temporary is left.
    const QString written = join ? h.out("mix.mp3") : h.out("Cut_shrinking.mp3");
    EXPECT_EQ(report.writtenFiles, QStringList{written});
    EXPECT_EQ(QDir(h.out()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(written).fileName()});
    const std::vector<float> got = DecodeWithFfmpeg(written);
    EXPECT_GT(got.size(), 2u * 44100u * 6);
    EXPECT_LT(got.size(), 2u * 44100u * 10);
    const std::vector<float> expected = Frames(DecodeWithFfmpeg(mp3), 2, 10000, 10000 + std::int64_t(got.size() / 2));
    EXPECT_EQ(MaxDifference(Frames(got, 2, 44100, std::int64_t(got.size() / 2) - 4 * 1152),
                            Frames(expected, 2, 44100, std::int64_t(got.size() / 2) - 4 * 1152)),
              0.0f);
  }
}

TEST(RealJobErrors, UnwritableOutputFolderLeavesEarlierFilesIntact) {
  RealHarness h;
  h.format.index = 1;
  h.AddRow(StereoWav(), 0, 44100);
  h.AddRow(StereoMp3(), 0, 44100);
  // A regular file stands where the output folder should be.
  const QString blocked = h.dir.file("blocked");
  {
    QFile f(blocked);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a folder");
  }
  h.settings.WriteString(sec::kFormat, key::kDir, blocked);
  JobReport report;
  Cut(h.state, {QString(), &report});
  EXPECT_EQ(report.end, JobEnd::Failed);
  EXPECT_FALSE(h.reader.IsOpen());
  EXPECT_FALSE(h.writer.IsOpen());
  EXPECT_FALSE(h.state.Converting);
  EXPECT_TRUE(h.format.enabled);
  EXPECT_EQ(h.list.CellText(0, kStatusCell), "unconverted");
  EXPECT_EQ(h.launcher.folders, QStringList{blocked + "/"});
  QFile f(blocked);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), "not a folder");
}

TEST(RealJobErrors, AFailingRowEndsAParallelCutWhereOneRowAtATimeWould) {
  // Rows 0-1 and 3-4 decode an MP3; row 2 is a file that is no audio at all.
  const QString source = StereoMp3();
  const QString base = QFileInfo(source).completeBaseName();
  for (const int jobs : {1, 3}) {
    SCOPED_TRACE(jobs);
    RealHarness h;
    h.format.index = 1;  // WAV
    const QString broken = h.dir.file("broken.mp3");
    {
      QFile f(broken);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(QByteArray(64 * 1024, 'x'));
    }
    for (int row = 0; row < 5; ++row) {
      if (row != 2) {
        h.AddRow(source, 1000 * row, 1000 * row + 150000);
        continue;
      }
      Timerec& r = h.state.TrackTable[static_cast<std::size_t>(h.state.TrackCount++)];
      r.FilePath = broken;
      r.EndSample = r.TotalSamples = 44100;
      TrackRowTexts texts;
      texts.cells[kStatusCell] = "unconverted";
      h.list.AppendRow(texts);
    }
    JobReport report;
    JobOptions options{QString(), &report};
    options.components = MakeRealRowComponents;
    options.jobs = jobs;
    // Every status each row showed, in order, as the reports came.
    std::vector<QStringList> shown(5, QStringList{"unconverted"});
    options.afterReport = [&](int) {
      for (int row = 0; row < 5; ++row)
        if (shown[row].last() != h.list.CellText(row, kStatusCell)) shown[row] << h.list.CellText(row, kStatusCell);
    };

    Cut(h.state, options);

    EXPECT_EQ(report.end, JobEnd::Failed);
    EXPECT_TRUE(report.failure.contains(broken)) << report.failure.toStdString();
    const QStringList written = {h.out("Cut_" + base + ".wav"), h.out("Cut(1)_" + base + ".wav")};
    EXPECT_EQ(report.writtenFiles, written);
    // Nothing else in the folder: no later row, no temporary file.
    EXPECT_EQ(QDir(h.out()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name),
              (QStringList{"Cut(1)_" + base + ".wav", "Cut_" + base + ".wav"}));
    const std::vector<float> whole = DecodeWithFfmpeg(source);
    for (int row = 0; row < 2; ++row) {
      const std::vector<float> got = DecodeWithFfmpeg(written[row]);
      const std::vector<float> expected = Frames(whole, 2, 1000 * row, 1000 * row + 150000);
      ASSERT_EQ(got.size(), expected.size());
      EXPECT_LE(MaxDifference(got, expected), kPcm16Step);
    }
    const std::vector<QStringList> expected = {{"unconverted", "Cutting", "Finish"},
                                               {"unconverted", "Cutting", "Finish"},
                                               {"unconverted", "Cutting", "unconverted"},
                                               {"unconverted"},
                                               {"unconverted"}};
    EXPECT_EQ(shown, expected);
    EXPECT_FALSE(h.state.Converting);
  }
}

// --- tags ----------------------------------------------------------------------

// The tags ffprobe finds in a file (container and audio stream, keys in lower
// case), and the bytes of its attached picture (empty: none).
struct ProbedTags {
  QMap<QString, QString> values;
  QByteArray cover;
};

ProbedTags ProbeTags(const QString& path) {
  ProbedTags probed;
  const CommandResult r = RunCommand(
      "ffprobe", {"-v", "error", "-select_streams", "a", "-show_entries", "format_tags:stream_tags", "-of",
                  "default=nw=1", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  for (const QByteArray& line : r.out.split('\n')) {
    if (!line.startsWith("TAG:")) continue;
    const int eq = line.indexOf('=');
    probed.values[QString::fromUtf8(line.mid(4, eq - 4)).toLower()] = QString::fromUtf8(line.mid(eq + 1));
  }
  // ASF's own year attribute, which FFmpeg shows by its raw name.
  if (probed.values.contains("wm/year")) probed.values["date"] = probed.values.take("wm/year");
  const CommandResult picture = RunCommand(
      "ffmpeg", {"-v", "error", "-i", path, "-map", "0:v?", "-c", "copy", "-frames:v", "1", "-f", "image2", "-"});
  probed.cover = picture.out;
  return probed;
}

QString CoverJpeg() {
  return Fixture("cover.jpg", {"-f", "lavfi", "-i", "color=red:s=32x32", "-frames:v", "1"});
}

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  return file.readAll();
}

// A source made the way users' files are made: the tool's own tag options.
QString TaggedSource(const QString& type) {
  const QString wav = ChirpFixture("tag-src.wav", 1.0, 44100, 2);
  const QString path = QDir(SNIPWAVE_FIXTURE_DIR).filePath("tagged-src." + type);
  if (QFileInfo::exists(path)) return path;
  // Tests run in parallel processes: each encodes into its own temporary
  // and the rename makes the finished file appear at once.
  const QString temp = QString("%1.%2.part.%3").arg(path).arg(QCoreApplication::applicationPid()).arg(type);
  CommandResult r;
  if (type == "mp3") {
    // lame's own COMM frame is one FFmpeg cannot read, so no comment here.
    r = RunCommand("lame", {"--quiet", "--tt", "Song mp3", "--ta", "Artist", "--tl", "Album", "--ty", "2001", "--tn",
                            "3/9", "--tg", "Rock", "--tv", "TPE2=Band", "--tv", "TPOS=1/2", "--ti", CoverJpeg(), wav,
                            temp});
  } else if (type == "ogg") {
    r = RunCommand("oggenc", {"-Q", "-t", "Song ogg", "-a", "Artist", "-l", "Album", "-d", "2001", "-N", "3/9", "-G",
                              "Rock", "-c", "ALBUMARTIST=Band", "-c", "DISCNUMBER=1/2", "-c", "COMMENT=Note", "-o",
                              temp, wav});
  } else {
    Ffmpeg({"-i", wav, "-metadata", "title=Song wma", "-metadata", "artist=Artist", "-metadata", "album=Album",
            "-metadata", "album_artist=Band", "-metadata", "track=3/9", "-metadata", "disc=1/2", "-metadata",
            "date=2001", "-metadata", "genre=Rock", "-metadata", "comment=Note", "-c:a", "wmav2", "-b:a", "128k",
            temp});
    r.exitCode = 0;
  }
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  PublishFile(temp, path);
  return path;
}

TEST(RealJobTags, CutCarriesTheSourcesTagsIntoEveryOutputFormat) {
  const QStringList sourceTypes = {"mp3", "ogg", "wma"};
  const QStringList outputTypes = {"mp3", "wav", "wma", "ogg"};  // format chooser order
  for (int format = 0; format < outputTypes.size(); ++format) {
    const QString type = outputTypes[format];
    SCOPED_TRACE(type.toStdString());
    RealHarness h;
    h.format.index = format;
    for (const QString& source : sourceTypes) h.AddRow(TaggedSource(source), 0, 22050);

    Cut(h.state);

    for (int row = 0; row < sourceTypes.size(); ++row) {
      const QString source = sourceTypes[row];
      SCOPED_TRACE(source.toStdString());
      EXPECT_EQ(h.list.CellText(row, kStatusCell), "Finish");  // tagged and read back at its length
      // The sources share a base name, so the outputs are numbered in row order.
      const QString prefix = row == 0 ? QString("Cut_") : QString("Cut(%1)_").arg(row);
      const ProbedTags got = ProbeTags(h.out(prefix + "tagged-src." + type));
      QMap<QString, QString> expected = {{"title", "Song " + source}, {"artist", "Artist"}, {"album", "Album"},
                                         {"track", "3/9"},            {"date", "2001"},     {"genre", "Rock"}};
      if (source != "mp3") expected["comment"] = "Note";
      if (type != "wav") {  // RIFF INFO has no album artist or disc field
        expected["album_artist"] = "Band";
        expected["disc"] = "1/2";
      }
      for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(got.values.value(it.key()), it.value()) << it.key().toStdString();
      // The cover of the MP3 source travels into the formats that hold one.
      if (source == "mp3" && (type == "mp3" || type == "ogg")) EXPECT_EQ(got.cover, FileBytes(CoverJpeg()));
      if (source != "mp3") EXPECT_TRUE(got.cover.isEmpty());
    }
  }
}

TEST(RealJobTags, JoinKeepsOnlySharedTagsAndIsTitledByItsName) {
  RealHarness h;
  h.format.index = 0;  // MP3
  h.AddRow(TaggedSource("mp3"), 0, 22050);
  h.AddRow(TaggedSource("ogg"), 0, 22050);
  h.dialogs.saveAnswers.push_back(h.out("My mix"));

  Join(h.state);

  const ProbedTags got = ProbeTags(h.out("My mix.mp3"));
  EXPECT_EQ(got.values.value("title"), "My mix");
  EXPECT_EQ(got.values.value("artist"), "Artist");
  EXPECT_EQ(got.values.value("album_artist"), "Band");
  EXPECT_EQ(got.values.value("track"), "3/9");
  EXPECT_FALSE(got.values.contains("comment"));  // only the OGG source has one
  EXPECT_TRUE(got.cover.isEmpty());              // only the MP3 source has one
}

TEST(RealJobTags, TheSettingTurnsTagsOff) {
  RealHarness h;
  h.settings.WriteBool(sec::kFormat, key::kKeepTags, false);
  h.format.index = 0;
  h.AddRow(TaggedSource("mp3"), 0, 22050);

  Cut(h.state);

  const ProbedTags got = ProbeTags(h.out("Cut_tagged-src.mp3"));
  EXPECT_FALSE(got.values.contains("title"));
  EXPECT_TRUE(got.cover.isEmpty());
}

TEST(RealJobTags, AJoinKeepsTheTagChoiceItStartedWithWhenTheWindowCloses) {
  RealHarness h;
  h.settings.WriteBool(sec::kFormat, key::kKeepTags, false);
  h.format.index = 0;
  h.AddRow(TaggedSource("mp3"), 0, 22050);
  h.AddRow(TaggedSource("ogg"), 0, 22050);
  h.dialogs.saveAnswers.push_back(h.out("closed"));
  // Closing the window releases the settings while the join still runs.
  JobOptions options;
  options.afterReport = [&](int) { h.settings.Release(); };

  Join(h.state, options);

  const ProbedTags got = ProbeTags(h.out("closed.mp3"));
  EXPECT_FALSE(got.values.contains("artist"));
  EXPECT_TRUE(got.cover.isEmpty());
}

// --- verification of outputs ---------------------------------------------------

// A writer that loses the last `drop` frames of the first buffer it is given,
// as a faulty encoder would; everything else goes to the real writer.
class FrameDroppingWriter : public IAudioFile2 {
 public:
  FrameDroppingWriter(IAudioFile2& inner, int drop) : inner_(inner), drop_(drop) {}
  void WriteSamples(const SampleBuffer& buffer) override {
    if (dropped_) return inner_.WriteSamples(buffer);
    dropped_ = true;
    const std::size_t keep = buffer.size() - std::size_t(drop_) * std::size_t(channels_);
    inner_.WriteSamples(SampleBuffer(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(keep)));
  }
  void SetPcmFormat(int sampleRate, int channels) override {
    channels_ = channels;
    inner_.SetPcmFormat(sampleRate, channels);
  }
  void OpenFile(const std::string& path, int flags, int mode) override { inner_.OpenFile(path, flags, mode); }
  void CloseFile() override { inner_.CloseFile(); }
  void CreateOutputFile(const std::string& path, int flags) override { inner_.CreateOutputFile(path, flags); }
  SampleBuffer ReadSamples(int frames) override { return inner_.ReadSamples(frames); }
  std::int64_t SeekSample(std::int64_t position, int mode) override { return inner_.SeekSample(position, mode); }
  bool CheckMp3Format(int r, int b, int c) override { return inner_.CheckMp3Format(r, b, c); }
  bool CheckOggFormat(int r, int c, int n, int mx, int mn) override { return inner_.CheckOggFormat(r, c, n, mx, mn); }
  void SetWavFormat(int r, int c, int b) override { inner_.SetWavFormat(r, c, b); }
  std::optional<WavFormatValues> WavFormat() const override { return inner_.WavFormat(); }
  void SetMp3Encoder(IAudioFile2LameEnc* encoder) override { inner_.SetMp3Encoder(encoder); }
  void SetOggFormat(int r, int c, int n, int mx, int mn, int q) override { inner_.SetOggFormat(r, c, n, mx, mn, q); }
  void SetWmaProfile(int profile) override { inner_.SetWmaProfile(profile); }
  void SetFlacFormat(int level, int bits) override { inner_.SetFlacFormat(level, bits); }
  void SetOpusFormat(int kbps, bool vbr, bool speech, int c) override { inner_.SetOpusFormat(kbps, vbr, speech, c); }
  void SetM4aFormat(bool alac, int kbps, int bits) override { inner_.SetM4aFormat(alac, kbps, bits); }
  std::int64_t LengthSamples() const override { return inner_.LengthSamples(); }
  std::int64_t DamagedFrames() const override { return inner_.DamagedFrames(); }
  bool IsOpen() const override { return inner_.IsOpen(); }
  int FrameSize() const override { return inner_.FrameSize(); }
  int DurationMs() const override { return inner_.DurationMs(); }
  int Channels() const override { return inner_.Channels(); }
  unsigned SampleRate() const override { return inner_.SampleRate(); }
  void SetInitFlag(bool on) override { inner_.SetInitFlag(on); }

 private:
  IAudioFile2& inner_;
  int drop_;
  int channels_ = 1;
  bool dropped_ = false;
};

TEST(RealJobCheck, AnOutputShorterThanWrittenFailsItsCheckAndIsReported) {
  for (const int format : {0, 1, 3}) {  // MP3, WAV, OGG: exact lengths
    SCOPED_TRACE(format);
    RealHarness h;
    FrameDroppingWriter faulty(h.writer, 1000);
    h.state.AudioFileWrite = &faulty;
    h.format.index = format;
    // Decoded sources, so every output goes through the faulty writer.
    h.AddRow(StereoMp3(), 0, 44100);
    h.AddRow(StereoMp3(), 0, 44100);  // written in full: the fault hit the first buffer only
    JobReport report;

    Cut(h.state, {{}, &report});

    EXPECT_EQ(h.list.CellText(0, kStatusCell), kCheckFailedStatus);
    EXPECT_EQ(h.list.CellText(1, kStatusCell), "Finish");
    ASSERT_EQ(report.checkFailures.size(), 1);
    EXPECT_TRUE(report.checkFailures[0].contains("43100 sample frames where 44100 were written"))
        << report.checkFailures[0].toStdString();
    EXPECT_TRUE(JobSummaryLines(report).contains(report.checkFailures[0]));
    EXPECT_FALSE(report.AllComplete());
    EXPECT_EQ(report.writtenFiles.size(), 2);  // the output is kept for the user to judge
  }
}

}  // namespace
}  // namespace snipwave::test

namespace snipwave::test {
namespace {

// One format of the window's list, its settings section and a source for it.
struct PacketCase {
  const char* name;
  int formatIndex;
  std::string_view section;
  QString source;
};

// The window's cut and join with "lossless" in the output format's section:
// the packets are copied, the output reads back at exactly the range's
// length, and the summary says the share copied.
TEST(RealPacketCopy, WindowJobsCopyPacketsWhenTheFormatsSectionSaysSo) {
  const PacketCase cases[] = {
      {"OGG", 3, sec::kOgg, ChirpFixture("window-packets.ogg", 6.0, 44100, 2, {"-c:a", "libvorbis", "-q:a", "4"})},
      {"FLAC", 4, sec::kFlac, ChirpFixture("window-packets.flac", 6.0, 44100, 2, {"-c:a", "flac", "-sample_fmt", "s16"})},
      {"OPUS", 5, sec::kOpus, ChirpFixture("window-packets.opus", 6.0, 48000, 2, {"-c:a", "libopus"})},
      {"M4A", 6, sec::kM4a, ChirpFixture("window-packets.m4a", 6.0, 44100, 2, {"-c:a", "aac"})},
  };
  for (const PacketCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (const bool join : {false, true}) {
      RealHarness h;
      h.format.index = c.formatIndex;
      h.settings.WriteBool(c.section, key::kLossless, true);
      h.AddRow(c.source, 20000, 150000);
      JobReport report;
      if (join) {
        h.dialogs.saveAnswers.push_back(h.out("mix"));
        Join(h.state, {QString(), &report});
      } else {
        Cut(h.state, {QString(), &report});
      }
      ASSERT_EQ(report.writtenFiles.size(), 1);
      EXPECT_TRUE(report.checkFailures.isEmpty()) << report.checkFailures.join('\n').toStdString();
      EXPECT_EQ(h.list.CellText(0, kStatusCell), "Finish");
      const QString share = report.writtenFiles[0] + ": ";
      EXPECT_TRUE(JobSummaryLines(report).filter(share).filter("copied byte for byte").size() == 1)
          << JobSummaryLines(report).join('\n').toStdString();
    }
  }
}

// With the frames kept ([flac] or [alac] "lossless"), a 24-bit source's
// output has 24 bits, though "bit" says 16: exactly the source's samples.
TEST(RealPacketCopy, WindowJobsKeepTheDepthOfTheSource) {
  const PacketCase cases[] = {
      {"FLAC", 4, sec::kFlac,
       ChirpFixture("window-depth24.flac", 3.0, 96000, 2, {"-c:a", "flac", "-sample_fmt", "s32"})},
      {"ALAC", 7, sec::kAlac,
       ChirpFixture("window-depth24.m4a", 3.0, 96000, 2, {"-c:a", "alac", "-sample_fmt", "s32p"})},
  };
  for (const PacketCase& c : cases) {
    SCOPED_TRACE(c.name);
    RealHarness h;
    h.format.index = c.formatIndex;
    h.settings.WriteBool(c.section, key::kLossless, true);
    h.AddRow(c.source, 20000, 150000);
    JobReport report;
    Cut(h.state, {QString(), &report});
    ASSERT_EQ(report.writtenFiles.size(), 1);
    EXPECT_EQ(h.list.CellText(0, kStatusCell), "Finish");
    const CommandResult probe = RunCommand("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                                       "stream=bits_per_raw_sample", "-of", "csv=p=0",
                                                       report.writtenFiles[0]});
    EXPECT_EQ(probe.out.trimmed(), "24");
    const std::vector<float> got = DecodeWithOwnTool(report.writtenFiles[0]);
    ASSERT_EQ(got.size(), 130000u * 2);
    EXPECT_EQ(MaxDifference(got, Frames(DecodeWithOwnTool(c.source), 2, 20000, 150000)), 0.0f);
  }
}

// One frame at 44.1 kHz makes no frame at 8 kHz: the output holds none,
// rightly, and the row ends as an empty range's does.
TEST(RealJobCheck, AnOutputThatResamplingLeavesEmptyPassesItsCheck) {
  RealHarness h;
  h.format.index = 0;  // MP3
  h.settings.WriteInteger(sec::kMp3, key::kFrequency, 1);  // 8000 Hz
  h.settings.WriteInteger(sec::kMp3, key::kBitrate, 3);    // 32 kbit/s
  h.settings.WriteInteger(sec::kMp3, key::kChannel, 0);
  h.AddRow(StereoWav(), 1000, 1001);
  h.AddRow(StereoWav(), 1000, 1000);  // the empty range, as ever
  JobReport report;
  JobOptions options{QString(), &report};
  options.replayGain = true;
  Cut(h.state, options);
  EXPECT_EQ(report.end, JobEnd::Completed);
  EXPECT_TRUE(report.checkFailures.isEmpty()) << report.checkFailures.join('\n').toStdString();
  EXPECT_TRUE(report.tagFailures.isEmpty()) << report.tagFailures.join('\n').toStdString();
  EXPECT_EQ(h.list.CellText(0, kStatusCell), "Finish");
  EXPECT_EQ(h.list.CellText(1, kStatusCell), "Finish");
  EXPECT_EQ(report.writtenFiles.size(), 2);
}

// A FLAC source cut short after it was listed: the message says where it
// ended and which range it was cut for, each labelled.
TEST(RealJobErrors, ASourceCutShortNamesWhereItEndedAndItsRange) {
  RealHarness h;
  h.format.index = 1;  // WAV
  const QString source = h.dir.file("short.flac");
  ASSERT_TRUE(QFile::copy(ChirpFixture("job-src.flac", 4.0, 44100, 2, {"-c:a", "flac"}), source));
  h.AddRow(source, 44100, -1);  // from 0:01 to its end, 0:04
  ASSERT_TRUE(QFile::resize(source, QFileInfo(source).size() / 2));
  h.reader.OpenFile(source.toStdString(), 0, 1);
  const std::int64_t length = h.reader.LengthSamples();
  h.reader.CloseFile();
  ASSERT_GT(length, 44100);
  JobReport report;
  Cut(h.state, {QString(), &report});
  const QString message = source + " ended at " + detail::PreciseTime(length, 44100, false) +
                          ", before its range (0:01.000 to 0:04.000) did: " +
                          detail::PreciseTime(length - 44100, 44100, false) + " of the range's 0:03.000 were written.";
  EXPECT_EQ(report.shortReads, QStringList{message});
  EXPECT_EQ(h.list.CellText(0, kStatusCell), "Short");
}

}  // namespace
}  // namespace snipwave::test
