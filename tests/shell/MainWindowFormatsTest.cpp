// The formats after OGG in the real window: a folder add takes their
// extensions and measures each file as its own decoder does; cuts and joins
// into each of them decode to exactly the range.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "Commands.h"
#include "MainWindowFixture.h"
#include "settings/SettingsKeys.h"
#include "shell/FormatChooser.h"

using namespace snipwave;
using namespace snipwave::test;

namespace {

namespace sec = settings::section;
namespace key = settings::key;

class MainWindowFormats : public MainWindowFixture {
 protected:
  SettingsStore& Settings() { return *state().SettingsFile; }
  Timerec& Record(int row) { return state().TrackTable[static_cast<std::size_t>(row)]; }
  QStringList Captions() {
    QStringList captions;
    for (int i = 0; i < state().lv->RowCount(); ++i) captions << state().lv->RowTexts(i).caption;
    return captions;
  }
  TempDir dir;
};

// One second of the stereo chirp, made by each format's own tool.
QString Made(const QString& name, const QString& program, const QStringList& args) {
  const QString wav = ChirpFixture("formats-1s.wav", 1.0, 44100, 2);
  return ToolFixture(name, program, [&](const QString& out) {
    QStringList full = args;
    full.replaceInStrings("IN", wav);
    full.replaceInStrings("OUT", out);
    return full;
  });
}

TEST_F(MainWindowFormats, FolderAddTakesTheNewExtensionsAndMeasuresEachAsItsDecoderDoes) {
  const QString ffmpeg = "ffmpeg";
  const QList<QPair<QString, QString>> files = {
      {"a.flac", Made("formats-a.flac", "flac", {"-s", "-f", "-o", "OUT", "IN"})},
      {"b.opus", Made("formats-b.opus", "opusenc", {"--quiet", "IN", "OUT"})},
      {"c.oga", Made("formats-c.opus", "opusenc", {"--quiet", "IN", "OUT"})},
      {"d.m4a", Made("formats-d.m4a", ffmpeg, {"-v", "error", "-y", "-i", "IN", "-c:a", "aac", "OUT"})},
      {"e.m4b", Made("formats-e.m4a", ffmpeg, {"-v", "error", "-y", "-i", "IN", "-c:a", "alac", "OUT"})},
      {"f.AIFF", Made("formats-f.aiff", "sox", {"IN", "OUT"})},
      {"g.aac", Made("formats-g.aac", ffmpeg, {"-v", "error", "-y", "-i", "IN", "-c:a", "aac", "OUT"})},
      // Named as FLAC, holding WAV: read by what it holds.
      {"h.flac", ChirpFixture("formats-1s.wav", 1.0, 44100, 2)},
  };
  for (const auto& [name, made] : files) ASSERT_TRUE(QFile::copy(made, dir.file(name))) << name.toStdString();
  ASSERT_TRUE(QFile::copy(files[0].second, dir.file("notes.txt")));  // not an audio extension: left out

  dialogs->folderAnswers.push_back(dir.path());
  Click("folder");

  QStringList expected;
  for (const auto& file : files) expected << file.first;
  QStringList got = Captions();
  got.sort();
  EXPECT_EQ(got, expected);
  for (int row = 0; row < state().lv->RowCount(); ++row) {
    const QString path = Record(row).FilePath;
    SCOPED_TRACE(path.toStdString());
    // The copies keep their content's own suffix for the decoders.
    const QString original = files[static_cast<int>(expected.indexOf(QFileInfo(path).fileName()))].second;
    EXPECT_EQ(std::size_t(Record(row).TotalSamples) * 2, DecodeWithOwnTool(original).size());
  }
}

TEST_F(MainWindowFormats, CutsAndJoinsIntoEachNewFormatDecodeToExactlyTheRange) {
  const QString wav = ChirpFixture("formats-2s.wav", 2.0, 44100, 2);
  const QString flac = ToolFixture("formats-2s.flac", "flac", [&](const QString& out) {
    return QStringList{"-s", "-f", "-o", out, wav};
  });
  dialogs->openAnswers.push_back({wav, flac});
  Click("add");
  ASSERT_EQ(state().lv->RowCount(), 2);
  Record(0).BeginSample = 1000;
  Record(0).EndSample = 45100;
  Record(1).BeginSample = 44100;
  Record(1).EndSample = 66150;
  const std::vector<float> source = DecodeWithFfmpeg(wav);

  struct Case {
    int index;
    const char* extension;
    int rate;
    bool lossless;
  };
  for (const Case& c : {Case{4, ".flac", 44100, true}, Case{5, ".opus", 48000, false},
                        Case{6, ".m4a", 44100, false}, Case{7, ".m4a", 44100, true}}) {
    SCOPED_TRACE(c.index);
    TempDir out;
    Settings().WriteString(sec::kFormat, key::kDir, out.path());
    window().cm_Format->setCurrentIndex(c.index);
    dialogs->saveAnswers.push_back(out.file("joined"));
    Click("cut");
    WaitForJob();
    Click("combine");
    WaitForJob();
    EXPECT_TRUE(dialogs->infoTexts().isEmpty()) << dialogs->infoTexts().join('\n').toStdString();
    dialogs->shown.clear();

    const double perSecond = c.rate;
    const std::vector<float> cut = DecodeWithOwnTool(out.file("Cut_" + QFileInfo(wav).completeBaseName() + c.extension));
    const std::vector<float> joined = DecodeWithOwnTool(out.file(QString("joined") + c.extension));
    // 44100 and 22050 source frames; Opus makes them 48000 and 24000.
    EXPECT_EQ(cut.size(), std::size_t(2 * perSecond));
    EXPECT_EQ(joined.size(), std::size_t(2 * (perSecond + perSecond / 2)));
    if (c.lossless) {
      EXPECT_TRUE(std::equal(cut.begin(), cut.end(), source.begin() + 2000));
      EXPECT_TRUE(std::equal(joined.begin() + 2 * 44100, joined.end(), source.begin() + 2 * 44100));
    }
  }
}

}  // namespace
