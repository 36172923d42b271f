// The cut job's logic on simulated components: refusals, call order, chunks,
// progress, naming, skipped rows, abort by stop, failures and their clean-up.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "JobHarness.h"
#include "convert/CutJob.h"
#include "convert/JobEndMessage.h"

namespace snipwave::test {
namespace {

using ::testing::_;
using ::testing::ElementsAre;
using ::testing::Return;

void WriteText(const QString& path, const QByteArray& text) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text);
}
QByteArray ReadText(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(CutJob, RefusalsComeInOrderAndChangeNothing) {
  struct Case {
    bool row, playing, converting, adding;
    QStringList messages;
  };
  const QList<Case> cases = {
      {false, false, false, false, {"Please add file!"}},
      {false, true, true, false, {"Please add file!"}},
      {true, true, false, false, {"Please stop playing first."}},
      {true, true, true, false, {"Please stop playing first."}},
      {true, false, true, false, {}},
      {true, false, false, true, {}},  // an add is running: silent
  };
  for (const Case& c : cases) {
    JobHarness h;
    if (c.row) h.AddRow("a.mp3", 0, 1000);
    h.state.Playing = c.playing;
    h.state.Converting = c.converting;
    h.state.Adding = c.adding;
    h.format.enabled = !c.converting;
    JobReport report;
    Cut(h.state, {QString(), &report});
    EXPECT_EQ(h.dialogs.infoTexts(), c.messages);
    EXPECT_EQ(h.state.Converting, c.converting);
    EXPECT_EQ(h.format.enabled, !c.converting);
    EXPECT_TRUE(h.calls.isEmpty()) << h.calls.join(", ").toStdString();
    EXPECT_TRUE(h.launcher.folders.isEmpty());
    EXPECT_EQ(report.end, JobEnd::NotStarted);
    if (c.row) {
      EXPECT_EQ(h.status(0), "unconverted");
    }
  }
}

TEST(CutJob, ThreeRowsInCallOrderWithTheirOwnChunkSizes) {
  JobHarness h;
  h.format.index = 1;  // WAV
  const QString a = h.AddRow("a.mp3", 0, 44100);
  h.AddRow("b.ogg", 1000, 101000, {44100, 2, 200000});
  h.AddRow("c.wav", 0, 30000, {22050, 1, 30000});
  JobReport report;

  Cut(h.state, {QString(), &report});

  const QString folder = h.outFolder() + "/";
  // Row 0: 44100 frames of 44.1 kHz stereo in one chunk.
  const QStringList firstRow = h.calls.mid(0, 9);
  EXPECT_EQ(firstRow, (QStringList{"reader.OpenFile(" + a + ",0,1)", "reader.SeekSample(0,3)",
                                   "writer.SetPcmFormat(44100,2)", "writer.CreateOutputFile(" + folder + "Cut_a.wav,0)",
                                   "reader.ReadSamples(44100)", "writer.SetPcmFormat(44100,2)",
                                   "writer.WriteSamples(44100)", "reader.CloseFile", "writer.CloseFile"}));
  EXPECT_THAT(h.callsMatching("reader.ReadSamples"),
              ElementsAre("reader.ReadSamples(44100)", "reader.ReadSamples(88200)", "reader.ReadSamples(11800)",
                          "reader.ReadSamples(22050)", "reader.ReadSamples(7950)"));
  EXPECT_THAT(h.callsMatching("reader.SeekSample"),
              ElementsAre("reader.SeekSample(0,3)", "reader.SeekSample(1000,3)", "reader.SeekSample(0,3)"));
  EXPECT_EQ(h.simWriter.created,
            (QStringList{folder + "Cut_a.wav", folder + "Cut_b.wav", folder + "Cut_c.wav"}));
  EXPECT_THAT(h.simWriter.framesPerFile, ElementsAre(44100, 100000, 30000));
  EXPECT_EQ(report.writtenFiles, h.simWriter.created);
  EXPECT_EQ(report.end, JobEnd::Completed);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(h.status(row), "Finish");
  EXPECT_FALSE(h.state.Converting);
  EXPECT_TRUE(h.format.enabled);
  EXPECT_FALSE(h.percentVisible());
  EXPECT_EQ(h.launcher.folders, QStringList{folder});
  EXPECT_EQ(h.state.OutputFolder, folder);
  EXPECT_FALSE(h.reader.IsOpen());
  EXPECT_FALSE(h.writer.IsOpen());
}

TEST(CutJob, SecondAndThirdCutsTakeNumberedNames) {
  JobHarness h;
  h.AddRow("song.wma", 0, 1000);
  Cut(h.state);
  Cut(h.state);
  Cut(h.state);
  EXPECT_EQ(h.simWriter.created, (QStringList{h.outFile("Cut_song.mp3"), h.outFile("Cut(1)_song.mp3"),
                                              h.outFile("Cut(2)_song.mp3")}));
}

TEST(CutJob, ProgressPerChunkAndPerFile) {
  JobHarness h;
  h.AddRow("a.mp3", 0, 100000);
  h.AddRow("b.mp3", 0, 100000);
  QList<int> widths;
  QStringList texts;
  JobOptions options;
  options.afterReport = [&](int) {
    const QString text = h.percentVisible() ? h.percentText() : "hidden";
    if (!texts.isEmpty() && texts.last() == text && widths.last() == h.barWidth()) return;
    widths << h.barWidth();
    texts << text;
  };

  Cut(h.state, options);

  // 8820 of 10000 is 461 px of 523; 10000 is the full bar.
  EXPECT_THAT(widths, ElementsAre(0, 461, 523,    // row 0: start, chunk 1, chunk 2
                                  0, 461, 523));  // row 1 starts at 0 again
  EXPECT_THAT(texts, ElementsAre("hidden", "88%", "100%", "hidden", "88%", "100%"));
  EXPECT_THAT(h.callsMatching("reader.ReadSamples"),
              ElementsAre("reader.ReadSamples(88200)", "reader.ReadSamples(11800)", "reader.ReadSamples(88200)",
                          "reader.ReadSamples(11800)"));
  EXPECT_EQ(h.barWidth(), 0);
  EXPECT_FALSE(h.percentVisible());
  EXPECT_EQ(h.percentText(), "0%");
}

TEST(CutJob, StopDuringTheSecondOfThreeRows) {
  JobHarness h;
  for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) h.AddRow(name, 0, 100000);
  // Stop arrives while row 1 shows its first chunk.
  JobReport report;
  JobOptions options{QString(), &report};
  options.afterReport = [&](int) {
    if (h.status(1) == "Cutting" && h.percentVisible() && h.percentText() == "88%") options.stop.request_stop();
  };
  Cut(h.state, options);

  EXPECT_THAT(h.simWriter.framesPerFile, ElementsAre(100000, 88200));
  EXPECT_EQ(h.status(0), "Finish");
  EXPECT_EQ(h.status(1), "Finish");  // its file is kept, closed, with the frames copied
  EXPECT_TRUE(QFileInfo::exists(h.outFile("Cut_b.mp3")));
  EXPECT_EQ(h.status(2), "unconverted");
  EXPECT_FALSE(QFileInfo::exists(h.outFile("Cut_c.mp3")));
  EXPECT_EQ(report.writtenFiles, (QStringList{h.outFile("Cut_a.mp3"), h.outFile("Cut_b.mp3")}));
  EXPECT_EQ(report.end, JobEnd::Aborted);
  EXPECT_FALSE(h.state.Converting);
  EXPECT_TRUE(h.format.enabled);
  EXPECT_FALSE(h.percentVisible());
  EXPECT_EQ(h.launcher.folders.size(), 1);
  EXPECT_FALSE(h.reader.IsOpen());
  EXPECT_FALSE(h.writer.IsOpen());
}

