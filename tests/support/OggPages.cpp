#include "OggPages.h"

#include <array>
#include <cstring>

namespace snipwave::test {

namespace {

constexpr int kHeaderBytes = 27;

std::uint32_t Checksum(const QByteArray& page) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t r = i << 24;
      for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
      t[i] = r;
    }
    return t;
  }();
  std::uint32_t crc = 0;
  for (char c : page) crc = (crc << 8) ^ table[((crc >> 24) ^ static_cast<std::uint8_t>(c)) & 0xFF];
  return crc;
}

template <typename T>
void PutLe(QByteArray& out, qsizetype at, T value) {
  for (std::size_t i = 0; i < sizeof(T); ++i) out[at + static_cast<qsizetype>(i)] = static_cast<char>(value >> (8 * i));
}

}  // namespace

std::vector<OggPage> ReadOggPages(const QByteArray& file) {
  std::vector<OggPage> pages;
  const auto* b = reinterpret_cast<const std::uint8_t*>(file.constData());
  for (qsizetype at = 0; at + kHeaderBytes <= file.size() && std::memcmp(b + at, "OggS", 4) == 0;) {
    OggPage page;
    page.flags = b[at + 5];
    std::uint64_t granule = 0, serial = 0;
    for (int i = 7; i >= 0; --i) granule = granule << 8 | b[at + 6 + i];
    for (int i = 3; i >= 0; --i) serial = serial << 8 | b[at + 14 + i];
    page.granule = static_cast<std::int64_t>(granule);
    page.serial = static_cast<std::uint32_t>(serial);
    page.lacing.assign(b + at + kHeaderBytes, b + at + kHeaderBytes + b[at + 26]);
    qsizetype size = 0;
    for (std::uint8_t l : page.lacing) size += l;
    page.body = file.mid(at + kHeaderBytes + b[at + 26], size);
    at += kHeaderBytes + b[at + 26] + size;
    pages.push_back(std::move(page));
  }
  return pages;
}

QByteArray WriteOggPages(const std::vector<OggPage>& pages) {
  QByteArray file;
  std::uint32_t sequence = 0;
  for (const OggPage& p : pages) {
    QByteArray page(kHeaderBytes, '\0');
    std::memcpy(page.data(), "OggS", 4);
    page[5] = static_cast<char>(p.flags);
    PutLe(page, 6, static_cast<std::uint64_t>(p.granule));
    PutLe(page, 14, p.serial);
    PutLe(page, 18, sequence++);
    page[26] = static_cast<char>(p.lacing.size());
    page.append(reinterpret_cast<const char*>(p.lacing.data()), static_cast<qsizetype>(p.lacing.size()));
    page += p.body;
    PutLe(page, 22, Checksum(page));
    file += page;
  }
  return file;
}

OggPage TakeFirstPackets(OggPage& page, int packets, std::int64_t granule) {
  OggPage first;
  first.flags = page.flags & 0x01;
  page.flags &= ~0x01;
  first.granule = granule;
  first.serial = page.serial;
  std::size_t segments = 0;
  qsizetype bytes = 0;
  for (int ended = 0; ended < packets && segments < page.lacing.size(); ++segments) {
    bytes += page.lacing[segments];
    ended += page.lacing[segments] < 255;
  }
  first.lacing.assign(page.lacing.begin(), page.lacing.begin() + static_cast<std::ptrdiff_t>(segments));
  page.lacing.erase(page.lacing.begin(), page.lacing.begin() + static_cast<std::ptrdiff_t>(segments));
  first.body = page.body.left(bytes);
  page.body.remove(0, bytes);
  return first;
}

}  // namespace snipwave::test
