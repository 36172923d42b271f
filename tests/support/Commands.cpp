#include "Commands.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QCoreApplication>
#include <cmath>
#include <cstdio>
#include <cstring>

#ifndef SNIPWAVE_FIXTURE_DIR
#error "SNIPWAVE_FIXTURE_DIR must name the build tree's fixture cache"
#endif

namespace snipwave::test {

CommandResult RunCommand(const QString& program, const QStringList& args, int timeoutMs) {
  QProcess process;
  process.start(program, args);
  CommandResult result;
  if (!process.waitForStarted(timeoutMs)) {
    result.err = ("cannot start " + program).toUtf8();
    return result;
  }
  process.closeWriteChannel();
  process.waitForFinished(timeoutMs);
  result.out = process.readAllStandardOutput();
  result.err = process.readAllStandardError();
  result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  return result;
}

void Ffmpeg(const QStringList& args) {
  const CommandResult r =
      RunCommand("ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-nostdin", "-y"} + args);
  ASSERT_EQ(r.exitCode, 0) << "ffmpeg " << args.join(' ').toStdString() << "\n" << r.err.toStdString();
}

std::vector<float> DecodeWithFfmpeg(const QString& path, int channels, int sampleRate) {
  QStringList args{"-hide_banner", "-loglevel", "error", "-nostdin", "-i", path};
  if (channels > 0) args << "-ac" << QString::number(channels);
  if (sampleRate > 0) args << "-ar" << QString::number(sampleRate);
  args << "-f" << "f32le" << "-acodec" << "pcm_f32le" << "-";
  const CommandResult r = RunCommand("ffmpeg", args);
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  std::vector<float> samples(static_cast<std::size_t>(r.out.size()) / sizeof(float));
  if (!samples.empty()) std::memcpy(samples.data(), r.out.constData(), samples.size() * sizeof(float));
  return samples;
}

std::vector<float> DecodeWithOwnTool(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == "m4a" || suffix == "mp4") {
    // FFmpeg 5.1 drops the AAC priming by the edit list but leaves the end to
    // the player: the edit's length (its stream duration) ends the decode.
    std::vector<float> samples = DecodeWithFfmpeg(path);
    const CommandResult r = RunCommand("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                                   "stream=duration_ts,channels", "-of", "default=nw=1", path});
    std::size_t frames = 0, channels = 0;
    for (const QByteArray& line : r.out.split('\n')) {
      if (line.startsWith("duration_ts=")) frames = line.mid(12).trimmed().toULongLong();
      if (line.startsWith("channels=")) channels = line.mid(9).trimmed().toULongLong();
    }
    if (frames > 0 && channels > 0 && frames * channels < samples.size()) samples.resize(frames * channels);
    return samples;
  }
  if (suffix != "flac" && suffix != "opus") return DecodeWithFfmpeg(path);
  QTemporaryDir dir;
  const QString wav = dir.filePath("decoded.wav");
  const CommandResult r = suffix == "flac" ? RunCommand("flac", {"-d", "-s", "-f", "-o", wav, path})
                                           : RunCommand("opusdec", {"--quiet", "--rate", "48000", path, wav});
  EXPECT_EQ(r.exitCode, 0) << path.toStdString() << ": " << r.err.toStdString();
  if (r.exitCode != 0) return {};
  return DecodeWithFfmpeg(wav);
}

