#include "shell/Tfm_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

#include "platform/DataFolder.h"
#include "platform/FileHelpers.h"
#include "platform/HookedSlot.h"
#include "settings/ProductLinks.h"
#include "settings/SettingsKeys.h"
#include "shell/FormatChooser.h"
#include "shell/ListFileCommands.h"
#include "shell/StartupPicture.h"
#include "shell/SheetCommands.h"
#include "convert/JobEndMessage.h"
#include "convert/RealRowComponents.h"
#include "components/skin/SkinPalette.h"
#include "components/skin/SkinSurface.h"
#include "components/skin/TSkin.h"
#include "preview/PositionMoves.h"
#include "preview/PrecisePosition.h"
#include "preview/PreviewPlayer.h"
#include "preview/RangeMarking.h"
#include "preview/RowSplit.h"
#include "preview/RangePlayback.h"
#include "preview/TypedMark.h"
#include "shell/MainKeys.h"
#include "shell/SilenceSplitCommand.h"
#include "shell/SilenceSplitDialog.h"
#include "shell/TypedMarks.h"
#include "tracks/ListHistory.h"
#include "tracks/OutputFolderCommand.h"
#include "tracks/TrackListCommands.h"
#include "tracks/TrackListWidget.h"
#include "waveform/LoudnessText.h"
#include "waveform/RangeLoudness.h"
#include "waveform/PeakCache.h"
#include "waveform/WaveformView.h"

