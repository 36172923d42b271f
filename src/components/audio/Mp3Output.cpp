#include "Mp3Output.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <shared_mutex>

#include "LameTables.h"
#include "platform/Error.h"

namespace snipwave::audio {

namespace {

constexpr const char* kCreate = "Cannot create";
constexpr const char* kWrite = "Cannot write";

// Frames handed to LAME per call; the output buffer follows LAME's own
// worst-case rule (1.25 x samples + 7200 bytes).
constexpr int kStep = 16384;
constexpr std::size_t kEncodedCapacity = kStep * 5 / 4 + 7200;

std::string LameFailure(int code) {
  switch (code) {
    case -1: return "the output buffer is too small";
    case -2: return "out of memory";
    case -3: return "the encoder was not set up";
    default: return "the encoder failed (code " + std::to_string(code) + ")";
  }
}

}  // namespace

Mp3Output::Mp3Output(std::string path, const EncoderSetup& setup, int inRate, int inChannels)
    : path_(std::move(path)), setup_(setup), inRate_(inRate), inChannels_(inChannels) {
  std::unique_lock setupLock(LameTables());
  lame_.reset(lame_init());
  if (!lame_) throw Error::Failed(kCreate, path_, "out of memory");
  lame_global_flags* gf = lame_.get();
  // The resampler delivers the file's own rate and channels: LAME converts nothing.
  lame_set_in_samplerate(gf, setup.sampleRate);
  lame_set_out_samplerate(gf, setup.sampleRate);
  lame_set_num_channels(gf, setup.channels);
  lame_set_mode(gf, setup.channels == 1 ? MONO : JOINT_STEREO);
  if (setup.compressionLevel >= 0) lame_set_quality(gf, setup.compressionLevel);
  if (setup.qualityMode) {
    lame_set_VBR(gf, vbr_default);
    lame_set_VBR_quality(gf, static_cast<float>(setup.quality));
    if (setup.maxRate > 0) lame_set_VBR_max_bitrate_kbps(gf, static_cast<int>(setup.maxRate / 1000));
  } else {
    lame_set_VBR(gf, vbr_off);
    lame_set_brate(gf, static_cast<int>(setup.bitRate / 1000));
  }
  lame_set_bWriteVbrTag(gf, 1);
  lame_set_write_id3tag_automatic(gf, 0);
  if (lame_init_params(gf) < 0) {
    throw Error::Failed(kCreate, path_, setup.description + " is not supported by the encoder");
  }
  setupLock.unlock();
  resampler_ = std::make_unique<Resampler>(inRate_, inChannels_, setup.sampleRate, setup.channels,
                                           AV_SAMPLE_FMT_FLTP, path_);
  encoded_.resize(kEncodedCapacity);
  errno = 0;
  file_.reset(std::fopen(path_.c_str(), "wb"));
  if (!file_) throw Error::Failed(kCreate, path_, std::strerror(errno ? errno : EIO));
}

Mp3Output::~Mp3Output() {
  if (finished_) return;
  try {
    Finish();
  } catch (...) {
    // Destruction cannot report; CloseFile is where failures surface.
  }
}

void Mp3Output::Fail(const std::string& operation) {
  const int code = errno ? errno : EIO;
  throw Error::Failed(operation, path_, std::strerror(code));
}

void Mp3Output::Put(const unsigned char* bytes, std::size_t size) {
  if (size == 0) return;
  errno = 0;
  if (std::fwrite(bytes, 1, size, file_.get()) != size) Fail(kWrite);
}

void Mp3Output::Encode(int frames) {
  if (frames <= 0) return;
  const auto* planes = reinterpret_cast<const float* const*>(resampler_->Planes());
  for (int at = 0; at < frames; at += kStep) {
    const int n = std::min(kStep, frames - at);
    const float* left = planes[0] + at;
    const float* right = setup_.channels > 1 ? planes[1] + at : left;
    int rc = 0;
    {
      std::shared_lock encoding(LameTables());
      rc = lame_encode_buffer_ieee_float(lame_.get(), left, right, n, encoded_.data(),
                                         static_cast<int>(encoded_.size()));
    }
    if (rc < 0) throw Error::Failed(kWrite, path_, LameFailure(rc));
    Put(encoded_.data(), static_cast<std::size_t>(rc));
  }
}

void Mp3Output::SetInputFormat(int rate, int channels) {
  if (rate == inRate_ && channels == inChannels_) return;
  Encode(resampler_->Flush());
  resampler_ = std::make_unique<Resampler>(rate, channels, setup_.sampleRate, setup_.channels, AV_SAMPLE_FMT_FLTP,
                                           path_);
  inRate_ = rate;
  inChannels_ = channels;
}

void Mp3Output::Write(const float* interleaved, std::size_t frames) {
  // Bounded steps keep the resampler's scratch planes small whatever the caller passes.
  constexpr std::size_t kChunk = 65536;
  while (frames > 0) {
    const std::size_t n = std::min(frames, kChunk);
    Encode(resampler_->Convert(interleaved, static_cast<int>(n)));
    interleaved += n * static_cast<std::size_t>(inChannels_);
    frames -= n;
  }
}

void Mp3Output::Finish() {
  if (finished_) return;
  finished_ = true;  // whatever happens below, never twice
  Encode(resampler_->Flush());
  int rc = 0;
  std::size_t tagSize = 0;
  {
    std::shared_lock encoding(LameTables());
    rc = lame_encode_flush(lame_.get(), encoded_.data(), static_cast<int>(encoded_.size()));
    if (rc < 0) throw Error::Failed(kWrite, path_, LameFailure(rc));
    Put(encoded_.data(), static_cast<std::size_t>(rc));
    // The tag frame replaces the placeholder LAME put first in the stream; it
    // is exactly as long, so nothing after it moves.
    tagSize = lame_get_lametag_frame(lame_.get(), encoded_.data(), encoded_.size());
  }
  if (tagSize > encoded_.size()) throw Error::Failed(kWrite, path_, LameFailure(-1));
  errno = 0;
  if (tagSize > 0) {
    if (std::fseek(file_.get(), 0, SEEK_SET) != 0) Fail(kWrite);
    Put(encoded_.data(), tagSize);
  }
  errno = 0;
  std::FILE* f = file_.release();
  if (std::fclose(f) != 0) Fail(kWrite);
}

}  // namespace snipwave::audio
