// Every command of the main window driven the way a user does: clicks on the
// skin's objects (found by name, real mouse events) and the popup menus' items.
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <map>

#include "Commands.h"
#include "MainWindowFixture.h"
#include "platform/ClockText.h"
#include "platform/MulDiv.h"
#include "settings/Tfm_about.h"
#include "shell/FormatChooser.h"
#include "settings/Tfm_set.h"
#include "tracks/TrackListWidget.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {

class MainWindowCommands : public MainWindowFixture {
 protected:
  // Replaces every operation with one that records its own name.
  void RecordCommands() {
    MainCommands& c = window().Commands();
    const std::map<std::string, std::function<void()>*> commandSlots = {
        {"ChooseOutputDirectory", &c.ChooseOutputDirectory},
        {"Play", &c.Play},
        {"PauseToggle", &c.PauseToggle},
        {"Stop", &c.Stop},
        {"ShowSettings", &c.ShowSettings},
        {"AddFiles", &c.AddFiles},
        {"RemoveRow", &c.RemoveRow},
        {"ClearList", &c.ClearList},
        {"MoveUp", &c.MoveUp},
        {"MoveDown", &c.MoveDown},
        {"Cut", &c.Cut},
        {"Join", &c.Join},
        {"SetBegin", &c.SetBegin},
        {"SetEnd", &c.SetEnd},
        {"AddFolder", &c.AddFolder},
        {"NudgeForward", &c.NudgeForward},
        {"NudgeBack", &c.NudgeBack},
        {"ShowAbout", &c.ShowAbout}};
    for (const auto& [name, slot] : commandSlots) *slot = [this, name = QString::fromStdString(name)] { ran << name; };
  }
  QStringList ran;
};

// A skin object the shipped skin does not have, to offer odd names.
class NamedObject final : public ISkinObject {
 public:
  explicit NamedObject(QString name) : name_(std::move(name)) {}
  QString GetName() const override { return name_; }
  ISkinObject* FindObject(const QString&) override { return nullptr; }
  ISkinElement* QueryElement() override { return nullptr; }
  ISkinText* QueryText() override { return nullptr; }
  ISkinSlider* QuerySlider() override { return nullptr; }

 private:
  QString name_;
};

void CloseNextModal(QString* title = nullptr, QPoint* centreOffset = nullptr, QWidget* over = nullptr) {
  QTimer::singleShot(0, [=] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    if (title) *title = modal->windowTitle();
    if (centreOffset && over) *centreOffset = modal->frameGeometry().center() - over->frameGeometry().center();
    qobject_cast<QDialog*>(modal)->reject();
  });
}

}  // namespace

TEST_F(MainWindowCommands, EverySkinNameRunsItsCommandInTableOrder) {
  RecordCommands();
  const std::vector<std::pair<QString, QString>> table = {
      {"dir", "ChooseOutputDirectory"}, {"play", "Play"},         {"pause", "PauseToggle"},
      {"stop", "Stop"},                 {"playstop", "Stop"},     {"set", "ShowSettings"},
      {"add", "AddFiles"},              {"del", "RemoveRow"},     {"clear", "ClearList"},
      {"up", "MoveUp"},                 {"down", "MoveDown"},     {"cut", "Cut"},
      {"combine", "Join"},              {"begintime", "SetBegin"}, {"endtime", "SetEnd"},
      {"folder", "AddFolder"},          {"uptime", "NudgeForward"}, {"downtime", "NudgeBack"}};
  EXPECT_EQ(window().Dispatch().Names(),
            (QStringList{"dir", "play", "pause", "stop", "playstop", "set", "add", "del", "clear", "up", "down", "cut",
                         "combine", "begintime", "endtime", "folder", "uptime", "downtime", "help", "file",
                         "edit"}));
  for (const auto& [name, command] : table) {
    ran.clear();
    Click(name);
    EXPECT_EQ(ran, QStringList{command}) << name.toStdString();
  }
  ran.clear();
  Click("help");
  EXPECT_TRUE(window().PopupMenu3->isVisible());
  window().PopupMenu3->close();
  Click("file");
  EXPECT_TRUE(window().PopupMenu2->isVisible());
  window().PopupMenu2->close();
  EXPECT_TRUE(ran.isEmpty());
}

TEST_F(MainWindowCommands, NamesAreComparedExactly) {
  RecordCommands();
  for (const QString& name : {"Play", "PLAY", "", "play ", "unknown", "pospb", "pb", "time"}) {
    NamedObject object(name);
    window().Skin1Click(object);
  }
  EXPECT_TRUE(ran.isEmpty()) << ran.join(",").toStdString();
}

