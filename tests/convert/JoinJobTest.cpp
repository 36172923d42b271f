// The join job's logic on simulated components: the save dialog, names, the
// overwrite question, call order, conversion of later rows, exact ranges,
// whole-job progress, abort by stop, failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "FileContents.h"
#include "JobHarness.h"
#include "convert/CutJob.h"
#include "components/audio/WmaProfiles.h"
#include "convert/JoinJob.h"

namespace snipwave::test {
namespace {

using ::testing::_;
using ::testing::ElementsAre;

void WriteText(const QString& path, const QByteArray& text) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text);
}

TEST(JoinJob, SaveDialogStartsInTheOutputFolderWithTheFormatsOneFilter) {
  const QList<QPair<QString, QString>> filters = {
      {"MP3 files (*.mp3)", "*.mp3"}, {"WAV files (*.wav)", "*.wav"}, {"WMA files (*.wma)", "*.wma"},
      {"OGG files (*.OGG)", "*.OGG"}};
  for (int index = 0; index < 4; ++index) {
    JobHarness h;
    h.AddRow("a.mp3", 0, 1000);
    h.format.index = index;
    JobReport report;
    Join(h.state, {QString(), &report});  // cancelled: no answer scripted
    EXPECT_EQ(h.dialogs.lastSaveFolder, h.outFolder());
    EXPECT_EQ(h.dialogs.lastSaveFilter.caption, filters[index].first);
    EXPECT_EQ(h.dialogs.lastSaveFilter.patterns, filters[index].second);
    EXPECT_EQ(report.end, JobEnd::Cancelled);
    EXPECT_TRUE(h.calls.isEmpty());
    EXPECT_FALSE(h.state.Converting);
    EXPECT_TRUE(h.format.enabled);
    EXPECT_TRUE(h.launcher.folders.isEmpty());
    EXPECT_EQ(h.status(0), "unconverted");
  }
}

TEST(JoinJob, SharesTheCutsRefusals) {
  JobHarness h;
  Join(h.state);
  EXPECT_EQ(h.dialogs.infoTexts(), QStringList{"Please add file!"});
  h.AddRow("a.mp3", 0, 1000);
  h.state.Playing = true;
  Join(h.state);
  EXPECT_EQ(h.dialogs.infoTexts().last(), "Please stop playing first.");
  h.state.Playing = false;
  h.state.Adding = true;
  Join(h.state);
  EXPECT_EQ(h.dialogs.shown.size(), 2);  // no save dialog either
}

TEST(JoinJob, TypedNameTakesTheFormatsExtension) {
  for (const QString typed : {"mix", "mix.wav"}) {
    JobHarness h;
    h.AddRow("a.mp3", 0, 1000);
    h.dialogs.saveAnswers.push_back(h.outFile(typed));
    Join(h.state);
    EXPECT_EQ(h.simWriter.created, QStringList{h.outFile("mix.mp3")});
  }
}

TEST(JoinJob, TenAndFiveSecondsInCallOrderWithWholeJobProgress) {
  JobHarness h;
  const QString a = h.AddRow("a.mp3", 0, 441000, {44100, 2, 500000});
  const QString b = h.AddRow("b.mp3", 44100, 264600, {44100, 2, 500000});
  const QString chosen = h.dir.file("elsewhere/mix.mp3");
  QDir().mkdir(h.dir.file("elsewhere"));
  h.dialogs.saveAnswers.push_back(chosen);
  QList<int> widthAtWrite;
  h.simWriter.onWrite = [&](const SampleBuffer&) { widthAtWrite << h.barWidth(); };
  JobReport report;

  Join(h.state, {QString(), &report});

  EXPECT_EQ(h.calls.mid(0, 9),
            (QStringList{"reader.OpenFile(" + a + ",0,1)", "reader.CloseFile", "writer.SetPcmFormat(44100,2)",
                         "writer.SetWmaProfile(13)", "writer.CreateOutputFile(" + chosen + ",0)",
                         "writer.SetPcmFormat(44100,2)", "reader.OpenFile(" + a + ",0,1)", "reader.SeekSample(0,3)",
                         "reader.SetPcmFormat(44100,2)"}));
  EXPECT_THAT(h.callsMatching("reader.SeekSample"), ElementsAre("reader.SeekSample(0,3)", "reader.SeekSample(44100,3)"));
  EXPECT_THAT(h.callsMatching("reader.ReadSamples"),
              ElementsAre("reader.ReadSamples(88200)", "reader.ReadSamples(88200)", "reader.ReadSamples(88200)",
                          "reader.ReadSamples(88200)", "reader.ReadSamples(88200)", "reader.ReadSamples(88200)",
                          "reader.ReadSamples(88200)", "reader.ReadSamples(44100)"));
  // Exactly 15 s of frames: no read runs past a row's end mark.
  EXPECT_THAT(h.simWriter.framesPerFile, ElementsAre(661500));
  // Writer format only around the creation.
  EXPECT_EQ(h.callsMatching("writer.SetPcmFormat").size(), 2);
  // Progress counts the whole job and reaches 100 % with the last buffer only.
  ASSERT_EQ(widthAtWrite.size(), 8);
  for (int i = 1; i < widthAtWrite.size(); ++i) EXPECT_GT(widthAtWrite[i], widthAtWrite[i - 1]);
  EXPECT_EQ(widthAtWrite.last(), 523);
  EXPECT_LT(widthAtWrite[6], 523);
  EXPECT_EQ(h.status(0), "Finish");
  EXPECT_EQ(h.status(1), "Finish");
  EXPECT_FALSE(h.percentVisible());
  EXPECT_FALSE(h.state.Converting);
  EXPECT_TRUE(h.format.enabled);
  EXPECT_EQ(h.launcher.folders, QStringList{h.dir.file("elsewhere")});
  EXPECT_EQ(report.writtenFiles, QStringList{chosen});
  EXPECT_EQ(report.end, JobEnd::Completed);
}

