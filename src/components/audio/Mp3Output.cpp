#include "Mp3Output.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <shared_mutex>

#include "LameTables.h"
#include "Mp3InfoTag.h"
#include "Mp3TagFrame.h"
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

// Samples per frame at 24 kHz and below, and the longest output whose end
// trim libavcodec would start in the second audio frame: the start trim
// (LAME's 576 and the decoder's 529) ends 47 samples into that frame.
constexpr int kHalfFrame = 576;
constexpr int kShortOutput = 2 * kHalfFrame - 576 - kMp3DecoderDelay - 1;

// The header of a Layer III frame of this format as LAME writes it (no CRC,
// joint stereo or mono); its bit rate index is left 0.
void FormatHeader(int rate, int channels, unsigned char* h) {
  const int version = rate >= 32000 ? 3 : rate >= 16000 ? 2 : 0;  // MPEG-1, 2, 2.5
  const int base = rate * (version == 3 ? 1 : version == 2 ? 2 : 4);
  const int rateIndex = base == 44100 ? 0 : base == 48000 ? 1 : 2;
  h[0] = 0xFF;
  h[1] = static_cast<unsigned char>(0xE0 | version << 3 | 1 << 1 | 1);
  h[2] = static_cast<unsigned char>(rateIndex << 2);
  h[3] = channels == 1 ? 0xC0 : 0x40;
}

// Bytes of one frame at a constant `kbps` (no padding slot), by the same
// rule as LAME's: 144 (MPEG-1) or 72 bytes per kbit/s per kHz.
int CbrFrameBytes(int rate, int kbps) { return (rate >= 32000 ? 144 : 72) * kbps * 1000 / rate; }

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
  FormatHeader(setup.sampleRate, setup.channels, formatHeader_);
  // LAME writes its tag frame at the stream's own bit rate and drops the tag
  // when that frame is too short for it; then it is written here.
  const int tagBytes = TagFrameBytes(formatHeader_);
  if (!setup.qualityMode && CbrFrameBytes(setup.sampleRate, static_cast<int>(setup.bitRate / 1000)) < tagBytes) {
    ownTagBytes_ = tagBytes;
  }
  lame_set_bWriteVbrTag(gf, ownTagBytes_ > 0 ? 0 : 1);
  holding_ = setup.sampleRate < 32000;
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
  if (ownTagBytes_ > 0) {
    // Its place, filled at Finish.
    const std::vector<unsigned char> placeholder(static_cast<std::size_t>(ownTagBytes_), 0);
    Put(placeholder.data(), placeholder.size());
    tally_.bytes = ownTagBytes_;
  }
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

void Mp3Output::PutAudio(const unsigned char* bytes, std::size_t size) {
  Put(bytes, size);
  if (ownTagBytes_ == 0 || size == 0) return;
  FrameTally& t = tally_;
  t.crc = Crc16(t.crc, bytes, size);
  // LAME writes whole frames one after the other: each header says where
  // the next begins.
  for (std::size_t at = 0; at < size;) {
    if (t.toNextHeader > 0) {
      const auto skip = static_cast<std::size_t>(std::min<std::int64_t>(t.toNextHeader, size - at));
      t.toNextHeader -= static_cast<std::int64_t>(skip);
      at += skip;
      continue;
    }
    t.header[t.have++] = bytes[at++];
    if (t.have < 4) continue;
    const int frameBytes = Mp3FrameBytes(t.header);
    if (frameBytes == 0) throw Error::Failed(kWrite, path_, "the encoder wrote no valid MP3 frame");
    if (t.offsets.empty()) std::memcpy(t.firstHeader, t.header, 4);
    t.offsets.push_back(t.bytes + static_cast<std::int64_t>(at) - 4);
    t.toNextHeader = frameBytes - 4;
    t.have = 0;
  }
  t.bytes += static_cast<std::int64_t>(size);
}

