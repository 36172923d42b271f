#include "SourceDecoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "AcceptedInputs.h"
#include "AudioInterfaces.h"
#include "AvError.h"
#include "FileInput.h"
#include "FrameToFloat.h"
#include "Mp3InfoTag.h"
#include "OggGranuleTrims.h"
#include "OggLayout.h"
#include "ScanCache.h"
#include "platform/Error.h"

namespace snipwave::audio {

namespace {

// Probe scores at or above this are trusted; below it a file was recognised
// only by its extension or by a stray sync word (random bytes named .mp3).
constexpr int kMinProbeScore = AVPROBE_SCORE_EXTENSION / 2;
// Index key of the decoder's drain at the end of the stream (no packet).
constexpr std::int64_t kDrainKey = INT64_MAX;
constexpr const char* kUnsupported = kUnsupportedFile;

constexpr const char* kDamaged = "the file is damaged or is not an audio file";
// Beyond these no real recording goes; a header that claims more is damaged
// (and the channel limit is what the mixer can remix).
constexpr int kMaxSampleRate = 768000;
constexpr int kMaxChannels = 64;

// Why a library call failed, in a user's words, with the library's text after.
std::string DamagedReason(int code) {
  if (code == AVERROR(ENOMEM)) return "there is not enough memory to read it (" + av::ErrorText(code) + ")";
  if (code == AVERROR(EIO)) return "it cannot be read from the disk (" + av::ErrorText(code) + ")";
  return std::string(kDamaged) + " (" + av::ErrorText(code) + ")";
}

// FLAC can hold 4 to 32 bits per sample; libavcodec 5.1 decodes up to 24.
constexpr int kMaxFlacBits = 24;
constexpr const char* kWideFlac = "it is 32-bit FLAC, which cannot be read (FLAC of up to 24 bits per sample can)";

// The depth a lossless codec carries (see SourceDecoder::BitsPerSample).
int LosslessBits(const AVCodecParameters& par, const AVCodecContext& decoder) {
  switch (par.codec_id) {
    case AV_CODEC_ID_FLAC:
    case AV_CODEC_ID_ALAC:
      // The decoders read it from STREAMINFO or the magic cookie; a FLAC
      // stream without STREAMINFO names it in every frame header.
      if (par.bits_per_raw_sample > 0) return par.bits_per_raw_sample;
      if (decoder.bits_per_raw_sample > 0) return decoder.bits_per_raw_sample;
      return par.bits_per_coded_sample;
    case AV_CODEC_ID_PCM_F32LE:
    case AV_CODEC_ID_PCM_F32BE:
    case AV_CODEC_ID_PCM_F64LE:
    case AV_CODEC_ID_PCM_F64BE:
      return 24;
    default: {
      const AVCodecDescriptor* codec = avcodec_descriptor_get(par.codec_id);
      const bool pcm = codec && (codec->props & AV_CODEC_PROP_LOSSLESS) && std::strncmp(codec->name, "pcm_", 4) == 0;
      if (!pcm || par.codec_id == AV_CODEC_ID_PCM_ALAW || par.codec_id == AV_CODEC_ID_PCM_MULAW) return 0;
      return par.bits_per_raw_sample > 0 ? par.bits_per_raw_sample : av_get_exact_bits_per_sample(par.codec_id);
    }
  }
}

}  // namespace

struct SourceDecoder::Input {
  // Declared first, released last: the format context reads through them.
  FileCursor cursor;
  CustomIoPtr io;
  av::InputFormatPtr format;
  av::CodecContextPtr codec;
  av::PacketPtr packet;
  int stream = -1;
};

SourceDecoder::FileHandle::~FileHandle() {
  if (fd >= 0 && owned) ::close(fd);
}

SourceDecoder::SourceDecoder(std::string path) : path_(std::move(path)) {
  OpenRegularFile();
  // Identified before anything is read, so that a change during the scan
  // keeps the scan out of the cache.
  const std::optional<FileIdentity> identity = IdentifyFile(path_);
  char magic[4] = {};
  if (::pread(file_.fd, magic, sizeof magic, 0) == 4 && std::memcmp(magic, "OggS", 4) == 0) {
    const std::vector<OggLinkRange> links = FindOggLinks(file_.fd);
    if (links.size() > 1) {
      chain_ = std::make_unique<OggChain>(path_, file_.fd, links, identity);
      sampleRate_ = chain_->SampleRate();
      channels_ = chain_->Channels();
      codecName_ = chain_->Links().front().codec;
      return;
    }
  }
  Open(identity);
}

SourceDecoder::SourceDecoder(std::string path, int fd, const OggLinkRange& range,
                             const std::optional<FileIdentity>& fileIdentity)
    : path_(std::move(path)), range_(range) {
  file_.fd = fd;
  file_.owned = false;
  Open(fileIdentity);
}

std::int64_t SourceDecoder::LengthFrames() const {
  if (chain_) return chain_->LengthFrames();
  return pcm_ ? pcm_->frames : index_->TotalFrames();
}

std::int64_t SourceDecoder::Position() const { return chain_ ? chain_->Position() : position_; }

std::int64_t SourceDecoder::DamagedFrames() const { return chain_ ? chain_->DamagedFrames() : damagedFrames_; }

std::vector<LinkFormat> SourceDecoder::Links() const { return chain_ ? chain_->Links() : std::vector<LinkFormat>{}; }

void SourceDecoder::Release() {
  if (chain_) return;
  input_.reset();
  decoded_.clear();
  ClearPending();
  pending_.shrink_to_fit();
  position_ = 0;
  nextPacket_ = 0;
  inputEnded_ = false;
}

void SourceDecoder::Open(const std::optional<FileIdentity>& identity) {
  try {
    input_ = OpenInput();
  } catch (const Error&) {
    // Say why, where the probe can only say "no audio file".
    RefuseFreeFormatMp3();
    RefuseWideFlac();
    throw;
  }
  const AVStream* st = input_->format->streams[input_->stream];
  sampleRate_ = st->codecpar->sample_rate;
  channels_ = st->codecpar->ch_layout.nb_channels;
  codecName_ = avcodec_get_name(st->codecpar->codec_id);
  bitsPerSample_ = LosslessBits(*st->codecpar, *input_->codec);
  const char* container = input_->format->iformat->name;
  isOgg_ = std::strcmp(container, "ogg") == 0;
  isMp4_ = std::strcmp(container, "mov,mp4,m4a,3gp,3g2,mj2") == 0;
  // Byte positions identify packets where the demuxer reads from where it is
  // put (MP3, WAV, AIFF, ADTS); the others keep their packets in a table or
  // find frames by timestamp (Ogg, ASF, FLAC, MP4).
  keyIsPosition_ = !isOgg_ && !isMp4_ && std::strcmp(container, "asf") != 0 && std::strcmp(container, "flac") != 0;
  // QuickTime IMA ADPCM ('ima4' in AIFF-C) keeps its predictor from block
  // to block unless a block's header is far off, so a decoder started
  // mid-stream never quite agrees with one that ran from the start.
  decodeFromStartOnSeek_ = st->codecpar->codec_id == AV_CODEC_ID_ADPCM_IMA_QT;
  pcm_ = DirectPcmLayout();
  if (pcm_) {
    if (pcm_->frames <= 0) throw NoSamplesError(path_, sampleRate_);
    return;  // nothing was read yet: the input stays for the first read
  }
  // A link of a chained file is kept under the file's identity with its
  // byte range added to the name.
  std::optional<FileIdentity> key = identity;
  if (key && range_.end >= 0) {
    key->canonicalPath += "\n" + std::to_string(range_.begin) + "-" + std::to_string(range_.end);
  }
  if (key) index_ = ScanCache::Instance().Find(*key);
  if (index_) return;  // as above, the input is untouched
  auto scanned = std::make_shared<PacketIndex>();
  Scan(*scanned);
  index_ = std::move(scanned);
  if (index_->TotalFrames() <= 0) throw NoSamplesError(path_, sampleRate_);
  input_.reset();  // reopened on the first read, so that reading starts exactly as a fresh decode
  if (identity && IdentifyFile(path_) == identity) ScanCache::Instance().Store(*key, index_);
}

std::optional<SourceDecoder::PcmLayout> SourceDecoder::DirectPcmLayout() const {
  AVFormatContext* fmt = input_->format.get();
  if (std::strcmp(fmt->iformat->name, "wav") != 0 || fmt->nb_streams != 1) return std::nullopt;
  const AVCodecParameters* par = fmt->streams[input_->stream]->codecpar;
  const int bits = av_get_exact_bits_per_sample(par->codec_id);
  // The demuxer cuts packets in whole blocks and the decoder takes whole
  // frames of channels x sample size: both must be the same unit.
  if (bits <= 0 || bits % 8 != 0 || par->block_align != channels_ * (bits / 8)) return std::nullopt;

  AVIOContext* pb = fmt->pb;
  const std::int64_t dataStart = avio_tell(pb);  // the demuxer leaves the input at the first data byte
  const std::int64_t fileSize = avio_size(pb);
  if (dataStart < 20 || fileSize < dataStart) return std::nullopt;
  // A plain RIFF file (not RF64, no leading tag) whose data chunk header sits
  // just before the data.
  unsigned char riff[4] = {}, chunk[8] = {};
  const bool headerOk = avio_seek(pb, 0, SEEK_SET) == 0 && avio_read(pb, riff, 4) == 4 &&
                        avio_seek(pb, dataStart - 8, SEEK_SET) == dataStart - 8 && avio_read(pb, chunk, 8) == 8;
  if (avio_seek(pb, dataStart, SEEK_SET) != dataStart) {
    throw Error::Failed("Cannot read", path_, "the input cannot be repositioned");
  }
  if (!headerOk || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(chunk, "data", 4) != 0) return std::nullopt;
  const std::uint32_t size = static_cast<std::uint32_t>(chunk[4]) | static_cast<std::uint32_t>(chunk[5]) << 8 |
                             static_cast<std::uint32_t>(chunk[6]) << 16 | static_cast<std::uint32_t>(chunk[7]) << 24;
  // 0 and 0xFFFFFFFF mean "up to the end of the file" to the demuxer.
  const std::int64_t dataEnd = (size == 0 || size == 0xFFFFFFFFu) ? INT64_MAX : dataStart + size;
  // After the data chunk the demuxer would go on into a further data chunk,
  // if any: only a file that ends with its data (up to a pad byte) or is cut
  // short is measured from the header.
  if (dataEnd < fileSize && fileSize - dataEnd >= 8) return std::nullopt;
  PcmLayout layout;
  layout.dataStart = dataStart;
  layout.blockAlign = par->block_align;
  layout.frames = (std::min(dataEnd, fileSize) - dataStart) / par->block_align;
  return layout;
}

SourceDecoder::~SourceDecoder() = default;

void SourceDecoder::OpenRegularFile() { file_.fd = audio::OpenRegularFile(path_); }

void SourceDecoder::RefuseFreeFormatMp3() const {
  // libavformat's probe finds no valid frame in such a file and takes it
  // for no audio file at all.
  std::uint8_t id3[10] = {};
  std::int64_t start = 0;
  const bool head = ::pread(file_.fd, id3, sizeof id3, 0) == static_cast<ssize_t>(sizeof id3);
  // A damaged file of another kind (an MP4 cut before its index) is no MP3,
  // whatever its compressed bytes happen to look like.
  if (head && (std::memcmp(id3 + 4, "ftyp", 4) == 0 || std::memcmp(id3, "fLaC", 4) == 0 ||
               std::memcmp(id3, "FORM", 4) == 0 || std::memcmp(id3, "RIFF", 4) == 0 || std::memcmp(id3, "OggS", 4) == 0)) {
    return;
  }
  if (head && std::memcmp(id3, "ID3", 3) == 0) {
    start = 10 + (static_cast<std::int64_t>(id3[6] & 0x7F) << 21 | (id3[7] & 0x7F) << 14 | (id3[8] & 0x7F) << 7 |
                  (id3[9] & 0x7F));
  }
  std::vector<std::uint8_t> bytes(80 * 1024);
  const ssize_t got = ::pread(file_.fd, bytes.data(), bytes.size(), start);
  if (got > 0 && HoldsFreeFormatMp3(bytes.data(), static_cast<std::size_t>(got))) {
    throw Error::Failed("Cannot read", path_,
                        "it is a free-format MP3 (its frames carry no bit rate), which cannot be read; "
                        "encode it again at a standard bit rate first");
  }
}

bool SourceDecoder::IsBareFlacStream(const AVFormatContext& fmt) const {
  if (std::strcmp(fmt.iformat->name, "flac") != 0) return false;
  std::uint8_t head[32] = {};
  const ssize_t got = ::pread(file_.fd, head, sizeof head, range_.begin);
  return got > 0 && StartsWithFlacFrame(head, static_cast<std::size_t>(got));
}

void SourceDecoder::RefuseWideFlac() const {
  // libavformat 5.1 takes a 32-bit frame header for a damaged one, so a
  // captured 32-bit stream is no FLAC at all to its probe.
  std::uint8_t head[32] = {};
  const ssize_t got = ::pread(file_.fd, head, sizeof head, range_.begin);
  int bits = 0;
  if (got > 0 && StartsWithFlacFrame(head, static_cast<std::size_t>(got), &bits) && bits > kMaxFlacBits)
    throw Error::Failed("Cannot read", path_, kWideFlac);
}

bool SourceDecoder::IsShortMp3(const AVFormatContext& fmt) const {
  // A file of a few MP3 frames (a click, a short effect) gives the probe too
  // little to be sure of; its frames, chained to the end, are proof enough.
  if (std::strcmp(fmt.iformat->name, "mp3") != 0) return false;
  constexpr std::size_t kLook = 1 << 20;
  std::vector<std::uint8_t> bytes(kLook);
  const ssize_t got = ::pread(file_.fd, bytes.data(), bytes.size(), 0);
  if (got <= 0) return false;
  struct stat st {};
  const bool whole = ::fstat(file_.fd, &st) == 0 && st.st_size == got;
  return HoldsMp3Frames(bytes.data(), static_cast<std::size_t>(got), whole);
}

std::unique_ptr<SourceDecoder::Input> SourceDecoder::OpenInput() const {
  auto in = std::make_unique<Input>();
  in->cursor.fd = file_.fd;
  in->cursor.base = range_.begin;
  in->cursor.limit = range_.end >= 0 ? range_.end - range_.begin : -1;
  in->io = MakeFileIo(in->cursor, path_);
  AVFormatContext* raw = av::CheckAlloc(avformat_alloc_context(), "Cannot open", path_);
  raw->pb = in->io.get();
  raw->flags |= AVFMT_FLAG_CUSTOM_IO;
  // The WAV demuxer asks to probe the first 128 KiB of 16-bit PCM it reads
  // for other codecs stored as PCM (DTS, AC-3) by running every format probe
  // on it again and again as the data grows: about a quarter second after
  // each open. The decoder here is chosen at open, before any packet is read,
  // and never changes, so that probe's finding is never used: it gets one
  // packet to look at instead of 32.
  AVDictionary* options = nullptr;
  av_dict_set(&options, "max_probe_packets", "0", 0);
  // The name only lends its extension to the format probe; on failure the
  // context is freed by libavformat.
  const int opened = avformat_open_input(&raw, path_.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (opened < 0) throw Error::Failed("Cannot open", path_, DamagedReason(opened));
  in->format.reset(raw);
  AVFormatContext* fmt = in->format.get();
  if (!IsAcceptedContainer(fmt->iformat->name) ||
      (fmt->probe_score < kMinProbeScore && !IsShortMp3(*fmt) && !IsBareFlacStream(*fmt))) {
    throw Error::Failed("Cannot read", path_, kUnsupported);
  }
  const auto firstAudio = [fmt] {
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
      if (fmt->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) return static_cast<int>(i);
    }
    return -1;
  };
  in->stream = firstAudio();
  if (in->stream >= 0) {
    const AVCodecParameters* par = fmt->streams[in->stream]->codecpar;
    if (par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0) {
      // MPEG audio leaves the stream parameters to the first frames.
      const int found = avformat_find_stream_info(fmt, nullptr);
      if (found < 0) throw Error::Failed("Cannot read", path_, DamagedReason(found));
      in->stream = firstAudio();
    }
  }
  if (in->stream < 0) throw Error::Failed("Cannot read", path_, "the file has no audio stream");
  for (unsigned i = 0; i < fmt->nb_streams; ++i) {
    if (static_cast<int>(i) != in->stream) fmt->streams[i]->discard = AVDISCARD_ALL;
  }
  CheckStreamFormat(*fmt->streams[in->stream]->codecpar);
  in->codec = OpenDecoder(*fmt->streams[in->stream]);
  in->packet.reset(av::CheckAlloc(av_packet_alloc(), "Cannot read", path_));
  return in;
}

void SourceDecoder::CheckStreamFormat(const AVCodecParameters& par) const {
  if (par.codec_id == AV_CODEC_ID_NONE) {
    throw Error::Failed("Cannot read", path_, "the file has no audio stream in a known encoding");
  }
  if (!OutputCountModel::Supports(par.codec_id)) {
    const AVCodecDescriptor* codec = avcodec_descriptor_get(par.codec_id);
    const std::string name = codec && codec->long_name ? codec->long_name : avcodec_get_name(par.codec_id);
    throw Error::Failed("Cannot read", path_,
                        "its audio is " + name +
                            ", which cannot be read (MP3, WAV, WMA, Ogg Vorbis, FLAC, AIFF, AAC and ALAC can)");
  }
  // Its frames would all be taken for damaged ones: no samples at all.
  if (par.codec_id == AV_CODEC_ID_FLAC && par.bits_per_raw_sample > kMaxFlacBits)
    throw Error::Failed("Cannot read", path_, kWideFlac);
  if (par.sample_rate <= 0 || par.ch_layout.nb_channels <= 0) {
    throw Error::Failed("Cannot read", path_, "the audio stream has no valid sample rate or channel count");
  }
  if (par.sample_rate > kMaxSampleRate) {
    throw Error::Failed("Cannot read", path_,
                        "its header claims " + std::to_string(par.sample_rate) +
                            " Hz, which is no real audio sample rate (the file is damaged)");
  }
  if (par.ch_layout.nb_channels > kMaxChannels) {
    throw Error::Failed("Cannot read", path_,
                        "its header claims " + std::to_string(par.ch_layout.nb_channels) + " channels; at most " +
                            std::to_string(kMaxChannels) + " can be read (the file is probably damaged)");
  }
}

av::CodecContextPtr SourceDecoder::OpenDecoder(const AVStream& stream) const {
  const AVCodecParameters* par = stream.codecpar;
  // Opus: the reference library (what opusdec decodes with) when FFmpeg has
  // it; libavcodec's own decoder places SILK (speech) frames two samples late.
  const AVCodec* decoder = par->codec_id == AV_CODEC_ID_OPUS ? avcodec_find_decoder_by_name("libopus") : nullptr;
  if (!decoder) decoder = avcodec_find_decoder(par->codec_id);
  if (!decoder) throw Error::Failed("Cannot read", path_, "no decoder for " + std::string(avcodec_get_name(par->codec_id)));
  av::CodecContextPtr codec(av::CheckAlloc(avcodec_alloc_context3(decoder), "Cannot decode", path_));
  int rc = avcodec_parameters_to_context(codec.get(), par);
  codec->pkt_timebase = stream.time_base;
  // The Opus decoders drop the pre-skip from their first output by
  // themselves, again after every seek; the index trims it instead, so
  // each packet's output count stays what its TOC byte says.
  if (par->codec_id == AV_CODEC_ID_OPUS) codec->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL;
  if (rc >= 0) rc = avcodec_open2(codec.get(), decoder, nullptr);
  if (rc < 0) throw Error::Failed("Cannot decode", path_, DamagedReason(rc));
  return codec;
}

std::int64_t SourceDecoder::KeyOf(const AVPacket& packet) const {
  if (keyIsPosition_) return packet.pos;
  return packet.pts == AV_NOPTS_VALUE ? INT64_MIN : packet.pts;
}

bool SourceDecoder::ReadPacket(AVPacket& packet) {
  for (;;) {
    av_packet_unref(&packet);
    const int rc = av_read_frame(input_->format.get(), &packet);
    // A read error ends the stream where it happened, as for any player: the
    // scan ends there too, so the length stays what can be decoded.
    if (rc < 0) return false;
    if (packet.stream_index == input_->stream) return true;
  }
}

void SourceDecoder::Scan(PacketIndex& index) {
  const AVStream* st = input_->format->streams[input_->stream];
  OutputCountModel model(st->codecpar, st->time_base.num, st->time_base.den);
  const bool mp3 = std::strcmp(input_->format->iformat->name, "mp3") == 0 && st->codecpar->codec_id == AV_CODEC_ID_MP3;
  std::vector<std::uint8_t> firstPacket;
  bool trimmedByDemuxer = false;
  std::int64_t sampleTableDuration = 0;  // MP4: the packets' durations, in the stream's time base
  // The last packet of a file cut short is part of a frame, which the
  // demuxer hands on as if it were whole. Where a fresh decoder gives a
  // frame's full output (FLAC, ALAC, ADPCM blocks, AAC), it is decoded on its
  // own: a part of a frame yields nothing, or a part of an ADPCM block only
  // its own samples, as in an independent decoder (data that is gone, not
  // damage to stand in for with silence).
  av::PacketPtr last;
  switch (st->codecpar->codec_id) {
    case AV_CODEC_ID_FLAC:
    case AV_CODEC_ID_ALAC:
    case AV_CODEC_ID_AAC:
    case AV_CODEC_ID_ADPCM_IMA_WAV:
    case AV_CODEC_ID_ADPCM_MS:
    case AV_CODEC_ID_ADPCM_IMA_QT:
      last.reset(av::CheckAlloc(av_packet_alloc(), "Cannot read", path_));
      break;
    default:
      break;
  }
  std::int64_t heldKey = 0;  // the packet read last, added once the next is read
  std::optional<PacketOutput> held;
  index.Clear();
  AVPacket& packet = *input_->packet;
  while (ReadPacket(packet)) {
    if (mp3 && !held) firstPacket.assign(packet.data, packet.data + packet.size);
    if (last) {
      av_packet_unref(last.get());
      if (av_packet_ref(last.get(), &packet) < 0) throw Error::Failed("Cannot read", path_, "out of memory");
    }
    trimmedByDemuxer = trimmedByDemuxer || av_packet_get_side_data(&packet, AV_PKT_DATA_SKIP_SAMPLES, nullptr);
    if (packet.duration > 0) sampleTableDuration += packet.duration;
    if (held) index.Add(heldKey, *held);
    heldKey = KeyOf(packet);
    held = model.Next(packet);
    if (index.Size() == 0 && st->codecpar->codec_id == AV_CODEC_ID_AAC) RefuseUnmodelledAac(packet, held->raw);
  }
  av_packet_unref(&packet);
  if (held) {
    if (last && last->size > 0) {
      const std::uint32_t alone = FramesDecodedAlone(*last, nullptr);
      if (alone != held->raw) {
        held->raw = alone;
        held->front = std::min(held->front, alone);
        held->back = std::min(held->back, alone - held->front);
      }
    }
    index.Add(heldKey, *held);
  }
  const PacketOutput tail = model.Drain();
  if (tail.raw > 0) index.Add(kDrainKey, tail);
  if (mp3) ApplyMp3InfoTag(index, firstPacket, trimmedByDemuxer);
  if (isOgg_) ApplyOggGranules(index);
  if (isMp4_) ApplyMp4Ends(index, sampleTableDuration, trimmedByDemuxer);
}

std::uint32_t SourceDecoder::FramesDecodedAlone(AVPacket& packet, int* rate) const {
  av::CodecContextPtr codec = OpenDecoder(*input_->format->streams[input_->stream]);
  av_packet_free_side_data(&packet);
  packet.flags &= ~AV_PKT_FLAG_DISCARD;
  std::uint32_t got = 0;
  if (avcodec_send_packet(codec.get(), &packet) >= 0) {
    av::FramePtr frame(av::CheckAlloc(av_frame_alloc(), "Cannot read", path_));
    while (avcodec_receive_frame(codec.get(), frame.get()) == 0) {
      got += static_cast<std::uint32_t>(frame->nb_samples);
      if (rate) *rate = frame->sample_rate;
    }
  }
  return got;
}

void SourceDecoder::RefuseUnmodelledAac(const AVPacket& first, std::uint32_t expected) const {
  // High-efficiency AAC (SBR, parametric stereo) decodes to twice the frame
  // and, signalled implicitly, to twice the container's rate: the length
  // model counts plain AAC frames only, so such a file is refused rather
  // than read out of step.
  av::PacketPtr copy(av::CheckAlloc(av_packet_clone(&first), "Cannot read", path_));
  int rate = sampleRate_;
  const std::uint32_t got = FramesDecodedAlone(*copy, &rate);
  if (got > 0 && (got != expected || rate != sampleRate_)) {
    throw Error::Failed("Cannot read", path_,
                        "its audio is high-efficiency AAC (SBR or parametric stereo), which cannot be read exactly; "
                        "convert it to AAC-LC or a lossless format first");
  }
}

void SourceDecoder::ApplyMp4Ends(PacketIndex& index, std::int64_t sampleTableDuration, bool trimmedByDemuxer) const {
  // An edit list says where the presentation starts and how long it is. The
  // demuxer applies its start (a skip on the first packets) and gives the
  // stream the edit's duration, but leaves the encoder's padding at the end
  // in the last frame: the edit's duration ends the stream here. Without an
  // edit list the stream's duration is the sample table's sum.
  const AVStream* st = input_->format->streams[input_->stream];
  const AVRational frameBase{1, sampleRate_};
  if (st->duration > 0 && st->duration != sampleTableDuration) {
    index.TrimToLength(av_rescale_q(st->duration, st->time_base, frameBase));
    return;
  }
  // iTunes' gapless comment: "00000000 <delay> <padding> <frames> ...", in
  // hexadecimal. The demuxer applies the delay by itself where it reads it.
  const AVDictionaryEntry* smpb = av_dict_get(input_->format->metadata, "iTunSMPB", nullptr, 0);
  if (!smpb || !smpb->value) return;
  unsigned long long zero = 0, delay = 0, padding = 0, frames = 0;
  if (std::sscanf(smpb->value, " %llx %llx %llx %llx", &zero, &delay, &padding, &frames) != 4) return;
  if (delay >= 1u << 20 || frames == 0 || frames > static_cast<unsigned long long>(index.TotalFrames())) return;
  if (!trimmedByDemuxer) index.TrimFront(static_cast<std::int64_t>(delay));
  index.TrimToLength(static_cast<std::int64_t>(frames));
}

void SourceDecoder::ApplyMp3InfoTag(PacketIndex& index, const std::vector<std::uint8_t>& firstPacket,
                                    bool trimmedByDemuxer) const {
  // The demuxer reads the Xing/Info tag only from the very first bytes after
  // an ID3v2 tag; then the tag frame is no packet. With junk before it (some
  // taggers leave zeros or stray bytes) the demuxer skips the junk but takes
  // the tag frame for audio: it is one here, so the tag is applied now.
  // Its parser may also drop the tag frame (then found just before the
  // first packet), its content unused.
  // Where the demuxer did read the tag, it trims the front but may drop the
  // end trim: when the file is much longer than the tag's byte count (a large
  // APE tag after the audio) it takes the file for several joined together.
  // The tag's frame count fixes the length whatever follows the frames.
  if (index.Size() == 0) return;
  if (trimmedByDemuxer) {
    const std::optional<Mp3InfoTag> tag = InfoTagBefore(index.Key(0));
    if (tag && tag->hasGapless && tag->frames > 0) {
      index.TrimToLength(tag->frames * tag->samplesPerFrame - tag->delay - tag->padding);
    }
    return;
  }
  std::optional<Mp3InfoTag> tag = ParseMp3InfoTag(firstPacket.data(), firstPacket.size());
  std::int64_t front = 0;
  if (tag) {
    front = index.Output(0).raw;  // the tag frame itself: silence, not audio
  } else {
    tag = InfoTagBefore(index.Key(0));
  }
  if (!tag) return;
  if (tag->hasGapless) front += tag->delay + kMp3DecoderDelay;
  index.TrimFront(front);
  if (tag->hasGapless && tag->frames > 0) {
    index.TrimToLength(tag->frames * tag->samplesPerFrame - tag->delay - tag->padding);
  }
}

std::optional<Mp3InfoTag> SourceDecoder::InfoTagBefore(std::int64_t position) const {
  // A tag frame ends where the first packet begins; frames are at most 2881
  // bytes long.
  constexpr std::int64_t kMaxFrame = 2881;
  const std::int64_t from = std::max<std::int64_t>(0, position - kMaxFrame);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(position - from));
  if (bytes.size() < 4 || ::pread(file_.fd, bytes.data(), bytes.size(), from) != static_cast<ssize_t>(bytes.size())) {
    return std::nullopt;
  }
  for (std::size_t at = 0; at + 4 <= bytes.size(); ++at) {
    if (static_cast<std::int64_t>(at) + Mp3FrameBytes(bytes.data() + at) != static_cast<std::int64_t>(bytes.size())) {
      continue;
    }
    if (auto tag = ParseMp3InfoTag(bytes.data() + at, bytes.size() - at)) return tag;
  }
  return std::nullopt;
}

