#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

namespace snipwave::test {

struct CommandResult {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

// Runs a program with arguments (no shell), waits, returns its output.
CommandResult RunCommand(const QString& program, const QStringList& args, int timeoutMs = 120000);

// Runs ffmpeg with "-hide_banner -loglevel error -y" in front; fails the test on error.
void Ffmpeg(const QStringList& args);

// Decodes any audio file with the ffmpeg CLI into interleaved float32 at the
// file's own rate and channel count (or the ones asked for, when > 0).
std::vector<float> DecodeWithFfmpeg(const QString& path, int channels = 0, int sampleRate = 0);

struct ProbeInfo {
  int sampleRate = 0;
  int channels = 0;
  QString codec;
  QString format;
};
// Stream facts of the first audio stream as ffprobe reports them.
ProbeInfo FfprobeInfo(const QString& path);

// A fixture file made once per build tree and shared by all tests: the name
// is the cache key, `ffmpegArgs` the arguments that produce it (the output
// path is appended). Creation is atomic, so parallel tests may ask at once.
QString Fixture(const QString& name, const QStringList& ffmpegArgs);

// Gives the finished file `temp` the name `path` at once, so that parallel
// test processes never read a fixture half written (`temp` must be in the
// same folder and named for this process).
void PublishFile(const QString& temp, const QString& path);

// A fixture file made once per build tree by another tool (sox, lame): `args`
// gives the tool's arguments for the output path it is passed. Cached and
// created like Fixture.
QString ToolFixture(const QString& name, const QString& program,
                    const std::function<QStringList(const QString& output)>& args);

// Common fixtures: a logarithmic chirp of the given length, rate and channels
// (left channel the chirp, right channel the chirp at a quarter amplitude, so
// channel mix-ups show), encoded by extension (.wav .mp3 .ogg .wma).
QString ChirpFixture(const QString& name, double seconds, int sampleRate, int channels,
                     const QStringList& encoderArgs = {});

// Decodes with the format's own decoder where there is one (`flac -d` for
// .flac, `opusdec` for .opus, at 48000 Hz), else with ffmpeg; interleaved
// float32 as DecodeWithFfmpeg gives it. An .m4a or .mp4 ends where its edit
// list ends it, as a player that honours the edit list plays it.
std::vector<float> DecodeWithOwnTool(const QString& path);

// Pearson correlation of two equally long sample runs.
double Correlation(const std::vector<float>& a, const std::vector<float>& b);

}  // namespace snipwave::test