namespace snipwave {

namespace {

const QString kSkinFileName = QStringLiteral("mp3enc.skn");
const QString kSkinLayout = QStringLiteral("From");
const QString kBuiltInSkin = QStringLiteral(":/snipwave/mp3enc.skn");
const QString kHelpFile = QStringLiteral("help/Snipwave.html");

// Where the plain controls sit in the skin's layout, in client pixels.
const QRect kFormatListPlace(380, 49, 58, 19);
const QRect kFolderFieldPlace(64, 50, 232, 19);
const QRect kListPlace(18, 79, 525, 247);
const QRect kPicturePlace(35, 106, 401, 161);
// The skin object the waveform view is laid on, and how often it follows the state.
const QString kWaveformObject = QStringLiteral("wave");
const QString kSplitterObject = QStringLiteral("split");
constexpr int kWaveformRefreshMs = 40;
// A temporary copy of the kept list or the settings file this old is no
// write in progress (one takes milliseconds) but the leftover of a run that
// was killed in the middle of it.
constexpr std::int64_t kStaleTemporarySeconds = 60;

// Where the file and help menus open when the skin has no such button: just
// below the menu strip, in client pixels.
const QPoint kFileMenuPlace(8, 30);
const QPoint kHelpMenuPlace(160, 30);
const QPoint kEditMenuPlace(228, 30);

// The undo step each list command makes, by the command; commands not named
// here change no row or mark.
QString StepName(std::function<void()> MainCommands::*command) {
  static const std::vector<std::pair<std::function<void()> MainCommands::*, const char*>> names = {
      {&MainCommands::AddFiles, "Add files"},  {&MainCommands::AddFolder, "Add folder"},
      {&MainCommands::RemoveRow, "Remove"},    {&MainCommands::ClearList, "Clear"},
      {&MainCommands::MoveUp, "Move up"},      {&MainCommands::MoveDown, "Move down"},
      {&MainCommands::SetBegin, "Set begin"},  {&MainCommands::SetEnd, "Set end"}};
  for (const auto& [member, name] : names)
    if (member == command) return QString::fromLatin1(name);
  return {};
}

// The undo step of a menu item: its command's, else its caption; empty for
// the items that never edit the list (they run outside the history, so a
// result arriving while their dialog is open keeps its own name).
QString StepName(const QString& item, const QString& caption) {
  static const QStringList notEdits = {"Play1", "Stop1", "Stop2", "Cut2", "Join1", "PlayRange1", "TypeBegin1",
                                       "TypeEnd1", "Exit2", "Content1", "Visitourweb1", "About1"};
  if (notEdits.contains(item)) return {};
  static const std::vector<std::pair<const char*, std::function<void()> MainCommands::*>> items = {
      {"AddFile2", &MainCommands::AddFiles},    {"AddFiles1", &MainCommands::AddFiles},
      {"AddFolder2", &MainCommands::AddFolder}, {"AddFolder1", &MainCommands::AddFolder},
      {"DelFile2", &MainCommands::RemoveRow},   {"Remove1", &MainCommands::RemoveRow},
      {"Clear2", &MainCommands::ClearList},     {"Clear3", &MainCommands::ClearList},
      {"UP1", &MainCommands::MoveUp},           {"Down1", &MainCommands::MoveDown},
      {"SetBegin1", &MainCommands::SetBegin},   {"SetEnd1", &MainCommands::SetEnd}};
  for (const auto& [name, command] : items)
    if (item == QLatin1String(name)) return StepName(command);
  QString step = caption.trimmed();
  if (step.endsWith(QChar(0x2026))) step.chop(1);
  return step;
}

// Beside the executable in the build tree, share/snipwave when installed.
QString DataFolder() { return ProgramDataFolder(kSkinFileName); }

}  // namespace

Tfm_main::Tfm_main(MainComponents components, QWidget* parent)
    : QWidget(parent), components_(std::move(components)), jobs_(std::make_unique<JobThread>()) {
  setObjectName("fm_main");
  setWindowTitle(QStringLiteral("Snipwave"));
  CreateControls();
  CreateMenus();
  BuildDispatch();

  state_.AudioFileRead = components_.AudioFileRead.get();
  state_.AudioFileWrite = components_.AudioFileWrite.get();
  state_.AudioFileCheck = components_.AudioFileCheck.get();
  state_.AudioFileMarks = components_.AudioFileMarks.get();
  state_.AudioFile2LameEnc = components_.AudioFile2LameEnc.get();
  // The preview plays through the range limiter, which passes everything on
  // unchanged unless "play range" is on.
  if (components_.AudioPlayer1) {
    rangePlayback_ = std::make_unique<RangePlayback>(state_, *components_.AudioPlayer1);
    state_.AudioPlayer1 = rangePlayback_.get();
  }
  state_.Dialogs = components_.Dialogs.get();
  state_.Launcher = components_.Launcher.get();
  state_.MessagePump = components_.MessagePump.get();
  state_.lv = lv;
  state_.cm_Format = cm_Format;
  state_.HideStartupPicture = [this] { GroupBox1->hide(); };
  state_.ShowOutputFolderText = [this](const QString& folder) { Edt_dir->setText(folder); };
  WireFeatures();
  // Every change of the list, its marks, the selection or an output choice
  // is kept in the saved list once the edits pause.
  state_.ShowOutputFolderText = [this](const QString& folder) {
    Edt_dir->setText(folder);
    listFiles_->Changed();
  };
  state_.MarksChanged = [this](int) {
    RefreshWaveform();
    history_->Changed();
    listFiles_->Changed();
  };
  state_.RowsChanged = [this] {
    RefreshWaveform();
    history_->Changed();
    listFiles_->Changed();
  };
  connect(lv, &TrackListWidget::listClicked, this, [this] { listFiles_->Changed(); });
  connect(cm_Format, &QComboBox::currentIndexChanged, this, [this] { listFiles_->Changed(); });

  components_.Skin1->SetEvents(SkinEvents{
      [this](ISkinObject& source) { Run([&] { Skin1Click(source); }); },
      [this](ISkinObject& source, int button, int x, int y) {
        if (commands_.MouseDown) Run([&] { commands_.MouseDown(source, button, x, y); });
      },
      [this](ISkinObject& source, int newPos) {
        // The splitter is the window's own affair: it only moves the panes.
        if (source.GetName() == kSplitterObject) FollowLayout();
        else if (commands_.ScrollTrack) Run([&] { commands_.ScrollTrack(source, newPos); });
      },
      [this](ISkinObject& source, int button, int x, int y) {
        if (commands_.MouseUp) Run([&] { commands_.MouseUp(source, button, x, y); });
      }});
}

Tfm_main::~Tfm_main() {
  // A job still running ends first: it reports to the list and the progress display.
  jobs_->StopAndWait();
  // The player and the skin call back into the features; silence them before
  // the features go.
  if (components_.AudioPlayer1) {
    components_.AudioPlayer1->Stop();
    components_.AudioPlayer1->SetEvents({});
  }
  if (components_.Skin1) components_.Skin1->SetEvents({});
}

void Tfm_main::WireFeatures() {
  history_ = std::make_unique<ListHistory>(state_);
  connect(&history_->Stack(), &QUndoStack::indexChanged, this, [this] { ShowUndoSteps(); });
  connect(&history_->Stack(), &QUndoStack::canUndoChanged, this, [this] { ShowUndoSteps(); });
  connect(&history_->Stack(), &QUndoStack::canRedoChanged, this, [this] { ShowUndoSteps(); });
  ShowUndoSteps();
  tracks_ = std::make_unique<TrackListCommands>(state_);
  sheets_ = std::make_unique<SheetCommands>(state_, *tracks_);
  preview_ = std::make_unique<PreviewPlayer>(state_);
  marking_ = std::make_unique<RangeMarking>(state_);
  positions_ = std::make_unique<PositionMoves>(state_, *preview_);
  typedMarks_ = new TypedMarks(state_, *marking_, this);
  if (!components_.SilenceSplitDialog) components_.SilenceSplitDialog = std::make_unique<QtSilenceSplitDialog>(this);
  silenceSplits_ = std::make_unique<SilenceSplitCommand>(state_, components_.SilenceSplitDialog.get());
  const auto recordEdit = [this](const QString& step, const std::function<void()>& edit) {
    history_->Record(step, edit);
  };
  silenceSplits_->RecordEdit = recordEdit;
  typedMarks_->RecordEdit = recordEdit;
  listFiles_ = std::make_unique<ListFileCommands>(
      state_, ListFileCommands::FormatAccess{[this] { return cm_Format->currentIndex(); },
                                             [this] { return cm_Format->count(); },
                                             [this](int index) { cm_Format->setCurrentIndex(index); }});
  if (state_.AudioPlayer1) {
    AudioPlayerEvents events = preview_->PlayerEvents();
    auto guard = [](std::function<void()> handler) {
      return [handler = std::move(handler)] { Run(handler); };
    };
    events.OnEndArrayPlay = guard(events.OnEndArrayPlay);
    events.OnRequestOnLoadArray = guard(events.OnRequestOnLoadArray);
    events.OnEndPlay = guard(events.OnEndPlay);
    auto onTimer = events.OnTimer;
    events.OnTimer = [onTimer](std::int64_t samples, int left, int right) {
      Run([&] { onTimer(samples, left, right); });
    };
    state_.AudioPlayer1->SetEvents(std::move(events));
  }

  MainCommands& c = commands_;
  c.ChooseOutputDirectory = [this] { ChooseOutputFolder(state_); };
  c.Play = [this] {
    if (rangePlayback_ && !state_.Paused) rangePlayback_->EndRangeMode();
    preview_->Play();
  };
  c.PauseToggle = [this] { preview_->PauseToggle(); };
  c.Stop = [this] {
    jobs_->Stop();
    silenceSplits_->Stop();
    if (rangePlayback_) rangePlayback_->EndRangeMode();
    preview_->Stop();
  };
  c.AddFiles = [this] { tracks_->AddFiles(); };
  c.RemoveRow = [this] { tracks_->RemoveSelected(); };
  c.ClearList = [this] { tracks_->Clear(); };
  c.MoveUp = [this] { tracks_->MoveUp(); };
  c.MoveDown = [this] { tracks_->MoveDown(); };
  // A job and a silence search would share the progress display and the rows.
  c.Cut = [this] {
    if (!silenceSplits_->RefuseWhileRunning()) StartCut();
  };
  c.CutSelected = [this] {
    if (!silenceSplits_->RefuseWhileRunning()) StartCut(true);
  };
  c.Join = [this] {
    if (!silenceSplits_->RefuseWhileRunning()) StartJoin();
  };
  c.SetBegin = [this] { marking_->SetBegin(); };
  c.SetEnd = [this] { marking_->SetEnd(); };
  c.AddFolder = [this] { tracks_->AddFolder(); };
  c.NudgeForward = [this] { marking_->NudgeForward(); };
  c.NudgeBack = [this] { marking_->NudgeBack(); };
  c.SelectRow = [this] { tracks_->SelectRow(); };
  c.Undo = [this] { history_->Undo(); };
  c.Redo = [this] { history_->Redo(); };
  c.MouseDown = [this](ISkinObject& source, int, int, int) { preview_->Skin1MouseDown(source); };
  c.ScrollTrack = [this](ISkinObject& source, int newPos) { preview_->Skin1ScrollTrack(source, newPos); };
  c.MouseUp = [this](ISkinObject& source, int, int, int) { preview_->Skin1MouseUp(source); };
  WireKeys();
}

void Tfm_main::CreateControls() {
  cm_Format = new FormatChooser(this);
  Edt_dir = new QLineEdit(this);
  Edt_dir->setObjectName("Edt_dir");
  Edt_dir->setReadOnly(true);
  lv = new TrackListWidget(this);
  lv->setContextMenuPolicy(Qt::CustomContextMenu);
  GroupBox1 = new QGroupBox(this);
  GroupBox1->setObjectName("GroupBox1");
  GroupBox1->setFlat(true);
  GroupBox1->setStyleSheet("QGroupBox { border: none; margin: 0; padding: 0; }");
  Image1 = new QLabel(GroupBox1);
  Image1->setObjectName("Image1");
  Image1->setScaledContents(true);
  const QImage picture = DecodeJpeg(StartupPictureJpeg());
  if (!picture.isNull()) Image1->setPixmap(QPixmap::fromImage(picture));

  peakCache_ = new PeakCache(this);
  rangeLoudness_ = new RangeLoudness(this);
  waveform = new WaveformView(*peakCache_, this);
  waveform->hide();  // until the skin gives it a place
  waveform->PositionPressed = [this](std::int64_t sample) { Run([&] { positions_->Press(sample); }); };
  waveform->PositionMoved = [this](std::int64_t sample) { Run([&] { positions_->Drag(sample); }); };
  waveform->PositionReleased = [this] { Run([&] { positions_->Release(); }); };
  waveform->MarkDropped = [this](bool begin, std::int64_t sample) {
    // Recorded once, at the release that drops the handle.
    RunStep(begin ? "Set begin" : "Set end",
            [&] { begin ? marking_->SetBeginSample(sample, RangeMarking::Snap::Allowed)
                  : marking_->SetEndSample(sample, RangeMarking::Snap::Allowed); });
  };
  auto* refresh = new QTimer(this);
  connect(refresh, &QTimer::timeout, this, [this] {
    RefreshWaveform();
    ShowTransportState();
  });
  refresh->start(kWaveformRefreshMs);
  lv->SetToolTipProvider([this](int row, int column) { return ListToolTip(row, column); });

  // A click anywhere in the list, on a row or on empty space, selects.
  connect(lv, &TrackListWidget::listClicked, this, [this] { Run(commands_.SelectRow); });
  connect(lv, &TrackListWidget::pathsDropped, this, [this](const QStringList& paths) {
    RunStep("Add files", [&] { tracks_->AddPaths(paths); });
  });
  connect(lv, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu1->popup(lv->viewport()->mapToGlobal(pos)); });
}

