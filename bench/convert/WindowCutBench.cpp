// The window's own cut of 10 rows with two workers against one:
//
//   window cut 10 rows of 60 s, MP3 -> MP3 128k q9, [Format] Jobs=2 vs Jobs=1   goal <= 0.65 (2 cores)
//
// The real main window runs offscreen (MainProgram on the real components,
// SDL on its dummy driver, as the window tests run it), not the synchronous
// Cut(state, options) of WindowJobs.h: the time covers the whole path of a
// click on "cut" — PrepareCut, RunCut on the window's job thread with its
// reports queued to the list and the progress display, EndJob — including
// the thread hand-over that the synchronous front end leaves out. Only the
// dialogs and the folder opener are the benchmark's own: the open dialog
// answers with the ten sources, and any message box fails the run.
//
// The settings file lives in a private SNIPWAVE_CONFIG_DIR: [Format] Dir is
// the output folder and [Format] Jobs is rewritten before every cut (the
// window reads it afresh at each start). Runs alternate 2 and 1 workers so
// both see the same load of the shared machine; best wall time of three
// each. The sources are the ones bench_cut_jobs makes (60 s MP3 made once
// with ffmpeg into $SNIPWAVE_BENCH_DIR, default a folder beside this
// executable).
//   bin/bench_window_cut
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/resource.h>

#include "BenchProcess.h"
#include "convert/CutJob.h"
#include "platform/DialogService.h"
#include "platform/HookedApplication.h"
#include "platform/Launcher.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "shell/MainProgram.h"
#include "state/TrackListView.h"

namespace {

using namespace snipwave::bench;
namespace keys = snipwave::settings;

constexpr int kRows = 10;

// The window's questions, answered without a person: the open dialog gives
// the sources, everything else is declined and every message is kept (a
// cut that ends well shows none).
class BenchDialogs final : public snipwave::IDialogService {
 public:
  QStringList openAnswer;
  QStringList messages;

  void ShowInformation(const QString& text) override { messages << text; }
  bool AskYesNo(const QString& text, snipwave::YesNoDefault) override {
    messages << text;
    return false;
  }
  QStringList GetOpenFileNames(const QList<snipwave::FileFilter>&) override { return openAnswer; }
  QString GetSaveFileName(const QString&, const snipwave::FileFilter&) override { return {}; }
  QString ChooseFolder(const QString&, bool) override { return {}; }
};

// Counts the folders a job's end would open instead of starting a file manager.
class CountingLauncher final : public snipwave::ILauncher {
 public:
  int folders = 0;
  bool OpenFolder(const QString&) override {
    ++folders;
    return true;
  }
  void OpenUrl(const QString&) override {}
  void OpenHelpFile(const QString&) override {}
};

// CPU time of this process, all its threads.
double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return snipwave::bench::CpuSeconds(usage);
}

