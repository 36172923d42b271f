// Files and folders dropped on the real window's list, delivered as the
// desktop delivers them: a drag entering the list, then the drop.
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include "Commands.h"
#include "MainWindowFixture.h"
#include "tracks/TrackListWidget.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {

class MainWindowDrop : public MainWindowFixture {
 protected:
  // Returns whether the list took the drag.
  bool Drop(const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QWidget* target = window().lv->viewport();
    const QPointF at(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
  }
  static QList<QUrl> Local(const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    return urls;
  }
  QStringList Captions() {
    QStringList captions;
    for (int i = 0; i < state().lv->RowCount(); ++i) captions << state().lv->RowTexts(i).caption;
    return captions;
  }
  TempDir dir;
};

TEST_F(MainWindowDrop, FilesAndAFolderAreAddedInTheOrderDropped) {
  const QString wav = ChirpFixture("drop-1s.wav", 1.0, 44100, 1);
  ASSERT_TRUE(QDir(dir.path()).mkpath("album/sub"));
  for (const char* name : {"album/track 10.wav", "album/Track 2.wav", "album/sub/deeper.wav", "first.wav", "last.wav"})
    ASSERT_TRUE(QFile::copy(wav, dir.file(name))) << name;
  QFile notes(dir.file("album/notes.txt"));
  ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
  notes.close();
  QFile junk(dir.file("junk.mp3"));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write(QByteArray(4096, 'x'));
  junk.close();

  EXPECT_FALSE(Drop({QUrl("https://example.org/a.mp3")}));  // nothing local: refused
  EXPECT_TRUE(Drop(Local({dir.file("first.wav"), dir.file("album"), dir.file("junk.mp3"), dir.file("last.wav")})));
  EXPECT_EQ(Captions(), (QStringList{"first.wav", "Track 2.wav", "track 10.wav", "last.wav"}));
  EXPECT_EQ(state().TrackCount, 4);
  EXPECT_EQ(state().TrackTable[1].FilePath, dir.file("album/Track 2.wav"));
  EXPECT_EQ(state().lv->SelectedRow(), 0);
  EXPECT_EQ(Shown(state().alltime).text, "00:00:04");
  EXPECT_TRUE(dialogs->infoTexts().isEmpty()) << "an unreadable file is skipped without a message";

  // A folder alone, while a preview plays: refused like the menu's add.
  state().Playing = true;
  Drop(Local({dir.file("album")}));
  state().Playing = false;
  EXPECT_EQ(state().lv->RowCount(), 4);
}

TEST_F(MainWindowDrop, ADropBeyondTheTableLimitSaysHowManyWereLeftOut) {
  const QString wav = ChirpFixture("drop-short.wav", 0.05, 8000, 1);
  ASSERT_TRUE(QDir(dir.path()).mkdir("many"));
  for (int i = 1; i <= 100; ++i)
    ASSERT_TRUE(QFile::copy(wav, dir.file(QString("many/%1.wav").arg(i, 3, 10, QChar('0')))));
  ASSERT_TRUE(QFile::copy(wav, dir.file("a.wav")));
  ASSERT_TRUE(QFile::copy(wav, dir.file("b.wav")));
  EXPECT_TRUE(Drop(Local({dir.file("many"), dir.file("a.wav"), dir.file("b.wav")})));
  EXPECT_EQ(state().lv->RowCount(), 101);
  EXPECT_EQ(state().lv->RowTexts(100).caption, "a.wav");
  EXPECT_EQ(dialogs->infoTexts(),
            QStringList{"1 of the chosen files was not added because the list holds at most 101 files."});
}

}  // namespace
