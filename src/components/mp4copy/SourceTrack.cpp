#include "SourceTrack.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "BoxReader.h"

namespace snipwave::mp4copy {
namespace {

// A reason the file's packets cannot be copied, thrown inside the parse.
struct Refusal {
  QString why;
};

[[noreturn]] void Refuse(const char* why) { throw Refusal{QString::fromUtf8(why)}; }
[[noreturn]] void Damaged() { Refuse("its MP4 boxes are damaged"); }

// The sample table of the whole moov is held in memory; beyond this it is
// no audio file a copy should take on (ten hours of AAC need about 8 MiB).
constexpr std::uint64_t kMaxMoovBytes = 256ull << 20;

std::vector<Box> Children(const Box& box, std::size_t skip = 0) {
  std::vector<Box> boxes;
  if (box.size < skip || !ReadBoxes(box.body + skip, box.size - skip, &boxes)) Damaged();
  return boxes;
}

const Box& Need(const std::vector<Box>& boxes, const char* type) {
  const Box* box = FindBox(boxes, type);
  if (!box) Damaged();
  return *box;
}

// Reads the moov box of the file (`fileSize` bytes); refuses fragmented files.
std::vector<std::uint8_t> ReadMoov(int fd, std::uint64_t fileSize) {
  std::uint64_t at = 0;
  std::vector<std::uint8_t> moov;
  bool sawMoov = false;
  while (at + 8 <= fileSize) {
    std::uint8_t head[16] = {};
    const ssize_t got = ::pread(fd, head, sizeof head, static_cast<off_t>(at));
    if (got < 8) Refuse("it cannot be read");
    std::uint64_t size = Be32(head);
    std::uint64_t headerSize = 8;
    if (size == 1) {
      if (got < 16) Damaged();
      size = Be64(head + 8);
      headerSize = 16;
    } else if (size == 0) {
      size = fileSize - at;
    }
    // Trailing bytes that are no box (a stray tag, zeros) or a box cut
    // short (the file's end lost) end the scan, as they end the demuxer's.
    if (size < headerSize || size > fileSize - at) break;
    if (std::memcmp(head + 4, "moof", 4) == 0) Refuse("it is a fragmented MP4 file");
    if (std::memcmp(head + 4, "moov", 4) == 0) {
      if (sawMoov) Refuse("it holds several movie boxes");
      if (size > kMaxMoovBytes) Refuse("its movie box is too large");
      moov.resize(static_cast<std::size_t>(size));
      if (::pread(fd, moov.data(), moov.size(), static_cast<off_t>(at)) != static_cast<ssize_t>(moov.size())) {
        Refuse("it cannot be read");
      }
      sawMoov = true;
    }
    at += size;
  }
  if (!sawMoov) Refuse("it has no MP4 movie box");
  return moov;
}

// A descriptor of the MPEG-4 systems' ES descriptor family: tag and body.
bool ReadDescriptor(const std::uint8_t*& p, const std::uint8_t* end, int* tag, const std::uint8_t** body,
                    std::size_t* size) {
  if (p >= end) return false;
  *tag = *p++;
  std::size_t length = 0;
  for (int i = 0; i < 4; ++i) {
    if (p >= end) return false;
    const std::uint8_t b = *p++;
    length = length << 7 | (b & 0x7F);
    if (!(b & 0x80)) break;
  }
  if (length > static_cast<std::size_t>(end - p)) return false;
  *body = p;
  *size = length;
  p += length;
  return true;
}

// The AudioSpecificConfig inside an esds box's body.
std::vector<std::uint8_t> AudioSpecificConfigOf(const Box& esds) {
  if (esds.size < 4) Damaged();
  const std::uint8_t* p = esds.body + 4;  // version and flags
  const std::uint8_t* end = esds.body + esds.size;
  int tag = 0;
  const std::uint8_t* body = nullptr;
  std::size_t size = 0;
  if (!ReadDescriptor(p, end, &tag, &body, &size) || tag != 0x03 || size < 3) Damaged();
  const std::uint8_t* q = body + 3;  // ES_ID and flags
  const std::uint8_t* qEnd = body + size;
  const std::uint8_t flags = body[2];
  if (flags & 0x80) q += 2;  // depends on another stream
  if (flags & 0x40) {        // URL
    if (q >= qEnd) Damaged();
    q += 1 + *q;
  }
  if (flags & 0x20) q += 2;  // OCR stream
  if (q > qEnd || !ReadDescriptor(q, qEnd, &tag, &body, &size) || tag != 0x04 || size < 13) Damaged();
  // MPEG-4 audio (0x40) or MPEG-2 AAC LC (0x67).
  if (body[0] != 0x40 && body[0] != 0x67) Refuse("its audio is not AAC-LC");
  const std::uint8_t* r = body + 13;
  if (!ReadDescriptor(r, body + size, &tag, &body, &size) || tag != 0x05 || size < 2) Damaged();
  return {body, body + size};
}

struct AscFacts {
  int rate = 0;
  int channels = 0;
};

// Checks the AudioSpecificConfig is plain AAC-LC with 1024-frame packets.
AscFacts CheckAudioSpecificConfig(const std::vector<std::uint8_t>& asc) {
  std::size_t bit = 0;
  const auto bits = [&](int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++bit) {
      if (bit / 8 >= asc.size()) Damaged();
      v = v << 1 | ((asc[bit / 8] >> (7 - bit % 8)) & 1);
    }
    return v;
  };
  std::uint32_t objectType = bits(5);
  if (objectType == 31) objectType = 32 + bits(6);
  if (objectType != 2) Refuse("its audio is not AAC-LC");
  static const int kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350};
  const std::uint32_t index = bits(4);
  AscFacts facts;
  if (index == 15) {
    facts.rate = static_cast<int>(bits(24));
  } else if (index < 13) {
    facts.rate = kRates[index];
  } else {
    Damaged();
  }
  const std::uint32_t config = bits(4);
  if (config == 0 || config > 7) Refuse("its channel layout is one a copy does not carry over");
  static const int kChannels[] = {0, 1, 2, 3, 4, 5, 6, 8};
  facts.channels = kChannels[config];
  if (bits(1)) Refuse("its AAC packets are 960 frames long");
  if (bits(1)) bits(14);  // depends on a core coder: its delay
  bits(1);                // extension flag (0 for AAC-LC)
  // Backward-compatible signalling of SBR: sync word 0x2B7, object type 5
  // and whether SBR is present (FFmpeg's encoder writes it, saying "absent").
  if (asc.size() * 8 >= bit + 17 && bits(11) == 0x2B7 && bits(5) == 5 && bits(1)) {
    Refuse("its audio is high-efficiency AAC");
  }
  return facts;
}