ProbeInfo FfprobeInfo(const QString& path) {
  const CommandResult r = RunCommand(
      "ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                  "stream=sample_rate,channels,codec_name:format=format_name", "-of", "default=nw=1", path});
  ProbeInfo info;
  for (const QByteArray& line : r.out.split('\n')) {
    const int eq = line.indexOf('=');
    if (eq < 0) continue;
    const QByteArray k = line.left(eq), v = line.mid(eq + 1).trimmed();
    if (k == "sample_rate") info.sampleRate = v.toInt();
    else if (k == "channels") info.channels = v.toInt();
    else if (k == "codec_name") info.codec = QString::fromUtf8(v);
    else if (k == "format_name") info.format = QString::fromUtf8(v);
  }
  return info;
}

namespace {

// A fixture made once into the fixture folder by `make(temporaryPath)`; the
// recipe is part of the name, so that a changed recipe makes a new file.
QString CachedFixture(const QString& name, const QString& recipeText, const std::function<void(const QString&)>& make) {
  QDir().mkpath(SNIPWAVE_FIXTURE_DIR);
  const QByteArray recipe =
      QCryptographicHash::hash(recipeText.toUtf8(), QCryptographicHash::Sha1).toHex().left(10);
  const QFileInfo nameInfo(name);
  const QString path = QDir(SNIPWAVE_FIXTURE_DIR)
                           .filePath(nameInfo.completeBaseName() + "-" + QString::fromLatin1(recipe) + "." +
                                     nameInfo.suffix());
  if (QFileInfo::exists(path)) return path;
  // Tools pick the file type by extension, so the temporary keeps it.
  const QString temp = QDir(SNIPWAVE_FIXTURE_DIR)
                           .filePath(QString(".tmp-%1-%2.%3")
                                         .arg(QCoreApplication::applicationPid())
                                         .arg(QString::fromLatin1(recipe), nameInfo.suffix()));
  make(temp);
  PublishFile(temp, path);
  return path;
}

}  // namespace

void PublishFile(const QString& temp, const QString& path) {
  // rename(2) replaces the name in one step on every file system; QFile::rename
  // falls back to copying where hard links are refused, and a process that
  // reads the name meanwhile sees half a file. A racing twin wrote the same
  // bytes, so replacing its file changes nothing.
  if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) != 0)
    QFile::remove(temp);
}

QString Fixture(const QString& name, const QStringList& ffmpegArgs) {
  return CachedFixture(name, ffmpegArgs.join('\x1f'),
                       [&](const QString& temp) { Ffmpeg(ffmpegArgs + QStringList{temp}); });
}

QString ToolFixture(const QString& name, const QString& program,
                    const std::function<QStringList(const QString& output)>& args) {
  return CachedFixture(name, program + '\x1f' + args("\x1e").join('\x1f'), [&](const QString& temp) {
    const CommandResult r = RunCommand(program, args(temp));
    EXPECT_EQ(r.exitCode, 0) << program.toStdString() << "\n" << r.err.toStdString();
  });
}

QString ChirpFixture(const QString& name, double seconds, int sampleRate, int channels,
                     const QStringList& encoderArgs) {
  const QString duration = QString::number(seconds, 'f', 6);
  // A chirp from 100 Hz to 8 kHz: every frame differs from its neighbours,
  // so an off-by-one in position shows as a mismatch.
  const QString left =
      QString("aevalsrc=exprs='0.5*sin(2*PI*(100*t+%1*t*t))':s=%2:d=%3")
          .arg(QString::number((8000.0 - 100.0) / (2.0 * std::max(seconds, 0.001)), 'f', 4))
          .arg(sampleRate)
          .arg(duration);
  QStringList args{"-f", "lavfi", "-i", left};
  if (channels == 2) {
    args << "-filter_complex" << "[0:a]asplit[a][b];[b]volume=0.25[c];[a][c]join=inputs=2:channel_layout=stereo";
  }
  args << "-ar" << QString::number(sampleRate) << "-ac" << QString::number(channels);
  args << encoderArgs;
  return Fixture(name, args);
}

double Correlation(const std::vector<float>& a, const std::vector<float>& b) {
  const std::size_t n = std::min(a.size(), b.size());
  if (n == 0) return 0.0;
  double ma = 0, mb = 0;
  for (std::size_t i = 0; i < n; ++i) {
    ma += a[i];
    mb += b[i];
  }
  ma /= n;
  mb /= n;
  double sab = 0, saa = 0, sbb = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double da = a[i] - ma, db = b[i] - mb;
    sab += da * db;
    saa += da * da;
    sbb += db * db;
  }
  if (saa == 0 || sbb == 0) return 0.0;
  return sab / std::sqrt(saa * sbb);
}

}  // namespace snipwave::test
