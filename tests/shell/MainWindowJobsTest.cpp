// Jobs of the real window, which run on a thread of their own: what the user
// does meanwhile (dialogs, the list, closing the window) and what a parallel
// cut gives against one row at a time.
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include "Commands.h"
#include "MainWindowFixture.h"
#include "settings/SettingsKeys.h"
#include "shell/FormatChooser.h"
#include "shell/WindowJobs.h"
#include "tracks/TrackListWidget.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {

namespace sec = settings::section;
namespace key = settings::key;

// Thirty seconds of a stereo sweep made by sox: a few seconds of work to encode
// sixteen times.
QString LongWav() {
  return ToolFixture("jobs-long.wav", "sox", [](const QString& out) {
    return QStringList{"-n", "-r", "44100", "-c", "2", "-b", "16", out, "synth", "30", "sine", "200:4000", "gain", "-6"};
  });
}

// An MP3 made by lame from `wav`, tagged with an artist.
QString TaggedMp3(const QString& name, const QString& wav) {
  return ToolFixture(name, "lame", [wav](const QString& out) {
    return QStringList{"--quiet", "-b", "128", "--ta", "Artist", "--tt", "Song", wav, out};
  });
}

QStringList FilesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

class MainWindowJobs : public MainWindowFixture {
 protected:
  SettingsStore& Settings() { return *state().SettingsFile; }

  // Lists `paths` through the add command (whole files) and picks a format.
  void AddRows(const QStringList& paths, int format) {
    dialogs->openAnswers.push_back(paths);
    Click("add");
    ASSERT_EQ(state().lv->RowCount(), paths.size());
    window().cm_Format->setCurrentIndex(format);
  }

  QStringList Statuses() {
    QStringList texts;
    for (int row = 0; row < state().lv->RowCount(); ++row) texts << state().lv->CellText(row, kStatusCell);
    return texts;
  }

  // Everything the window shows of a running job.
  QString JobView() {
    return Statuses().join('|') + "|" + Shown(state().showpos).text + "|" +
           QString::number(Shown(state().pospb).rect.width());
  }

  // Opens a modal dialog with `open` and closes it from its own event loop
  // once the job view has changed since the dialog came up (or after two
  // minutes). True when the job advanced while the dialog was up.
  bool JobAdvancesUnder(const std::function<void()>& open, QString& title) {
    bool advanced = false;
    QString before;
    QElapsedTimer shown;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      if (!shown.isValid()) {
        before = JobView();
        title = dialog->windowTitle();
        shown.start();
        return;
      }
      advanced = JobView() != before;
      if (advanced || shown.elapsed() > 120000) dialog->reject();
    });
    poll.start();
    open();
    return advanced;
  }
};

TEST_F(MainWindowJobs, DialogsOpenedDuringACutDoNotStallItAndTheListStaysResponsive) {
  TempDir out;
  Settings().WriteString(sec::kFormat, key::kDir, out.path());
  AddRows(QStringList(16, LongWav()), 0);  // MP3: more rows than the list shows
  const QString before = JobView();

  Click("cut");
  ASSERT_TRUE(state().Converting);
  QString title;
  EXPECT_TRUE(JobAdvancesUnder([&] { Click("set"); }, title));
  EXPECT_EQ(title, "Settings");
  ASSERT_TRUE(state().Converting);
  EXPECT_TRUE(JobAdvancesUnder([&] { TriggerMenuItem("About1"); }, title));
  EXPECT_EQ(title, "About");

  // The list takes a click and scrolls while the rows are being cut.
  ASSERT_TRUE(state().Converting);
  TrackListWidget* list = window().lv;
  const QRect row = list->visualItemRect(list->topLevelItem(3));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
  EXPECT_EQ(list->SelectedRow(), 3);
  QScrollBar* bar = list->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 0) << "every row fits the list: nothing to scroll";
  const QPoint at = list->viewport()->rect().center();
  QWheelEvent wheel(at, list->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(list->viewport(), &wheel);
  EXPECT_GT(bar->value(), 0);
  EXPECT_TRUE(state().Converting);

  WaitForJob();
  EXPECT_NE(JobView(), before);
  EXPECT_EQ(Statuses(), QStringList(16, "Finish"));
  EXPECT_TRUE(dialogs->infoTexts().isEmpty()) << dialogs->infoTexts().join('\n').toStdString();
  const QStringList files = FilesIn(out.path());
  ASSERT_EQ(files.size(), 16) << files.join(' ').toStdString();
  // Every file read back at its length by the cut itself ("Finish"); the
  // first, a middle and the last decoded here.
  const std::size_t frames = DecodeWithFfmpeg(LongWav()).size() / 2;
  for (const QString& file : {files.first(), files[8], files.last()}) {
    SCOPED_TRACE(file.toStdString());
    EXPECT_NEAR(double(DecodeWithFfmpeg(out.file(file)).size() / 2), double(frames), 1.0);
  }
}

