#include "SketchReader.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "AcceptedInputs.h"
#include "AvError.h"
#include "AvHandles.h"
#include "FileInput.h"
#include "FrameToFloat.h"
#include "OutputCountModel.h"
#include "platform/Error.h"

namespace snipwave::audio {

namespace {
constexpr int kMaxChannels = 64;
constexpr int kMaxSampleRate = 768000;
// A stretch is a few packets of any of the formats read; beyond this many a
// place is taken for damaged and given up, so a file of garbage costs no
// more than a few hundred short reads.
constexpr int kMaxPacketsPerStretch = 64;

}  // namespace

struct SketchReader::Input {
  ~Input() {
    format.reset();  // reads through io and cursor: closed before them
    io.reset();
    if (cursor.fd >= 0) ::close(cursor.fd);
  }
  FileCursor cursor;
  CustomIoPtr io;
  av::InputFormatPtr format;
  av::CodecContextPtr codec;
  av::PacketPtr packet;
  av::FramePtr frame;
  int stream = -1;
};

SketchReader::SketchReader(std::string path) : path_(std::move(path)), in_(std::make_unique<Input>()) {
  // As for the exact reader: failures travel as exceptions, and a seek that
  // misses (ASF without an index) is simply a cell the sketch fills in, so
  // libav's log would only be noise on stderr.
  static const bool quiet = [] {
    av_log_set_level(AV_LOG_FATAL);
    return true;
  }();
  (void)quiet;
  in_->cursor.fd = OpenRegularFile(path_);
  in_->io = MakeFileIo(in_->cursor, path_);
  AVFormatContext* raw = av::CheckAlloc(avformat_alloc_context(), "Cannot open", path_);
  raw->pb = in_->io.get();
  // Fast seek: an MP3 without a table of contents is entered at the byte
  // the bit rate predicts, where the generic seek would read every packet
  // up to the target (for a whole file's sketch: the whole file).
  raw->flags |= AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_FAST_SEEK;
  // The name only lends its extension to the probe; on failure libavformat
  // frees the context.
  av::Check(avformat_open_input(&raw, path_.c_str(), nullptr, nullptr), "Cannot open", path_);
  in_->format.reset(raw);
  AVFormatContext* fmt = raw;
  // Only what the exact reader reads: no overview of a file it then refuses.
  if (!IsAcceptedContainer(fmt->iformat->name))
    throw Error::Failed("Cannot read", path_, kUnsupportedFile);
  // The length estimate (for MP3 without a frame count: the bit rate over the
  // file size) is made here, from a second or so of packets.
  fmt->max_analyze_duration = AV_TIME_BASE;
  av::Check(avformat_find_stream_info(fmt, nullptr), "Cannot read", path_);
  in_->stream = av::Check(av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0), "Cannot read", path_);
  for (unsigned i = 0; i < fmt->nb_streams; ++i) {
    if (static_cast<int>(i) != in_->stream) fmt->streams[i]->discard = AVDISCARD_ALL;
  }
  const AVStream* st = fmt->streams[in_->stream];
  const AVCodecParameters* par = st->codecpar;
  sampleRate_ = par->sample_rate;
  channels_ = par->ch_layout.nb_channels;
  if (sampleRate_ <= 0 || sampleRate_ > kMaxSampleRate || channels_ <= 0 || channels_ > kMaxChannels)
    throw Error::Failed("Cannot read", path_, "the audio stream has no valid sample rate or channel count");
  // Nor of a codec it refuses in a container it takes (AC-3 in MP4).
  if (!OutputCountModel::Supports(par->codec_id)) throw Error::Failed("Cannot read", path_, kUnsupportedFile);
  const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
  if (!decoder) throw Error::Failed("Cannot read", path_, "no decoder for " + std::string(avcodec_get_name(par->codec_id)));
  in_->codec.reset(av::CheckAlloc(avcodec_alloc_context3(decoder), "Cannot decode", path_));
  av::Check(avcodec_parameters_to_context(in_->codec.get(), par), "Cannot decode", path_);
  in_->codec->pkt_timebase = st->time_base;
  av::Check(avcodec_open2(in_->codec.get(), decoder, nullptr), "Cannot decode", path_);
  in_->packet.reset(av::CheckAlloc(av_packet_alloc(), "Cannot read", path_));
  in_->frame.reset(av::CheckAlloc(av_frame_alloc(), "Cannot read", path_));

  if (st->duration > 0) {
    estimatedFrames_ = av_rescale_q(st->duration, st->time_base, AVRational{1, sampleRate_});
  } else if (fmt->duration > 0) {
    estimatedFrames_ = av_rescale(fmt->duration, sampleRate_, AV_TIME_BASE);
  }
}

SketchReader::~SketchReader() = default;

std::size_t SketchReader::ReadMixedAt(double fraction, std::size_t frames, std::vector<float>& out) {
  AVFormatContext* fmt = in_->format.get();
  const AVStream* st = fmt->streams[in_->stream];
  const std::int64_t start = st->start_time == AV_NOPTS_VALUE ? 0 : st->start_time;
  const std::int64_t length = av_rescale_q(estimatedFrames_, AVRational{1, sampleRate_}, st->time_base);
  const std::int64_t target = start + static_cast<std::int64_t>(std::clamp(fraction, 0.0, 1.0) * static_cast<double>(length));
  if (av_seek_frame(fmt, in_->stream, target, AVSEEK_FLAG_BACKWARD) < 0) return 0;
  avcodec_flush_buffers(in_->codec.get());

  // The first frame after a seek is decoded without the history it builds on
  // (an MP3 granule's bit reservoir): it is dropped, except at the start.
  bool warmUp = target > start;
  std::vector<float> interleaved;
  std::size_t got = 0;
  bool draining = false;
  int packets = 0;
  while (got < frames) {
    const int received = avcodec_receive_frame(in_->codec.get(), in_->frame.get());
    if (received == 0) {
      if (warmUp) {
        warmUp = false;
        continue;
      }
      interleaved.clear();
      AppendAsFloat(*in_->frame, 0, 0, interleaved);
      const std::size_t n = std::min(interleaved.size() / static_cast<std::size_t>(channels_), frames - got);
      for (std::size_t f = 0; f < n; ++f) {
        float sum = 0;
        for (int c = 0; c < channels_; ++c) sum += interleaved[f * static_cast<std::size_t>(channels_) + static_cast<std::size_t>(c)];
        out.push_back(sum / static_cast<float>(channels_));
      }
      got += n;
      continue;
    }
    if (received != AVERROR(EAGAIN) || draining || ++packets > kMaxPacketsPerStretch) break;
    const int read = av_read_frame(fmt, in_->packet.get());
    if (read < 0) {
      draining = true;
      if (avcodec_send_packet(in_->codec.get(), nullptr) < 0) break;
      continue;
    }
    const bool ours = in_->packet->stream_index == in_->stream;
    // A damaged packet is skipped: the overview only needs the ones around it.
    if (ours) avcodec_send_packet(in_->codec.get(), in_->packet.get());
    av_packet_unref(in_->packet.get());
  }
  return got;
}

}  // namespace snipwave::audio
