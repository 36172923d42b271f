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

void AppendNumber(std::string& text, long long value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  text.append(digits, result.ptr);
}

// The JSON text, written in chunks of about kChunkBytes as the blocks come.
class PeaksJsonWriter {
 public:
  PeaksJsonWriter(std::FILE* out, int bits)
      : out_(out),
        scale_(bits == 16 ? 32767.0 : 127.0),
        lowest_(bits == 16 ? -32768 : -128),
        highest_(bits == 16 ? 32767 : 127),
        bits_(bits) {
    text_.reserve(kChunkBytes + 64);
  }

  void Begin(unsigned rate, int samplesPerPixel, std::int64_t length) {
    text_ = "{\"version\":2,\"channels\":1,\"sample_rate\":";
    AppendNumber(text_, rate);
    text_ += ",\"samples_per_pixel\":";
    AppendNumber(text_, samplesPerPixel);
    text_ += ",\"bits\":";
    AppendNumber(text_, bits_);
    text_ += ",\"length\":";
    AppendNumber(text_, length);
    text_ += ",\"data\":[";
  }
  // False when the output refuses the text.
  bool Add(const std::vector<PeakPair>& peaks) {
    for (const PeakPair& peak : peaks) {
      if (!first_) text_ += ',';
      first_ = false;
      AppendNumber(text_, Level(peak.min));
      text_ += ',';
      AppendNumber(text_, Level(peak.max));
      if (text_.size() >= kChunkBytes && !Flush()) return false;
    }
    return true;
  }
  bool End() {
    text_ += "]}\n";
    return Flush() && std::fflush(out_) == 0;
  }

 private:
  static constexpr std::size_t kChunkBytes = 64 * 1024;
  long Level(float value) const { return std::clamp(std::lround(value * scale_), lowest_, highest_); }
  bool Flush() {
    const bool ok = std::fwrite(text_.data(), 1, text_.size(), out_) == text_.size();
    text_.clear();
    return ok;
  }

  std::FILE* out_;
  double scale_;
  long lowest_;
  long highest_;
  int bits_;
  std::string text_;
  bool first_ = true;
};

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

  // Streamed: the header's length comes from the reader's exact length (a
  // full decode yields exactly that many frames), then each read's blocks
  // are formatted and written at once, so memory stays at one read and one
  // text chunk whatever the output's size.
  auto writeFailed = [&err] {
    err << "Cannot write the peaks to the output\n";
    err.flush();
    return 1;
  };
  try {
    TAudioFile2 reader;
    reader.OpenFile(QFile::encodeName(options.file).toStdString(), 0, 1);
    const int channels = reader.Channels();
    const std::int64_t frames = reader.LengthSamples();
    const std::int64_t blocksDue = (frames + options.samplesPerPixel - 1) / options.samplesPerPixel;
    PeaksJsonWriter json(out, options.bits);
    json.Begin(reader.SampleRate(), options.samplesPerPixel, blocksDue);
    BlockPeaks blocks(options.samplesPerPixel, channels);
    std::vector<PeakPair> peaks;
    std::int64_t framesRead = 0;
    while (true) {
      const SampleBuffer buffer = reader.ReadSamples(kReadFrames);
      if (buffer.empty()) break;
      const std::size_t got = buffer.size() / static_cast<std::size_t>(channels);
      // Never more blocks than the header announced.
      const auto take = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(got), frames - framesRead));
      blocks.Add(buffer.data(), take, peaks);
      framesRead += static_cast<std::int64_t>(take);
      if (!json.Add(peaks)) return writeFailed();
      peaks.clear();
      if (framesRead == frames) break;
    }
    blocks.Finish(peaks);
    if (!json.Add(peaks)) return writeFailed();
    reader.CloseFile();
    if (framesRead < frames) {
      // Only a file cut short while it was read ends early; the JSON written
      // so far is left unfinished, so no reader takes it for whole.
      err << QString("Cannot read \"%1\": the file ended after %2 of its %3 frames (it changed while it was read)\n")
                 .arg(options.file)
                 .arg(framesRead)
                 .arg(frames);
      err.flush();
      return 1;
    }
    if (!json.End()) return writeFailed();
  } catch (const std::exception& e) {
    err << QString::fromUtf8(e.what()) << '\n';
    err.flush();
    return 1;
  }
  return 0;
}

}  // namespace snipwave
