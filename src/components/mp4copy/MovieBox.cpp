#include "MovieBox.h"

#include <string>

#include "components/audio/M4aGapless.h"

namespace snipwave::mp4copy {
namespace {

void Matrix(BoxWriter& b) {
  const std::uint32_t m[9] = {0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000};
  for (std::uint32_t v : m) b.U32(v);
}

// Version 1 fields when a duration needs more than 32 bits.
void Durations(BoxWriter& b, bool wide, std::uint32_t scale, std::uint64_t duration, bool trackId) {
  if (wide) {
    b.U64(0), b.U64(0);
  } else {
    b.U32(0), b.U32(0);
  }
  if (trackId) {
    b.U32(1), b.U32(0);
  } else {
    b.U32(scale);
  }
  if (wide) {
    b.U64(duration);
  } else {
    b.U32(static_cast<std::uint32_t>(duration));
  }
}

void GaplessItem(BoxWriter& b, const std::string& text) {
  b.Open("udta");
  b.OpenFull("meta", 0, 0);
  b.OpenFull("hdlr", 0, 0);
  b.U32(0);
  b.Type("mdir");
  b.Type("appl");
  b.Zeros(9);
  b.Close();
  b.Open("ilst");
  b.Open("----");
  b.OpenFull("mean", 0, 0);
  b.Text("com.apple.iTunes");
  b.Close();
  b.OpenFull("name", 0, 0);
  b.Text("iTunSMPB");
  b.Close();
  b.OpenFull("data", 0, 1);  // UTF-8 text
  b.U32(0);
  b.Text(text.c_str());
  b.Close();
  b.Close();
  b.Close();
  b.Close();
  b.Close();
}

}  // namespace

void FileType(BoxWriter& b) {
  b.Open("ftyp");
  b.Type("M4A ");
  b.U32(0x200);
  for (const char* brand : {"M4A ", "isom", "iso2", "mp42"}) b.Type(brand);
  b.Close();
}

std::vector<std::uint8_t> Moov(const Mp4Track& setup, const Written& w, std::uint64_t dataStart, bool co64) {
  const auto rate = static_cast<std::uint32_t>(setup.sampleRate);
  const std::uint64_t presented = static_cast<std::uint64_t>(w.duration);
  const std::uint64_t media = static_cast<std::uint64_t>(w.packets * kFramesPerPacket);
  const bool wide = media > 0xFFFFFFFFu;
  BoxWriter b;
  b.Open("moov");
  b.OpenFull("mvhd", wide, 0);
  Durations(b, wide, rate, presented, false);
  b.U32(0x10000), b.U16(0x100), b.Zeros(10);
  Matrix(b);
  b.Zeros(24), b.U32(2);
  b.Close();

  b.Open("trak");
  b.OpenFull("tkhd", wide, 3);  // enabled, in the movie
  Durations(b, wide, rate, presented, true);
  b.Zeros(8), b.U16(0), b.U16(1), b.U16(0x100), b.U16(0);
  Matrix(b);
  b.U32(0), b.U32(0);
  b.Close();
  if (w.duration > 0) {
    b.Open("edts");
    b.OpenFull("elst", wide, 0);
    b.U32(1);
    if (wide) {
      b.U64(presented), b.U64(static_cast<std::uint64_t>(w.mediaTime));
    } else {
      b.U32(static_cast<std::uint32_t>(presented)), b.U32(static_cast<std::uint32_t>(w.mediaTime));
    }
    b.U32(0x10000);
    b.Close();
    b.Close();
  }
  b.Open("mdia");
  b.OpenFull("mdhd", wide, 0);
  Durations(b, wide, rate, media, false);
  b.U16(0x55C4), b.U16(0);  // language "und"
  b.Close();
  b.OpenFull("hdlr", 0, 0);
  b.U32(0), b.Type("soun"), b.Zeros(12), b.Text("SoundHandler"), b.U8(0);
  b.Close();
  b.Open("minf");
  b.OpenFull("smhd", 0, 0);
  b.U32(0);
  b.Close();
  b.Open("dinf");
  b.OpenFull("dref", 0, 0);
  b.U32(1);
  b.OpenFull("url ", 0, 1);  // the data is in this file
  b.Close();
  b.Close();
  b.Close();
  b.Open("stbl");
  b.Bytes(setup.sampleDescription.data(), setup.sampleDescription.size());
  b.OpenFull("stts", 0, 0);
  b.U32(w.packets > 0 ? 1 : 0);
  if (w.packets > 0) b.U32(static_cast<std::uint32_t>(w.packets)), b.U32(kFramesPerPacket);
  b.Close();
  const std::int64_t chunks = (w.packets + kPacketsPerChunk - 1) / kPacketsPerChunk;
  const std::int64_t tail = w.packets - (chunks - 1) * kPacketsPerChunk;
  b.OpenFull("stsc", 0, 0);
  const bool partial = chunks > 0 && tail != kPacketsPerChunk;
  const bool full = chunks > 1 || (chunks == 1 && !partial);
  b.U32(static_cast<std::uint32_t>(full + partial));
  if (full) b.U32(1), b.U32(kPacketsPerChunk), b.U32(1);
  if (partial) b.U32(static_cast<std::uint32_t>(chunks)), b.U32(static_cast<std::uint32_t>(tail)), b.U32(1);
  b.Close();
  b.OpenFull("stsz", 0, 0);
  b.U32(0), b.U32(static_cast<std::uint32_t>(w.packets));
  for (std::uint32_t size : w.sizes) b.U32(size);
  b.Close();
  b.OpenFull(co64 ? "co64" : "stco", 0, 0);
  b.U32(static_cast<std::uint32_t>(chunks));
  std::uint64_t at = dataStart;
  for (std::int64_t p = 0; p < w.packets; ++p) {
    if (p % kPacketsPerChunk == 0) co64 ? b.U64(at) : b.U32(static_cast<std::uint32_t>(at));
    at += w.sizes[p];
  }
  b.Close();
  if (w.packets > 0) {
    // Every packet needs the one before it decoded first ("roll" distance
    // -1), which tells a seeking player to start a packet early.
    b.OpenFull("sgpd", 1, 0);
    b.Type("roll"), b.U32(2), b.U32(1), b.U16(0xFFFF);
    b.Close();
    b.OpenFull("sbgp", 0, 0);
    b.Type("roll"), b.U32(1), b.U32(static_cast<std::uint32_t>(w.packets)), b.U32(1);
    b.Close();
  }
  b.Close();  // stbl
  b.Close();  // minf
  b.Close();  // mdia
  b.Close();  // trak
  if (w.duration > 0) {
    const std::int64_t padding = w.packets * kFramesPerPacket - w.mediaTime - w.duration;
    GaplessItem(b, audio::ItunesGaplessText(w.mediaTime, padding, w.duration));
  }
  b.Close();
  return b.Data();
}


}  // namespace snipwave::mp4copy