void SourceDecoder::ApplyOggGranules(PacketIndex& index) const {
  const std::optional<OggLayout> layout =
      ReadOggLayout(file_.fd, range_.begin, range_.end >= 0 ? range_.end : INT64_MAX);
  if (!layout) return;
  if (layout->audioStreams > 1) {
    throw Error::Failed("Cannot read", path_,
                        "it holds " + std::to_string(layout->audioStreams) +
                            " audio streams side by side, which cannot be read exactly; "
                            "convert it to one stream first");
  }
  if (layout->firstGranule < 0 || layout->lastGranule < 0) return;
  const auto firstPackets = static_cast<std::size_t>(layout->audioPacketsToFirstGranule);
  if (firstPackets > index.Size() || firstPackets == 0) return;
  if (layout->codec == OggCodec::kVorbis) {
    TrimVorbisByGranules(index, *layout);
  } else {
    TrimOpusFlacByGranules(index, *layout);
  }
  // After a seek onto the last page the demuxer counts its timestamps back
  // from the end granule, which differs from the running count by the end
  // trim: its packets are only recognised when read into from the page before.
  const auto lastPage = static_cast<std::size_t>(layout->audioPacketsOnLastPage);
  if (lastPage <= index.Size()) index.SetSeekLimit(index.Size() - lastPage);
}