TEST_F(MainWindowJobs, ClosingTheWindowMidJoinKeepsAValidFileAndTheTagChoiceOfItsStart) {
  TempDir out;
  Settings().WriteString(sec::kFormat, key::kDir, out.path());
  Settings().WriteBool(sec::kFormat, key::kKeepTags, false);
  const QString a = TaggedMp3("jobs-tagged-a.mp3", LongWav());
  const QString b = TaggedMp3("jobs-tagged-b.mp3", ChirpFixture("jobs-tagged-b.wav", 20.0, 44100, 2));
  AddRows({a, b}, 0);  // MP3
  dialogs->saveAnswers.push_back(out.file("mix"));

  Click("combine");
  ASSERT_TRUE(state().Converting);
  // The user turns tags on while the join runs: it keeps the choice it started with.
  Settings().WriteBool(sec::kFormat, key::kKeepTags, true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Shown(state().pospb).rect.width() > 0; }, 120000));
  ASSERT_TRUE(state().Converting) << "the join ended before the window was closed";
  window().close();
  EXPECT_FALSE(state().Converting);
  EXPECT_FALSE(window().isVisible());

  // The joined file alone, under its name, and valid as far as it goes.
  ASSERT_EQ(FilesIn(out.path()), QStringList{"mix.mp3"});
  const QString joined = out.file("mix.mp3");
  const std::vector<float> got = DecodeWithFfmpeg(joined);
  const std::vector<float> source = DecodeWithFfmpeg(a);
  ASSERT_GT(got.size(), 2u * 44100u / 2);
  ASSERT_LT(got.size(), source.size());
  EXPECT_GT(Correlation(got, std::vector<float>(source.begin(), source.begin() + std::ptrdiff_t(got.size()))), 0.99);
  const CommandResult mpg123 = RunCommand("mpg123", {"--gapless", "-q", "-s", joined});
  EXPECT_EQ(mpg123.exitCode, 0);
  EXPECT_EQ(std::size_t(mpg123.out.size()) / 2, got.size()) << "the stream's own length is what was written";
  const CommandResult tags =
      RunCommand("ffprobe", {"-v", "error", "-show_entries", "format_tags=artist", "-of", "csv=p=0", joined});
  EXPECT_EQ(tags.exitCode, 0);
  EXPECT_EQ(tags.out.trimmed(), "") << "no artist tag";
}

TEST_F(MainWindowJobs, AParallelCutGivesTheFilesAndStatusesOfOneRowAtATime) {
  TempDir sources;
  const QString gone = sources.file("gone.wav");
  ASSERT_TRUE(QFile::copy(ChirpFixture("jobs-short.wav", 1.0, 44100, 2), gone));
  const QString shortWav = ChirpFixture("jobs-short.wav", 1.0, 44100, 2);
  const QString mp3 = TaggedMp3("jobs-tagged-short.mp3", ChirpFixture("jobs-mp3.wav", 3.0, 44100, 2));
  AddRows({LongWav(), shortWav, gone, mp3, shortWav}, 0);  // MP3
  ASSERT_TRUE(QFile::remove(gone));

  struct Run {
    QStringList files, statuses, messages;
    std::vector<std::vector<float>> decoded;
  };
  const auto cut = [&](int jobs, const TempDir& out) {
    Settings().WriteString(sec::kFormat, key::kDir, out.path());
    Settings().WriteInteger(sec::kFormat, key::kJobs, jobs);
    dialogs->shown.clear();
    Click("cut");
    WaitForJob();
    Run run{FilesIn(out.path()), Statuses(), dialogs->infoTexts(), {}};
    for (const QString& file : run.files) run.decoded.push_back(DecodeWithFfmpeg(out.file(file)));
    return run;
  };
  TempDir serialOut, parallelOut;
  const Run serial = cut(1, serialOut);
  ASSERT_EQ(serial.files.size(), 4) << serial.files.join(' ').toStdString();
  EXPECT_EQ(serial.statuses[0], "Finish");
  ASSERT_EQ(serial.messages.size(), 1);
  EXPECT_TRUE(serial.messages[0].contains(gone)) << serial.messages[0].toStdString();
  // Every status again from the start, so that the second cut shows its own.
  for (int row = 0; row < state().lv->RowCount(); ++row) state().lv->SetCellText(row, kStatusCell, "unconverted");

  const Run parallel = cut(2, parallelOut);
  EXPECT_EQ(parallel.files, serial.files);
  EXPECT_EQ(parallel.statuses, serial.statuses);
  EXPECT_EQ(parallel.messages, serial.messages);
  EXPECT_TRUE(parallel.decoded == serial.decoded) << "the same samples in every file";
}