TEST(JoinJob, LaterRowsAreConvertedToTheFirstRowsFormat) {
  JobHarness h;
  h.AddRow("mono.wav", 0, 22050, {22050, 1, 22050});
  h.AddRow("stereo.wav", 0, 88200, {44100, 2, 100000});
  h.dialogs.saveAnswers.push_back(h.outFile("mix.wav"));
  h.format.index = 1;
  QStringList percentAtWrite;
  h.simWriter.onWrite = [&](const SampleBuffer&) { percentAtWrite << h.percentText(); };

  Join(h.state);

  EXPECT_THAT(h.callsMatching("reader.SetPcmFormat"),
              ElementsAre("reader.SetPcmFormat(22050,1)", "reader.SetPcmFormat(22050,1)"));
  EXPECT_THAT(h.callsMatching("writer.SetPcmFormat"),
              ElementsAre("writer.SetPcmFormat(22050,1)", "writer.SetPcmFormat(22050,1)"));
  EXPECT_THAT(h.callsMatching("reader.ReadSamples"),
              ElementsAre("reader.ReadSamples(22050)", "reader.ReadSamples(22050)", "reader.ReadSamples(22050)"));
  // 22050 + 88200 / 2 output frames; each buffer of the second row counts twice.
  EXPECT_THAT(h.simWriter.framesPerFile, ElementsAre(22050 + 44100));
  EXPECT_EQ(percentAtWrite, (QStringList{"20%", "60%", "100%"}));
}

TEST(JoinJob, LastReadOfARowIsShortenedToItsRestAtAnyRatio) {
  JobHarness h;
  h.AddRow("first.wav", 0, 1000, {44100, 2, 1000});
  h.AddRow("at48k.wav", 0, 100000, {48000, 2, 200000});
  h.dialogs.saveAnswers.push_back(h.outFile("mix.wav"));
  Join(h.state);
  // 100000 frames at 48 kHz are 91875 frames at 44.1 kHz.
  EXPECT_THAT(h.callsMatching("reader.ReadSamples"),
              ElementsAre("reader.ReadSamples(1000)", "reader.ReadSamples(88200)", "reader.ReadSamples(3675)"));
  EXPECT_THAT(h.simWriter.framesPerFile, ElementsAre(1000 + 91875));
}

TEST(JoinJob, ExistingFileIsReplacedOnlyAfterYes) {
  JobHarness h;
  h.AddRow("a.mp3", 0, 1000);
  const QString target = h.outFile("mix.mp3");
  WriteText(target, "old");
  QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::ReadGroup);

  h.dialogs.saveAnswers.push_back(target);
  h.dialogs.yesNoAnswers.push_back(false);
  JobReport report;
  Join(h.state, {QString(), &report});
  EXPECT_EQ(h.dialogs.shown.last().kind, "yesno");
  EXPECT_EQ(h.dialogs.shown.last().text, "File has existed. Overwrite?");
  EXPECT_EQ(h.dialogs.shown.last().defaultButton, YesNoDefault::No);  // Enter keeps the file
  EXPECT_EQ(report.end, JobEnd::Cancelled);
  EXPECT_TRUE(h.simWriter.created.isEmpty());
  EXPECT_TRUE(h.callsMatching("reader.").isEmpty());
  EXPECT_FALSE(h.state.Converting);
  EXPECT_TRUE(h.format.enabled);
  EXPECT_FALSE(QFile::permissions(target) & QFileDevice::WriteOwner);
  EXPECT_EQ(h.status(0), "unconverted");

  h.dialogs.saveAnswers.push_back(target);
  h.dialogs.yesNoAnswers.push_back(true);
  Join(h.state, {QString(), &report});
  EXPECT_TRUE(QFile::permissions(target) & QFileDevice::WriteOwner);
  EXPECT_EQ(h.simWriter.created, QStringList{target});
  EXPECT_EQ(report.end, JobEnd::Completed);
}