TEST(CutJob, RowsTheJobDoesNotReachKeepTheirStatus) {
  JobHarness h;
  for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) h.AddRow(name, 0, 100000);
  Cut(h.state);
  for (int row = 0; row < 3; ++row) EXPECT_EQ(h.status(row), "Finish");

  // The second cut skips row 0 (its source is gone), is stopped in row 1 and
  // never reaches row 2: rows 0 and 2 keep the first cut's "Finish".
  QFile::remove(h.state.TrackTable[0].FilePath);
  h.state.lv->SetCellText(1, kStatusCell, "earlier");
  h.state.lv->SetCellText(2, kStatusCell, "earlier");
  JobOptions stopped;
  stopped.afterReport = [&](int) {  // before row 1's second chunk
    if (h.status(1) == "Cutting" && h.percentVisible() && h.percentText() == "88%") stopped.stop.request_stop();
  };
  Cut(h.state, stopped);
  EXPECT_EQ(h.status(0), "Finish");
  EXPECT_EQ(h.status(1), "Finish");
  EXPECT_EQ(h.status(2), "earlier");

  // A desktop that cannot open the folder is told, not ignored.
  h.launcher.folderOpens = false;
  JobReport report;
  Cut(h.state, {QString(), &report});
  EXPECT_EQ(report.folderNotOpened,
            "The folder " + h.outFolder() +
                "/ could not be opened: the desktop has no program that opens folders, or it refused.");
  // The window says nothing of it at the end: the opener's result is ignored.
  ASSERT_EQ(report.writtenFiles.size(), 2);
  EXPECT_TRUE(JobEndMessage(report).isEmpty());
}

