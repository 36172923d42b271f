#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace snipwave::oggcopy {

// A run of one packet's bytes inside one page body: `size` bytes at file
// byte `offset`. A packet continued across pages has one piece per page.
struct PacketPiece {
  std::int64_t offset = 0;
  std::uint32_t size = 0;
};

// The pages and packets of an Ogg file that holds one logical stream,
// before its codec is looked at.
struct OggPacketWalk {
  std::uint32_t serial = 0;
  std::vector<PacketPiece> pieces;
  struct Packet {
    std::uint32_t firstPiece = 0, pieceCount = 0, size = 0;
    std::uint32_t page = 0;  // index of the page it is completed on
    std::uint8_t lead[2] = {0, 0};  // its first bytes (the codecs' durations are read there)
  };
  std::vector<Packet> packets;  // every complete packet, headers included
  struct Page {
    std::int64_t granule = -1;
    std::uint32_t packetsEnded = 0;  // packets completed on it and on the pages before
    bool endOfStream = false;
  };
  std::vector<Page> pages;
};

// Walks the pages of the file open at `fd`, `size` bytes: one logical
// stream, pages in sequence with valid checksums and nothing between them,
// packets reassembled. False with `reason` set to a clause ("it is a chained
// Ogg file") when the file is no single plain Ogg stream.
bool WalkOggPackets(int fd, std::int64_t size, OggPacketWalk* walk, std::string* reason);

// Reads the bytes of the packet made of `pieceCount` pieces from
// `firstPiece` on out of `fd`; false when the file has become shorter.
bool ReadPacket(int fd, const std::vector<PacketPiece>& pieces, std::uint32_t firstPiece, std::uint32_t pieceCount,
                std::vector<std::uint8_t>* out);

}  // namespace snipwave::oggcopy
