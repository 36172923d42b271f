#pragma once

#include <QString>
#include <csignal>
#include <vector>

#include "platform/DialogService.h"
#include "platform/Launcher.h"
#include "platform/MessagePump.h"
#include "state/TrackListView.h"

namespace snipwave {

struct MainState;

// The parts of the main window a job talks to, for a run without a window.

// Messages go to stderr. The overwrite question is answered Yes by --yes,
// else asked on the terminal, else (no terminal) answered No. The save
// dialog answers with the path given on the command line.
class ConsoleDialogs final : public IDialogService {
 public:
  ConsoleDialogs(bool assumeYes, QString savePath) : assumeYes_(assumeYes), savePath_(std::move(savePath)) {}
  void ShowInformation(const QString& text) override;
  bool AskYesNo(const QString& text, YesNoDefault defaultButton = YesNoDefault::Yes) override;
  QStringList GetOpenFileNames(const QList<FileFilter>&) override { return {}; }
  QString GetSaveFileName(const QString&, const FileFilter&) override { return savePath_; }
  QString ChooseFolder(const QString&, bool) override { return {}; }

 private:
  bool assumeYes_;
  QString savePath_;
};

// A command-line run opens no file manager or browser: the written paths are
// printed instead.
class ConsoleLauncher final : public ILauncher {
 public:
  bool OpenFolder(const QString&) override { return true; }
  void OpenUrl(const QString&) override {}
  void OpenHelpFile(const QString&) override {}
};

// The list as plain rows in memory (the jobs write the status cells).
class MemoryTrackList final : public ITrackListView {
 public:
  int RowCount() const override { return static_cast<int>(rows_.size()); }
  int SelectedRow() const override { return selected_; }
  void SelectRow(int row) override;
  void DeselectRow(int row) override;
  void AppendRow(const TrackRowTexts& texts) override { rows_.push_back(texts); }
  void DeleteRow(int row) override;
  void DeleteAllRows() override;
  TrackRowTexts RowTexts(int row) const override { return rows_.at(static_cast<std::size_t>(row)); }
  void SetRowTexts(int row, const TrackRowTexts& texts) override { rows_.at(static_cast<std::size_t>(row)) = texts; }
  QString CellText(int row, TrackCell cell) const override { return RowTexts(row).cells[cell]; }
  void SetCellText(int row, TrackCell cell, const QString& text) override;

 private:
  std::vector<TrackRowTexts> rows_;
  int selected_ = -1;
};

class FixedFormatChoice final : public IFormatChooser {
 public:
  explicit FixedFormatChoice(int index) : index_(index) {}
  int ItemIndex() const override { return index_; }
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  bool IsEnabled() const override { return enabled_; }

 private:
  int index_;
  bool enabled_ = true;
};

// The job's message points: Ctrl+C (SIGINT), SIGTERM and SIGHUP stop the job
// there, as the stop command does in the window: the file being written is
// completed and given its name. The signals are caught while the object
// lives; a second one is left to the default handler, so it still ends a run
// that no longer reaches the pump.
class InterruptPump final : public IMessagePump {
 public:
  explicit InterruptPump(MainState& state);
  ~InterruptPump() override;
  void ProcessPendingMessages() override;
  bool Interrupted() const { return StopSignal() != 0; }
  // The signal that asked the job to stop, 0 when none did.
  int StopSignal() const;

 private:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
  MainState& state_;
  struct sigaction previous_[3] {};
};

}  // namespace snipwave