struct EditEntry {
  std::int64_t duration = 0;  // movie time scale
  std::int64_t mediaTime = 0;
  std::int32_t rate = 0;      // 16.16
};

std::vector<EditEntry> ReadEditList(const Box& elst) {
  if (elst.size < 8) Damaged();
  const int version = elst.body[0];
  const std::uint32_t count = Be32(elst.body + 4);
  const std::size_t entrySize = version == 1 ? 20 : 12;
  if (count > (elst.size - 8) / entrySize) Damaged();
  std::vector<EditEntry> entries;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* p = elst.body + 8 + i * entrySize;
    EditEntry e;
    if (version == 1) {
      e.duration = static_cast<std::int64_t>(Be64(p));
      e.mediaTime = static_cast<std::int64_t>(Be64(p + 8));
      e.rate = static_cast<std::int32_t>(Be32(p + 16));
    } else {
      e.duration = Be32(p);
      e.mediaTime = static_cast<std::int32_t>(Be32(p + 4));
      e.rate = static_cast<std::int32_t>(Be32(p + 8));
    }
    entries.push_back(e);
  }
  return entries;
}

// iTunSMPB's delay and length, from moov/udta/meta/ilst.
std::optional<std::pair<std::int64_t, std::int64_t>> ItunesGapless(const std::vector<Box>& moov) {
  const Box* udta = FindBox(moov, "udta");
  if (!udta) return std::nullopt;
  std::vector<Box> boxes;
  if (!ReadBoxes(udta->body, udta->size, &boxes)) return std::nullopt;
  const Box* meta = FindBox(boxes, "meta");
  if (!meta) return std::nullopt;
  // ISO meta is a full box (4 bytes of version and flags), QuickTime's not.
  const std::size_t skip = meta->size >= 8 && std::memcmp(meta->body + 4, "hdlr", 4) == 0 ? 0 : 4;
  if (meta->size < skip || !ReadBoxes(meta->body + skip, meta->size - skip, &boxes)) return std::nullopt;
  const Box* ilst = FindBox(boxes, "ilst");
  if (!ilst || !ReadBoxes(ilst->body, ilst->size, &boxes)) return std::nullopt;
  for (const Box& item : boxes) {
    std::vector<Box> parts;
    if (!item.Is("----") || !ReadBoxes(item.body, item.size, &parts)) continue;
    const Box* name = FindBox(parts, "name");
    const Box* data = FindBox(parts, "data");
    if (!name || !data || name->size < 4 || data->size < 8) continue;
    if (std::string(reinterpret_cast<const char*>(name->body + 4), name->size - 4) != "iTunSMPB") continue;
    const std::string text(reinterpret_cast<const char*>(data->body + 8), data->size - 8);
    unsigned long long zero = 0, delay = 0, padding = 0, frames = 0;
    if (std::sscanf(text.c_str(), " %llx %llx %llx %llx", &zero, &delay, &padding, &frames) != 4) return std::nullopt;
    return std::make_pair(static_cast<std::int64_t>(delay), static_cast<std::int64_t>(frames));
  }
  return std::nullopt;
}

