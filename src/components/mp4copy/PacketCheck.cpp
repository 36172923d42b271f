#include "PacketCheck.h"

#include <cstring>

#include "Mp4Track.h"
#include "components/audio/AvError.h"
#include "platform/Error.h"

namespace snipwave::mp4copy {

PacketCheck::PacketCheck(const Mp4Track& track, const std::string& path) : path_(path) {
  const AVCodec* decoder = avcodec_find_decoder(AV_CODEC_ID_AAC);
  if (!decoder) throw Error::Failed("Cannot check the packets of", path_, "libavcodec has no AAC decoder");
  codec_.reset(avcodec_alloc_context3(decoder));
  packet_.reset(av_packet_alloc());
  frame_.reset(av_frame_alloc());
  if (!codec_ || !packet_ || !frame_) throw Error::Failed("Cannot check the packets of", path_, "out of memory");
  const std::size_t config = track.audioSpecificConfig.size();
  codec_->extradata = static_cast<std::uint8_t*>(av_mallocz(config + AV_INPUT_BUFFER_PADDING_SIZE));
  if (!codec_->extradata) throw Error::Failed("Cannot check the packets of", path_, "out of memory");
  std::memcpy(codec_->extradata, track.audioSpecificConfig.data(), config);
  codec_->extradata_size = static_cast<int>(config);
  codec_->sample_rate = track.sampleRate;
  av_channel_layout_default(&codec_->ch_layout, track.channels);
  if (const int rc = avcodec_open2(codec_.get(), decoder, nullptr); rc < 0)
    throw Error::Failed("Cannot check the packets of", path_, av::ErrorText(rc));
}

bool PacketCheck::Decodes(const std::uint8_t* data, std::size_t size) {
  // The packet's own padded copy: the decoder reads a little past its end.
  if (av_new_packet(packet_.get(), static_cast<int>(size)) < 0)
    throw Error::Failed("Cannot check the packets of", path_, "out of memory");
  std::memcpy(packet_->data, data, size);
  const int sent = avcodec_send_packet(codec_.get(), packet_.get());
  av_packet_unref(packet_.get());
  int frames = 0;
  while (sent >= 0 && avcodec_receive_frame(codec_.get(), frame_.get()) == 0) {
    frames += frame_->nb_samples;
    av_frame_unref(frame_.get());
  }
  return sent >= 0 && frames == kFramesPerPacket;
}

}  // namespace snipwave::mp4copy
