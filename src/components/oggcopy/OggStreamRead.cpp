#include <algorithm>
#include <cstring>

#include "OggStream.h"
#include "components/audio/OggGranuleTrims.h"
#include "components/audio/OutputCountModel.h"
#include "components/audio/PacketIndex.h"

extern "C" {
#include <libavcodec/vorbis_parser.h>
}

namespace snipwave::oggcopy {

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool StartsWith(const std::vector<std::uint8_t>& packet, const char* magic, std::size_t size) {
  return packet.size() >= size && std::memcmp(packet.data(), magic, size) == 0;
}

// The three Vorbis headers in the Xiph lacing libavcodec's parser reads.
std::vector<std::uint8_t> XiphExtradata(const std::vector<std::vector<std::uint8_t>>& headers) {
  std::vector<std::uint8_t> out{2};
  for (std::size_t i = 0; i < 2; ++i) {
    std::size_t n = headers[i].size();
    for (; n >= 255; n -= 255) out.push_back(255);
    out.push_back(static_cast<std::uint8_t>(n));
  }
  for (const auto& h : headers) out.insert(out.end(), h.begin(), h.end());
  return out;
}

struct VorbisParser {
  AVVorbisParseContext* ctx = nullptr;
  ~VorbisParser() {
    if (ctx) av_vorbis_parse_free(&ctx);
  }
};

// What the reader takes from the page headers (see audio::OggLayout).
struct Granules {
  std::int64_t audioOnHeaderPage = 0;
  std::int64_t firstGranule = -1;
  std::int64_t packetsToFirst = 0;
  bool firstIsLast = false;
  std::int64_t lastGranule = -1;
};

bool FindGranules(const OggPacketWalk& walk, std::int64_t headerCount, Granules* g, std::string* reason) {
  const std::uint32_t headerPage = walk.packets[static_cast<std::size_t>(headerCount - 1)].page;
  g->audioOnHeaderPage = walk.pages[headerPage].packetsEnded - headerCount;
  for (std::size_t p = headerPage + 1; p < walk.pages.size(); ++p) {
    const OggPacketWalk::Page& page = walk.pages[p];
    if (page.granule == -1 || page.packetsEnded <= headerCount) continue;
    g->firstGranule = page.granule;
    g->packetsToFirst = page.packetsEnded - headerCount;
    g->firstIsLast = page.endOfStream;
    break;
  }
  if (g->firstGranule == -1 && g->audioOnHeaderPage > 0 && walk.pages[headerPage].granule != -1) {
    // All the audio sits on the header page: it is read as it is.
    g->firstGranule = walk.pages[headerPage].granule;
    g->packetsToFirst = g->audioOnHeaderPage;
    g->firstIsLast = walk.pages[headerPage].endOfStream;
    g->audioOnHeaderPage = 0;
  }
  const OggPacketWalk::Page& last = walk.pages.back();
  if (last.packetsEnded <= headerCount) {
    *reason = "it holds no audio packets";
    return false;
  }
  if (last.granule == -1) {
    *reason = "its last page has no granule position, so its end is unknown";
    return false;
  }
  if (g->firstGranule < 0) {
    *reason = "its pages have no valid granule positions";
    return false;
  }
  g->lastGranule = last.granule;
  return true;
}

// The reader's trims applied to `index`: the same rules, so that frame 0 of
// the copy's positions is the reader's frame 0.
void TrimAsReader(Codec codec, const Granules& g, std::int64_t preSkip, audio::PacketIndex& index) {
  audio::OggLayout layout;
  layout.codec = codec == Codec::kOpus ? audio::OggCodec::kOpus : audio::OggCodec::kVorbis;
  layout.preSkip = codec == Codec::kOpus ? preSkip : 0;
  layout.audioPacketsOnHeaderPage = g.audioOnHeaderPage;
  layout.firstGranule = g.firstGranule;
  layout.audioPacketsToFirstGranule = g.packetsToFirst;
  layout.firstPageIsLast = g.firstIsLast;
  layout.lastGranule = g.lastGranule;
  if (codec == Codec::kOpus)
    audio::TrimOpusFlacByGranules(index, layout);
  else
    audio::TrimVorbisByGranules(index, layout);
}

bool ReadHeaders(int fd, const OggPacketWalk& walk, OggStream* stream, std::string* reason) {
  std::vector<std::uint8_t> first;
  const OggPacketWalk::Packet& p0 = walk.packets.front();
  if (!ReadPacket(fd, walk.pieces, p0.firstPiece, p0.pieceCount, &first)) {
    *reason = "it became shorter while it was read";
    return false;
  }
  std::size_t count = 0;
  if (StartsWith(first, "\x01vorbis", 7) && first.size() >= 30) {
    stream->codec = Codec::kVorbis;
    stream->channels = first[11];
    stream->sampleRate = static_cast<int>(Le32(first.data() + 12));
    count = 3;
  } else if (StartsWith(first, "OpusHead", 8) && first.size() >= 19) {
    if (first[8] >= 16) {
      *reason = "its Opus version is unknown";
      return false;
    }
    stream->codec = Codec::kOpus;
    stream->channels = first[9];
    stream->sampleRate = 48000;
    const int family = first[18];
    if (family > 1) {
      *reason = "its Opus channel mapping family (" + std::to_string(family) + ") cannot be read";
      return false;
    }
    if ((family == 0 && (stream->channels < 1 || stream->channels > 2)) ||
        (family == 1 && (stream->channels < 1 || stream->channels > 8 ||
                         first.size() < 21 + static_cast<std::size_t>(stream->channels)))) {
      *reason = "its Opus header is damaged";
      return false;
    }
    count = 2;
  } else {
    *reason = "its Ogg stream is neither Vorbis nor Opus";
    return false;
  }
  if (stream->channels < 1 || stream->sampleRate < 1) {
    *reason = "its header is damaged";
    return false;
  }
  if (walk.packets.size() <= count) {
    *reason = "it holds no audio packets";
    return false;
  }
  stream->headers.push_back(std::move(first));
  for (std::size_t i = 1; i < count; ++i) {
    std::vector<std::uint8_t> h;
    if (!ReadPacket(fd, walk.pieces, walk.packets[i].firstPiece, walk.packets[i].pieceCount, &h)) {
      *reason = "it became shorter while it was read";
      return false;
    }
    stream->headers.push_back(std::move(h));
  }
  const bool headersOk = stream->codec == Codec::kOpus
                             ? StartsWith(stream->headers[1], "OpusTags", 8)
                             : StartsWith(stream->headers[1], "\x03vorbis", 7) &&
                                   StartsWith(stream->headers[2], "\x05vorbis", 7);
  if (!headersOk) {
    *reason = "its header packets are damaged";
    return false;
  }
  return true;
}

}  // namespace