TEST(CutJob, MissingSourceIsReportedAndTheOthersAreCut) {
  JobHarness h;
  h.AddRow("a.mp3", 0, 1000);
  const QString gone = h.AddRow("b.mp3", 0, 1000);
  h.AddRow("c.mp3", 0, 1000);
  QFile::remove(gone);
  JobReport report;
  Cut(h.state, {QString(), &report});
  EXPECT_EQ(h.dialogs.infoTexts(), QStringList{gone + " has been removed."});
  EXPECT_EQ(h.simWriter.created, (QStringList{h.outFile("Cut_a.mp3"), h.outFile("Cut_c.mp3")}));
  EXPECT_EQ(h.status(1), "unconverted");
  EXPECT_EQ(h.status(2), "Finish");
  EXPECT_EQ(report.skippedSources, QStringList{gone});
}

TEST(CutJob, RowWithNoFreeNameIsSkippedWithoutOverwritingAnything) {
  JobHarness h;
  const QString full = h.AddRow("full.mp3", 0, 1000);
  h.AddRow("free.mp3", 0, 1000);
  WriteText(h.outFile("Cut_full.mp3"), "keep");
  for (int k = 1; k <= 100; ++k) WriteText(h.outFile(QString("Cut(%1)_full.mp3").arg(k)), "keep");

  Cut(h.state);

  ASSERT_EQ(h.dialogs.infoTexts().size(), 1);
  EXPECT_TRUE(h.dialogs.infoTexts()[0].startsWith("No free output name is left for " + full));
  EXPECT_EQ(h.simWriter.created, QStringList{h.outFile("Cut_free.mp3")});
  EXPECT_EQ(ReadText(h.outFile("Cut(100)_full.mp3")), "keep");
  EXPECT_EQ(ReadText(h.outFile("Cut_full.mp3")), "keep");
  EXPECT_EQ(h.status(0), "unconverted");
  EXPECT_EQ(h.status(1), "Finish");
}

TEST(CutJob, MissingOutputFolderIsCreatedOneLevelDeep) {
  JobHarness h;
  h.AddRow("a.mp3", 0, 1000);
  const QString fresh = h.dir.file("fresh");
  h.settings.WriteString(settings::section::kFormat, settings::key::kDir, fresh);
  Cut(h.state);
  EXPECT_EQ(h.state.OutputFolder, fresh + "/");
  EXPECT_EQ(h.simWriter.created, QStringList{fresh + "/Cut_a.mp3"});
  EXPECT_EQ(h.launcher.folders, QStringList{fresh + "/"});
}

TEST(CutJob, EmptyOrMissingDirMeansTheDefaultFolder) {
  // A join whose save dialog is cancelled shows which folder the job took.
  JobHarness h;
  h.AddRow("a.mp3", 0, 1000);
  h.settings.WriteString(settings::section::kFormat, settings::key::kDir, "");
  Join(h.state);
  EXPECT_EQ(h.state.OutputFolder, DefaultOutputFolder());
  EXPECT_FALSE(DefaultOutputFolder().isEmpty());
  Join(h.state, {h.dir.file("given")});
  EXPECT_EQ(h.state.OutputFolder, h.dir.file("given"));
  TempDir other;
  SettingsStore none(other.file("Snipwave.ini"));
  h.state.SettingsFile = &none;
  Join(h.state);
  EXPECT_EQ(h.state.OutputFolder, DefaultOutputFolder());
}

