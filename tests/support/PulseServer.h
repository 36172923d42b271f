#pragma once

#include <QProcess>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace snipwave::test {

// A private PulseAudio server for one test, living in `folder` (its runtime
// folder, home and socket): one null sink of float32 samples at the given
// rate and channel count, the default sink, whose monitor is recorded raw
// (float32, the sink's rate and channels) by parec. Nothing of the machine's
// own sound setup is touched; the server ends with this object.
//
// Start() returns an empty text when the server runs, else why it could not
// start (with what the server logged): a test fails with it, it never skips.
class PulseServer {
 public:
  PulseServer(QString folder, int rate, int channels);
  ~PulseServer();
  PulseServer(const PulseServer&) = delete;
  PulseServer& operator=(const PulseServer&) = delete;

  QString Start();
  // The address a client takes in PULSE_SERVER.
  QString Address() const;
  int Rate() const { return rate_; }
  int Channels() const { return channels_; }

  // Starts parec on the sink's monitor; empty text on success, else the reason.
  QString StartRecording();
  // Whole frames recorded so far.
  std::int64_t RecordedFrames() const;
  // Ends the recording and returns it, interleaved.
  std::vector<float> StopRecording();

  // What the server has logged (for failure messages).
  QString Log() const;

 private:
  QString Pactl(const QStringList& args, bool* ok) const;
  QProcessEnvironment Environment() const;

  QString folder_;
  int rate_;
  int channels_;
  std::unique_ptr<QProcess> server_;
  std::unique_ptr<QProcess> recorder_;
};

}  // namespace snipwave::test
