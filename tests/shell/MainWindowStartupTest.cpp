#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

#include "Commands.h"
#include "MainWindowFixture.h"
#include "settings/ProductLinks.h"
#include "platform/Error.h"
#include "settings/SettingsKeys.h"
#include "settings/Tfm_dir.h"
#include "shell/FormatChooser.h"
#include "shell/StartupPicture.h"
#include "tracks/TrackListWidget.h"
#include "waveform/WaveformView.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {

QString FileText(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class MainWindowStartup : public MainWindowFixture {};

// A player that only records what the window asks of it.
class RecordingPlayer final : public IAudioPlayer2 {
 public:
  int stops = 0;
  void Play() override {}
  void Stop() override { ++stops; }
  void QueueBuffer(const SampleBuffer&) override {}
  void SetPcmFormat(int, int) override {}
  void SetEvents(AudioPlayerEvents) override {}
};

void AddListRow(MainState& state) {
  state.lv->AppendRow(TrackRowTexts{"a.mp3", {"  00:00:00 - 00:00:01", "  00:00:01", "  0.01MB", "unconverted"}});
  state.TrackCount = state.lv->RowCount();
}

}  // namespace

TEST_F(MainWindowStartup, FirstStartWithoutSettingsFile) {
  ASSERT_TRUE(window().StartupDone());
  EXPECT_EQ(window().windowTitle(), "Snipwave");
  EXPECT_EQ(window().Edt_dir->text(), DefaultOutputFolder());
  EXPECT_TRUE(window().Edt_dir->isReadOnly());
  EXPECT_FALSE(state().Playing);
  EXPECT_FALSE(state().Paused);
  EXPECT_FALSE(state().Converting);
  EXPECT_EQ(state().TrackCount, 0);
  EXPECT_EQ(Shown(state().pb).position, 0);
  EXPECT_FALSE(Shown(state().showpos).visible);
  EXPECT_EQ(Shown(state().showpos).text, "0%");
  EXPECT_EQ(Shown(state().pospb).rect.width(), 0);
  EXPECT_TRUE(window().GroupBox1->isVisible());
  ASSERT_NE(window().Image1->pixmap().isNull(), true) << "the start-up picture is shown";
  EXPECT_EQ(window().GroupBox1->geometry(), QRect(35, 106, 401, 161));
  EXPECT_EQ(window().lv->geometry(), QRect(18, 79, 525, 247));
  EXPECT_EQ(window().cm_Format->geometry(), QRect(380, 49, 58, 19));
  EXPECT_EQ(window().Edt_dir->geometry(), QRect(64, 50, 232, 19));
  EXPECT_EQ(window().cm_Format->currentText(), "MP3");
  EXPECT_FALSE(QFile::exists(configDir.file("Snipwave.ini"))) << "start-up only reads the settings";
  window().close();
  EXPECT_FALSE(QFile::exists(configDir.file("Snipwave.ini"))) << "a run that changed nothing writes nothing";
}

TEST_F(MainWindowStartup, StoredOutputFolderIsShown) {
  program.reset();
  SettingsStore("Snipwave.ini").WriteString("Format", "Dir", "/srv/music out");
  Start(Options{});
  EXPECT_EQ(window().Edt_dir->text(), "/srv/music out");
}

TEST_F(MainWindowStartup, ProgressDisplay) {
  AddListRow(state());
  const int left = state().ProgressBarRect.left;
  ShowProgress(state(), 5000);
  EXPECT_EQ(Shown(state().pospb).rect.left(), left);
  EXPECT_EQ(Shown(state().pospb).rect.width(), 262);
  EXPECT_EQ(Shown(state().showpos).text, "50%");
  EXPECT_TRUE(Shown(state().showpos).visible);
  ShowProgress(state(), 9999);
  EXPECT_EQ(Shown(state().showpos).text, "99%");
  ShowProgress(state(), 12000);
  EXPECT_EQ(Shown(state().pospb).rect.width(), 523);
  EXPECT_EQ(Shown(state().showpos).text, "100%");
  ShowProgress(state(), 0);
  EXPECT_EQ(Shown(state().pospb).rect.width(), 0);
  EXPECT_FALSE(Shown(state().showpos).visible);
  state().lv->DeleteAllRows();
  ShowProgress(state(), 5000);
  EXPECT_EQ(Shown(state().pospb).rect.width(), 0) << "an empty list shows no progress";
  EXPECT_FALSE(Shown(state().showpos).visible);
}

