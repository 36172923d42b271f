#include <gtest/gtest.h>

#include <QFile>
#include <QTextStream>

#include "Commands.h"
#include "TempDir.h"
#include "cli/ProbeCommand.h"

namespace snipwave::test {
namespace {

TEST(ProbeCommand, OneLinePerFileErrorsOnStderrExitOne) {
  TempDir dir;
  const QString wav = ChirpFixture("chirp1.wav", 1.0, 44100, 2);
  const QString mono = ChirpFixture("chirp-mono-22k.ogg", 2.0, 22050, 1, {"-c:a", "libvorbis"});
  QFile bad(dir.file("bad file.mp3"));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("not audio");
  bad.close();
  const CommandResult r = RunCommand(SNIPWAVE_RUNTIME_DIR "/snipwave", {"probe", wav, dir.file("bad file.mp3"), mono});
  EXPECT_EQ(r.exitCode, 1);
  const QStringList lines = QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
  EXPECT_EQ(lines[0], wav + "\t44100\t1000\t44100\t2");
  EXPECT_EQ(lines[1], mono + "\t44100\t2000\t22050\t1");
  EXPECT_TRUE(r.err.contains("bad file.mp3")) << r.err.toStdString();
}

TEST(ProbeCommand, AllGoodIsZeroAndNoFilesIsUsage) {
  QString outText, errText;
  QTextStream out(&outText), err(&errText);
  EXPECT_EQ(RunProbeCommand({ChirpFixture("chirp1.wav", 1.0, 44100, 2)}, out, err), 0);
  EXPECT_TRUE(outText.endsWith("\t44100\t1000\t44100\t2\n")) << outText.toStdString();
  EXPECT_TRUE(errText.isEmpty());
  EXPECT_EQ(RunProbeCommand({}, out, err), 2);
  EXPECT_TRUE(errText.contains("Usage"));
}

}  // namespace
}  // namespace snipwave::test