TEST(JoinJob, NeverReplacesOneOfItsOwnSourcesUnderAnyName) {
  // The source itself, a hard link and a symbolic link to it: the same file.
  for (const char* how : {"same", "hard", "symbolic"}) {
    SCOPED_TRACE(how);
    JobHarness h;
    const QString a = h.AddRow("a.mp3", 0, 1000);
    h.AddRow("b.mp3", 0, 1000);
    WriteText(a, "source");
    QString target = a;
    if (QString(how) != "same") {
      target = h.outFile("mix.mp3");
      const QByteArray from = a.toUtf8(), to = target.toUtf8();
      ASSERT_EQ(QString(how) == "hard" ? ::link(from, to) : ::symlink(from, to), 0);
    }
    h.dialogs.saveAnswers.push_back(target);
    h.dialogs.yesNoAnswers.push_back(true);
    JobReport report;
    Join(h.state, {QString(), &report});
    ASSERT_EQ(h.dialogs.infoTexts().size(), 1);
    EXPECT_TRUE(h.dialogs.infoTexts()[0].startsWith(target + " is one of the files to join"));
    if (target != a) EXPECT_TRUE(h.dialogs.infoTexts()[0].contains(a)) << h.dialogs.infoTexts()[0].toStdString();
    EXPECT_EQ(report.end, JobEnd::Refused);
    EXPECT_TRUE(h.simWriter.created.isEmpty());
    EXPECT_EQ(ReadAll(a), "source");
    EXPECT_FALSE(h.state.Converting);
    EXPECT_TRUE(h.format.enabled);
  }
}

TEST(JoinJob, WmaJoinUsesProfile13WhileACutUsesTheStoredOne) {
  JobHarness h;
  h.AddRow("a.mp3", 0, 1000);
  h.format.index = 2;
  h.settings.WriteInteger(settings::section::kWma, settings::key::kFormat, 0);
  h.dialogs.saveAnswers.push_back(h.outFile("mix"));
  Join(h.state);
  const qsizetype created = h.calls.indexOf("writer.CreateOutputFile(" + h.outFile("mix.wma") + ",0)");
  ASSERT_GE(created, 0);
  EXPECT_EQ(h.callsMatching("writer.SetWmaProfile"),
            (QStringList{"writer.SetWmaProfile(1)", "writer.SetWmaProfile(13)"}));
  EXPECT_LT(h.calls.indexOf("writer.SetWmaProfile(13)"), created);

  h.calls.clear();
  Cut(h.state);
  EXPECT_EQ(h.callsMatching("writer.SetWmaProfile"), QStringList{"writer.SetWmaProfile(1)"});

  // A stored profile the encoder cannot write refuses a cut, never a join.
  int unwritable = 1;
  while (audio::WmaProfileByNumber(unwritable).unsupportedReason.empty()) ++unwritable;
  h.settings.WriteInteger(settings::section::kWma, settings::key::kFormat, unwritable - 1);
  h.calls.clear();
  h.dialogs.saveAnswers.push_back(h.outFile("mix2"));
  JobReport joined;
  Join(h.state, {QString(), &joined});
  EXPECT_EQ(joined.end, JobEnd::Completed);
  EXPECT_EQ(h.callsMatching("writer.SetWmaProfile").last(), "writer.SetWmaProfile(13)");
  JobReport cut;
  Cut(h.state, {QString(), &cut});
  EXPECT_EQ(cut.end, JobEnd::Refused);
}

TEST(JoinJob, StopDuringTheSecondOfThreeRowsKeepsWhatWasWritten) {
  JobHarness h;
  for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) h.AddRow(name, 0, 100000);
  h.dialogs.saveAnswers.push_back(h.outFile("mix.mp3"));
  // Stop once row 1 has read its first chunk (188200 of 300000 frames).
  JobReport report;
  JobOptions options{QString(), &report};
  options.afterReport = [&](int) {
    if (h.status(1) == "Joining" && h.percentText() == "62%") options.stop.request_stop();
  };
  Join(h.state, options);
  EXPECT_THAT(h.simWriter.framesPerFile, ElementsAre(100000 + 88200));
  EXPECT_EQ(h.status(0), "Finish");
  EXPECT_EQ(h.status(1), "Finish");  // stopped, and its part of the file is complete
  EXPECT_EQ(report.writtenFiles, QStringList{h.outFile("mix.mp3")});
  EXPECT_EQ(h.status(2), "unconverted");
  EXPECT_EQ(report.end, JobEnd::Aborted);
  EXPECT_FALSE(h.writer.IsOpen());
  EXPECT_FALSE(h.reader.IsOpen());
  EXPECT_FALSE(h.state.Converting);
  EXPECT_TRUE(h.format.enabled);
  EXPECT_FALSE(h.percentVisible());
  EXPECT_EQ(h.launcher.folders, QStringList{h.outFolder()});
}

