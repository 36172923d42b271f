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

EncodedFrames EncodeEdge(const EdgeEncoding& encoding, const std::vector<float>& pcm, bool forJoints,
                         const std::string& path) {
  std::unique_lock setupLock(audio::LameTables());
  LamePtr lame(lame_init());
  if (!lame) throw Error::Failed(kEncode, path, "out of memory");
  lame_global_flags* gf = lame.get();
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
  if (lame_init_params(gf) < 0) throw Error::Failed(kEncode, path, "the encoder refused the source's format");
  setupLock.unlock();
  std::shared_lock encodingLock(audio::LameTables());

  const std::size_t frames = pcm.size() / static_cast<std::size_t>(encoding.channels);
  std::vector<float> left(frames), right(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    left[i] = pcm[i * static_cast<std::size_t>(encoding.channels)];
    right[i] = encoding.channels > 1 ? pcm[i * 2 + 1] : left[i];
  }
  std::vector<unsigned char> out(frames * 5 / 4 + 7200 + 7200);
  int used = 0;
  if (frames > 0) {
    used = lame_encode_buffer_ieee_float(gf, left.data(), right.data(), static_cast<int>(frames), out.data(),
                                         static_cast<int>(out.size()));
    if (used < 0) throw Error::Failed(kEncode, path, "the encoder failed (code " + std::to_string(used) + ")");
  }
  const int flushed = lame_encode_flush(gf, out.data() + used, static_cast<int>(out.size()) - used);
  if (flushed < 0) throw Error::Failed(kEncode, path, "the encoder failed (code " + std::to_string(flushed) + ")");
  const std::size_t total = static_cast<std::size_t>(used + flushed);

  EncodedFrames encoded;
  encoded.delay = lame_get_encoder_delay(gf);
  for (std::size_t at = 0; at + 4 <= total;) {
    const int size = audio::Mp3FrameBytes(out.data() + at);
    if (size == 0 || at + static_cast<std::size_t>(size) > total)
      throw Error::Failed(kEncode, path, "the encoder wrote no whole frame");
    encoded.frames.emplace_back(out.begin() + static_cast<std::ptrdiff_t>(at),
                                out.begin() + static_cast<std::ptrdiff_t>(at) + size);
    at += static_cast<std::size_t>(size);
  }
  return encoded;
}

}  // namespace snipwave::mp3copy