TEST_F(MainWindowJobs, StopDuringTheSecondOfThreeRowsCutAtOnceEndsAsOneRowAtATimeWould) {
  TempDir out;
  Settings().WriteString(sec::kFormat, key::kDir, out.path());
  Settings().WriteInteger(sec::kFormat, key::kJobs, 2);  // the default on two cores
  const QString shortWav = ChirpFixture("jobs-short.wav", 1.0, 44100, 2);
  const QString longMp3 =
      ChirpFixture("cli-ten-minutes.mp3", 600.0, 22050, 1, {"-c:a", "libmp3lame", "-b:a", "32k"});
  AddRows({shortWav, longMp3, longMp3}, 0);  // MP3
  // Outputs being written: temporary files holding audio past their start.
  const auto writing = [&] {
    int files = 0;
    for (const QFileInfo& f : QDir(out.path()).entryInfoList(QDir::Files | QDir::Hidden))
      files += f.fileName().contains(".snipwave-") && f.size() > 65536;
    return files;
  };

  Click("cut");
  // Stopped while the second row is the one cut and the third is written too.
  ASSERT_TRUE(QTest::qWaitFor([&] { return Statuses()[1] == "Cutting" && writing() == 2; }, 120000));
  Click("stop");
  WaitForJob();

  EXPECT_EQ(Statuses(), (QStringList{"Finish", "Finish", "unconverted"}));
  const QString longOut = "Cut_" + QFileInfo(longMp3).completeBaseName() + ".mp3";
  EXPECT_EQ(FilesIn(out.path()), (QStringList{longOut, "Cut_" + QFileInfo(shortWav).completeBaseName() + ".mp3"}));
  const std::size_t frames = DecodeWithFfmpeg(out.file(longOut)).size() / 2;
  EXPECT_GT(frames, 0u);
  EXPECT_LT(frames, 600u * 44100u / 2);
  EXPECT_TRUE(dialogs->infoTexts().isEmpty()) << dialogs->infoTexts().join('\n').toStdString();
}

// A job whose settings set nothing for the encoder's VBR ("enable vbr" other
// than 0 and 1, edited by hand) or the WAV format (mode "best suited") leaves
// what the window's last job set: the next job's files are made with it.
TEST_F(MainWindowJobs, WhatTheSettingsLeaveUnsetStaysAsTheLastJobSetIt) {
  const QString source = ChirpFixture("jobs-mp3.wav", 3.0, 44100, 2);
  const auto bytes = [](const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  };
  const auto isVbr = [&](const QString& path) { return bytes(path).contains("Xing"); };  // CBR: "Info"
  const auto wavFormat = [](const QString& path) {
    const CommandResult probe = RunCommand("ffprobe", {"-v", "error", "-show_entries", "stream=sample_rate,channels,"
                                                       "bits_per_sample", "-of", "csv=p=0", path});
    return QString::fromUtf8(probe.out.trimmed());
  };
  struct Case {
    int format;
    std::vector<std::tuple<std::string_view, std::string_view, int>> first, then;  // section, key, value
    std::function<QString(const QString&)> made;
    QString expected;
  };
  const QList<Case> cases = {
      {0, {{sec::kMp3, key::kEnableVbr, 1}, {sec::kMp3, key::kVbrQuality, 0}}, {{sec::kMp3, key::kEnableVbr, 2}},
       [&](const QString& file) { return isVbr(file) ? "VBR" : bytes(file).contains("Info") ? "CBR" : "?"; }, "VBR"},
      {1, {{sec::kWav, key::kMode, 2}, {sec::kWav, key::kFrequency, 2}, {sec::kWav, key::kChannel, 0},
           {sec::kWav, key::kBit, 0}},
       {{sec::kWav, key::kMode, 1}}, wavFormat, "11025,1,8"},
  };
  AddRows({source}, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.toStdString());
    window().cm_Format->setCurrentIndex(c.format);
    QStringList made;
    for (const auto* settings : {&c.first, &c.then}) {
      TempDir out;
      Settings().WriteString(sec::kFormat, key::kDir, out.path());
      for (const auto& [section, name, value] : *settings) Settings().WriteInteger(section, name, value);
      Click("cut");
      WaitForJob();
      ASSERT_EQ(FilesIn(out.path()).size(), 1);
      made << c.made(out.file(FilesIn(out.path())[0]));
    }
    EXPECT_EQ(made.join(" then ").toStdString(), (c.expected + " then " + c.expected).toStdString());
  }
}

