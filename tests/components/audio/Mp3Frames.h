#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <vector>

namespace snipwave::test {

// The MPEG audio frames of an MP3 file as their headers say (an independent
// reading of the file, for checking what the encoder really wrote).
struct Mp3Frame {
  int kbps = 0;
  int sampleRate = 0;
  int channels = 0;
};

inline std::vector<Mp3Frame> Mp3FramesOf(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QByteArray data = f.readAll();
  const auto* b = reinterpret_cast<const unsigned char*>(data.constData());
  const qsizetype n = data.size();
  qsizetype at = 0;
  if (n > 10 && b[0] == 'I' && b[1] == 'D' && b[2] == '3') {
    at = 10 + ((b[6] & 0x7f) << 21 | (b[7] & 0x7f) << 14 | (b[8] & 0x7f) << 7 | (b[9] & 0x7f));
  }
  static const int kV1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
  static const int kV2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
  static const int kRates[3] = {44100, 48000, 32000};
  std::vector<Mp3Frame> frames;
  while (at + 4 <= n) {
    if (b[at] != 0xFF || (b[at + 1] & 0xE0) != 0xE0) break;
    const int version = (b[at + 1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int bi = b[at + 2] >> 4, ri = (b[at + 2] >> 2) & 3, pad = (b[at + 2] >> 1) & 1;
    if (version == 1 || ri == 3 || bi == 0 || bi == 15) break;
    Mp3Frame fr;
    fr.kbps = version == 3 ? kV1[bi] : kV2[bi];
    fr.sampleRate = kRates[ri] / (version == 3 ? 1 : version == 2 ? 2 : 4);
    fr.channels = ((b[at + 3] >> 6) == 3) ? 1 : 2;
    frames.push_back(fr);
    const int size = version == 3 ? 144 * fr.kbps * 1000 / fr.sampleRate + pad : 72 * fr.kbps * 1000 / fr.sampleRate + pad;
    at += size;
  }
  return frames;
}

}  // namespace snipwave::test
