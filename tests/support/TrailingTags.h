#pragma once

#include <QByteArray>
#include <utility>
#include <vector>

namespace snipwave::test {

// An APEv2 tag as taggers append it to an MP3: items, then a 32-byte footer,
// and (when `header`) the same 32 bytes as a header in front.
inline QByteArray ApeTag(const std::vector<std::pair<QByteArray, QByteArray>>& items, bool header) {
  const auto le32 = [](quint32 v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = static_cast<char>(v >> (8 * i));
    return b;
  };
  QByteArray body;
  for (const auto& [key, value] : items) body += le32(quint32(value.size())) + le32(0) + key + '\0' + value;
  const auto block = [&](quint32 flags) {
    return QByteArray("APETAGEX") + le32(2000) + le32(quint32(body.size() + 32)) + le32(quint32(items.size())) +
           le32(flags) + QByteArray(8, '\0');
  };
  constexpr quint32 kHasHeader = 0x80000000u, kIsHeader = 0x20000000u;
  return (header ? block(kHasHeader | kIsHeader) : QByteArray()) + body + block(header ? kHasHeader : 0);
}

// An empty ID3v1 tag: the last 128 bytes of the file.
inline QByteArray Id3v1Tag() { return QByteArray("TAG") + QByteArray(125, '\0'); }

}  // namespace snipwave::test
