#include "TAudioFile2.h"

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <cctype>
#include <climits>

#include "FormatChecks.h"
#include "OutputFile.h"
#include "Resampler.h"
#include "SourceDecoder.h"
#include "platform/Error.h"

namespace snipwave {

namespace {

std::string LowerExtension(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

void RequirePcmFormat(int rate, int channels, const char* what) {
  if (rate < 1000 || rate > 384000 || channels < 1 || channels > audio::Resampler::kMaxChannels) {
    throw Error(std::string(what) + ": " + std::to_string(rate) + " Hz with " + std::to_string(channels) +
                " channel(s) is not a valid PCM format (1000 to 384000 Hz, 1 to " +
                std::to_string(audio::Resampler::kMaxChannels) + " channels)");
  }
}

}  // namespace

TAudioFile2::TAudioFile2() {
  // Failures are reported through exceptions with libav's own text; its log
  // would only repeat them on stderr.
  static const bool quiet = [] {
    av_log_set_level(AV_LOG_FATAL);
    return true;
  }();
  (void)quiet;
}

TAudioFile2::~TAudioFile2() {
  try {
    CloseFile();
  } catch (...) {
  }
}

void TAudioFile2::OpenFile(const std::string& path, int, int) {
  CloseFile();
  readRate_ = readChannels_ = 0;  // a conversion belongs to the file it was set for
  source_ = std::make_unique<audio::SourceDecoder>(path);
  sourcePath_ = path;
  ResetReadConversion();
}

void TAudioFile2::CloseFile() {
  source_.reset();
  readConversion_.reset();
  readCarry_.clear();
  if (output_) {
    auto output = std::move(output_);  // closed even when finishing fails
    output->Finish();
  }
}

void TAudioFile2::RequireReader(const char* operation) const {
  if (!source_) throw Error(std::string(operation) + ": no file is open for reading");
}

void TAudioFile2::ResetReadConversion() {
  readConversion_.reset();
  readCarry_.clear();
  readDrained_ = false;
  if (source_ && readRate_ > 0 && (readRate_ != source_->SampleRate() || readChannels_ != source_->Channels())) {
    readConversion_ = std::make_unique<audio::Resampler>(source_->SampleRate(), source_->Channels(), readRate_,
                                                         readChannels_, AV_SAMPLE_FMT_FLT, sourcePath_);
  }
}

SampleBuffer TAudioFile2::ReadSamples(int frames) {
  RequireReader("Cannot read samples");
  SampleBuffer out;
  if (frames <= 0) return out;
  if (!readConversion_) {
    out.reserve(static_cast<std::size_t>(frames) * static_cast<std::size_t>(source_->Channels()));
    source_->Read(static_cast<std::size_t>(frames), out);
    return out;
  }
  const std::size_t want = static_cast<std::size_t>(frames) * static_cast<std::size_t>(readChannels_);
  // Source frames per step: enough for the request at the rate ratio.
  const std::size_t step = std::max<std::size_t>(
      1024, static_cast<std::size_t>(static_cast<double>(frames) * source_->SampleRate() / readRate_) + 64);
  while (readCarry_.size() < want && !readDrained_) {
    readScratch_.clear();
    const std::size_t got = source_->Read(step, readScratch_);
    if (got == 0) {
      readConversion_->FlushAppend(readCarry_);  // the filter's tail belongs to the stream
      readDrained_ = true;
    } else {
      readConversion_->ConvertAppend(readScratch_.data(), static_cast<int>(got), readCarry_);
    }
  }
  const std::size_t n = std::min(want, readCarry_.size());
  out.assign(readCarry_.begin(), readCarry_.begin() + static_cast<std::ptrdiff_t>(n));
  readCarry_.erase(readCarry_.begin(), readCarry_.begin() + static_cast<std::ptrdiff_t>(n));
  return out;
}

std::int64_t TAudioFile2::SeekSample(std::int64_t position, int) {
  RequireReader("Cannot seek");
  source_->Seek(position);
  ResetReadConversion();
  return source_->Position();
}

void TAudioFile2::CreateOutputFile(const std::string& path, int) {
  CloseFile();
  const std::string ext = LowerExtension(path);
  audio::EncoderSetup setup;
  if (ext == ".mp3") {
    audio::Mp3Settings s;
    if (mp3Encoder_) {
      s = {mp3Encoder_->SampleRate(), mp3Encoder_->Channels(), mp3Encoder_->BitRate(), mp3Encoder_->Quality(),
           mp3Encoder_->VbrMode(), mp3Encoder_->VbrQuality(), mp3Encoder_->VbrBitRate()};
    }
    setup = audio::MakeMp3Setup(s, path);
  } else if (ext == ".wav") {
    setup = audio::MakeWavSetup(wav_, pcmRate_, pcmChannels_, path);
  } else if (ext == ".wma") {
    setup = audio::MakeWmaSetup(wmaProfile_, path);
  } else if (ext == ".ogg") {
    setup = audio::MakeOggSetup(ogg_, path);
  } else if (ext == ".flac") {
    setup = audio::MakeFlacSetup(flac_, pcmRate_, pcmChannels_, path);
  } else if (ext == ".opus") {
    setup = audio::MakeOpusSetup(opus_, pcmChannels_, path);
  } else if (ext == ".m4a") {
    setup = audio::MakeM4aSetup(m4a_, pcmRate_, pcmChannels_, path);
  } else {
    throw Error::Failed("Cannot create", path, "the output type must be .mp3, .wav, .wma, .ogg, .flac, .opus or .m4a");
  }
  output_ = audio::CreateOutputFile(path, setup, pcmRate_, pcmChannels_);
}

void TAudioFile2::WriteSamples(const SampleBuffer& buffer) {
  if (!output_) throw Error("Cannot write samples: no output file is open");
  if (buffer.size() % static_cast<std::size_t>(pcmChannels_) != 0) {
    throw Error("Cannot write samples: the buffer holds a partial frame (" + std::to_string(buffer.size()) +
                " values for " + std::to_string(pcmChannels_) + " channel(s))");
  }
  output_->Write(buffer.data(), buffer.size() / static_cast<std::size_t>(pcmChannels_));
}

bool TAudioFile2::CheckMp3Format(int sampleRate, int bitRateKbps, int channels) {
  return audio::IsMp3FormatSupported(sampleRate, bitRateKbps, channels);
}

bool TAudioFile2::CheckOggFormat(int sampleRate, int channels, int nominalKbps, int maxKbps, int minKbps) {
  return audio::IsOggFormatSupported(sampleRate, channels, nominalKbps, maxKbps, minKbps);
}

void TAudioFile2::SetPcmFormat(int sampleRate, int channels) {
  if (source_) {
    RequirePcmFormat(sampleRate, channels, "Cannot convert the audio read");
    readRate_ = sampleRate;
    readChannels_ = channels;
    ResetReadConversion();
    return;
  }
  RequirePcmFormat(sampleRate, channels, "Cannot take the audio written");
  pcmRate_ = sampleRate;
  pcmChannels_ = channels;
  if (output_) output_->SetInputFormat(sampleRate, channels);
}

void TAudioFile2::SetWavFormat(int sampleRate, int channels, int bitsPerSample) {
  wav_ = {sampleRate, channels, bitsPerSample};
}

std::optional<WavFormatValues> TAudioFile2::WavFormat() const {
  if (wav_.sampleRate == 0) return std::nullopt;
  return WavFormatValues{wav_.sampleRate, wav_.channels, wav_.bits};
}

void TAudioFile2::SetMp3Encoder(IAudioFile2LameEnc* encoder) { mp3Encoder_ = encoder; }

void TAudioFile2::SetOggFormat(int sampleRate, int channels, int nominalKbps, int maxKbps, int minKbps, int quality) {
  ogg_ = {sampleRate, channels, nominalKbps, maxKbps, minKbps, quality < 0 ? -1 : quality};
}

void TAudioFile2::SetWmaProfile(int profile) { wmaProfile_ = profile; }

void TAudioFile2::SetFlacFormat(int compressionLevel, int bitsPerSample) { flac_ = {compressionLevel, bitsPerSample}; }

void TAudioFile2::SetOpusFormat(int kbps, bool variableBitRate, bool speech, int channels) {
  opus_ = {kbps, variableBitRate, speech, channels};
}

void TAudioFile2::SetM4aFormat(bool alac, int aacKbps, int alacBits) { m4a_ = {alac, aacKbps, alacBits}; }

std::int64_t TAudioFile2::LengthSamples() const {
  RequireReader("Cannot tell the length");
  return source_->LengthFrames();
}

std::int64_t TAudioFile2::DamagedFrames() const {
  RequireReader("Cannot tell the damaged frames");
  return source_->DamagedFrames();
}

std::vector<audio::LinkFormat> TAudioFile2::SourceLinks() const {
  RequireReader("Cannot tell the links");
  return source_->Links();
}

bool TAudioFile2::IsOpen() const { return source_ || output_; }

int TAudioFile2::FrameSize() const {
  RequireReader("Cannot tell the frame size");
  return readConversion_ ? readChannels_ : source_->Channels();
}

int TAudioFile2::DurationMs() const {
  RequireReader("Cannot tell the duration");
  const std::int64_t ms = (source_->LengthFrames() * 1000 + source_->SampleRate() / 2) / source_->SampleRate();
  return static_cast<int>(std::min<std::int64_t>(ms, INT_MAX));
}

int TAudioFile2::Channels() const {
  RequireReader("Cannot tell the channel count");
  return source_->Channels();
}

unsigned TAudioFile2::SampleRate() const {
  RequireReader("Cannot tell the sample rate");
  return static_cast<unsigned>(source_->SampleRate());
}

int TAudioFile2::BitsPerSample() const {
  RequireReader("Cannot tell the bits per sample");
  return source_->BitsPerSample();
}

}  // namespace snipwave