void SourceDecoder::Rewind() {
  input_ = OpenInput();
  nextPacket_ = 0;
  inputEnded_ = false;
  ClearPending();
  position_ = 0;
}

void SourceDecoder::EnsureInput() {
  if (!input_) Rewind();
}

int SourceDecoder::DecodePacket(AVPacket* packet) {
  decoded_.clear();
  decodedCount_ = 0;
  AVCodecContext* codec = input_->codec.get();
  if (packet) {
    // Trims are applied from the index, the same way after a seek as from the
    // start; the decoder must not apply the demuxer's guesses a second time.
    av_packet_free_side_data(packet);
    // The same for packets the container leaves out of the presentation:
    // their output is counted, then trimmed.
    packet->flags &= ~AV_PKT_FLAG_DISCARD;
  }
  // Any failure of the data itself (the decoders report it as invalid data,
  // but also as EPERM, EINVAL or a bare -1) marks the packet as damaged; only
  // a lack of memory is the machine's fault. Frames already had from the
  // packet stay (a PCM packet with a partial frame at its end).
  const auto checkMemory = [this](int rc) {
    if (rc == AVERROR(ENOMEM)) throw Error::Failed("Cannot decode", path_, DamagedReason(rc));
  };
  int rc = avcodec_send_packet(codec, packet);
  if (rc < 0 && rc != AVERROR_EOF) {
    checkMemory(rc);
    return -1;
  }
  for (int failures = 0;;) {
    av::FramePtr frame(av::CheckAlloc(av_frame_alloc(), "Cannot decode", path_));
    rc = avcodec_receive_frame(codec, frame.get());
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) break;
    if (rc < 0) {
      checkMemory(rc);
      if (decodedCount_ == 0) return -1;
      // The rest of the packet is lost; the next call says so.
      if (++failures > 16) break;
      continue;
    }
    if (frame->ch_layout.nb_channels != channels_) {
      throw Error::Failed("Cannot decode", path_, "the channel count changes inside the file");
    }
    decodedCount_ += frame->nb_samples;
    decoded_.push_back(std::move(frame));
  }
  return decodedCount_;
}