void Tfm_main::CreateMenus() {
  auto item = [this](QMenu* menu, const char* name, const QString& caption, std::function<void()> run) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    // What an item changes in the list is one undo step, named after it.
    connect(action, &QAction::triggered, this, [this, step = StepName(name, caption), run = std::move(run)] {
      if (!run) return;
      if (step.isEmpty()) run();
      else RunStep(step, run);
    });
  };
  auto undoItems = [this](QMenu* menu, const char* undoName, const char* redoName) {
    QAction* undo = menu->addAction(QStringLiteral("Undo"));
    undo->setObjectName(undoName);
    connect(undo, &QAction::triggered, this, [this] { Run(commands_.Undo); });
    QAction* redo = menu->addAction(QStringLiteral("Redo"));
    redo->setObjectName(redoName);
    connect(redo, &QAction::triggered, this, [this] { Run(commands_.Redo); });
  };
  auto separator = [](QMenu* menu, const char* name) { menu->addSeparator()->setObjectName(name); };
  // Each item forwards to the same operation as its skin counterpart.
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  item(PopupMenu1, "AddFile2", "Add File", [this] { Run(commands_.AddFiles); });
  item(PopupMenu1, "AddFolder2", "Add Folder", [this] { Run(commands_.AddFolder); });
  separator(PopupMenu1, "N1");
  item(PopupMenu1, "DelFile2", "Remove File", [this] { Run(commands_.RemoveRow); });
  item(PopupMenu1, "Clear2", "Clear", [this] { Run(commands_.ClearList); });
  separator(PopupMenu1, "N3");
  item(PopupMenu1, "UP1", "UP", [this] { Run(commands_.MoveUp); });
  item(PopupMenu1, "Down1", "Down", [this] { Run(commands_.MoveDown); });
  separator(PopupMenu1, "N4");
  item(PopupMenu1, "Play1", "Play", [this] { Run(commands_.Play); });
  item(PopupMenu1, "Stop1", "Stop", [this] { Run(commands_.Stop); });
  separator(PopupMenu1, "N8");
  item(PopupMenu1, "SetBegin1", "Set begin", [this] { Run(commands_.SetBegin); });
  item(PopupMenu1, "SetEnd1", "Set end", [this] { Run(commands_.SetEnd); });
  item(PopupMenu1, "TypeBegin1", "Type begin\u2026", [this] { typedMarks_->Open(true); });
  item(PopupMenu1, "TypeEnd1", "Type end\u2026", [this] { typedMarks_->Open(false); });
  item(PopupMenu1, "PlayRange1", "Play range", [this] { PlayRange(); });
  item(PopupMenu1, "SplitHere1", "Split at position", [this] { Run([this] { SplitRowAtPosition(state_); }); });
  item(PopupMenu1, "SplitSilences1", "Split at silences", [this] { Run([this] { silenceSplits_->Start(); }); });
  // The rows chosen with Shift/Ctrl+click, after the list's own items.
  separator(PopupMenu1, "N9");
  item(PopupMenu1, "CutSelected1", "Cut selected rows", [this] { Run(commands_.CutSelected); });
  item(PopupMenu1, "RemoveSelected1", "Remove selected rows", [this] { Run(commands_.RemoveRow); });
  separator(PopupMenu1, "N10");
  undoItems(PopupMenu1, "Undo2", "Redo2");

  PopupMenu2 = new QMenu(this);
  PopupMenu2->setObjectName("PopupMenu2");
  item(PopupMenu2, "AddFiles1", "Add Files", [this] { Run(commands_.AddFiles); });
  item(PopupMenu2, "AddFolder1", "Add Folder", [this] { Run(commands_.AddFolder); });
  separator(PopupMenu2, "N5");
  item(PopupMenu2, "Remove1", "Remove", [this] { Run(commands_.RemoveRow); });
  item(PopupMenu2, "Clear3", "Clear ", [this] { Run(commands_.ClearList); });
  separator(PopupMenu2, "N6");
  item(PopupMenu2, "Cut2", "Cut", [this] { Run(commands_.Cut); });
  item(PopupMenu2, "Join1", "Join", [this] { Run(commands_.Join); });
  item(PopupMenu2, "Stop2", "Stop", [this] { Run(commands_.Stop); });
  separator(PopupMenu2, "NSheets");
  item(PopupMenu2, "ImportCue1", "Import cue sheet\u2026", [this] { Run([this] { sheets_->ImportCueSheet(); }); });
  item(PopupMenu2, "ExportCue1", "Export cue sheet\u2026", [this] { Run([this] { sheets_->ExportCueSheet(); }); });
  item(PopupMenu2, "ImportLabels1", "Import labels\u2026", [this] { Run([this] { sheets_->ImportLabels(); }); });
  item(PopupMenu2, "ExportLabels1", "Export labels\u2026", [this] { Run([this] { sheets_->ExportLabels(); }); });
  separator(PopupMenu2, "N9");
  item(PopupMenu2, "OpenList1", "Open list\u2026", [this] { Run([this] { listFiles_->OpenList(); }); });
  item(PopupMenu2, "SaveList1", "Save list\u2026", [this] { Run([this] { listFiles_->SaveList(); }); });
  item(PopupMenu2, "ReopenList1", "Reopen last list", [this] { Run([this] { listFiles_->ReopenLastList(); }); });
  separator(PopupMenu2, "N7");
  item(PopupMenu2, "Exit2", "Exit", [this] { Exit2Click(); });

  PopupMenu3 = new QMenu(this);
  PopupMenu3->setObjectName("PopupMenu3");
  item(PopupMenu3, "Content1", "Content", [this] { Content1Click(); });
  item(PopupMenu3, "Visitourweb1", "Visit our web", [this] { Visitourweb1Click(); });
  separator(PopupMenu3, "N2");
  item(PopupMenu3, "About1", "About", [this] { Run(commands_.ShowAbout); });

  EditMenu = new QMenu(this);
  EditMenu->setObjectName("EditMenu");
  undoItems(EditMenu, "Undo1", "Redo1");

  // The keys beside the items; the window's key handling runs them, the
  // menus only show them (and take them while open).
  for (const auto& [name, key] : MainKeys::MenuKeys()) {
    if (QAction* action = FindMenuItem(name)) {
      action->setShortcut(key);
      action->setShortcutContext(Qt::WidgetShortcut);
      action->setShortcutVisibleInContextMenu(true);
    }
  }
}