TEST_F(MainWindowCommands, EveryMenuItemForwardsToItsSkinCounterpart) {
  RecordCommands();
  const std::vector<std::pair<QString, QString>> items = {
      {"AddFile2", "AddFiles"},  {"AddFolder2", "AddFolder"}, {"DelFile2", "RemoveRow"}, {"Clear2", "ClearList"},
      {"UP1", "MoveUp"},         {"Down1", "MoveDown"},       {"Play1", "Play"},         {"Stop1", "Stop"},
      {"AddFiles1", "AddFiles"}, {"AddFolder1", "AddFolder"}, {"Remove1", "RemoveRow"},  {"Clear3", "ClearList"},
      {"Cut2", "Cut"},           {"Join1", "Join"},           {"Stop2", "Stop"},         {"About1", "ShowAbout"}};
  for (const auto& [item, command] : items) {
    ran.clear();
    TriggerMenuItem(item);
    EXPECT_EQ(ran, QStringList{command}) << item.toStdString();
  }
  // Menu captions carry no '&' hot keys.
  for (QMenu* menu : {window().PopupMenu1, window().PopupMenu2})
    for (QAction* action : menu->actions()) EXPECT_FALSE(action->text().contains('&'));
  TriggerMenuItem("Exit2");
  EXPECT_FALSE(window().isVisible());
}

TEST_F(MainWindowCommands, SettingsOpenInEveryModeAndAboutIsCentred) {
  QString title;
  CloseNextModal(&title);
  Click("set");
  EXPECT_EQ(title, "Settings");
  state().Playing = true;
  title.clear();
  CloseNextModal(&title);
  Click("set");
  EXPECT_EQ(title, "Settings");
  state().Playing = false;
  state().Converting = true;
  title.clear();
  CloseNextModal(&title);
  Click("set");
  EXPECT_EQ(title, "Settings");
  state().Converting = false;

  window().move(120, 90);
  QApplication::processEvents();
  QPoint offset(999, 999);
  CloseNextModal(&title, &offset, &window());
  TriggerMenuItem("About1");
  EXPECT_EQ(title, "About");
  EXPECT_LE(std::abs(offset.x()), 1);
  EXPECT_LE(std::abs(offset.y()), 1);
}

TEST_F(MainWindowCommands, ListCommandsThroughSkinAndMenus) {
  const QString a = ChirpFixture("list a.wav", 2.0, 44100, 2);
  const QString b = ChirpFixture("list b ü.ogg", 3.0, 44100, 1, {"-c:a", "libvorbis"});
  dialogs->openAnswers.push_back({a, b});
  Click("add");
  ASSERT_EQ(state().lv->RowCount(), 2);
  EXPECT_FALSE(window().GroupBox1->isVisible());
  EXPECT_EQ(state().lv->RowTexts(1).caption, QFileInfo(b).fileName());
  EXPECT_EQ(Shown(state().alltime).text, "00:00:05");

  dialogs->openAnswers.push_back({a});
  TriggerMenuItem("AddFiles1");
  ASSERT_EQ(state().lv->RowCount(), 3);

  state().lv->SelectRow(2);
  Click("up");
  EXPECT_EQ(state().lv->SelectedRow(), 1);
  EXPECT_EQ(state().TrackTable[1].FilePath, a);
  EXPECT_EQ(state().TrackTable[2].FilePath, b);
  TriggerMenuItem("Down1");
  EXPECT_EQ(state().TrackTable[2].FilePath, a);

  Click("del");
  EXPECT_EQ(state().lv->RowCount(), 2);
  TriggerMenuItem("Remove1");
  EXPECT_EQ(state().lv->RowCount(), 1);

  Click("clear");
  EXPECT_EQ(state().lv->RowCount(), 0);
  EXPECT_EQ(Shown(state().alltime).text, "00:00:00");

  // A folder: the chooser is asked with its caption; entries one level deep.
  TempDir folder;
  QFile::copy(a, folder.file("one.wav"));
  QFile::copy(b, folder.file("two.OGG"));
  QDir().mkdir(folder.file("sub"));
  QFile::copy(a, folder.file("sub/three.wav"));
  dialogs->folderAnswers.push_back(folder.path());
  Click("folder");
  EXPECT_EQ(state().lv->RowCount(), 2);
  EXPECT_EQ(dialogs->shown.last().text, "File Directory");
  dialogs->folderAnswers.push_back(folder.path());
  TriggerMenuItem("AddFolder2");
  EXPECT_EQ(state().lv->RowCount(), 4);
  TriggerMenuItem("Clear2");
  EXPECT_EQ(state().lv->RowCount(), 0);
}

TEST_F(MainWindowCommands, OutputDirectoryIsShownAndStored) {
  TempDir out;
  dialogs->folderAnswers.push_back(out.path());
  Click("dir");
  EXPECT_EQ(dialogs->shown.last().text, "Output Directory");
  EXPECT_TRUE(dialogs->lastFolderCentred);
  EXPECT_EQ(window().Edt_dir->text(), out.path());
  EXPECT_EQ(SettingsStore("Snipwave.ini").ReadString("Format", "Dir", ""), out.path());
  state().Playing = true;
  const int shownBefore = dialogs->shown.size();
  Click("dir");
  EXPECT_EQ(dialogs->shown.size(), shownBefore) << "refused while previewing";
  state().Playing = false;
}