struct AudioTrak {
  const Box* trak = nullptr;
  std::vector<Box> trakBoxes, mdiaBoxes, stblBoxes;
};

AudioTrak FindAudioTrak(const std::vector<Box>& moov) {
  AudioTrak found;
  int audio = 0;
  for (const Box& trak : moov) {
    if (!trak.Is("trak")) continue;
    std::vector<Box> trakBoxes = Children(trak);
    std::vector<Box> mdiaBoxes = Children(Need(trakBoxes, "mdia"));
    const Box& hdlr = Need(mdiaBoxes, "hdlr");
    if (hdlr.size < 12 || std::memcmp(hdlr.body + 8, "soun", 4) != 0) continue;
    if (++audio > 1) Refuse("it holds more than one audio track");
    found.trak = &trak;
    found.trakBoxes = std::move(trakBoxes);
    found.mdiaBoxes = std::move(mdiaBoxes);
  }
  if (!found.trak) Refuse("it has no audio track");
  const Box& minf = Need(found.mdiaBoxes, "minf");
  found.stblBoxes = Children(Need(Children(minf), "stbl"));
  return found;
}

// Sample rate and channels from the one mp4a entry of stsd; keeps the box.
AscFacts ReadSampleDescription(const Box& stsd, Mp4Track* track) {
  track->sampleDescription.assign(stsd.header, stsd.header + stsd.boxSize);
  if (stsd.size < 8) Damaged();
  if (Be32(stsd.body + 4) != 1) Refuse("its track has several sample descriptions");
  std::vector<Box> entries;
  if (!ReadBoxes(stsd.body + 8, stsd.size - 8, &entries) || entries.size() != 1) Damaged();
  if (!entries[0].Is("mp4a")) Refuse("its audio is not AAC");
  // AudioSampleEntry: 8 bytes of SampleEntry, 20 of sound fields (version 0;
  // QuickTime's versions 1 and 2 add 16 or 36).
  const Box& mp4a = entries[0];
  if (mp4a.size < 28) Damaged();
  const std::uint32_t version = Be16(mp4a.body + 8);
  const std::size_t fields = version == 1 ? 44 : version == 2 ? 64 : 28;
  std::vector<Box> inner;
  if (mp4a.size < fields || !ReadBoxes(mp4a.body + fields, mp4a.size - fields, &inner)) Damaged();
  const Box* esds = FindBox(inner, "esds");
  if (!esds) {
    // QuickTime keeps it in a 'wave' box.
    const Box* wave = FindBox(inner, "wave");
    std::vector<Box> waveBoxes;
    if (wave && ReadBoxes(wave->body, wave->size, &waveBoxes)) esds = FindBox(waveBoxes, "esds");
    if (!esds) Damaged();
    inner = std::move(waveBoxes);  // keeps esds pointing into live memory (the moov buffer)
  }
  track->audioSpecificConfig = AudioSpecificConfigOf(*esds);
  return CheckAudioSpecificConfig(track->audioSpecificConfig);
}

