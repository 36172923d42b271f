#include "EdgeEncoder.h"

#include <lame/lame.h>

#include <memory>
#include <mutex>

#include "components/audio/AvHandles.h"
#include "components/audio/LameTables.h"
#include "components/audio/Mp3InfoTag.h"
#include "platform/Error.h"

namespace snipwave::mp3copy {

namespace {

using LamePtr = std::unique_ptr<lame_global_flags, av::AVDeleter<&lame_close>>;
constexpr const char* kEncode = "Cannot encode the edges of";

}  // namespace

EdgeEncoding EdgeEncodingFor(const Mp3Stream& stream) {
  EdgeEncoding encoding;
  encoding.sampleRate = stream.sampleRate;
  encoding.channels = stream.channels;
  encoding.kbps = stream.bitrateKbps;
  if (stream.lameVbrQuality >= 0) {
    encoding.mode = EdgeEncoding::Mode::Variable;
    encoding.vbrQuality = stream.lameVbrQuality;
  } else if (stream.lameAverageKbps > 0) {
    encoding.mode = EdgeEncoding::Mode::Average;
    encoding.kbps = stream.lameAverageKbps;
  } else {
    encoding.mode = stream.constantBitrate ? EdgeEncoding::Mode::Constant : EdgeEncoding::Mode::Average;
  }
  return encoding;
}

struct EdgeEncoder::Lame {
  LamePtr flags;
};

EdgeEncoder::EdgeEncoder(const EdgeEncoding& encoding, bool forJoints, std::string path)
    : lame_(std::make_unique<Lame>()), channels_(encoding.channels), path_(std::move(path)) {
  std::unique_lock setupLock(audio::LameTables());
  lame_->flags.reset(lame_init());
  if (!lame_->flags) throw Error::Failed(kEncode, path_, "out of memory");
  lame_global_flags* gf = lame_->flags.get();
  lame_set_in_samplerate(gf, encoding.sampleRate);
  lame_set_out_samplerate(gf, encoding.sampleRate);
  lame_set_num_channels(gf, encoding.channels);
  lame_set_mode(gf, encoding.channels == 1 ? MONO : JOINT_STEREO);
  lame_set_quality(gf, 2);
  switch (encoding.mode) {
    case EdgeEncoding::Mode::Constant:
      lame_set_VBR(gf, vbr_off);
      lame_set_brate(gf, encoding.kbps);
      break;
    case EdgeEncoding::Mode::Average:
      lame_set_VBR(gf, vbr_abr);
      lame_set_VBR_mean_bitrate_kbps(gf, encoding.kbps);
      break;
    case EdgeEncoding::Mode::Variable:
      lame_set_VBR(gf, vbr_default);
      lame_set_VBR_quality(gf, static_cast<float>(encoding.vbrQuality));
      break;
  }
  if (forJoints) {
    lame_set_disable_reservoir(gf, 1);
    lame_set_no_short_blocks(gf, 1);
  }
  lame_set_bWriteVbrTag(gf, 0);
  lame_set_write_id3tag_automatic(gf, 0);
  if (lame_init_params(gf) < 0) throw Error::Failed(kEncode, path_, "the encoder refused the source's format");
  delay_ = lame_get_encoder_delay(gf);
}

EdgeEncoder::~EdgeEncoder() = default;

void EdgeEncoder::Encode(const std::vector<float>& pcm, std::vector<FrameBytes>& frames) {
  const std::size_t count = pcm.size() / static_cast<std::size_t>(channels_);
  if (count == 0) return;
  std::vector<float> left(count), right(count);
  for (std::size_t i = 0; i < count; ++i) {
    left[i] = pcm[i * static_cast<std::size_t>(channels_)];
    right[i] = channels_ > 1 ? pcm[i * 2 + 1] : left[i];
  }
  out_.resize(count * 5 / 4 + 7200);  // LAME's own bound for one call
  std::shared_lock encodingLock(audio::LameTables());
  const int used = lame_encode_buffer_ieee_float(lame_->flags.get(), left.data(), right.data(),
                                                 static_cast<int>(count), out_.data(), static_cast<int>(out_.size()));
  if (used < 0) throw Error::Failed(kEncode, path_, "the encoder failed (code " + std::to_string(used) + ")");
  TakeFrames(static_cast<std::size_t>(used), frames);
}

void EdgeEncoder::Flush(std::vector<FrameBytes>& frames) {
  out_.resize(7200 * 2);
  std::shared_lock encodingLock(audio::LameTables());
  const int flushed = lame_encode_flush(lame_->flags.get(), out_.data(), static_cast<int>(out_.size()));
  if (flushed < 0) throw Error::Failed(kEncode, path_, "the encoder failed (code " + std::to_string(flushed) + ")");
  TakeFrames(static_cast<std::size_t>(flushed), frames);
  if (!partial_.empty()) throw Error::Failed(kEncode, path_, "the encoder wrote no whole frame");
}

// LAME hands out bytes, not frames: a frame may end in a later call.
void EdgeEncoder::TakeFrames(std::size_t bytes, std::vector<FrameBytes>& frames) {
  partial_.insert(partial_.end(), out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(bytes));
  std::size_t at = 0;
  while (partial_.size() - at >= 4) {
    const int size = audio::Mp3FrameBytes(partial_.data() + at);
    if (size == 0) throw Error::Failed(kEncode, path_, "the encoder wrote no whole frame");
    if (partial_.size() - at < static_cast<std::size_t>(size)) break;
    frames.emplace_back(partial_.begin() + static_cast<std::ptrdiff_t>(at),
                        partial_.begin() + static_cast<std::ptrdiff_t>(at) + size);
    at += static_cast<std::size_t>(size);
  }
  partial_.erase(partial_.begin(), partial_.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace snipwave::mp3copy