void SourceDecoder::AppendPacketOutput(std::int64_t raw, std::int64_t front, std::int64_t back) {
  const std::int64_t keepEnd = raw - back;
  std::int64_t offset = 0;
  for (const auto& frame : decoded_) {
    const std::int64_t n = frame->nb_samples;
    const std::int64_t from = std::max(front, offset), to = std::min(keepEnd, offset + n);
    if (from < to) AppendAsFloat(*frame, static_cast<int>(from - offset), static_cast<int>(offset + n - to), pending_);
    offset += n;
  }
  // Frames the decoder did not give (a damaged packet): silence in their
  // place, counted when they are handed out.
  const std::int64_t missingFrom = std::max(front, offset);
  if (missingFrom < keepEnd) {
    const std::size_t from = pending_.size();
    pending_.insert(pending_.end(), static_cast<std::size_t>((keepEnd - missingFrom) * channels_), 0.0f);
    damagedSpans_.emplace_back(from, pending_.size());
  }
}

void SourceDecoder::ClearPending() {
  pending_.clear();
  pendingRead_ = 0;
  damagedSpans_.clear();
}

SourceDecoder::Step SourceDecoder::DecodeNextContinuous() {
  AVPacket& packet = *input_->packet;
  const bool more = ReadPacket(packet);
  if (!more) av_packet_unref(&packet);
  const std::size_t i = nextPacket_++;
  // In step with the scan: the packet read is the one the index has here
  // (at the end: the index ends with the decoder's drain, or here).
  const bool inStep =
      index_ && i < index_->Size() && (more ? KeyOf(packet) == index_->Key(i) : index_->Key(i) == kDrainKey);
  const int raw = DecodePacket(more ? &packet : nullptr);  // at the end: drain what the decoder holds
  if (!more) inputEnded_ = true;
  if (inStep) {
    const PacketOutput expected = index_->Output(i);
    AppendPacketOutput(expected.raw, expected.front, expected.back);
  } else if (raw > 0) {
    // Off the scan (the file changed or ended early): only what was decoded,
    // trimmed as far as the index knows the packet.
    std::int64_t front = 0, back = 0;
    if (index_ && i < index_->Size()) {
      const PacketOutput expected = index_->Output(i);
      front = std::min<std::int64_t>(expected.front, raw);
      if (expected.back <= raw - front) back = expected.back;
    }
    AppendPacketOutput(raw, front, back);
  }
  return more ? Step::kDecoded : Step::kEnd;
}

