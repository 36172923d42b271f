#pragma once

// Running the programs a benchmark compares, each as its own process, and
// making its inputs once with ffmpeg.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <functional>
#include <utility>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace snipwave::bench {

struct RunResult {
  bool ok = false;
  double seconds = 0;
  double cpuSeconds = 0;  // user + system time of the process and its threads
  long peakKiB = 0;
  // Cores the run kept busy on average: below the workers' count when the
  // machine's other load took the rest.
  double Cores() const { return seconds > 0 ? cpuSeconds / seconds : 0; }
};

inline double CpuSeconds(const rusage& usage) {
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The 1-minute load average, for judging figures taken on a shared machine;
// negative when unknown.
inline double LoadAverage() {
  QFile file("/proc/loadavg");
  if (!file.open(QIODevice::ReadOnly)) return -1;
  bool ok = false;
  const double load = QString::fromLatin1(file.readAll()).section(' ', 0, 0).toDouble(&ok);
  return ok ? load : -1;
}

// Runs a program (no shell) with its output discarded; wall time and peak RSS.
inline RunResult RunMeasured(const QString& program, const QStringList& args) {
  std::vector<QByteArray> storage{program.toLocal8Bit()};
  for (const QString& a : args) storage.push_back(a.toLocal8Bit());
  std::vector<char*> argv;
  for (QByteArray& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    FILE* devnull = std::fopen("/dev/null", "w");
    if (devnull) dup2(fileno(devnull), STDOUT_FILENO);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  RunResult r;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  r.cpuSeconds = CpuSeconds(usage);
  r.peakKiB = usage.ru_maxrss;
  if (!r.ok) std::fprintf(stderr, "%s failed (status %d)\n", qPrintable(program), status);
  return r;
}

inline bool Ffmpeg(const QStringList& args) {
  return RunMeasured("ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-nostdin", "-y"} + args).ok;
}

// Best of three; `prepare` runs before each (removes the last output).
inline RunResult Best(const std::function<void()>& prepare, const QString& program, const QStringList& args) {
  RunResult best;
  for (int i = 0; i < 3; ++i) {
    prepare();
    const RunResult r = RunMeasured(program, args);
    if (!r.ok) return r;
    if (!best.ok || r.seconds < best.seconds) best = r;
  }
  return best;
}

// Best of three each for two commands run in turn (a, b, a, b, a, b), so
// both meet the same share of a machine whose other load changes; `prepare`
// runs before each run.
inline std::pair<RunResult, RunResult> BestAlternating(const std::function<void()>& prepare, const QString& program,
                                                       const QStringList& a, const QStringList& b) {
  RunResult best[2];
  for (int i = 0; i < 6; ++i) {
    prepare();
    const RunResult r = RunMeasured(program, i % 2 == 0 ? a : b);
    RunResult& kept = best[i % 2];
    if (!r.ok) return {r, r};
    if (!kept.ok || r.seconds < kept.seconds) kept = r;
  }
  return {best[0], best[1]};
}

inline QString MakeInput(const QString& folder, const QString& name, int seconds, int rate, int channels,
                         const QStringList& codec) {
  const QString path = QDir(folder).filePath(name);
  if (QFileInfo::exists(path)) return path;
  std::printf("making %s (%d s)\n", qPrintable(name), seconds);
  std::fflush(stdout);
  const QString temp = QDir(folder).filePath("part-" + name);
  const QString audio = QString("aevalsrc=exprs='0.3*sin(2*PI*(220+40*sin(t/7))*t)+0.05*(random(0)-0.5)':s=%1:d=%2")
                            .arg(rate)
                            .arg(seconds);
  if (!Ffmpeg(QStringList{"-f", "lavfi", "-i", audio, "-ac", QString::number(channels)} + codec + QStringList{temp}))
    return {};
  QFile::rename(temp, path);
  return path;
}

// Reads a file through once, so every run finds it in the page cache alike.
inline void WarmPageCache(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return;
  while (!file.read(1 << 22).isEmpty()) {
  }
}

// The rows of the jobs benchmarks: `count` MP3 files of 60 s, 44.1 kHz
// stereo 128 kbit/s ("minute-1.mp3", ...), made once in `folder` and
// warmed. Empty when one cannot be made.
inline constexpr int kMinuteSeconds = 60;
inline constexpr int kMinuteRate = 44100;
inline QStringList MakeMinuteSources(const QString& folder, int count) {
  QStringList sources;
  for (int i = 1; i <= count; ++i) {
    const QString source = MakeInput(folder, QString("minute-%1.mp3").arg(i), kMinuteSeconds, kMinuteRate, 2,
                                     {"-c:a", "libmp3lame", "-b:a", "128k"});
    if (source.isEmpty()) return {};
    WarmPageCache(source);
    sources << source;
  }
  return sources;
}

// What every conversion benchmark runs in: snipwave beside the benchmark,
// the inputs' folder ($SNIPWAVE_BENCH_DIR, default a folder beside this
// executable), a fresh settings folder (the job defaults) and an output folder.
class BenchWorkspace {
 public:
  BenchWorkspace()
      : snipwave(QDir(QCoreApplication::applicationDirPath()).filePath("snipwave")),
        inputs(qEnvironmentVariableIsSet("SNIPWAVE_BENCH_DIR")
                   ? qEnvironmentVariable("SNIPWAVE_BENCH_DIR")
                   : QDir(QCoreApplication::applicationDirPath()).filePath("bench-convert-files")),
        out(work_.filePath("out")) {
    QDir().mkpath(inputs);
    qputenv("SNIPWAVE_CONFIG_DIR", work_.filePath("config").toUtf8());
    QDir().mkpath(work_.filePath("config"));
    QDir().mkpath(out);
  }
  void ClearOut() const {
    for (const QString& f : QDir(out).entryList(QDir::Files)) QFile::remove(QDir(out).filePath(f));
  }

 private:
  QTemporaryDir work_;  // first: the members below live in it

 public:
  const QString snipwave, inputs, out;
};

}  // namespace snipwave::bench
