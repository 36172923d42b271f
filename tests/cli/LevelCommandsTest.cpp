// Fades, crossfades and matched loudness through `snipwave cut` / `join`:
// outputs decoded by the ffmpeg CLI and measured by its ebur128 filter.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cmath>
#include <numbers>

#include "Commands.h"
#include "TempDir.h"

namespace snipwave::test {
namespace {

const QString kProgram = QStringLiteral(SNIPWAVE_RUNTIME_DIR "/snipwave");
constexpr int kRate = 44100;
// One step of a 16-bit sample, with room for the rounding of a product.
constexpr double kLsb = 1.01 / 32768.0;

class LevelCommands : public ::testing::Test {
 protected:
  LevelCommands() {
    qputenv("SNIPWAVE_CONFIG_DIR", dir.file("config").toUtf8());
    QDir().mkdir(dir.file("config"));
  }
  CommandResult Run(const QStringList& args) { return RunCommand(kProgram, args); }
  void WriteSettings(const QByteArray& text) {
    QFile f(dir.file("config/Snipwave.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
  // A stereo 16-bit WAV made by sox: `synth` arguments after the length.
  QString Sox(const QString& name, double seconds, const QStringList& synth) {
    const QString path = dir.file(name);
    const CommandResult r = RunCommand("sox", QStringList{"-R", "-n", "-r", QString::number(kRate), "-c", "2", "-b", "16",
                                                          path, "synth", QString::number(seconds)} + synth);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return path;
  }
  TempDir dir;
};

QString Chirp() { return ChirpFixture("level-src.wav", 2.0, kRate, 2); }

// The curves as the help describes them, written out independently.
double Curve(const QString& curve, double x) {
  if (curve == "equal-power") return std::sin(x * std::numbers::pi / 2);
  if (curve == "log") return std::pow(10.0, -60.0 * (1 - x) / 20.0);
  return x;
}

// Integrated loudness and true peak of frames [begin, end) of `path`, by ffmpeg's ebur128.
std::pair<double, double> Ebur128(const QString& path, std::int64_t begin, std::int64_t end) {
  const CommandResult r =
      RunCommand("ffmpeg", {"-hide_banner", "-nostats", "-i", path, "-af",
                            QString("atrim=start_sample=%1:end_sample=%2,ebur128=peak=true").arg(begin).arg(end),
                            "-f", "null", "-"});
  const QString text = QString::fromUtf8(r.err);
  const int summary = text.lastIndexOf("Summary:");
  const auto value = [&](const char* label) {
    const QRegularExpressionMatch m =
        QRegularExpression(QString(label) + R"(\s+(-?[0-9.]+|-inf))").match(text, summary);
    return m.hasMatch() ? m.captured(1).toDouble() : std::nan("");
  };
  return {value("I:"), value("Peak:")};
}

// The first and last frames of a cut follow the curve exactly; the frames
// between are the source's.
TEST_F(LevelCommands, FadesFollowTheirCurveFrameByFrame) {
  const std::vector<float> source = DecodeWithFfmpeg(Chirp());
  const std::int64_t begin = 1000, length = kRate;  // fade-in 50 ms, fade-out 20 ms
  const std::int64_t in = 2205, out = 882;
  for (const QString curve : {"linear", "equal-power", "log"}) {
    SCOPED_TRACE(curve.toStdString());
    const QString folder = dir.file(curve);
    const CommandResult r = Run({"cut", "--format", "wav", "--fade-in", "50", "--fade-out", "20", "--fade-curve",
                                 curve, "--out", folder, Chirp() + QString("@%1:%2").arg(begin).arg(begin + length)});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const std::vector<float> cut = DecodeWithFfmpeg(QString::fromUtf8(r.out).trimmed());
    ASSERT_EQ(cut.size(), std::size_t(length * 2));
    int wrong = 0;
    for (std::int64_t p = 0; p < length; ++p) {
      const double gain = p < in ? Curve(curve, double(p) / in)
                          : p >= length - out ? Curve(curve, double(length - 1 - p) / out)
                                              : 1.0;
      for (int c = 0; c < 2; ++c) {
        const double expected = source[std::size_t((begin + p) * 2 + c)] * gain;
        if (std::abs(cut[std::size_t(p * 2 + c)] - expected) > kLsb && ++wrong < 4)
          ADD_FAILURE() << "frame " << p << " channel " << c << ": " << cut[std::size_t(p * 2 + c)] << " != "
                        << expected;
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

// Two ranges overlap by the crossfade (equal-power): the joined length is
// their sum less the overlap, and each overlapping frame is the two mixed.
TEST_F(LevelCommands, CrossfadeOverlapsTheRangesAndShortensTheJoin) {
  const QString a = Sox("a.wav", 1.0, {"sine", "300", "vol", "0.4"});
  const QString b = Sox("b.wav", 0.5, {"sine", "700", "vol", "0.4"});
  const std::vector<float> sa = DecodeWithFfmpeg(a), sb = DecodeWithFfmpeg(b);
  struct Case {
    const char* ms;
    std::int64_t overlap;
    const char* said;
  } cases[] = {{"200", 8820, "lasts 0:01.300: the ranges' 0:01.500 less 0:00.200"},
               {"800", 11025, "shortened to 250 ms"}};  // at most half of the 0.5 s range
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ms);
    const QString path = dir.file(QString("join-%1.wav").arg(c.ms));
    const CommandResult r = Run({"join", "--format", "wav", "--crossfade", c.ms, "--out", path, a, b});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(c.said)) << r.err.toStdString();
    const std::vector<float> joined = DecodeWithFfmpeg(path);
    const std::int64_t la = kRate, lb = kRate / 2, t = c.overlap;
    ASSERT_EQ(std::int64_t(joined.size()), (la + lb - t) * 2);
    int wrong = 0;
    for (std::int64_t p = 0; p < la + lb - t; ++p) {
      for (int ch = 0; ch < 2; ++ch) {
        double expected;
        if (p < la - t) {
          expected = sa[std::size_t(p * 2 + ch)];
        } else if (p < la) {
          const double x = double(p - (la - t)) / double(t);
          expected = sa[std::size_t(p * 2 + ch)] * std::cos(x * std::numbers::pi / 2) +
                     sb[std::size_t((p - (la - t)) * 2 + ch)] * std::sin(x * std::numbers::pi / 2);
        } else {
          expected = sb[std::size_t((p - (la - t)) * 2 + ch)];
        }
        if (std::abs(joined[std::size_t(p * 2 + ch)] - expected) > 2 * kLsb && ++wrong < 4)
          ADD_FAILURE() << "frame " << p << ": " << joined[std::size_t(p * 2 + ch)] << " != " << expected;
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

// Each range of a matched join reaches the target within 0.5 LU, unless the
// ceiling holds it back; no part's true peak goes over the ceiling.
TEST_F(LevelCommands, MatchedJoinReachesTheTargetUnderTheCeiling) {
  const QString quiet = Sox("quiet.wav", 2.0, {"sine", "440", "vol", "0.03"});
  const QString noise = Sox("noise.wav", 2.0, {"pinknoise", "vol", "0.7"});
  const QString loud = Sox("loud.wav", 2.0, {"sine", "1000", "vol", "0.9"});
  struct Case {
    const char* ceiling;
    bool held;  // the ceiling is below what the target needs
  } cases[] = {{"-1", false}, {"-24", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ceiling);
    const QString path = dir.file(QString("matched%1.wav").arg(c.ceiling));
    const CommandResult r =
        Run({"join", "--format", "wav", "--loudness", "-20", "--true-peak", c.ceiling, "--out", path, quiet, noise, loud});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.contains("held to the true-peak ceiling"), c.held) << r.err.toStdString();
    const double ceiling = QString(c.ceiling).toDouble();
    for (int part = 0; part < 3; ++part) {
      const auto [lufs, peak] = Ebur128(path, part * 2 * kRate, (part + 1) * 2 * kRate);
      if (!c.held) EXPECT_NEAR(lufs, -20.0, 0.5) << "part " << part;
      EXPECT_LE(peak, ceiling + 0.1) << "part " << part;
    }
    const std::vector<float> samples = DecodeWithFfmpeg(path);
    float highest = 0;
    for (float s : samples) highest = std::max(highest, std::abs(s));
    EXPECT_LE(highest, std::pow(10.0, ceiling / 20.0) + kLsb);
  }
}

// A matched range is written from the decode that measured it: each part
// of the matched join is the plain join's same part times one gain, frame
// for frame (an MP3 range of several reads, a WAV range of one and a part).
TEST_F(LevelCommands, MatchedRangesAreThePlainJoinsFramesTimesTheirGain) {
  const QString mp3 = ChirpFixture("level-long.mp3", 8.0, kRate, 2, {"-c:a", "libmp3lame", "-b:a", "128k"});
  const QStringList rows = {mp3 + "@10000:230500", Chirp() + "@5000:70000"};
  const QString plain = dir.file("plain.wav"), matched = dir.file("matched.wav");
  ASSERT_EQ(Run(QStringList{"join", "--format", "wav", "--out", plain} + rows).exitCode, 0);
  const CommandResult r = Run(QStringList{"join", "--format", "wav", "--loudness", "-30", "--out", matched} + rows);
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  const std::vector<float> a = DecodeWithFfmpeg(plain), b = DecodeWithFfmpeg(matched);
  ASSERT_EQ(a.size(), b.size());
  ASSERT_EQ(a.size(), 2u * (220500 + 65000));
  const std::size_t parts[] = {0, 2 * 220500, a.size()};
  for (int part = 0; part < 2; ++part) {
    double ab = 0, aa = 0;
    for (std::size_t i = parts[part]; i < parts[part + 1]; ++i) ab += double(a[i]) * b[i], aa += double(a[i]) * a[i];
    const double gain = ab / aa;
    EXPECT_LT(gain, 1.0) << "part " << part;
    double worst = 0;
    for (std::size_t i = parts[part]; i < parts[part + 1]; ++i) worst = std::max(worst, std::abs(b[i] - gain * a[i]));
    EXPECT_LE(worst, 2 * kLsb) << "part " << part;
  }
}

// Every [Level] key at its default, and the options at theirs, leave the
// outputs byte for byte what they are without (Ogg: sample for sample, its
// stream serial is new in every file).
TEST_F(LevelCommands, DefaultsLeaveOutputsAsTheyAre) {
  const QString source = Chirp();
  const auto outputs = [&](const QString& tag) {
    std::vector<QString> paths;
    for (const QString format : {"mp3", "wav", "ogg"}) {
      const QString folder = dir.file(tag + format);
      const CommandResult cut = Run({"cut", "--format", format, "--out", folder, source + "@100:50000"});
      EXPECT_EQ(cut.exitCode, 0);
      paths.push_back(QString::fromUtf8(cut.out).trimmed());
      const QString joined = folder + "/join." + format;
      EXPECT_EQ(Run({"join", "--format", format, "--out", joined, source + "@100:50000", source}).exitCode, 0);
      paths.push_back(joined);
    }
    return paths;
  };
  const std::vector<QString> plain = outputs("plain-");
  WriteSettings(
      "[Level]\nFadeInMs=0\nFadeOutMs=0\nFadeCurve=log\nCrossfadeMs=0\nCrossfadeCurve=linear\nEdgeFadeMs=0\n"
      "MatchLoudness=off\nNormalise=0\nTargetLufs=-23\nTruePeakDbtp=-2\n");
  const std::vector<QString> level = outputs("level-");
  for (std::size_t i = 0; i < plain.size(); ++i) {
    SCOPED_TRACE(plain[i].toStdString());
    if (plain[i].endsWith(".ogg")) {
      EXPECT_EQ(DecodeWithFfmpeg(plain[i]), DecodeWithFfmpeg(level[i]));
    } else {
      QFile a(plain[i]), b(level[i]);
      ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
      EXPECT_TRUE(a.readAll() == b.readAll());
    }
  }
}

// A value no option or key takes is named, and nothing is written.
TEST_F(LevelCommands, BadLevelValuesAreNamedAndNothingIsWritten) {
  struct Case {
    QStringList options;
    QByteArray settings;
    int exitCode;
    const char* said;
  } cases[] = {
      {{"--fade-in", "-5"}, "", 2, "--fade-in needs a length in ms"},
      {{"--fade-out=soon"}, "", 2, "--fade-out needs a length in ms"},
      {{"--fade-curve", "cubic"}, "", 2, "unknown fade curve \"cubic\""},
      {{"--loudness", "3"}, "", 2, "--loudness needs a loudness in LUFS"},
      {{"--true-peak", "-inf"}, "", 2, "--true-peak needs a true peak in dBTP"},
      {{"--crossfade", "100"}, "", 2, "unknown option --crossfade"},  // a join's option
      {{}, "[Level]\nEdgeFadeMs=5ms\n", 1, "[Level] EdgeFadeMs=5ms"},
      {{}, "[Level]\nMatchLoudness=loud\n", 1, "[Level] MatchLoudness=loud"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.said);
    WriteSettings(c.settings);
    const QString folder = dir.file("bad");
    const CommandResult r = Run(QStringList{"cut", "--format", "wav"} + c.options + QStringList{"--out", folder, Chirp()});
    EXPECT_EQ(r.exitCode, c.exitCode);
    EXPECT_TRUE(r.err.contains(c.said)) << r.err.toStdString();
    EXPECT_TRUE(QDir(folder).isEmpty()) << "nothing written";
  }
}

// With the MP3 frames kept, a join whose level changes re-encodes and says why.
TEST_F(LevelCommands, KeptFramesGiveWayToALevelChangeOfAJoinAndSayWhy) {
  const QString mp3 = ChirpFixture("level-src.mp3", 2.0, kRate, 2, {"-c:a", "libmp3lame", "-b:a", "128k"});
  const CommandResult r = Run({"join", "--lossless", "--crossfade", "100", "--out", dir.file("j.mp3"), mp3, mp3});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("no MP3 frames kept: its crossfades mix the ranges")) << r.err.toStdString();
}

}  // namespace
}  // namespace snipwave::test