QAction* Tfm_main::FindMenuItem(const QString& name) const {
  for (QMenu* menu : {PopupMenu1, PopupMenu2, PopupMenu3, EditMenu})
    for (QAction* action : menu->actions())
      if (action->objectName() == name) return action;
  return nullptr;
}

void Tfm_main::BuildDispatch() {
  auto add = [this](const char* name, std::function<void()> MainCommands::*command) {
    const QString step = StepName(command);
    if (step.isEmpty()) dispatch_.Add(name, [this, command] { Run(commands_.*command); });
    else dispatch_.Add(name, [this, command, step] { RunStep(step, commands_.*command); });
  };
  add("dir", &MainCommands::ChooseOutputDirectory);
  add("play", &MainCommands::Play);
  add("pause", &MainCommands::PauseToggle);
  add("stop", &MainCommands::Stop);
  add("playstop", &MainCommands::Stop);
  add("set", &MainCommands::ShowSettings);
  add("add", &MainCommands::AddFiles);
  add("del", &MainCommands::RemoveRow);
  add("clear", &MainCommands::ClearList);
  add("up", &MainCommands::MoveUp);
  add("down", &MainCommands::MoveDown);
  add("cut", &MainCommands::Cut);
  add("combine", &MainCommands::Join);
  add("begintime", &MainCommands::SetBegin);
  add("endtime", &MainCommands::SetEnd);
  add("folder", &MainCommands::AddFolder);
  add("uptime", &MainCommands::NudgeForward);
  add("downtime", &MainCommands::NudgeBack);
  dispatch_.Add("help", [this] { HelpMenuClick(); });
  dispatch_.Add("file", [this] { FileMenuClick(); });
  dispatch_.Add("edit", [this] { EditMenuClick(); });
}