// Ctrl+click on the given rows of the list: an extended selection made as the user makes it.
void CtrlClickRows(TrackListWidget* list, std::initializer_list<int> rows) {
  for (int row : rows) {
    const QRect rect = list->visualItemRect(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, rect.center());
  }
}

TEST_F(MainWindowJobs, CuttingSelectedRowsWritesOnlyThoseNamedByTheTemplateWithTheirStatuses) {
  AddRows({ChirpFixture("sel-a.wav", 0.5, 44100, 2), ChirpFixture("sel-b.wav", 0.5, 44100, 2),
           ChirpFixture("sel-c.wav", 0.5, 44100, 2)},
          1);  // WAV
  TempDir out;
  Settings().WriteString(sec::kFormat, key::kDir, out.path());
  Settings().WriteString(sec::kFormat, key::kNameTemplate, "{n:2} {name}");
  state().lv->SelectRow(0);
  CtrlClickRows(window().lv, {2});
  ASSERT_EQ(state().lv->SelectedRows(), (std::vector<int>{0, 2}));
  QTest::keyClick(window().lv, Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
  WaitForJob();
  const auto name = [&](int row) { return QFileInfo(state().TrackTable[row].FilePath).completeBaseName(); };
  EXPECT_EQ(FilesIn(out.path()), (QStringList{"01 " + name(0) + ".wav", "03 " + name(2) + ".wav"}));
  EXPECT_EQ(Statuses(), (QStringList{"Finish", "unconverted", "Finish"}));
  EXPECT_EQ(DecodeWithFfmpeg(out.file("03 " + name(2) + ".wav")), DecodeWithFfmpeg(state().TrackTable[2].FilePath));

  // No row selected: refused with a message, nothing written.
  state().lv->DeselectRow(0);
  state().lv->DeselectRow(2);
  dialogs->shown.clear();
  TriggerMenuItem("CutSelected1");
  EXPECT_EQ(dialogs->infoTexts(), QStringList{kPleaseSelectRows});
  EXPECT_EQ(FilesIn(out.path()).size(), 2);
}

TEST_F(MainWindowJobs, DeleteRemovesEverySelectedRowAndItsRecord) {
  const QString a = ChirpFixture("sel-a.wav", 0.5, 44100, 2), b = ChirpFixture("sel-b.wav", 0.5, 44100, 2),
                c = ChirpFixture("sel-c.wav", 0.5, 44100, 2), d = ChirpFixture("sel-d.wav", 0.5, 44100, 2);
  AddRows({a, b, c, d}, 1);
  state().lv->SelectRow(0);
  CtrlClickRows(window().lv, {2});
  QTest::keyClick(window().lv, Qt::Key_Delete);
  ASSERT_EQ(state().TrackCount, 2);
  EXPECT_EQ(state().TrackTable[0].FilePath, b);
  EXPECT_EQ(state().TrackTable[1].FilePath, d);
  EXPECT_EQ(state().lv->RowTexts(1).caption, QFileInfo(d).fileName());
  EXPECT_EQ(state().lv->SelectedRows(), std::vector<int>{0});  // the row in the first removed one's place
}

}  // namespace