// Lets the window's own background work (the waveform's scan of the row it
// shows) end before a timed cut: events run until a third of a second uses
// under 2 % of one core, or 60 s have passed.
void WaitUntilIdle() {
  QElapsedTimer total;
  total.start();
  while (total.elapsed() < 60000) {
    const double cpuBefore = ProcessCpuSeconds();
    QElapsedTimer slice;
    slice.start();
    while (slice.elapsed() < 333) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(5);
    }
    if (ProcessCpuSeconds() - cpuBefore < 0.333 * 0.02) return;
  }
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  snipwave::HookedApplication app(argc, argv);
  QStringList failures;
  app.SetExceptionHook([&failures](const std::exception& e) { failures << QString::fromUtf8(e.what()); });

  const BenchWorkspace workspace;  // sets SNIPWAVE_CONFIG_DIR before the window reads its settings
  const QStringList sources = MakeMinuteSources(workspace.inputs, kRows);
  if (sources.isEmpty()) return 1;
  snipwave::SettingsStore settingsFile(QString::fromUtf8(keys::kFileName.data(), keys::kFileName.size()));
  settingsFile.WriteString(keys::section::kFormat, keys::key::kDir, workspace.out);

  snipwave::MainComponents components = snipwave::MainProgram::RealComponents();
  auto dialogs = std::make_unique<BenchDialogs>();
  BenchDialogs& shown = *dialogs;
  components.Dialogs = std::move(dialogs);
  auto launcher = std::make_unique<CountingLauncher>();
  CountingLauncher& opened = *launcher;
  components.Launcher = std::move(launcher);
  snipwave::MainProgram program(std::move(components));
  snipwave::Tfm_main& window = program.fm_main();
  snipwave::MainState& state = window.State();
  window.show();
  QCoreApplication::processEvents();

  shown.openAnswer = sources;
  window.Commands().AddFiles();
  if (state.TrackCount != kRows || !failures.isEmpty() || !shown.messages.isEmpty()) {
    std::fprintf(stderr, "the window added %d of %d rows: %s\n", state.TrackCount, kRows,
                 qPrintable((failures + shown.messages).join("; ")));
    return 1;
  }

  // The wait wakes at least every 100 ms, so a job that never ends shows as one.
  QTimer wake;
  wake.start(100);
  RunResult best[2];  // [0]: 1 worker, [1]: 2 workers
  for (int run = 0; run < 6; ++run) {
    const int jobs = run % 2 == 0 ? 2 : 1;
    settingsFile.WriteInteger(keys::section::kFormat, keys::key::kJobs, jobs);
    workspace.ClearOut();
    // The last run's statuses go, so only this run's can read "Finish".
    for (int row = 0; row < kRows; ++row) state.lv->SetCellText(row, snipwave::kStatusCell, {});
    WaitUntilIdle();
    const int foldersBefore = opened.folders;
    const double cpuBefore = ProcessCpuSeconds();
    QElapsedTimer start;
    start.start();
    window.Commands().Cut();
    const QDeadlineTimer deadline(600000);
    while (state.Converting && !deadline.hasExpired())
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    RunResult result;
    result.ok = true;
    result.seconds = start.nsecsElapsed() / 1e9;
    result.cpuSeconds = ProcessCpuSeconds() - cpuBefore;

    // The cut must have done its work: every row finished, ten outputs, no
    // message, the folder opened once, nothing thrown.
    int finished = 0;
    for (int row = 0; row < kRows; ++row)
      finished += state.lv->CellText(row, snipwave::kStatusCell) == snipwave::kFinishStatus;
    const int outputs = QDir(workspace.out).entryList(QDir::Files).size();
    if (state.Converting || finished != kRows || outputs != kRows || opened.folders != foldersBefore + 1 ||
        !failures.isEmpty() || !shown.messages.isEmpty()) {
      std::fprintf(stderr, "window cut with %d workers: %s, %d rows finished, %d outputs, %s\n", jobs,
                   state.Converting ? "still running" : "ended", finished, outputs,
                   qPrintable((failures + shown.messages).join("; ")));
      return 1;
    }
    RunResult& kept = best[jobs - 1];
    if (!kept.ok || result.seconds < kept.seconds) kept = result;
  }
  workspace.ClearOut();

  std::printf("\n%d processor cores, load average %.2f; the window offscreen, best of three runs each, "
              "wall time (cores kept busy)\n",
              QThread::idealThreadCount(), LoadAverage());
  const double ratio = best[1].seconds / best[0].seconds;
  std::printf("window cut %d rows, 2 workers vs 1 (%d x %d s MP3 -> MP3 128k q9)   2 workers %7.3f s (%.2f)   "
              "1 worker %7.3f s (%.2f)   ratio %.2f (goal <= 0.65: %s)\n",
              kRows, kRows, kMinuteSeconds, best[1].seconds, best[1].Cores(), best[0].seconds, best[0].Cores(), ratio,
              ratio <= 0.65 ? "met" : "NOT met");
  return 0;
}