void Tfm_main::Run(const std::function<void()>& command) {
  if (command) HookedSlot([&] { command(); })();
}

void Tfm_main::RunStep(const QString& step, const std::function<void()>& command) {
  if (!command) return;
  Run([&] {
    if (history_) history_->Record(step, command);
    else command();
  });
}

void Tfm_main::ShowUndoSteps() {
  if (!history_) return;
  const QUndoStack& stack = history_->Stack();
  for (const char* name : {"Undo1", "Undo2"}) {
    if (QAction* undo = FindMenuItem(name)) {
      undo->setEnabled(stack.canUndo());
      undo->setText(stack.canUndo() ? QStringLiteral("Undo %1").arg(stack.undoText()) : QStringLiteral("Undo"));
    }
  }
  for (const char* name : {"Redo1", "Redo2"}) {
    if (QAction* redo = FindMenuItem(name)) {
      redo->setEnabled(stack.canRedo());
      redo->setText(stack.canRedo() ? QStringLiteral("Redo %1").arg(stack.redoText()) : QStringLiteral("Redo"));
    }
  }
}

void Tfm_main::Skin1Click(ISkinObject& source) { dispatch_.Dispatch(source.GetName()); }

QPoint Tfm_main::BelowSkinObject(const char* name, QPoint fallback) {
  // Client coordinates, so the desktop's title bar and frame do not matter.
  ISkinObject* window = Skin1().GetWindowObject(this);
  ISkinObject* object = window ? window->FindObject(QString::fromLatin1(name)) : nullptr;
  ISkinElement* element = object ? object->QueryElement() : nullptr;
  if (element) {
    const SkinRect r = object->GetPlacedBounds().value_or(element->GetBounds());
    fallback = QPoint(r.left, r.bottom);
  }
  return mapToGlobal(fallback);
}

void Tfm_main::HelpMenuClick() { PopupMenu3->popup(BelowSkinObject("help", kHelpMenuPlace)); }

void Tfm_main::FileMenuClick() { PopupMenu2->popup(BelowSkinObject("file", kFileMenuPlace)); }

void Tfm_main::EditMenuClick() { EditMenu->popup(BelowSkinObject("edit", kEditMenuPlace)); }

void Tfm_main::Content1Click() { Launcher().OpenUrl(links::FaqPage()); }

void Tfm_main::Visitourweb1Click() { Launcher().OpenUrl(links::HomePage()); }

void Tfm_main::Exit2Click() { close(); }

QString Tfm_main::HelpFilePath() const { return DataFolder() + kHelpFile; }

void Tfm_main::ApplicationEvents1HelpKey() { Launcher().OpenHelpFile(HelpFilePath()); }

void Tfm_main::ApplicationEvents1Exception(const std::exception& e) {
  // A running job is not touched: it runs on its own thread and reports its own failures.
  Dialogs().ShowInformation(QString::fromUtf8(e.what()));
  // The preview is only halted; its flags and texts stay until the user stops.
  if (state_.Playing && state_.AudioPlayer1) state_.AudioPlayer1->Stop();
}

void Tfm_main::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (showHandled_) return;
  showHandled_ = true;
  try {
    FormShow();
  } catch (const std::exception& e) {
    // The rest of the start-up is skipped; the program keeps running.
    ApplicationEvents1Exception(e);
  }
}