std::size_t SourceDecoder::PendingFrames() const {
  return (pending_.size() - pendingRead_) / static_cast<std::size_t>(channels_);
}

std::size_t SourceDecoder::Read(std::size_t frames, std::vector<float>& out) {
  if (chain_) return chain_->Read(frames, out);
  if (frames == 0 || position_ >= LengthFrames()) return 0;
  EnsureInput();
  frames = std::min<std::size_t>(frames, static_cast<std::size_t>(LengthFrames() - position_));
  while (PendingFrames() < frames && !inputEnded_) DecodeNextContinuous();
  const std::size_t n = std::min(frames, PendingFrames());
  const std::size_t elements = n * static_cast<std::size_t>(channels_);
  out.insert(out.end(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingRead_),
             pending_.begin() + static_cast<std::ptrdiff_t>(pendingRead_ + elements));
  for (const auto& [from, to] : damagedSpans_) {
    const std::size_t a = std::max(from, pendingRead_), b = std::min(to, pendingRead_ + elements);
    if (a < b) damagedFrames_ += static_cast<std::int64_t>((b - a) / static_cast<std::size_t>(channels_));
  }
  pendingRead_ += elements;
  if (pendingRead_ == pending_.size() || pendingRead_ > (1u << 20)) {
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingRead_));
    // Spans move with the data; those wholly handed out or dropped go.
    std::vector<std::pair<std::size_t, std::size_t>> kept;
    for (const auto& [from, to] : damagedSpans_) {
      if (to > pendingRead_) kept.emplace_back(from > pendingRead_ ? from - pendingRead_ : 0, to - pendingRead_);
    }
    damagedSpans_ = std::move(kept);
    pendingRead_ = 0;
  }
  position_ += static_cast<std::int64_t>(n);
  return n;
}