TEST(JoinJob, SourceEndingBeforeItsRangeIsReportedAndTheJoinGoesOn) {
  JobHarness h;
  const QString a = h.AddRow("a.mp3", 0, 100000, {44100, 2, 50000});
  h.AddRow("b.mp3", 0, 1000);
  h.dialogs.saveAnswers.push_back(h.outFile("mix.mp3"));
  JobReport report;
  Join(h.state, {QString(), &report});
  const QString message = a + " ended at 0:01.134, before its range (0:00.000 to 0:02.268) did: 0:01.134 of the "
                              "range's 0:02.268 were written.";
  EXPECT_EQ(h.dialogs.infoTexts(), QStringList{message});
  EXPECT_EQ(report.shortReads, QStringList{message});
  EXPECT_EQ(h.status(0), "Short");
  EXPECT_EQ(h.status(1), "Finish");
  EXPECT_THAT(h.simWriter.framesPerFile, ElementsAre(51000));
  EXPECT_EQ(report.writtenFiles, QStringList{h.outFile("mix.mp3")});
}

TEST(JoinJob, UnreadableSourceEndsTheJobAndOpensTheSettingsFolder) {
  JobHarness h;
  h.AddRow("a.mp3", 0, 100000);
  const QString bad = h.AddRow("b.mp3", 0, 100000);
  h.sources.erase(bad);  // exists, but the reader cannot open it
  QDir().mkdir(h.dir.file("elsewhere"));
  h.dialogs.saveAnswers.push_back(h.dir.file("elsewhere/mix.mp3"));
  JobReport report;
  Join(h.state, {QString(), &report});
  EXPECT_EQ(report.end, JobEnd::Failed);
  EXPECT_EQ(h.dialogs.infoTexts(), QStringList{report.failure});
  EXPECT_EQ(h.status(0), "Finish");
  EXPECT_EQ(h.status(1), "unconverted");  // nothing of it is in the output
  // The rows joined so far are kept, complete, under the chosen name.
  EXPECT_FALSE(h.writer.IsOpen());
  EXPECT_TRUE(QFileInfo::exists(h.dir.file("elsewhere/mix.mp3")));
  EXPECT_THAT(h.simWriter.framesPerFile, ElementsAre(100000));
  EXPECT_FALSE(h.state.Converting);
  EXPECT_TRUE(h.format.enabled);
  EXPECT_EQ(h.launcher.folders, QStringList{h.outFolder()});
}

TEST(JoinJob, FailedWriteLeavesNoFileAndEveryRowAsItWas) {
  JobHarness h;
  h.AddRow("a.mp3", 0, 100000);
  h.AddRow("b.mp3", 0, 100000);
  h.list.SetCellText(0, kStatusCell, "Short");  // from an earlier job
  int writes = 0;
  h.simWriter.onWrite = [&](const SampleBuffer&) {
    if (++writes == 3) throw Error("Cannot write: No space left on device");
  };
  h.dialogs.saveAnswers.push_back(h.outFile("mix.mp3"));
  JobReport report;
  Join(h.state, {QString(), &report});
  EXPECT_EQ(report.end, JobEnd::Failed);
  EXPECT_EQ(h.status(0), "Short");
  EXPECT_EQ(h.status(1), "unconverted");
  EXPECT_TRUE(QDir(h.outFolder()).isEmpty());
}

TEST(JoinJob, UnreadableFirstSourceFailsBeforeAnythingIsWritten) {
  JobHarness h;
  const QString bad = h.AddRow("a.mp3", 0, 1000);
  h.sources.erase(bad);
  h.dialogs.saveAnswers.push_back(h.outFile("mix.mp3"));
  JobReport report;
  Join(h.state, {QString(), &report});
  EXPECT_EQ(report.end, JobEnd::Failed);
  EXPECT_TRUE(h.simWriter.created.isEmpty());
  EXPECT_FALSE(h.state.Converting);
  EXPECT_FALSE(QFileInfo::exists(h.outFile("mix.mp3")));
}

}  // namespace
}  // namespace snipwave::test
