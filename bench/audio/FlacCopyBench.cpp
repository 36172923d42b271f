// A 5-minute cut of a 10-minute FLAC file two ways: the frame copy
// (FlacCopySource::Open + WriteFlacCopy, edges re-encoded at level 5) against
// re-encoding the whole range with the app's writer (TAudioFile2, FFmpeg's
// FLAC encoder at level 5), as the cut job does it. Both start from a reader
// that already knows the source's length. Best of three runs each, in wall
// time and in CPU time (all threads; the steadier number on a busy machine);
// ratios are re-encode / copy (above 1: the copy is faster).
// Usage: bench_flac_copy [work folder]   (the input is made there once)
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>

#include <sys/resource.h>

#include "components/audio/TAudioFile2.h"
#include "components/flaccopy/FlacCopy.h"

#include "../BenchSteps.h"

namespace fs = std::filesystem;
using snipwave::bench::Clock;
using snipwave::bench::Run;
using snipwave::bench::Seconds;

namespace {

// 10 minutes of 16-bit stereo 44.1 kHz, a tone with noise, as `flac -5` writes it.
std::string MakeInput(const fs::path& dir) {
  const fs::path flac = dir / "flaccopy-10min.flac";
  if (!fs::exists(flac)) {
    const std::string wav = snipwave::bench::MakeToneWithNoise(dir / "flaccopy-10min.wav", 600, "-c:a pcm_s16le");
    Run("flac -s -f -5 -o '" + flac.string() + "' '" + wav + "'");
    fs::remove(wav);
  }
  return flac.string();
}

void Reencode(const std::string& in, const std::string& out, std::int64_t begin, std::int64_t end) {
  snipwave::TAudioFile2 reader, writer;
  reader.OpenFile(in);
  reader.SeekSample(begin);
  writer.SetFlacFormat(5, 16);
  writer.SetPcmFormat(static_cast<int>(reader.SampleRate()), reader.Channels());
  writer.CreateOutputFile(out);
  const int chunk = static_cast<int>(reader.SampleRate());
  for (std::int64_t left = end - begin; left > 0;) {
    const auto b = reader.ReadSamples(static_cast<int>(std::min<std::int64_t>(chunk, left)));
    if (b.empty()) break;
    left -= static_cast<std::int64_t>(b.size()) / reader.Channels();
    writer.WriteSamples(b);
  }
  writer.CloseFile();
}

void Copy(const std::string& in, const std::string& out, std::int64_t length, std::int64_t begin, std::int64_t end) {
  QString reason;
  const auto source = snipwave::flaccopy::FlacCopySource::Open(QString::fromStdString(in), length, &reason);
  if (!source) {
    std::fprintf(stderr, "cannot copy: %s\n", qPrintable(reason));
    std::exit(1);
  }
  snipwave::flaccopy::WriteFlacCopy({{source.get(), begin, end}}, QString::fromStdString(out), {});
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Best wall and best CPU seconds of three runs.
template <typename F>
std::pair<double, double> Best(F&& f) {
  double wall = 1e9, cpu = 1e9;
  for (int i = 0; i < 3; ++i) {
    const auto t0 = Clock::now();
    const double c0 = CpuSeconds();
    f();
    wall = std::min(wall, Seconds(t0));
    cpu = std::min(cpu, CpuSeconds() - c0);
  }
  return {wall, cpu};
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path dir = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "snipwave-bench";
  fs::create_directories(dir);
  const std::string in = MakeInput(dir);
  std::int64_t length = 0;
  {
    snipwave::TAudioFile2 reader;  // measures the source once, as the app has before it cuts
    reader.OpenFile(in);
    length = reader.LengthSamples();
  }
  const std::int64_t begin = length / 4, end = begin + length / 2;
  const std::string copied = (dir / "flaccopy-copy.flac").string(), reencoded = (dir / "flaccopy-reencode.flac").string();
  const auto reencode = Best([&] { Reencode(in, reencoded, begin, end); });
  const auto copy = Best([&] { Copy(in, copied, length, begin, end); });
  std::printf("5-minute cut of a 10-minute 16-bit stereo FLAC (flac -5)\n");
  std::printf("  wall: re-encode at level 5 %.3f s, frame copy %.3f s, ratio %.2f (re-encode / copy)\n",
              reencode.first, copy.first, reencode.first / copy.first);
  std::printf("  CPU:  re-encode at level 5 %.3f s, frame copy %.3f s, ratio %.2f (re-encode / copy)\n",
              reencode.second, copy.second, reencode.second / copy.second);
  std::printf("  sizes: re-encoded %.1f MB, copied %.1f MB\n", double(fs::file_size(reencoded)) / 1e6,
              double(fs::file_size(copied)) / 1e6);
  return 0;
}