TEST_F(MainWindowStartup, HelpKeyOpensTheGuideOncePerPress) {
  QTest::keyClick(&window(), Qt::Key_F1);
  ASSERT_EQ(launcher->helpFiles.size(), 1);
  EXPECT_TRUE(launcher->helpFiles.first().endsWith("/help/Snipwave.html"));
  EXPECT_TRUE(QFile::exists(launcher->helpFiles.first())) << "the guide ships beside the executable";
  QTest::keyClick(window().lv, Qt::Key_F1);
  EXPECT_EQ(launcher->helpFiles.size(), 2);
  QTest::keyClick(&window(), Qt::Key_F2);
  EXPECT_EQ(launcher->helpFiles.size(), 2);
}

TEST_F(MainWindowStartup, WebCommandsOpenTheirPages) {
  TriggerMenuItem("Content1");
  TriggerMenuItem("Visitourweb1");
  ASSERT_EQ(launcher->urls.size(), 2);
  EXPECT_EQ(launcher->urls, (QStringList{links::FaqPage(), links::HomePage()}));
  EXPECT_NE(launcher->urls[0], launcher->urls[1]);
}

TEST_F(MainWindowStartup, MenusHoldTheirItemsInOrder) {
  auto captions = [](QMenu* menu) {
    QStringList list;
    for (QAction* a : menu->actions()) list << (a->isSeparator() ? "-" : a->text());
    return list;
  };
  EXPECT_EQ(captions(window().PopupMenu1),
            (QStringList{"Add File", "Add Folder", "-", "Remove File", "Clear", "-", "UP", "Down", "-", "Play", "Stop", "-",
                         "Set begin", "Set end", "Type begin\u2026", "Type end\u2026", "Play range", "Split at position",
                         "Split at silences", "-", "Cut selected rows", "Remove selected rows", "-", "Undo",
                         "Redo"}));
  EXPECT_EQ(captions(window().PopupMenu2), (QStringList{"Add Files", "Add Folder", "-", "Remove", "Clear ", "-", "Cut",
                                                        "Join", "Stop", "-", "Import cue sheet\u2026",
                                                        "Export cue sheet\u2026", "Import labels\u2026",
                                                        "Export labels\u2026", "-", "Open list\u2026", "Save list\u2026",
                                                        "Reopen last list", "-", "Exit"}));
  EXPECT_EQ(captions(window().PopupMenu3), (QStringList{"Content", "Visit our web", "-", "About"}));
  EXPECT_EQ(captions(window().EditMenu), (QStringList{"Undo", "Redo"}));
}

TEST_F(MainWindowStartup, ListGrowsWithTheWindowWhoseSizeIsKept) {
  const QSize base = window().size();
  EXPECT_EQ(window().minimumSize(), base);
  // The columns as the list shows them: its own widths at the layout's size,
  // and the name column taking what the list grows by.
  const auto shownWidths = [this] {
    QList<int> widths;
    for (int c = 0; c < window().lv->columnCount(); ++c) widths << window().lv->header()->sectionSize(c);
    return widths;
  };
  EXPECT_EQ(shownWidths(), (QList<int>{150, 136, 75, 70, 80}));
  // (The test screen is 800 x 600: the window grows within it.)
  window().resize(base + QSize(150, 10));
  QApplication::processEvents();
  EXPECT_EQ(shownWidths(), (QList<int>{150 + 150, 136, 75, 70, 80}));
  // The waveform takes the extra height first.
  EXPECT_EQ(window().lv->geometry(), QRect(18, 79, 525 + 150, 247));
  EXPECT_EQ(window().Edt_dir->geometry(), QRect(64, 50, 232, 19));
  EXPECT_EQ(window().waveform->geometry(), QRect(18, 334, 572 + 150, 84 + 10));
  window().close();
  EXPECT_EQ(FileText(configDir.file("Snipwave.ini")).count("Width=" + QString::number(base.width() + 150)), 1);

  // A second window on the same settings file opens at the kept size.
  program.reset();
  Start(Options{});
  EXPECT_EQ(window().size(), base + QSize(150, 10));
  EXPECT_EQ(window().lv->geometry(), QRect(18, 79, 525 + 150, 247));
}

