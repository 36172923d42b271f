#include "PeaksCommand.h"

#include <QFile>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <string>
#include <vector>

#include "components/audio/TAudioFile2.h"
#include "waveform/PeakBlocks.h"

namespace snipwave {

namespace {

constexpr int kReadFrames = 1 << 16;
constexpr int kMaxSamplesPerPixel = 1 << 24;

const char* const kPeaksHelp =
    "Usage: snipwave peaks [--samples-per-pixel N] [--bits 8|16] [--] FILE\n"
    "Prints the waveform of FILE as JSON in the audiowaveform data format, version 2:\n"
    "the channels mixed to one, the min and max of each block of N frames (the last\n"
    "block may be shorter).\n"
    "\n"
    "  --samples-per-pixel N  frames per block, 1 to 16777216 (default 256)\n"
    "  --bits 8|16            values scaled by 127 or by 32767 (default 16)\n"
    "\n"
    "Exit status: 0 done, 1 the file cannot be read, 2 wrong arguments.\n";

struct PeaksOptions {
  bool help = false;
  int samplesPerPixel = 256;
  int bits = 16;
  QString file;
};

// Fills `options`, or returns the message that says what is wrong.
QString ParseArguments(const QStringList& arguments, PeaksOptions& options) {
  bool haveFile = false;
  for (int i = 0; i < arguments.size(); ++i) {
    QString argument = arguments[i];
    QString value;
    bool hasValue = false;
    if (argument.startsWith("--") && argument.contains('=')) {
      value = argument.mid(argument.indexOf('=') + 1);
      argument = argument.left(argument.indexOf('='));
      hasValue = true;
    }
    auto takeValue = [&]() -> bool {
      if (hasValue) return true;
      if (i + 1 >= arguments.size()) return false;
      value = arguments[++i];
      return true;
    };
    if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--samples-per-pixel") {
      if (!takeValue()) return "--samples-per-pixel needs a number";
      bool ok = false;
      const int n = value.toInt(&ok);
      if (!ok || n < 1 || n > kMaxSamplesPerPixel)
        return QString("--samples-per-pixel takes a whole number from 1 to %1, not \"%2\"").arg(kMaxSamplesPerPixel).arg(value);
      options.samplesPerPixel = n;
    } else if (argument == "--bits") {
      if (!takeValue()) return "--bits needs 8 or 16";
      if (value != "8" && value != "16") return "--bits takes 8 or 16, not \"" + value + "\"";
      options.bits = value.toInt();
    } else if (argument.startsWith("--") && argument != "--") {
      return "Unknown option " + argument;
    } else {
      if (argument == "--") {
        if (i + 1 >= arguments.size()) break;
        argument = arguments[++i];
      }
      if (haveFile) return "peaks takes one file";
      options.file = argument;
      haveFile = true;
    }
  }
  if (!haveFile && !options.help) return "peaks needs a file";
  return {};
}

void AppendNumber(std::string& text, long value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  text.append(digits, result.ptr);
}

}  // namespace

int RunPeaksCommand(const QStringList& arguments, std::FILE* out, QTextStream& err) {
  PeaksOptions options;
  const QString problem = ParseArguments(arguments, options);
  if (options.help) {
    std::fputs(kPeaksHelp, out);
    std::fflush(out);
    return 0;
  }
  if (!problem.isEmpty()) {
    err << problem << "\n\n" << kPeaksHelp;
    err.flush();
    return 2;
  }

  std::vector<PeakPair> peaks;
  unsigned rate = 0;
  try {
    TAudioFile2 reader;
    reader.OpenFile(QFile::encodeName(options.file).toStdString(), 0, 1);
    rate = reader.SampleRate();
    const int channels = reader.Channels();
    peaks.reserve(static_cast<std::size_t>(reader.LengthSamples() / options.samplesPerPixel + 1));
    BlockPeaks blocks(options.samplesPerPixel, channels);
    while (true) {
      const SampleBuffer buffer = reader.ReadSamples(kReadFrames);
      if (buffer.empty()) break;
      blocks.Add(buffer.data(), buffer.size() / static_cast<std::size_t>(channels), peaks);
    }
    blocks.Finish(peaks);
    reader.CloseFile();
  } catch (const std::exception& e) {
    err << QString::fromUtf8(e.what()) << '\n';
    err.flush();
    return 1;
  }

  const double scale = options.bits == 16 ? 32767.0 : 127.0;
  const long lowest = options.bits == 16 ? -32768 : -128;
  const long highest = options.bits == 16 ? 32767 : 127;
  auto level = [&](float value) { return std::clamp(std::lround(value * scale), lowest, highest); };

  std::string text = "{\"version\":2,\"channels\":1,\"sample_rate\":";
  AppendNumber(text, static_cast<long>(rate));
  text += ",\"samples_per_pixel\":";
  AppendNumber(text, options.samplesPerPixel);
  text += ",\"bits\":";
  AppendNumber(text, options.bits);
  text += ",\"length\":";
  AppendNumber(text, static_cast<long>(peaks.size()));
  text += ",\"data\":[";
  text.reserve(text.size() + peaks.size() * 14 + 4);
  for (std::size_t i = 0; i < peaks.size(); ++i) {
    if (i > 0) text += ',';
    AppendNumber(text, level(peaks[i].min));
    text += ',';
    AppendNumber(text, level(peaks[i].max));
  }
  text += "]}\n";
  if (std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fflush(out) != 0) {
    err << "Cannot write the peaks to the output\n";
    err.flush();
    return 1;
  }
  return 0;
}

}  // namespace snipwave