TEST(CutJob, EmptyRangeWritesAnEmptyFileAndFinishes) {
  JobHarness h;
  h.AddRow("a.mp3", 500, 500, {44100, 2, 1000});
  Cut(h.state);
  EXPECT_THAT(h.simWriter.framesPerFile, ElementsAre(0));
  EXPECT_TRUE(h.callsMatching("reader.ReadSamples").isEmpty());
  EXPECT_EQ(h.status(0), "Finish");
}

TEST(CutJob, SourceEndingBeforeTheEndMarkIsReportedAndTheOutputKept) {
  JobHarness h;
  const QString a = h.AddRow("a.mp3", 0, 100000, {44100, 2, 50000});
  h.AddRow("b.mp3", 0, 1000);
  JobReport report;
  Cut(h.state, {QString(), &report});
  EXPECT_THAT(h.simWriter.framesPerFile, ElementsAre(50000, 1000));
  EXPECT_THAT(h.callsMatching("reader.ReadSamples"),
              ElementsAre("reader.ReadSamples(88200)", "reader.ReadSamples(50000)", "reader.ReadSamples(1000)"));
  const QString message = a + " ended at 0:01.134, before its range (0:00.000 to 0:02.268) did: 0:01.134 of the "
                              "range's 0:02.268 were written.";
  EXPECT_EQ(h.dialogs.infoTexts(), QStringList{message});
  EXPECT_EQ(report.shortReads, QStringList{message});
  EXPECT_FALSE(report.AllComplete());
  EXPECT_EQ(report.writtenFiles, (QStringList{h.outFile("Cut_a.mp3"), h.outFile("Cut_b.mp3")}));
  EXPECT_EQ(h.status(0), "Short");
  EXPECT_EQ(h.status(1), "Finish");
}

TEST(CutJob, FileThatAppearsUnderTheChosenNameIsNeverReplaced) {
  JobHarness h;
  h.AddRow("a.mp3", 0, 1000);
  h.simWriter.onWrite = [&](const SampleBuffer&) { WriteText(h.outFile("Cut_a.mp3"), "another program's"); };
  JobReport report;
  Cut(h.state, {QString(), &report});
  EXPECT_EQ(ReadText(h.outFile("Cut_a.mp3")), "another program's");
  EXPECT_EQ(report.writtenFiles, QStringList{h.outFile("Cut(1)_a.mp3")});
  EXPECT_TRUE(QFileInfo::exists(h.outFile("Cut(1)_a.mp3")));
  EXPECT_EQ(h.status(0), "Finish");
}

TEST(CutJob, DamagedFramesAreCountedPerSourceInTheSummary) {
  JobHarness h;
  const QString a = h.AddRow("a.mp3", 0, 1000);
  h.AddRow("b.mp3", 0, 1000);
  int asked = 0;  // once per row, before its reader is closed
  ON_CALL(h.reader, DamagedFrames()).WillByDefault([&] { return ++asked == 1 ? std::int64_t(1152) : 0; });
  JobReport report;
  Cut(h.state, {QString(), &report});
  ASSERT_EQ(report.damagedSources.size(), 1);
  EXPECT_EQ(report.damagedSources[0].first, a);
  EXPECT_EQ(JobSummaryLines(report), QStringList{"1152 damaged frames in " + a + " were replaced by silence."});
  EXPECT_TRUE(report.AllComplete());
}

TEST(CutJob, FormatTheWriterRefusesNamesTheSource) {
  JobHarness h;
  const QString a = h.AddRow("a.wav", 0, 1000, {44100, 258, 1000});
  ON_CALL(h.writer, SetPcmFormat(_, _)).WillByDefault([](int, int) {
    throw Error("Cannot take the audio written: 44100 Hz with 258 channel(s) is not a valid PCM format");
  });
  JobReport report;
  Cut(h.state, {QString(), &report});
  EXPECT_EQ(report.end, JobEnd::Failed);
  EXPECT_EQ(report.failure, a + " has audio the output cannot take (Cannot take the audio "
                                "written: 44100 Hz with 258 channel(s) is not a valid PCM format)");
  EXPECT_EQ(h.dialogs.infoTexts(), QStringList{report.failure});
  EXPECT_TRUE(QDir(h.outFolder()).isEmpty());
}