TEST_F(MainWindowStartup, SplitterGivesTheWaveformRoomAndIsKeptWithTheWindow) {
  window().resize(window().size() + QSize(0, 200));  // the waveform takes 156 up to 240, the list 44
  QApplication::processEvents();
  EXPECT_EQ(window().waveform->height(), 240);
  EXPECT_EQ(window().lv->height(), 247 + 44);
  QWidget* surface = window().findChild<QWidget*>("SkinSurface");
  ASSERT_NE(surface, nullptr);
  const QPoint grip(300, window().lv->geometry().bottom() + 4);
  QTest::mousePress(surface, Qt::LeftButton, {}, grip);
  QTest::mouseMove(surface, grip - QPoint(0, 40));
  QTest::mouseRelease(surface, Qt::LeftButton, {}, grip - QPoint(0, 40));
  EXPECT_EQ(window().waveform->height(), 280) << "the view follows the splitter at once";
  EXPECT_EQ(window().lv->height(), 247 + 4);
  window().close();
  EXPECT_EQ(FileText(configDir.file("Snipwave.ini")).count("WaveHeight=280"), 1);

  program.reset();
  Start(Options{});
  EXPECT_EQ(window().waveform->height(), 280);
  EXPECT_EQ(window().lv->height(), 247 + 4);
}

TEST_F(MainWindowStartup, FileAndHelpOpenTheirMenusJustBelowTheirButtons) {
  window().move(100, 80);
  QApplication::processEvents();
  // The shipped skin: "file" at 8,6 and "help" at 160,6, both 24 high; the
  // menus open at their bottom left whatever frame the desktop draws.
  Click("help");
  ASSERT_TRUE(window().PopupMenu3->isVisible());
  EXPECT_EQ(window().PopupMenu3->pos(), window().mapToGlobal(QPoint(160, 30)));
  window().PopupMenu3->close();
  Click("file");
  ASSERT_TRUE(window().PopupMenu2->isVisible());
  EXPECT_EQ(window().PopupMenu2->pos(), window().mapToGlobal(QPoint(8, 30)));
  window().PopupMenu2->close();
}

TEST_F(MainWindowStartup, ErrorDuringAJobIsShownThenTheJobIsCleanedUp) {
  TempDir work;
  const QString source = ChirpFixture("hook-source.wav", 1.0, 44100, 2);
  // A regular file stands where the output folder should be.
  const QString blocked = work.file("blocked");
  {
    QFile file(blocked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a folder");
  }
  SettingsStore("Snipwave.ini").WriteString("Format", "Dir", blocked);
  dialogs->openAnswers.push_back({source});
  Click("add");

  Click("cut");
  WaitForJob();

  ASSERT_EQ(dialogs->infoTexts().size(), 1);
  EXPECT_TRUE(dialogs->infoTexts()[0].contains(blocked)) << dialogs->infoTexts()[0].toStdString();
  EXPECT_EQ(state().lv->CellText(0, kStatusCell), "unconverted");  // nothing of it was kept
  EXPECT_TRUE(window().cm_Format->isEnabled());
  EXPECT_EQ(Shown(state().pospb).rect.width(), 0);
  EXPECT_FALSE(Shown(state().showpos).visible);
  EXPECT_EQ(launcher->folders, QStringList{blocked + "/"});
  QFile file(blocked);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), "not a folder");
}

TEST_F(MainWindowStartup, ErrorWithoutAJobChangesNothingElse) {
  window().Commands().AddFiles = [] { throw Error("plain failure"); };
  Click("add");
  EXPECT_EQ(dialogs->infoTexts(), QStringList{"plain failure"});
  EXPECT_TRUE(launcher->folders.isEmpty());
  EXPECT_TRUE(window().cm_Format->isEnabled());
}

class MainWindowWithRecordingPlayer : public MainWindowFixture {
 protected:
  void SetUp() override {
    auto player = std::make_unique<RecordingPlayer>();
    recorder = player.get();
    Options options;
    options.player = std::move(player);
    Start(std::move(options));
  }
  RecordingPlayer* recorder = nullptr;
};

