#pragma once

#include <QStringList>
#include <QWidget>
#include <exception>
#include <memory>

#include "shell/CommandDispatch.h"
#include "shell/MainCommands.h"
#include "shell/JobThread.h"
#include "shell/MainComponents.h"
#include "shell/WindowJobs.h"
#include "state/MainState.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;

namespace snipwave {

class FormatChooser;
struct JobOptions;
class ListHistory;
class ListFileCommands;
class MainKeys;
class PeakCache;
class RangeLoudness;
class PositionMoves;
class PreviewPlayer;
class RangeMarking;
class RangePlayback;
class SilenceSplitCommand;
class TrackListCommands;
class SheetCommands;
class TrackListWidget;
class TypedMarks;
class WaveformView;

// The main window: owns the components, the settings store and the shared
// state; runs the start-up, the application's exception and help hooks, the
// popup menus and the dispatch of skin clicks. The features' operations are
// plugged in through Commands().
class Tfm_main final : public QWidget {
 public:
  explicit Tfm_main(MainComponents components, QWidget* parent = nullptr);
  ~Tfm_main() override;

  MainState& State() { return state_; }
  MainCommands& Commands() { return commands_; }
  ISkin& Skin1() { return *components_.Skin1; }
  IDialogService& Dialogs() { return *components_.Dialogs; }
  ILauncher& Launcher() { return *components_.Launcher; }

  // Start-up, run once when the window is first shown. A failure (the skin
  // above all) goes to the exception hook and ends the start-up there.
  void FormShow();
  bool StartupDone() const { return startupDone_; }
  // Close: releases the settings store; never refused.
  void FormCloseQuery();

  // The application-wide hooks.
  void ApplicationEvents1Exception(const std::exception& e);
  void ApplicationEvents1HelpKey();
  QString HelpFilePath() const;

  // Skin and menu handlers.
  void Skin1Click(ISkinObject& source);
  void Content1Click();
  void Visitourweb1Click();
  void Exit2Click();
  void HelpMenuClick();  // "help": PopupMenu3 just below its button
  void FileMenuClick();  // "file": PopupMenu2 just below its button
  void EditMenuClick();  // "edit": EditMenu just below its button

  // Controls of the window.
  FormatChooser* cm_Format = nullptr;
  QLineEdit* Edt_dir = nullptr;
  TrackListWidget* lv = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QLabel* Image1 = nullptr;
  QMenu* PopupMenu1 = nullptr;  // the list's context menu
  QMenu* PopupMenu2 = nullptr;  // the file menu
  QMenu* PopupMenu3 = nullptr;  // the help menu
  QMenu* EditMenu = nullptr;    // undo and redo
  WaveformView* waveform = nullptr;  // placed on the skin's "wave" object
  QAction* FindMenuItem(const QString& name) const;
  TypedMarks& TypedMarkEditor() { return *typedMarks_; }
  SilenceSplitCommand& SilenceSplits() { return *silenceSplits_; }
  ListFileCommands& ListFiles() { return *listFiles_; }
  // `snipwave FILE...`: files as add files adds them, folders as add folder.
  void AddFromCommandLine(const QStringList& paths);
  // Shows the selected (or previewed) row in the waveform at once.
  void RefreshWaveform();
  const CommandDispatch& Dispatch() const { return dispatch_; }
  // Every edit of the list and its marks, for undo and redo.
  ListHistory& History() { return *history_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateControls();
  void WireFeatures();
  void CreateMenus();
  void BuildDispatch();
  void BindSkinObjects();
  void PlaceControls();
  // The global point just below the skin object `name` (its bottom left), or
  // below `fallback` (client pixels) when the skin has no such object.
  QPoint BelowSkinObject(const char* name, QPoint fallback);
  void PlaceWaveform();
  // Where the skin places the plain control `name` now (its "control"
  // object, following the window's size), or `fallback` without one.
  QRect ControlPlace(const QString& name, const QRect& fallback);
  // The list's own column widths; the name column takes what the list grew by.
  void FitListColumns();
  void ApplySkinPalette();
  void RestoreWindowSize();
  void SaveWindowSize();
  // Places the controls and the waveform where the skin puts them now (after
  // a resize or a move of the splitter).
  void FollowLayout();
  ISkinObject* Splitter();  // the skin's splitter above the waveform, if any
  // Puts the window's frame wholly inside its screen's free area, centred.
  void CentreOnScreen();
  void ShowTransportState();  // play and pause show whether they are on
  void WireKeys();
  void PlayRange();  // "Play range", P
  // Starts a cut or join on the job thread; when it ends, tells only what went wrong.
  void StartCut(bool selectedOnly = false);  // false: every row
  void StartJoin();
  void JobEnded(JobReport& report, const QString& folderToOpen);
  RowComponentsFactory JobComponents() const;
  QString ListToolTip(int row, int column) const;
  // Runs an operation for a Qt or component callback. An exception must not
  // unwind through Qt's own frames, so it goes to the application's hook here.
  static void Run(const std::function<void()>& command);
  // Runs a command that may edit the list: what it changes is one undo step named `step`.
  void RunStep(const QString& step, const std::function<void()>& command);
  // The undo and redo items name the step they would take back or do again.
  void ShowUndoSteps();

  MainComponents components_;
  std::unique_ptr<SettingsStore> settingsFile_;
  MainState state_;
  MainCommands commands_;
  std::unique_ptr<TrackListCommands> tracks_;
  std::unique_ptr<SheetCommands> sheets_;  // cue sheets and label files in and out
  std::unique_ptr<PreviewPlayer> preview_;
  std::unique_ptr<RangeMarking> marking_;
  std::unique_ptr<RangePlayback> rangePlayback_;
  std::unique_ptr<PositionMoves> positions_;
  std::unique_ptr<SilenceSplitCommand> silenceSplits_;  // its searches end before the state goes
  std::unique_ptr<ListHistory> history_;
  std::unique_ptr<ListFileCommands> listFiles_;  // the list kept as the user works, list files
  PeakCache* peakCache_ = nullptr;
  RangeLoudness* rangeLoudness_ = nullptr;
  MainKeys* keys_ = nullptr;
  TypedMarks* typedMarks_ = nullptr;
  CommandDispatch dispatch_;
  bool startupDone_ = false;
  bool showHandled_ = false;
  bool layoutPlaced_ = false;
  int listLayoutWidth_ = -1;  // the list's width at the skin's layout size, once placed
  QSize sizeAtStart_;  // the size start-up gave the window; kept only when it changed
  int waveHeightAtStart_ = 0;  // the splitter's height read at start-up; kept only when it changed
  int shownTransport_ = -1;  // what play/pause show: -1 unknown, else Playing + 2 * Paused
  // The running job's view and thread; the thread goes first, before anything it reports to.
  std::unique_ptr<StateJobObserver> jobView_;
  std::unique_ptr<JobThread> jobs_;
};

}  // namespace snipwave
