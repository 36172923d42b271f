#include "PulseServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <cstring>

#include <sys/prctl.h>

namespace snipwave::test {

namespace {
constexpr int kStartLimitMs = 30000;
constexpr int kPollMs = 50;
const QString kSink = QStringLiteral("snipwave_null");

// The server and the recorder end with the test process, also when it dies
// without running its destructors (a crash, a sanitizer's abort).
std::unique_ptr<QProcess> ChildProcess(const QProcessEnvironment& env) {
  auto process = std::make_unique<QProcess>();
  process->setProcessEnvironment(env);
  process->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
  return process;
}
}  // namespace

PulseServer::PulseServer(QString folder, int rate, int channels)
    : folder_(std::move(folder)), rate_(rate), channels_(channels) {}

PulseServer::~PulseServer() {
  if (recorder_) StopRecording();
  if (server_ && server_->state() != QProcess::NotRunning) {
    server_->terminate();
    if (!server_->waitForFinished(10000)) {
      server_->kill();
      server_->waitForFinished(5000);
    }
  }
}

QString PulseServer::Address() const { return "unix:" + folder_ + "/run/native"; }

QProcessEnvironment PulseServer::Environment() const {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_RUNTIME_DIR", folder_ + "/run");
  env.insert("HOME", folder_ + "/home");
  env.insert("PULSE_SERVER", Address());
  env.remove("PULSE_SINK");
  env.remove("PULSE_SOURCE");
  return env;
}

QString PulseServer::Log() const {
  QFile log(folder_ + "/pulse.log");
  QString text = log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
  if (server_) text += QString::fromUtf8(server_->readAllStandardError());
  return text.trimmed();
}

QString PulseServer::Pactl(const QStringList& args, bool* ok) const {
  QProcess pactl;
  pactl.setProcessEnvironment(Environment());
  pactl.start("pactl", QStringList{"--server=" + Address()} + args);
  const bool finished = pactl.waitForStarted(kStartLimitMs) && pactl.waitForFinished(kStartLimitMs);
  *ok = finished && pactl.exitStatus() == QProcess::NormalExit && pactl.exitCode() == 0;
  return QString::fromUtf8(pactl.readAllStandardOutput() + pactl.readAllStandardError());
}

QString PulseServer::Start() {
  for (const char* sub : {"run", "home"})
    if (!QDir().mkpath(folder_ + '/' + sub)) return "cannot create " + folder_ + '/' + sub;
  const QString rate = QString::number(rate_);
  // The sink's rate is also the server's default and alternate rate, so a
  // stream of another rate is resampled to it rather than the sink switching.
  QFile config(folder_ + "/daemon.conf");
  if (!config.open(QIODevice::WriteOnly) ||
      config.write(("default-sample-rate = " + rate + "\nalternate-sample-rate = " + rate +
                    "\nresample-method = soxr-vhq\navoid-resampling = no\n")
                       .toUtf8()) < 0)
    return "cannot write " + config.fileName();
  config.close();
  QProcessEnvironment env = Environment();
  env.insert("PULSE_CONFIG", config.fileName());
  server_ = ChildProcess(env);
  // Running as root needs --system=false; -n skips the desktop's module list,
  // so the server has exactly the sink and the socket loaded here.
  server_->start("pulseaudio",
                 {"--system=false", "--daemonize=no", "-n", "--exit-idle-time=-1", "--disallow-exit",
                  "--use-pid-file=no", "--log-target=file:" + folder_ + "/pulse.log", "--log-level=notice",
                  "--load=module-null-sink sink_name=" + kSink + " format=float32le rate=" + rate +
                      " channels=" + QString::number(channels_),
                  "--load=module-native-protocol-unix auth-anonymous=1 socket=" + folder_ + "/run/native"});
  if (!server_->waitForStarted(kStartLimitMs))
    return "cannot start the PulseAudio server (pulseaudio, from scripts/install-deps.sh): " + server_->errorString();

  const QDeadlineTimer deadline(kStartLimitMs);
  QString last;
  for (;;) {
    bool ok = false;
    last = Pactl({"info"}, &ok);
    if (ok && last.contains("Default Sink: " + kSink)) return {};
    if (server_->waitForFinished(kPollMs))
      return QString("the PulseAudio server exited (code %1): %2").arg(server_->exitCode()).arg(Log());
    if (deadline.hasExpired()) return "the PulseAudio server did not answer within 30 s: " + last + "\n" + Log();
  }
}

QString PulseServer::StartRecording() {
  const QString path = folder_ + "/monitor.raw";
  QFile::remove(path);
  recorder_ = ChildProcess(Environment());
  recorder_->setStandardOutputFile(QProcess::nullDevice());
  // A short fragment keeps the idle null sink from rendering far ahead for
  // the monitor (2 s by default), which a stream starting then would wait out.
  recorder_->start("parec", {"--server=" + Address(), "--device=" + kSink + ".monitor", "--raw", "--format=float32le",
                             "--rate=" + QString::number(rate_), "--channels=" + QString::number(channels_),
                             "--latency-msec=10", path});
  if (!recorder_->waitForStarted(kStartLimitMs))
    return "cannot start parec (pulseaudio-utils, from scripts/install-deps.sh): " + recorder_->errorString();
  // The monitor delivers silence while nothing plays: the file grows once
  // the recording runs.
  const QDeadlineTimer deadline(kStartLimitMs);
  while (QFileInfo(path).size() == 0) {
    if (recorder_->waitForFinished(kPollMs))
      return "parec exited: " + QString::fromUtf8(recorder_->readAllStandardError());
    if (deadline.hasExpired()) return "parec recorded nothing within 30 s\n" + Log();
  }
  return {};
}

std::int64_t PulseServer::RecordedFrames() const {
  return QFileInfo(folder_ + "/monitor.raw").size() / (static_cast<std::int64_t>(sizeof(float)) * channels_);
}

std::vector<float> PulseServer::StopRecording() {
  if (!recorder_) return {};
  recorder_->terminate();
  if (!recorder_->waitForFinished(10000)) {
    recorder_->kill();
    recorder_->waitForFinished(5000);
  }
  recorder_.reset();
  QFile file(folder_ + "/monitor.raw");
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  const std::size_t frameBytes = sizeof(float) * static_cast<std::size_t>(channels_);
  std::vector<float> samples(static_cast<std::size_t>(bytes.size()) / frameBytes * channels_);
  std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
  return samples;
}

}  // namespace snipwave::test