void ReadSampleTable(const std::vector<Box>& stbl, std::uint64_t fileSize, Mp4Track* track) {
  const Box& stsz = Need(stbl, "stsz");
  if (stsz.size < 12) Damaged();
  const std::uint32_t constant = Be32(stsz.body + 4);
  const std::uint32_t count = Be32(stsz.body + 8);
  if (constant == 0 && count > (stsz.size - 12) / 4) Damaged();
  // Every packet takes at least a byte of the file.
  if (count > fileSize) Damaged();
  track->sizes.resize(count);
  for (std::uint32_t i = 0; i < count; ++i) track->sizes[i] = constant ? constant : Be32(stsz.body + 12 + 4 * i);

  const Box& stts = Need(stbl, "stts");
  if (stts.size < 8) Damaged();
  const std::uint32_t runs = Be32(stts.body + 4);
  if (runs > (stts.size - 8) / 8) Damaged();
  // Muxers give the last packet the duration left of the audio; it still
  // decodes to a whole packet, which the edit list or gapless comment trims.
  std::uint64_t timed = 0;
  for (std::uint32_t i = 0; i < runs; ++i) {
    const std::uint32_t n = Be32(stts.body + 8 + 8 * i);
    const std::uint32_t delta = Be32(stts.body + 12 + 8 * i);
    timed += n;
    const bool last = n == 1 && timed == count;
    if (n > 0 && delta != kFramesPerPacket && !(last && delta > 0 && delta < kFramesPerPacket)) {
      Refuse("its packets are not all 1024 frames long");
    }
  }
  if (timed != count) Damaged();

  // Chunk offsets, then samples per chunk from stsc's runs.
  std::vector<std::uint64_t> chunks;
  if (const Box* stco = FindBox(stbl, "stco")) {
    if (stco->size < 8 || Be32(stco->body + 4) > (stco->size - 8) / 4) Damaged();
    for (std::uint32_t i = 0; i < Be32(stco->body + 4); ++i) chunks.push_back(Be32(stco->body + 8 + 4 * i));
  } else if (const Box* co64 = FindBox(stbl, "co64")) {
    if (co64->size < 8 || Be32(co64->body + 4) > (co64->size - 8) / 8) Damaged();
    for (std::uint32_t i = 0; i < Be32(co64->body + 4); ++i) chunks.push_back(Be64(co64->body + 8 + 8 * i));
  } else {
    Damaged();
  }
  const Box& stsc = Need(stbl, "stsc");
  if (stsc.size < 8 || Be32(stsc.body + 4) > (stsc.size - 8) / 12) Damaged();
  const std::uint32_t stscRuns = Be32(stsc.body + 4);
  track->offsets.reserve(count);
  std::size_t sample = 0;
  for (std::uint32_t r = 0; r < stscRuns; ++r) {
    const std::uint8_t* e = stsc.body + 8 + 12 * r;
    const std::uint64_t first = Be32(e);
    const std::uint64_t next = r + 1 < stscRuns ? Be32(e + 12) : chunks.size() + 1;
    const std::uint32_t perChunk = Be32(e + 4);
    if (first < 1 || next < first || next > chunks.size() + 1) Damaged();
    for (std::uint64_t c = first; c < next; ++c) {
      std::uint64_t at = chunks[c - 1];
      for (std::uint32_t s = 0; s < perChunk; ++s) {
        if (sample >= count) Damaged();
        track->offsets.push_back(static_cast<std::int64_t>(at));
        at += track->sizes[sample++];
      }
    }
  }
  if (sample != count) Damaged();
  for (std::size_t i = 0; i < count; ++i) {
    if (static_cast<std::uint64_t>(track->offsets[i]) + track->sizes[i] > fileSize) {
      Refuse("its packets run past the end of the file");
    }
  }
}

