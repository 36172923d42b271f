// Decode + re-encode through TAudioFile2 against the ffmpeg command line on
// the same input, peak memory against file length, and probe time per file.
// Usage: audio_bench [work folder [.mp3|.ogg|.wav]]   (inputs are made there once with ffmpeg)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "components/audio/TAudioFile2.h"
#include "components/audio/TAudioFile2LameEnc.h"

#include "../BenchSteps.h"
#include "TranscodeLoop.h"

namespace fs = std::filesystem;
using snipwave::bench::Clock;
using snipwave::bench::Run;
using snipwave::bench::Seconds;

namespace {

std::string MakeInput(const fs::path& dir, int minutes) {
  const fs::path path = dir / ("bench-" + std::to_string(minutes) + "min.mp3");
  if (!fs::exists(path)) {
    std::printf("making %s ...\n", path.c_str());
    std::fflush(stdout);
    Run("ffmpeg -hide_banner -loglevel error -y -f lavfi -i \"sine=f=440:r=44100:d=" + std::to_string(minutes * 60) +
        "\" -f lavfi -i \"anoisesrc=r=44100:a=0.1:d=" + std::to_string(minutes * 60) +
        "\" -filter_complex \"[0][1]amerge=inputs=2\" -ac 2 -c:a libmp3lame -b:a 192k '" + path.string() + "'");
  }
  return path.string();
}

// The cut job's loop: chunks of rate x channels frames.
void Transcode(const std::string& in, const std::string& out) {
  snipwave::TAudioFile2 writer;
  snipwave::TAudioFile2LameEnc mp3;
  mp3.SetBitRate(128);
  mp3.SetQuality(9);
  writer.SetMp3Encoder(&mp3);
  writer.SetWavFormat(44100, 2, 16);
  writer.SetOggFormat(44100, 2, 128, 128, 128, -1);
  snipwave::bench::TranscodeWith(writer, in, out);
}

// Runs Transcode in a child; returns its peak resident memory in kB.
long PeakKb(const std::string& in, const std::string& out) {
  const pid_t pid = fork();
  if (pid == 0) {
    Transcode(in, out);
    std::_Exit(0);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "snipwave-bench";
  fs::create_directories(dir);
  const std::string in10 = MakeInput(dir, 10);

  struct Output {
    const char* ext;
    const char* ffmpegCodec;
  } outputs[] = {
      {".mp3", "-c:a libmp3lame -b:a 128k -compression_level 9"},
      {".ogg", "-c:a libvorbis -b:a 128k -minrate 128k -maxrate 128k"},
      {".wav", "-c:a pcm_s16le"},
  };
  std::printf("decode + re-encode of a 10-minute stereo 44.1 kHz MP3 (ratio = Snipwave / ffmpeg, target <= 1.10)\n");
  // audio_bench DIR .wav : only that output type, no memory or probe runs.
  const std::string only = argc > 2 ? argv[2] : "";
  for (const Output& o : outputs) {
    if (!only.empty() && only != o.ext) continue;
    const std::string ours = (dir / (std::string("ours") + o.ext)).string();
    const std::string theirs = (dir / (std::string("ffmpeg") + o.ext)).string();
    auto t0 = Clock::now();
    Run("ffmpeg -hide_banner -loglevel error -y -i '" + in10 + "' " + o.ffmpegCodec + " '" + theirs + "'");
    const double ffmpegSeconds = Seconds(t0);
    t0 = Clock::now();
    Transcode(in10, ours);
    const double ourSeconds = Seconds(t0);
    std::printf("  %s: snipwave %.2f s, ffmpeg %.2f s, ratio %.3f\n", o.ext, ourSeconds, ffmpegSeconds,
                ourSeconds / ffmpegSeconds);
    std::fflush(stdout);
  }

  if (!only.empty()) return 0;
  const std::string in60 = MakeInput(dir, 60);
  const long peak10 = PeakKb(in10, (dir / "peak10.mp3").string());
  const long peak60 = PeakKb(in60, (dir / "peak60.mp3").string());
  std::printf("peak memory, MP3 to MP3: 10 min %ld kB, 60 min %ld kB, ratio %.3f (target within 10 %%)\n", peak10,
              peak60, static_cast<double>(peak60) / peak10);

  // 100 probes of 30-second MP3 files (distinct files).
  const fs::path probeDir = dir / "probe";
  fs::create_directories(probeDir);
  const fs::path one = probeDir / "one.mp3";
  if (!fs::exists(one)) {
    Run("ffmpeg -hide_banner -loglevel error -y -f lavfi -i \"sine=f=440:r=44100:d=30\" -ac 2 -c:a libmp3lame -b:a 128k '" +
        one.string() + "'");
  }
  for (int i = 0; i < 100; ++i) {
    const fs::path p = probeDir / ("f" + std::to_string(i) + ".mp3");
    if (!fs::exists(p)) fs::copy_file(one, p);
  }
  snipwave::TAudioFile2 reader;
  long long total = 0;
  const auto t0 = Clock::now();
  for (int i = 0; i < 100; ++i) {
    reader.OpenFile((probeDir / ("f" + std::to_string(i) + ".mp3")).string());
    total += reader.DurationMs() + reader.LengthSamples();
    reader.CloseFile();
  }
  const double perFile = Seconds(t0) * 1000.0 / 100;
  std::printf("probe of 100 30-second MP3 files: %.2f ms per file (target < 5 ms) [%lld]\n", perFile, total);

  // Opening a file again (preview reopens it on every play): the scan is kept.
  auto t1 = Clock::now();
  reader.OpenFile(in60);
  const double firstOpen = Seconds(t1) * 1000.0;
  reader.CloseFile();
  t1 = Clock::now();
  for (int i = 0; i < 10; ++i) {
    reader.OpenFile(in60);
    reader.CloseFile();
  }
  std::printf("open of the 60-minute MP3: first %.1f ms, again %.2f ms (scan kept)\n", firstOpen,
              Seconds(t1) * 1000.0 / 10);

  // A PCM WAV source is measured from its header and seeks by byte offset.
  const std::string wav = (dir / "ours.wav").string();
  if (fs::exists(wav)) {
    t1 = Clock::now();
    reader.OpenFile(wav);
    reader.SeekSample(reader.LengthSamples() / 2);
    const std::size_t got = reader.ReadSamples(44100).size();
    std::printf("10-minute WAV: open + seek to the middle + read 1 s: %.2f ms [%zu]\n", Seconds(t1) * 1000.0, got);
    reader.CloseFile();
  }
  return 0;
}