void Mp3Output::WriteOwnTag() {
  TagFrameFacts facts;
  facts.bitrateKbps = static_cast<int>(setup_.bitRate / 1000);
  facts.audioFrames = static_cast<std::int64_t>(tally_.offsets.size());
  facts.streamBytes = tally_.bytes;
  facts.frameOffsets = tally_.offsets;
  facts.delay = lame_get_encoder_delay(lame_.get()) + extraDelay_;
  facts.padding = lame_get_encoder_padding(lame_.get());
  facts.musicCrc = tally_.crc;
  const unsigned char* header = tally_.offsets.empty() ? formatHeader_ : tally_.firstHeader;
  const std::vector<std::uint8_t> tag = BuildTagFrame(header, facts);
  if (static_cast<int>(tag.size()) != ownTagBytes_ || tally_.have != 0 || tally_.toNextHeader != 0) {
    throw Error::Failed(kWrite, path_, "the encoder's frames do not fit the MP3 format it was set to");
  }
  errno = 0;
  if (std::fseek(file_.get(), 0, SEEK_SET) != 0) Fail(kWrite);
  Put(tag.data(), tag.size());
}

void Mp3Output::Encode(int frames) {
  if (frames <= 0) return;
  const auto* planes = reinterpret_cast<const float* const*>(resampler_->Planes());
  const float* left = planes[0];
  const float* right = setup_.channels > 1 ? planes[1] : left;
  if (!holding_) {
    EncodePlanes(left, right, frames);
    return;
  }
  held_[0].insert(held_[0].end(), left, left + frames);
  held_[1].insert(held_[1].end(), right, right + frames);
  if (held_[0].size() <= static_cast<std::size_t>(kShortOutput)) return;
  holding_ = false;  // long enough: encoded as it comes
  EncodePlanes(held_[0].data(), held_[1].data(), static_cast<int>(held_[0].size()));
  held_[0] = {};
  held_[1] = {};
}

void Mp3Output::EncodePlanes(const float* left, const float* right, int frames) {
  for (int at = 0; at < frames; at += kStep) {
    const int n = std::min(kStep, frames - at);
    int rc = 0;
    {
      std::shared_lock encoding(LameTables());
      rc = lame_encode_buffer_ieee_float(lame_.get(), left + at, right + at, n, encoded_.data(),
                                         static_cast<int>(encoded_.size()));
    }
    if (rc < 0) throw Error::Failed(kWrite, path_, LameFailure(rc));
    PutAudio(encoded_.data(), static_cast<std::size_t>(rc));
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
  if (holding_) {
    // A short output: silence ahead of it takes the start trim to the end
    // of the second audio frame.
    holding_ = false;
    extraDelay_ = 2 * kHalfFrame - lame_get_encoder_delay(lame_.get()) - kMp3DecoderDelay;
    const std::vector<float> silence(static_cast<std::size_t>(std::max(0, extraDelay_)), 0.0f);
    EncodePlanes(silence.data(), silence.data(), static_cast<int>(silence.size()));
    EncodePlanes(held_[0].data(), held_[1].data(), static_cast<int>(held_[0].size()));
  }
  int rc = 0;
  std::size_t tagSize = 0;
  {
    std::shared_lock encoding(LameTables());
    rc = lame_encode_flush(lame_.get(), encoded_.data(), static_cast<int>(encoded_.size()));
    if (rc < 0) throw Error::Failed(kWrite, path_, LameFailure(rc));
    PutAudio(encoded_.data(), static_cast<std::size_t>(rc));
    // The tag frame replaces the placeholder LAME put first in the stream; it
    // is exactly as long, so nothing after it moves.
    tagSize = lame_get_lametag_frame(lame_.get(), encoded_.data(), encoded_.size());
  }
  if (tagSize > encoded_.size()) throw Error::Failed(kWrite, path_, LameFailure(-1));
  errno = 0;
  if (ownTagBytes_ > 0) {
    WriteOwnTag();
  } else if (tagSize > 0) {
    if (extraDelay_ > 0 &&
        !SetTagDelay(encoded_.data(), tagSize, lame_get_encoder_delay(lame_.get()) + extraDelay_)) {
      throw Error::Failed(kWrite, path_, "the encoder's LAME tag cannot be read");
    }
    if (std::fseek(file_.get(), 0, SEEK_SET) != 0) Fail(kWrite);
    Put(encoded_.data(), tagSize);
  } else {
    throw Error::Failed(kWrite, path_, "the encoder gave no LAME tag, so the file's length would be wrong");
  }
  errno = 0;
  std::FILE* f = file_.release();
  if (std::fclose(f) != 0) Fail(kWrite);
}

}  // namespace snipwave::audio