TEST_F(MainWindowWithRecordingPlayer, ErrorDuringAPreviewHaltsThePlayerAndKeepsTheFlags) {
  state().Playing = true;
  state().PlayingRow = 0;
  window().Commands().NudgeBack = [] { throw Error("feed failed"); };
  const int stopsBefore = recorder->stops;
  Click("downtime");
  EXPECT_EQ(dialogs->infoTexts(), QStringList{"feed failed"});
  EXPECT_EQ(recorder->stops, stopsBefore + 1);
  EXPECT_TRUE(state().Playing);
  EXPECT_FALSE(state().Paused);
}

class MainWindowRealDialogs : public MainWindowFixture {
 protected:
  void SetUp() override {
    Options options;
    options.realDialogs = true;
    Start(std::move(options));
  }
};

TEST_F(MainWindowRealDialogs, HelpKeyWorksInsideAModalMessageBox) {
  QString shownTitle;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    shownTitle = box->windowTitle();
    QTest::keyClick(box, Qt::Key_F1);
    // A held key repeats: every repeated press opens the guide again.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(box, &repeat);
    box->button(QMessageBox::Ok)->click();
  });
  window().Dialogs().ShowInformation("Please add file!");
  EXPECT_EQ(shownTitle, "Information");
  EXPECT_EQ(launcher->helpFiles.size(), 2);
}

TEST(StartupPicture, DecodesTheEmbeddedJpegWithLibjpeg) {
  const QImage picture = DecodeJpeg(StartupPictureJpeg());
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.size(), QSize(401, 161));
}

TEST(StartupPicture, DamagedImagesGiveAnEmptyFrameNotACrash) {
  const QByteArray good = StartupPictureJpeg();
  EXPECT_TRUE(DecodeJpeg(QByteArray()).isNull());
  EXPECT_TRUE(DecodeJpeg(QByteArray("not a jpeg at all")).isNull());
  EXPECT_TRUE(DecodeJpeg(good.left(good.size() / 2)).isNull());
  EXPECT_TRUE(DecodeJpeg(good.left(40)).isNull());
  QByteArray scrambled = good;
  for (int i = 200; i < scrambled.size(); i += 7) scrambled[i] = static_cast<char>(scrambled[i] ^ 0x5A);
  (void)DecodeJpeg(scrambled);  // whatever it gives, it returns
}

namespace {

// The real engine, made to load another file than the shipped skin.
class RedirectedSkin final : public ISkin {
 public:
  explicit RedirectedSkin(QString file) : file_(std::move(file)) {}
  void LoadSkin(const QString& fileName) override {
    requested << fileName;
    engine_.LoadSkin(fileName.startsWith(":/") ? fileName : file_);  // the built-in copy stays reachable
  }
  void AttachWindow(QWidget* window) override { engine_.AttachWindow(window); }
  void ApplyWindowSkin(QWidget* window, const QString& name) override { engine_.ApplyWindowSkin(window, name); }
  ISkinObject* GetWindowObject(QWidget* window) override { return engine_.GetWindowObject(window); }
  void SetEvents(SkinEvents events) override { engine_.SetEvents(std::move(events)); }
  QStringList requested;

 private:
  QString file_;
  TSkin engine_;
};

class MainWindowBrokenSkin : public MainWindowFixture {
 protected:
  void SetUp() override {}
  void StartWithSkinFile(const QString& file) {
    Options options;
    auto skin = std::make_unique<RedirectedSkin>(file);
    redirected = skin.get();
    options.skin = std::move(skin);
    Start(std::move(options));
  }
  RedirectedSkin* redirected = nullptr;
  TempDir skins;
};

}  // namespace

TEST_F(MainWindowBrokenSkin, MissingSkinIsNamedAndTheBuiltInCopyTakesItsPlace) {
  const QString missing = skins.file("mp3enc.skn");
  StartWithSkinFile(missing);
  ASSERT_EQ(redirected->requested.size(), 2);
  EXPECT_TRUE(redirected->requested[0].endsWith("/mp3enc.skn"));
  ASSERT_EQ(dialogs->infoTexts().size(), 1);
  EXPECT_TRUE(dialogs->infoTexts().first().contains(missing)) << dialogs->infoTexts().first().toStdString();
  EXPECT_TRUE(dialogs->infoTexts().first().contains("built-in skin"));
  QApplication::processEvents();
  EXPECT_TRUE(window().StartupDone());
  EXPECT_TRUE(window().isVisible());
  EXPECT_TRUE(state().pb.IsBound() && state().time.IsBound() && state().showpos.IsBound());
}