void SourceDecoder::DecodeForwardTo(std::int64_t target) {
  // From a fresh start: decode and drop everything before the target.
  while (position_ < target) {
    while (PendingFrames() == 0 && !inputEnded_) DecodeNextContinuous();
    if (PendingFrames() == 0) break;
    const std::size_t drop = std::min<std::size_t>(PendingFrames(), static_cast<std::size_t>(target - position_));
    pendingRead_ += drop * static_cast<std::size_t>(channels_);
    position_ += static_cast<std::int64_t>(drop);
    if (pendingRead_ == pending_.size()) ClearPending();
  }
}

bool SourceDecoder::TrySeek(std::size_t startPacket, std::int64_t target) {
  AVFormatContext* fmt = input_->format.get();
  // A fresh decoder, not a flushed one: it then starts exactly as at the
  // beginning of the stream, which the index describes. (A flushed WMA
  // decoder, for one, comes back one frame late.)
  input_->codec = OpenDecoder(*fmt->streams[input_->stream]);
  ClearPending();
  inputEnded_ = false;
  const std::int64_t key = index_->Key(startPacket);
  const int rc = keyIsPosition_ ? av_seek_frame(fmt, -1, key, AVSEEK_FLAG_BYTE)
                                : av_seek_frame(fmt, input_->stream, key, AVSEEK_FLAG_BACKWARD);
  if (rc < 0) return false;

  const std::size_t targetPacket = index_->PacketAt(target);
  AVPacket& packet = *input_->packet;
  // Find where the demuxer landed.
  std::size_t i = index_->Size();
  for (int tries = 0; tries < 256; ++tries) {
    if (!ReadPacket(packet)) return false;
    i = index_->Find(KeyOf(packet), 0);
    if (i < index_->Size()) break;
  }
  // Landed too late (or nowhere known): at least two whole packets must be
  // decoded before the target's, so that the decoder's overlap is filled.
  if (i >= index_->Size() || i + 2 > targetPacket) return false;

  // Decode forward in step with the index. A packet whose output count differs
  // from a decode from the start is warm-up (the first packet after a flush);
  // it must lie wholly before the target.
  bool draining = false;
  for (;;) {
    if (!draining && KeyOf(packet) != index_->Key(i)) return false;  // lost step with the index
    const int raw = DecodePacket(draining ? nullptr : &packet);
    const PacketOutput expected = index_->Output(i);
    const std::int64_t start = index_->OutputOffset(i);
    const std::int64_t end = start + expected.Kept();
    if (raw != static_cast<int>(expected.raw)) {
      if (end > target) return false;
    } else if (end > target) {
      const std::int64_t dropTarget = std::max<std::int64_t>(0, target - start);
      AppendPacketOutput(expected.raw, expected.front + dropTarget, expected.back);
      nextPacket_ = i + 1;
      position_ = target;
      inputEnded_ = draining;
      return true;
    }
    ++i;
    if (i >= index_->Size() || draining) return false;
    if (!ReadPacket(packet)) {
      if (index_->Key(i) != kDrainKey) return false;
      draining = true;
    }
  }
}