void Tfm_main::FormShow() {
  state_.AudioFileRead->SetInitFlag(true);
  state_.AudioFileWrite->SetInitFlag(true);

  settingsFile_ = std::make_unique<SettingsStore>(QString::fromUtf8(settings::kFileName));
  state_.SettingsFile = settingsFile_.get();
  Edt_dir->setText(state_.SettingsFile->ReadString(settings::section::kFormat, settings::key::kDir,
                                                   DefaultOutputFolder()));
  for (const QString& kept : {ListFileCommands::SavedListPath(), settingsFile_->FilePath()})
    RemoveStaleReplacements(kept, kStaleTemporarySeconds);

  state_.TrackCount = 0;
  state_.LastSelectedRow = 0;
  state_.Playing = false;
  state_.Converting = false;
  state_.Paused = false;

  ISkin& skin = Skin1();
  const auto applySkin = [&](const QString& file) {
    skin.LoadSkin(file);
    skin.AttachWindow(this);
    skin.ApplyWindowSkin(this, kSkinLayout);
  };
  try {
    applySkin(DataFolder() + kSkinFileName);
  } catch (const std::exception& e) {
    // Every command lives on the skin: rather than a window without any, the
    // copy of the shipped skin built into the program takes its place, both
    // for a file that cannot be read and for one whose layout cannot be used.
    Dialogs().ShowInformation(QString::fromUtf8(e.what()) + "\r\rSnipwave starts with its built-in skin instead.");
    applySkin(kBuiltInSkin);
  }
  BindSkinObjects();
  ApplySkinPalette();

  state_.ProgressBarRect = state_.pospb.GetBounds();
  state_.pb.SetPosition(0);
  ShowProgress(state_, 0);
  PlaceControls();
  PlaceWaveform();
  layoutPlaced_ = true;  // from here on the controls follow the window's size
  RestoreWindowSize();
  CentreOnScreen();
  startupDone_ = true;
  // "Start with the last list": once the window is up, before any file
  // given on the command line joins it.
  // The list a run starts with is where undo begins: it cannot be undone away.
  QTimer::singleShot(0, this, [this] {
    Run([this] {
      listFiles_->StartWithLastList();
      history_->Reset();
    });
  });
}

void Tfm_main::BindSkinObjects() {
  ISkinObject* window = Skin1().GetWindowObject(this);
  auto bind = [window](SkinBinding& binding, const char* name, bool slider) {
    binding = SkinBinding{};
    ISkinObject* object = window ? window->FindObject(name) : nullptr;
    if (!object) return;
    binding.object = object;
    binding.element = object->QueryElement();
    if (slider) binding.slider = object->QuerySlider();
    else binding.text = object->QueryText();
  };
  bind(state_.pb, "pb", true);
  bind(state_.time, "time", false);
  bind(state_.begin, "begin", false);
  bind(state_.end, "end", false);
  bind(state_.alltime, "alltime", false);
  bind(state_.pospb, "pospb", false);
  bind(state_.showpos, "showpos", false);
}

QRect Tfm_main::ControlPlace(const QString& name, const QRect& fallback) {
  ISkinObject* window = Skin1().GetWindowObject(this);
  ISkinObject* object = window ? window->FindObject(name) : nullptr;
  if (!object) return fallback;
  std::optional<SkinRect> r = object->GetPlacedBounds();
  if (!r && object->QueryElement()) r = object->QueryElement()->GetBounds();
  return r ? QRect(r->left, r->top, r->right - r->left, r->bottom - r->top) : fallback;
}

void Tfm_main::PlaceControls() {
  cm_Format->setGeometry(ControlPlace("cm_Format", kFormatListPlace));
  Edt_dir->setGeometry(ControlPlace("Edt_dir", kFolderFieldPlace));
  lv->setGeometry(ControlPlace("lv", kListPlace));
  const QRect picture = ControlPlace("GroupBox1", kPicturePlace);
  GroupBox1->setGeometry(picture);
  Image1->setGeometry(0, 0, picture.width(), picture.height());
  FitListColumns();
  // The skin draws on a surface of its own; the controls stay above it.
  for (QWidget* control : {static_cast<QWidget*>(cm_Format), static_cast<QWidget*>(Edt_dir),
                           static_cast<QWidget*>(lv), static_cast<QWidget*>(GroupBox1)})
    control->raise();
}

void Tfm_main::PlaceWaveform() {
  ISkinObject* window = Skin1().GetWindowObject(this);
  ISkinObject* wave = window ? window->FindObject(kWaveformObject) : nullptr;
  const std::optional<SkinWaveformLook> look = wave ? wave->QueryWaveformLook() : std::nullopt;
  ISkinElement* element = wave ? wave->QueryElement() : nullptr;
  if (!look || !element) {
    waveform->hide();  // a skin without the object: the window works without the picture
  } else {
    const SkinRect r = wave->GetPlacedBounds().value_or(element->GetBounds());
    waveform->setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
    waveform->SetLook(*look);
    waveform->show();
    waveform->raise();
  }
  if (auto* engine = dynamic_cast<TSkin*>(&Skin1()))
    if (QWidget* surface = engine->Surface(this)) typedMarks_->WatchSkinSurface(surface);
  // The keys start in the list, where every one of them has its meaning.
  lv->setFocus();
  RefreshWaveform();
}

void Tfm_main::RefreshWaveform() {
  if (!waveform || !waveform->isVisible()) return;
  const int row = state_.Playing ? state_.PlayingRow : lv->SelectedRow();
  WaveformContent content;
  if (row >= 0 && row < lv->RowCount() && row < kTrackTableSize) {
    const Timerec& r = state_.TrackTable[static_cast<std::size_t>(row)];
    content.path = r.FilePath;
    content.totalFrames = r.TotalSamples;
    content.totalMs = r.TotalMs;
    content.begin = r.BeginSample;
    content.end = r.EndSample;
    content.position = PositionSample(state_, row, std::clamp(state_.pb.GetPosition(), 0, 20000), r);
    content.playing = state_.Playing && !state_.Paused;
    if (row == state_.SplitPreviewRow) content.splits = state_.SplitPreview;
  }
  waveform->SetContent(content);
}