TEST(CutJob, FailureEndsTheJobAtItsRowAndClosesEverything) {
  JobHarness h;
  for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) h.AddRow(name, 0, 100000);
  int reads = 0;
  ON_CALL(h.reader, ReadSamples(_)).WillByDefault([&](int frames) -> SampleBuffer {
    if (++reads == 4) throw Error("Decoding \"b.mp3\": Invalid data found when processing input");
    return SampleBuffer(std::size_t(frames) * 2, 0.1f);
  });
  JobReport report;
  Cut(h.state, {QString(), &report});
  EXPECT_EQ(report.end, JobEnd::Failed);
  EXPECT_EQ(h.dialogs.infoTexts(), QStringList{"Decoding \"b.mp3\": Invalid data found when processing input"});
  // No row says it is being cut once the job has ended: b's file holds what
  // its source gave before failing.
  EXPECT_EQ(h.status(1), "Short");
  EXPECT_EQ(h.status(2), "unconverted");
  // What was read before the source failed is kept, complete, under its name.
  EXPECT_EQ(QDir(h.outFolder()).entryList(QDir::Files | QDir::Hidden), (QStringList{"Cut_a.mp3", "Cut_b.mp3"}));
  EXPECT_TRUE(report.cleanupFailures.isEmpty());
  EXPECT_FALSE(h.reader.IsOpen());
  EXPECT_FALSE(h.writer.IsOpen());
  EXPECT_FALSE(h.state.Converting);
  EXPECT_TRUE(h.format.enabled);
  EXPECT_FALSE(h.percentVisible());
  EXPECT_EQ(h.launcher.folders, QStringList{h.outFolder() + "/"});
  EXPECT_THAT(h.simWriter.framesPerFile, ElementsAre(100000, 88200));
}

TEST(CutJob, FailedWriteLeavesNoFileBehind) {
  JobHarness h;
  h.AddRow("a.mp3", 0, 1000);
  h.AddRow("b.mp3", 0, 1000);
  h.simWriter.onWrite = [&](const SampleBuffer&) {
    if (h.simWriter.created.size() == 2) throw Error("Cannot write \"" + h.simWriter.temporaries[1].toStdString() + "\": No space left on device");
  };
  JobReport report;
  Cut(h.state, {QString(), &report});
  // The message names the file the user knows.
  EXPECT_EQ(report.failure, "Cannot write \"" + h.outFile("Cut_b.mp3") + "\": No space left on device");
  EXPECT_EQ(QDir(h.outFolder()).entryList(QDir::Files | QDir::Hidden), QStringList{"Cut_a.mp3"});
}

TEST(CutJob, OutputFileThatCannotBeCreatedLeavesTheRowAsItWas) {
  JobHarness h;
  h.AddRow("a.mp3", 0, 1000);
  // A regular file stands where the output folder should be.
  QFile::remove(h.dir.file("blocked"));
  WriteText(h.dir.file("blocked"), "x");
  h.settings.WriteString(settings::section::kFormat, settings::key::kDir, h.dir.file("blocked"));
  JobReport report;
  Cut(h.state, {QString(), &report});
  EXPECT_EQ(report.end, JobEnd::Failed);
  EXPECT_EQ(h.status(0), "unconverted");
  EXPECT_FALSE(h.state.Converting);
  EXPECT_EQ(h.launcher.folders, QStringList{h.dir.file("blocked") + "/"});
  EXPECT_EQ(ReadText(h.dir.file("blocked")), "x");
}

TEST(CutJob, ACloseThatFailsAgainAfterAFailureIsToldAfterIt) {
  JobHarness h;
  h.AddRow("a.mp3", 0, 100000);
  ON_CALL(h.reader, ReadSamples(_)).WillByDefault([](int) -> SampleBuffer { throw Error("Decoding: broken"); });
  EXPECT_CALL(h.reader, CloseFile()).WillOnce([] { throw Error("Closing: disk full"); });
  JobReport report;
  Cut(h.state, {QString(), &report});
  EXPECT_EQ(h.dialogs.infoTexts(), (QStringList{"Decoding: broken", "Closing: disk full"}));
  EXPECT_FALSE(h.state.Converting);
  EXPECT_TRUE(h.format.enabled);
  EXPECT_EQ(h.launcher.folders, QStringList{h.outFolder() + "/"});
}

}  // namespace
}  // namespace snipwave::test