std::vector<std::uint8_t> OpusDecoderSetup(const std::vector<std::uint8_t>& opusHead) {
  std::vector<std::uint8_t> setup{opusHead[9], opusHead[18]};
  if (opusHead[18] != 0) setup.insert(setup.end(), opusHead.begin() + 19, opusHead.begin() + 21 + opusHead[9]);
  return setup;
}

bool ReadOggStream(int fd, std::int64_t size, OggStream* stream, std::string* reason) {
  OggPacketWalk walk;
  if (!WalkOggPackets(fd, size, &walk, reason)) return false;
  if (walk.packets.empty()) {
    *reason = "it holds no packets";
    return false;
  }
  if (!ReadHeaders(fd, walk, stream, reason)) return false;
  const auto headerCount = static_cast<std::int64_t>(stream->headers.size());
  Granules granules;
  if (!FindGranules(walk, headerCount, &granules, reason)) return false;

  VorbisParser vorbis;
  if (stream->codec == Codec::kVorbis) {
    const std::vector<std::uint8_t> extradata = XiphExtradata(stream->headers);
    vorbis.ctx = av_vorbis_parse_init(extradata.data(), static_cast<int>(extradata.size()));
    if (!vorbis.ctx) {
      *reason = "its Vorbis headers cannot be read";
      return false;
    }
  }
  audio::PacketIndex index;
  std::int64_t timeline = 0;
  stream->pieces = std::move(walk.pieces);
  for (std::size_t i = static_cast<std::size_t>(headerCount); i < walk.packets.size(); ++i) {
    const OggPacketWalk::Packet& p = walk.packets[i];
    std::uint32_t frames = 0;
    if (stream->codec == Codec::kOpus) {
      frames = audio::OpusPacketFrames(p.lead, static_cast<int>(std::min(p.size, 2u)));
      if (frames == 0) {
        *reason = "one of its Opus packets is damaged";
        return false;
      }
    } else {
      // The parser reads the mode from the first byte only.
      int flags = 0;
      const int d = p.size > 0 ? av_vorbis_parse_frame_flags(vorbis.ctx, p.lead, static_cast<int>(std::min(p.size, 2u)), &flags)
                               : -1;
      if (d < 0 || (flags & VORBIS_FLAG_HEADER)) {
        *reason = "one of its Vorbis packets is damaged";
        return false;
      }
      frames = index.Size() == 0 ? 0 : static_cast<std::uint32_t>(d);
    }
    stream->packets.push_back({p.firstPiece, p.pieceCount, p.size, frames, timeline});
    index.Add(static_cast<std::int64_t>(index.Size()), audio::PacketOutput{frames, 0, 0});
    timeline += frames;
  }
  if (static_cast<std::size_t>(granules.packetsToFirst) > index.Size() || granules.packetsToFirst == 0) {
    *reason = "its pages have no valid granule positions";
    return false;
  }
  const std::int64_t preSkip = stream->codec == Codec::kOpus ? (stream->headers[0][10] | stream->headers[0][11] << 8) : 0;
  TrimAsReader(stream->codec, granules, preSkip, index);

  // Reader frames must be one run of the timeline for a copy to give them.
  stream->length = index.TotalFrames();
  bool originSet = false;
  std::int64_t offset = 0;  // reader frames before packet i (a running OutputOffset)
  for (std::size_t i = 0; i < index.Size(); ++i) {
    const audio::PacketOutput out = index.Output(i);
    if (out.Kept() == 0) continue;
    const std::int64_t at = stream->packets[i].start + out.front;
    if (!originSet) {
      stream->origin = at - offset;
      originSet = true;
    } else if (at != stream->origin + offset) {
      *reason = "its first page trims audio from the middle of its start, which a copy cannot repeat";
      return false;
    }
    offset += out.Kept();
  }
  if (!originSet) {
    *reason = "it holds no audio";
    return false;
  }
  return true;
}

}  // namespace snipwave::oggcopy