QString Tfm_main::ListToolTip(int row, int column) const {
  if (row < 0 || row >= lv->RowCount() || row >= kTrackTableSize) return {};
  const Timerec& r = state_.TrackTable[static_cast<std::size_t>(row)];
  // The file's loudness comes from its waveform scan, started here when the
  // file has none yet (a tooltip shown again gives the progress or the
  // result); a range that is not the whole file is measured on its own.
  QString loudness = LoudnessLine(peakCache_->Scan(r.FilePath));
  if (r.BeginSample > 0 || r.EndSample < r.TotalSamples)
    loudness += '\n' + RangeLoudnessLine(rangeLoudness_->Measure(r.FilePath, r.BeginSample, r.EndSample));
  if (column != 1 + kRangeCell) return loudness;
  return PreciseTimeText(r.BeginSample, r) + " - " + PreciseTimeText(r.EndSample, r) + '\n' + loudness;
}

void Tfm_main::WireKeys() {
  KeyCommands k;
  k.PlayPause = [this] { Run(state_.Playing ? commands_.PauseToggle : commands_.Play); };
  // At the position: the exact frame when a precise road left it there.
  k.SetBeginHere = [this] { RunStep(StepName(&MainCommands::SetBegin), commands_.SetBegin); };
  k.SetEndHere = [this] { RunStep(StepName(&MainCommands::SetEnd), commands_.SetEnd); };
  k.PlayRange = [this] { PlayRange(); };
  k.SplitHere = [this] { RunStep("Split at position", [this] { SplitRowAtPosition(state_); }); };
  k.RemoveRow = [this] { RunStep(StepName(&MainCommands::RemoveRow), commands_.RemoveRow); };
  k.MoveUp = [this] { RunStep(StepName(&MainCommands::MoveUp), commands_.MoveUp); };
  k.MoveDown = [this] { RunStep(StepName(&MainCommands::MoveDown), commands_.MoveDown); };
  k.AddFiles = [this] { RunStep(StepName(&MainCommands::AddFiles), commands_.AddFiles); };
  k.AddFolder = [this] { RunStep(StepName(&MainCommands::AddFolder), commands_.AddFolder); };
  k.Undo = [this] { Run(commands_.Undo); };
  k.Redo = [this] { Run(commands_.Redo); };
  k.Cut = [this] { Run(commands_.Cut); };
  k.CutSelected = [this] { Run(commands_.CutSelected); };
  k.Join = [this] { Run(commands_.Join); };
  k.Stop = [this] { Run(commands_.Stop); };
  k.ToBegin = [this] { Run([this] { positions_->ToBegin(); }); };
  k.ToEnd = [this] { Run([this] { positions_->ToEnd(); }); };
  k.MoveMs = [this](std::int32_t ms) { Run([&] { positions_->MoveByMs(ms); }); };
  k.MoveFrames = [this](std::int64_t frames) { Run([&] { positions_->MoveBy(frames); }); };
  k.ZoomToRange = [this] { waveform->ZoomToRange(); };
  k.ZoomToFile = [this] { waveform->ZoomToFile(); };
  waveform->UseSettings([this] { return state_.SettingsFile; });
  keys_ = new MainKeys(std::move(k), this);
  keys_->Watch(this);
  keys_->Watch(lv, true);
  keys_->Watch(cm_Format);
  keys_->Watch(Edt_dir);
  keys_->Watch(waveform);
}

void Tfm_main::PlayRange() {
  Run([this] {
    if (rangePlayback_) rangePlayback_->PlayRange(*preview_, *positions_);
  });
}

RowComponentsFactory Tfm_main::JobComponents() const {
  return components_.JobComponents ? components_.JobComponents : RowComponentsFactory(MakeRealRowComponents);
}

void Tfm_main::StartCut(bool selectedOnly) {
  JobReport report;
  JobOptions options;
  options.components = JobComponents();
  if (selectedOnly) options.rows = lv->SelectedRows();
  std::optional<WindowCut> cut = PrepareCut(state_, options, report);
  if (!cut) return;
  jobView_ = std::make_unique<StateJobObserver>(state_, false, cut->listRows);
  jobs_->Start(
      [cut = std::move(*cut)](IJobObserver& observer, std::stop_token stop) {
        return RunCut(cut.request, cut.components, observer, stop);
      },
      *jobView_, [this](JobReport& ended) { JobEnded(ended, state_.OutputFolder); });
}

void Tfm_main::StartJoin() {
  JobReport report;
  JobOptions options;
  options.components = JobComponents();
  std::optional<WindowJoin> join = PrepareJoin(state_, options, report);
  if (!join) return;
  const QString folder = join->folderToOpen;
  jobView_ = std::make_unique<StateJobObserver>(state_, true);
  jobs_->Start(
      [join = std::move(*join)](IJobObserver& observer, std::stop_token stop) {
        RowComponents set = join.components();
        return RunJoin(join.request, set, observer, stop);
      },
      *jobView_, [this, folder](JobReport& ended) { JobEnded(ended, folder); });
}

void Tfm_main::JobEnded(JobReport& report, const QString& folderToOpen) {
  Run([&] {
    EndJob(state_, report, folderToOpen);
    if (report.end == JobEnd::Failed) return;
    const QString message = JobEndMessage(report);
    if (!message.isEmpty()) Dialogs().ShowInformation(message);
  });
}

void Tfm_main::AddFromCommandLine(const QStringList& paths) {
  RunStep(StepName(&MainCommands::AddFiles), [&] { tracks_->AddPaths(paths); });
}

void Tfm_main::FitListColumns() {
  const QList<int> widths = TrackListWidget::ColumnWidths();
  // The first placement is at the skin's layout size: there every column
  // has its own width. A list made wider with the window gives the room it
  // gained to the name column; a narrower one scrolls across.
  if (listLayoutWidth_ < 0) listLayoutWidth_ = lv->width();
  for (int c = 1; c < widths.size(); ++c) lv->setColumnWidth(c, widths[c]);
  lv->setColumnWidth(0, widths[0] + std::max(0, lv->width() - listLayoutWidth_));
}