TEST_F(MainWindowBrokenSkin, SyntaxErrorNamesTheLine) {
  const QString broken = skins.file("broken.skn");
  {
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not a skin\n");
  }
  StartWithSkinFile(broken);
  ASSERT_EQ(dialogs->infoTexts().size(), 1);
  EXPECT_TRUE(dialogs->infoTexts().first().contains(broken));
  EXPECT_TRUE(dialogs->infoTexts().first().contains("line 1")) << dialogs->infoTexts().first().toStdString();
}

TEST_F(MainWindowBrokenSkin, ObjectsMissingFromTheSkinAreSkippedSilently) {
  // The shipped skin without "showpos" and "time".
  QFile shipped(QCoreApplication::applicationDirPath() + "/mp3enc.skn");
  ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
  QStringList kept;
  for (const QString& line : QString::fromUtf8(shipped.readAll()).split('\n')) {
    const QString t = line.trimmed();
    if (t.startsWith("text showpos ") || t.startsWith("text time ")) continue;
    kept << line;
  }
  const QString trimmed = skins.file("partial.skn");
  {
    QFile f(trimmed);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kept.join('\n').toUtf8());
  }
  StartWithSkinFile(trimmed);
  ASSERT_TRUE(window().StartupDone()) << dialogs->infoTexts().join("; ").toStdString();
  EXPECT_FALSE(state().showpos.IsBound());
  EXPECT_FALSE(state().time.IsBound());
  EXPECT_TRUE(state().pb.IsBound());
  state().lv->AppendRow(TrackRowTexts{"a.mp3", {}});
  ShowProgress(state(), 5000);  // no crash on the missing objects
  state().time.SetText("00:00:01");
  EXPECT_TRUE(dialogs->infoTexts().isEmpty());
}

// The program as `snipwave` starts it: the real components, built in the same
// expression that hands them to the program. Every dialog is modal over the
// main window, and the folder commands use the program's own folder tree.
TEST(RealStartup, DialogsBelongToTheMainWindowAndFoldersUseTheFolderTree) {
  TempDir config;
  qputenv("SNIPWAVE_CONFIG_DIR", config.path().toUtf8());
  {
    MainProgram program(MainProgram::RealComponents());
    program.fm_main().show();
    QApplication::processEvents();

    QWidget* boxParent = nullptr;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      boxParent = box->parentWidget();
      box->button(QMessageBox::Ok)->click();
    });
    program.fm_main().Commands().Cut();  // an empty list: "Please add file!"
    EXPECT_EQ(boxParent, &program.fm_main());

    QWidget* chooser = nullptr;
    QString caption;
    QPoint offCentre;
    QTimer::singleShot(0, [&] {
      chooser = QApplication::activeModalWidget();
      ASSERT_NE(chooser, nullptr);
      caption = chooser->windowTitle();
      offCentre = chooser->geometry().center() - program.fm_main().geometry().center();
      chooser->close();
    });
    program.fm_main().Commands().ChooseOutputDirectory();
    EXPECT_EQ(chooser, static_cast<QWidget*>(&program.fm_dir()));
    EXPECT_EQ(caption, "Output Directory");
    EXPECT_LE(offCentre.manhattanLength(), 2) << offCentre.x() << "," << offCentre.y();
  }
  qunsetenv("SNIPWAVE_CONFIG_DIR");
}

TEST_F(MainWindowBrokenSkin, SkinThatCannotBeAppliedGivesWayToTheBuiltInCopy) {
  // A readable skin whose window layout has another name than the program's.
  QFile shipped(QCoreApplication::applicationDirPath() + "/mp3enc.skn");
  ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
  QString text = QString::fromUtf8(shipped.readAll());
  text.replace("layout From ", "layout Elsewhere ");
  const QString renamed = skins.file("renamed.skn");
  {
    QFile f(renamed);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
  }
  StartWithSkinFile(renamed);
  QApplication::processEvents();
  ASSERT_EQ(dialogs->infoTexts().size(), 1);
  EXPECT_TRUE(dialogs->infoTexts().first().contains("From")) << dialogs->infoTexts().first().toStdString();
  EXPECT_TRUE(dialogs->infoTexts().first().contains("built-in skin"));
  EXPECT_TRUE(window().StartupDone());
  EXPECT_TRUE(window().isVisible());
  EXPECT_TRUE(state().pb.IsBound() && state().pospb.IsBound());
}