TEST_F(MainWindowCommands, CutAndJoinThroughTheSkin) {
  TempDir out;
  SettingsStore("Snipwave.ini").WriteString("Format", "Dir", out.path());
  const QString a = ChirpFixture("job a.wav", 2.0, 44100, 2);
  const QString b = ChirpFixture("job b.wav", 1.0, 44100, 2);
  dialogs->openAnswers.push_back({a, b});
  Click("add");
  window().cm_Format->setCurrentIndex(1);  // WAV
  Click("cut");
  WaitForJob();
  EXPECT_EQ(state().lv->CellText(0, kStatusCell), "Finish");
  const QString cutA = QDir(out.path()).filePath("Cut_" + QFileInfo(a).fileName());
  ASSERT_TRUE(QFile::exists(cutA));
  EXPECT_EQ(DecodeWithFfmpeg(cutA), DecodeWithFfmpeg(a)) << "the whole file, sample for sample";
  EXPECT_EQ(launcher->folders.last(), QDir::toNativeSeparators(out.path()) + QDir::separator());
  const QString cutB = QDir(out.path()).filePath("Cut_" + QFileInfo(b).fileName());
  EXPECT_TRUE(QFile::exists(cutB));
  EXPECT_TRUE(dialogs->infoTexts().isEmpty()) << "a cut that wrote its files ends by opening the folder, no box";

  dialogs->saveAnswers.push_back(out.file("mix"));
  Click("combine");
  WaitForJob();
  const QString joined = out.file("mix.wav");
  ASSERT_TRUE(QFile::exists(joined));
  EXPECT_EQ(DecodeWithFfmpeg(joined).size(), DecodeWithFfmpeg(a).size() + DecodeWithFfmpeg(b).size());
  EXPECT_TRUE(dialogs->infoTexts().isEmpty());
  EXPECT_EQ(state().lv->CellText(1, kStatusCell), "Finish");

  // A desktop without a folder opener: its result is ignored, as it always was.
  launcher->folderOpens = false;
  Click("cut");
  WaitForJob();
  EXPECT_TRUE(dialogs->infoTexts().isEmpty());

  // Refusals come from the job itself, the same through the menu.
  state().lv->DeleteAllRows();
  state().TrackCount = 0;
  TriggerMenuItem("Cut2");
  EXPECT_EQ(dialogs->infoTexts().last(), "Please add file!");
}

TEST_F(MainWindowCommands, PreviewAndMarkingRoadThroughTheSkin) {
  const QString song = ChirpFixture("road.wav", 4.0, 44100, 2);
  dialogs->openAnswers.push_back({song});
  Click("add");
  ASSERT_EQ(state().lv->RowCount(), 1);

  Click("play");
  ASSERT_TRUE(state().Playing);
  EXPECT_EQ(state().lv->CellText(0, kStatusCell), "Playing");
  // Let the player's timer move the bar at least a second in.
  ASSERT_TRUE(QTest::qWaitFor([&] { return Shown(state().pb).position >= 5000; }, 10000));
  Click("begintime");
  const int begin = state().TrackTable[0].BeginSample;
  EXPECT_GT(begin, 0);
  const int barBefore = state().pb.GetPosition();
  Click("uptime");  // refused while playing
  EXPECT_GE(state().pb.GetPosition(), barBefore);

  Click("stop");
  EXPECT_FALSE(state().Playing);
  EXPECT_EQ(state().lv->CellText(0, kStatusCell), "Stop");
  EXPECT_EQ(Shown(state().pb).position, 0);
  EXPECT_EQ(Shown(state().time).text, "00:00:00");

  // From 0, two one-second nudges: the end mark two seconds in, after the begin.
  Click("uptime");
  Click("uptime");
  EXPECT_EQ(Shown(state().time).text, "00:00:02");
  const int barAtTwo = state().pb.GetPosition();
  if (state().TrackTable[0].BeginSample > MulDiv(barAtTwo, state().TrackTable[0].TotalSamples, 20000)) {
    // The preview's first second already passed two seconds: mark past it instead.
    Click("uptime");
  }
  Click("endtime");
  const Timerec& r = state().TrackTable[0];
  EXPECT_EQ(r.EndSample, MulDiv(state().pb.GetPosition(), r.TotalSamples, 20000));
  EXPECT_GE(r.EndSample, r.BeginSample);
  const QString range = state().lv->CellText(0, kRangeCell);
  EXPECT_TRUE(range.startsWith("  00:00:0")) << range.toStdString();
  EXPECT_TRUE(range.contains(" - 00:00:0")) << range.toStdString();
  EXPECT_EQ(Shown(state().alltime).text, ClockTextFromSeconds(r.RangeSeconds));
  EXPECT_EQ(state().lv->CellText(0, kLengthCell), "  " + ClockTextFromSeconds(r.RangeSeconds));
}

TEST_F(MainWindowCommands, DraggingTheBarWhileIdleMovesTimeOnly) {
  const QString song = ChirpFixture("drag.wav", 10.0, 44100, 1);
  dialogs->openAnswers.push_back({song});
  Click("add");
  DragSkinSlider(window().Skin1(), &window(), "pb", 0.5, 0.0);
  EXPECT_NEAR(state().pb.GetPosition(), 10000, 300);
  EXPECT_EQ(Shown(state().time).text, "00:00:05");
  EXPECT_FALSE(state().Playing);
}
