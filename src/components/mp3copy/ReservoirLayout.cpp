#include "ReservoirLayout.h"

#include <algorithm>
#include <optional>

#include "Mp3Frames.h"

namespace snipwave::mp3copy {

namespace {

constexpr int kHighestBitrateIndex = 14;

bool IsMpeg1(const std::uint8_t* header) { return ((header[1] >> 3) & 3) == 3; }

void SetMainDataBegin(FrameBytes& frame, int sideInfoAt, int begin, bool mpeg1) {
  std::uint8_t* side = frame.data() + sideInfoAt;
  if (mpeg1) {
    side[0] = static_cast<std::uint8_t>(begin >> 1);
    side[1] = static_cast<std::uint8_t>((side[1] & 0x7F) | (begin & 1) << 7);
  } else {
    side[0] = static_cast<std::uint8_t>(begin);
  }
}

}  // namespace

bool LeadInto(std::vector<FrameBytes>& frames, const std::vector<std::uint8_t>& reservoir) {
  if (reservoir.empty()) return true;
  if (frames.empty()) return false;
  const bool mpeg1 = IsMpeg1(frames.front().data());
  const std::int64_t maxBegin = mpeg1 ? 511 : 255;
  if (static_cast<std::int64_t>(reservoir.size()) > maxBegin) return false;

  const std::size_t m = frames.size();
  std::vector<Mp3Frame> parsed(m);
  std::vector<int> index(m);
  std::vector<std::int64_t> slotBytes(m), mainBytes(m);
  for (std::size_t i = 0; i < m; ++i) {
    const std::optional<Mp3Frame> p = ParseMp3Frame(frames[i].data(), frames[i].size(), 0);
    if (!p || p->mainDataBegin != 0 || (frames[i][1] & 1) == 0) return false;  // no CRC to mend
    parsed[i] = *p;
    index[i] = frames[i][2] >> 4;
    slotBytes[i] = p->SlotBytes();
    mainBytes[i] = (p->mainDataBits + 7) / 8;
    if (mainBytes[i] > slotBytes[i]) return false;
  }

  // From the end back, in bytes before the end of the last slot: each
  // frame's main data ends as late as the data after it allows and starts
  // no later than its own slot.
  std::vector<std::int64_t> slotStart(m), mainStart(m);
  std::int64_t taken = static_cast<std::int64_t>(reservoir.size());
  std::int64_t slotEnd = 0;
  for (std::size_t i = m; i-- > 0;) {
    for (;;) {
      const std::int64_t start = slotEnd + slotBytes[i];
      const std::int64_t mainEnd = std::max(taken, slotEnd);
      const std::int64_t begin = std::max(mainEnd + mainBytes[i], start);
      // Some of its own slot must stay its own: a decoder takes a frame's
      // main data up to the end of that frame's slot, not from before it only.
      if (mainEnd < start && begin - start <= (i == 0 ? 0 : maxBegin)) {
        slotStart[i] = start;
        mainStart[i] = begin;
        taken = begin;
        slotEnd = start;
        break;
      }
      if (index[i] >= kHighestBitrateIndex) return false;
      ++index[i];
      slotBytes[i] = Mp3FrameBytesAtBitrate(frames[i].data(), index[i]) - parsed[i].slotOffset;
    }
  }

  const std::int64_t total = slotEnd;
  std::vector<std::uint8_t> stream(static_cast<std::size_t>(total), 0);
  std::copy(reservoir.begin(), reservoir.end(), stream.end() - static_cast<std::ptrdiff_t>(reservoir.size()));
  for (std::size_t i = 0; i < m; ++i)
    std::copy_n(frames[i].begin() + parsed[i].slotOffset, mainBytes[i],
                stream.begin() + static_cast<std::ptrdiff_t>(total - mainStart[i]));
  for (std::size_t i = 0; i < m; ++i) {
    FrameBytes frame(static_cast<std::size_t>(parsed[i].slotOffset + slotBytes[i]));
    std::copy_n(frames[i].begin(), parsed[i].slotOffset, frame.begin());
    if (index[i] != frames[i][2] >> 4)  // a larger frame has no padding slot
      frame[2] = static_cast<std::uint8_t>((frames[i][2] & 0x0D) | index[i] << 4);
    SetMainDataBegin(frame, 4, static_cast<int>(mainStart[i] - slotStart[i]), mpeg1);
    std::copy_n(stream.begin() + static_cast<std::ptrdiff_t>(total - slotStart[i]), slotBytes[i],
                frame.begin() + parsed[i].slotOffset);
    frames[i] = std::move(frame);
  }
  return true;
}

}  // namespace snipwave::mp3copy