std::unique_ptr<Mp4Track> Parse(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) Refuse("it cannot be read");
  const auto fileSize = static_cast<std::uint64_t>(st.st_size);
  const std::vector<std::uint8_t> moovBytes = ReadMoov(fd, fileSize);
  std::vector<Box> top;
  if (!ReadBoxes(moovBytes.data(), moovBytes.size(), &top) || top.size() != 1) Damaged();
  const std::vector<Box> moov = Children(top[0]);
  if (FindBox(moov, "mvex")) Refuse("it is a fragmented MP4 file");
  const Box& mvhd = Need(moov, "mvhd");
  if (mvhd.size < 24) Damaged();
  const std::uint32_t movieScale = Be32(mvhd.body + (mvhd.body[0] == 1 ? 20 : 12));
  if (movieScale == 0) Damaged();

  const AudioTrak audio = FindAudioTrak(moov);
  auto track = std::make_unique<Mp4Track>();
  const AscFacts facts = ReadSampleDescription(Need(audio.stblBoxes, "stsd"), track.get());
  track->sampleRate = facts.rate;
  track->channels = facts.channels;
  const Box& mdhd = Need(audio.mdiaBoxes, "mdhd");
  if (mdhd.size < 24) Damaged();
  const std::uint32_t mediaScale = Be32(mdhd.body + (mdhd.body[0] == 1 ? 20 : 12));
  if (mediaScale != static_cast<std::uint32_t>(facts.rate)) Refuse("its track's time scale is not its sample rate");
  ReadSampleTable(audio.stblBoxes, fileSize, track.get());
  const std::int64_t total = static_cast<std::int64_t>(track->sizes.size()) * kFramesPerPacket;

  std::int64_t length = total;
  std::vector<EditEntry> edits;
  if (const Box* edts = FindBox(audio.trakBoxes, "edts")) {
    const std::vector<Box> edtsBoxes = Children(*edts);
    if (const Box* elst = FindBox(edtsBoxes, "elst")) edits = ReadEditList(*elst);
  }
  for (const EditEntry& edit : edits) {
    if (edit.mediaTime < 0) Refuse("its edit list has an empty edit (silence ahead of the audio)");
  }
  if (edits.size() > 1) Refuse("its edit list has several entries");
  if (edits.size() == 1) {
    const EditEntry& edit = edits[0];
    if (edit.rate != 0x10000) Refuse("its edit list changes the playback rate");
    track->delay = edit.mediaTime;
    if (edit.duration > 0) {
      // In the movie's time scale (often milliseconds), rounded to the
      // nearest frame as the demuxer rounds it.
      const __int128 scaled = (static_cast<__int128>(edit.duration) * facts.rate + movieScale / 2) / movieScale;
      length = static_cast<std::int64_t>(std::min<__int128>(scaled, total));
    }
  } else if (const auto gapless = ItunesGapless(moov)) {
    // As the reader: a delay or length beyond these is no gapless comment.
    if (gapless->first < (1 << 20) && gapless->second > 0 && gapless->second <= total) {
      track->delay = gapless->first;
      length = gapless->second;
    }
  }
  if (track->delay > total) Refuse("its edit list starts after its last packet");
  track->length = std::min(length, total - track->delay);
  return track;
}

}  // namespace

std::unique_ptr<Mp4Track> ReadMp4Track(int fd, QString* reason) {
  try {
    return Parse(fd);
  } catch (const Refusal& refusal) {
    if (reason) *reason = refusal.why;
    return nullptr;
  }
}

}  // namespace snipwave::mp4copy
