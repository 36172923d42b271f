#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Commands.h"
#include "TempDir.h"

namespace snipwave::test {

inline constexpr int kToneRate = 44100;

// A mono 16-bit WAV made by sox of tone and silence pieces of the given
// seconds, one after the other (positive: a 440 Hz tone at -6 dBFS,
// negative: digital silence).
inline QString ToneAndSilence(const TempDir& dir, const QString& name, const std::vector<double>& pieces) {
  QStringList parts;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const QString piece = dir.file(QString("%1-%2.wav").arg(name).arg(i));
    const QString seconds = QString::number(std::abs(pieces[i]), 'f', 3);
    QStringList args = {"-n", "-r", QString::number(kToneRate), "-c", "1", "-b", "16", piece};
    if (pieces[i] > 0) args << QStringList{"synth", seconds, "sine", "440", "gain", "-6"};
    else args << QStringList{"trim", "0", seconds};
    const CommandResult r = RunCommand("sox", args);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    parts << piece;
  }
  const QString path = dir.file(name + ".wav");
  const CommandResult r = RunCommand("sox", parts + QStringList{path});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return path;
}

}  // namespace snipwave::test
