// An MP3 followed by a large APE tag and an ID3v1 tag, cut to its end as the
// user cuts it: re-encoded and with its frames kept, the output holds exactly
// the range (mpg123 --gapless), and a kept-frames cut keeps the frames.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cmath>

#include "Commands.h"
#include "TempDir.h"
#include "TrailingTags.h"

namespace snipwave::test {
namespace {

const QString kProgram = QStringLiteral(SNIPWAVE_RUNTIME_DIR "/snipwave");

std::int64_t GaplessFrames(const QString& path, int channels) {
  const CommandResult r = RunCommand("mpg123", {"--gapless", "-q", "-s", path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return r.out.size() / (2 * channels);
}

TEST(TrailingTagCut, CutToTheEndHoldsTheRangeAndKeepsTheFrames) {
  TempDir dir;
  // A fresh settings folder: MP3 output at 44100 Hz, stereo, 128 kbit/s, the source's format.
  qputenv("SNIPWAVE_CONFIG_DIR", dir.file("config").toUtf8());
  QDir().mkdir(dir.file("config"));
  const QString wav = dir.file("src.wav"), bare = dir.file("bare.mp3"), source = dir.file("tagged.mp3");
  ASSERT_EQ(RunCommand("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "3", "sine", "100-6000",
                               "vol", "0.5"}).exitCode, 0);
  ASSERT_EQ(RunCommand("lame", {"--quiet", "-b", "128", wav, bare}).exitCode, 0);
  QFile in(bare), out(source);
  ASSERT_TRUE(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
  out.write(in.readAll() + ApeTag({{"Comment", QByteArray(1 << 20, 'c')}}, true) + Id3v1Tag());
  out.close();
  const std::vector<float> whole = DecodeWithFfmpeg(bare);
  ASSERT_EQ(whole.size(), 2u * 132300);

  for (const bool lossless : {false, true}) {
    SCOPED_TRACE(lossless ? "--lossless" : "re-encoded");
    const QString folder = dir.file(lossless ? "kept" : "recoded");
    QDir().mkdir(folder);
    QStringList args{"cut", "--out", folder, source + "@100000:"};
    if (lossless) args.insert(1, "--lossless");
    const CommandResult r = RunCommand(kProgram, args);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList written = QDir(folder).entryList(QDir::Files);
    ASSERT_EQ(written.size(), 1);
    const QString cut = QDir(folder).filePath(written.first());
    EXPECT_EQ(GaplessFrames(cut, 2), 32300);
    if (!lossless) continue;
    EXPECT_FALSE(r.err.contains("re-encoded")) << r.err.toStdString();
    // Away from the re-encoded edges, the source's own samples.
    const std::vector<float> got = DecodeWithFfmpeg(cut);
    ASSERT_EQ(got.size(), 2u * 32300);
    const std::size_t edge = 4 * 1152 * 2;
    float worst = 0;
    for (std::size_t i = edge; i + edge < got.size(); ++i) {
      worst = std::max(worst, std::abs(got[i] - whole[200000 + i]));
    }
    EXPECT_EQ(worst, 0.0f);
  }
}

}  // namespace
}  // namespace snipwave::test