void SourceDecoder::SeekPcm(std::int64_t frame) {
  AVFormatContext* fmt = input_->format.get();
  av::Check(av_seek_frame(fmt, -1, pcm_->dataStart + frame * pcm_->blockAlign, AVSEEK_FLAG_BYTE), "Cannot seek",
            path_);
  avcodec_flush_buffers(input_->codec.get());
  ClearPending();
  inputEnded_ = false;
  nextPacket_ = 0;
  position_ = frame;
}

void SourceDecoder::Seek(std::int64_t frame) {
  if (chain_) {
    chain_->Seek(frame);
    return;
  }
  frame = std::clamp<std::int64_t>(frame, 0, LengthFrames());
  if (frame == position_ && input_) return;
  if (frame >= LengthFrames()) {
    ClearPending();
    position_ = frame;
    return;
  }
  EnsureInput();
  if (pcm_) {
    SeekPcm(frame);  // every frame has its own byte offset
    return;
  }
  if (decodeFromStartOnSeek_) {
    // No landing is ever exact; the decode is cheap enough to run from the start.
    if (frame < position_) Rewind();
    DecodeForwardTo(frame);
    return;
  }
  // Half a second of warm-up, doubled on each retry.
  const std::int64_t preroll = std::max<std::int64_t>(sampleRate_ / 2, 4096);
  if (frame > position_ && frame - position_ <= 2 * preroll) {
    DecodeForwardTo(frame);  // a short step forward: keep decoding
    return;
  }
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::int64_t from = frame - (preroll << attempt);
    if (from <= 0) break;
    std::size_t start = index_->PacketAt(from);
    if (start >= index_->SeekLimit()) start = index_->SeekLimit() - 1;
    if (start < 2 || start >= index_->Size()) break;
    if (TrySeek(start, frame)) return;
  }
  // Close to the start, or the container would not seek exactly: decode from
  // the beginning (always right, only slower).
  Rewind();
  DecodeForwardTo(frame);
}

}  // namespace snipwave::audio
