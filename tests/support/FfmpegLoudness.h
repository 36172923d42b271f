#pragma once

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <cmath>
#include <limits>

#include "Commands.h"

namespace snipwave::test {

// What FFmpeg's ebur128 filter (peak=true) says of a file in its summary:
// the independent measure our own is held against. Silence: I is -70 (the
// filter's floor) and the peak -infinity.
struct FfmpegLoudness {
  double integratedLufs = 0;
  double truePeakDbtp = 0;
};

// `before`: filters in front of the measure (e.g. an atrim for a range).
inline FfmpegLoudness MeasureWithFfmpeg(const QString& path, const QString& before = {}) {
  const QString filters = before.isEmpty() ? QString("ebur128=peak=true") : before + ",ebur128=peak=true";
  const QStringList args{"-hide_banner", "-nostats", "-i", path, "-af", filters, "-f", "null", "-"};
  const CommandResult r = RunCommand("ffmpeg", args);
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QString text = QString::fromUtf8(r.err);
  const QString summary = text.mid(text.lastIndexOf("Summary:"));
  const auto value = [&](const char* label) {
    const QRegularExpressionMatch m =
        QRegularExpression(QString(label) + R"(:\s+(-?inf|-?[0-9.]+))").match(summary);
    EXPECT_TRUE(m.hasMatch()) << label << " missing in: " << summary.toStdString();
    const QString number = m.captured(1);
    if (number.endsWith("inf")) return -std::numeric_limits<double>::infinity();
    return number.toDouble();
  };
  return {value("I"), value("Peak")};
}

}  // namespace snipwave::test