void Tfm_main::ApplySkinPalette() {
  ISkinObject* window = Skin1().GetWindowObject(this);
  const std::map<QString, QColor> roles = window ? window->QueryPalette() : std::map<QString, QColor>{};
  if (roles.empty()) return;
  // One look for every window of the program: the dialogs, message boxes
  // and tooltips take the skin's colours from here.
  QApplication::setPalette(skin::ApplicationPalette(roles, QApplication::palette()));
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
    app->setStyleSheet(skin::ApplicationStyleSheet(roles));
}

void Tfm_main::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FollowLayout();
}

void Tfm_main::FollowLayout() {
  if (!layoutPlaced_) return;
  PlaceControls();
  if (waveform->isVisible()) {
    ISkinObject* window = Skin1().GetWindowObject(this);
    ISkinObject* wave = window ? window->FindObject(kWaveformObject) : nullptr;
    if (std::optional<SkinRect> r = wave ? wave->GetPlacedBounds() : std::nullopt)
      waveform->setGeometry(r->left, r->top, r->right - r->left, r->bottom - r->top);
  }
}

void Tfm_main::RestoreWindowSize() {
  const QSize stored(state_.SettingsFile->ReadInteger(settings::section::kWindow, settings::key::kWidth, 0),
                     state_.SettingsFile->ReadInteger(settings::section::kWindow, settings::key::kHeight, 0));
  QSize size = stored.expandedTo(minimumSize());
  // A size kept from a larger screen is cut to this one's free area.
  size = size.boundedTo(skin::RoomOnScreen(this)).expandedTo(minimumSize());
  if (size != this->size()) resize(size);
  sizeAtStart_ = size;
  waveHeightAtStart_ = state_.SettingsFile->ReadInteger(settings::section::kWindow, settings::key::kWaveHeight, 0);
  ISkinObject* splitter = Splitter();
  if (splitter && splitter->QuerySlider() && splitter->QueryElement() && waveHeightAtStart_ > 0) {
    // The skin keeps the height within what the window has room for.
    splitter->QuerySlider()->SetPosition(waveHeightAtStart_);
    splitter->QueryElement()->Redraw();
    FollowLayout();
  }
}

ISkinObject* Tfm_main::Splitter() {
  ISkinObject* window = Skin1().GetWindowObject(this);
  return window ? window->FindObject(kSplitterObject) : nullptr;
}

void Tfm_main::CentreOnScreen() {
  const QScreen* screen = this->screen();
  if (!screen) return;
  const QRect free = screen->availableGeometry();
  const QSize frame = size() + (frameGeometry().size() - geometry().size()).expandedTo(QSize(0, 0));
  // move() places the frame; a frame larger than the area keeps its top left
  // (title bar and menus) on the screen.
  QPoint at = free.center() - QPoint(frame.width() / 2, frame.height() / 2);
  at.setX(std::max(free.left(), std::min(at.x(), free.right() + 1 - frame.width())));
  at.setY(std::max(free.top(), std::min(at.y(), free.bottom() + 1 - frame.height())));
  move(at);
}

void Tfm_main::SaveWindowSize() {
  if (!startupDone_ || !state_.SettingsFile) return;
  // A maximised window keeps the size it returns to.
  const QSize size = isMaximized() || isFullScreen() ? normalGeometry().size() : this->size();
  // A run in which the window kept its size writes nothing (and so creates
  // no settings file).
  if (ISkinSlider* splitter = Splitter() ? Splitter()->QuerySlider() : nullptr) {
    const int waveHeight = splitter->GetPosition();
    if (waveHeight != waveHeightAtStart_)
      state_.SettingsFile->WriteInteger(settings::section::kWindow, settings::key::kWaveHeight, waveHeight);
  }
  if (!size.isValid() || size == sizeAtStart_) return;
  state_.SettingsFile->WriteInteger(settings::section::kWindow, settings::key::kWidth, size.width());
  state_.SettingsFile->WriteInteger(settings::section::kWindow, settings::key::kHeight, size.height());
}

void Tfm_main::ShowTransportState() {
  if (!startupDone_) return;
  const int now = (state_.Playing ? 1 : 0) + (state_.Paused ? 2 : 0);
  if (now == shownTransport_) return;
  shownTransport_ = now;
  ISkinObject* window = Skin1().GetWindowObject(this);
  auto show = [window](const char* name, bool on) {
    ISkinObject* object = window ? window->FindObject(name) : nullptr;
    if (ISkinElement* element = object ? object->QueryElement() : nullptr) {
      element->SetChecked(on);
      element->Redraw();
    }
  };
  show("play", state_.Playing && !state_.Paused);
  show("pause", state_.Playing && state_.Paused);
}

void Tfm_main::FormCloseQuery() {
  // A job still running stops as the stop command stops it and ends here,
  // its files closed whole; it keeps the settings it started with.
  jobs_->StopAndWait();
  if (silenceSplits_) silenceSplits_->Stop();
  if (listFiles_) listFiles_->SaveNow();  // the last edits are kept too
  try {
    SaveWindowSize();
  } catch (const std::exception& e) {
    // The close is never refused; a size that could not be kept is told.
    Dialogs().ShowInformation(QString::fromUtf8(e.what()));
  }
  if (settingsFile_) settingsFile_->Release();
}

void Tfm_main::closeEvent(QCloseEvent* event) {
  FormCloseQuery();
  event->accept();
}

}  // namespace snipwave
