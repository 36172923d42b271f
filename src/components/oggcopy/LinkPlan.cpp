#include "LinkPlan.h"

#include <algorithm>

namespace snipwave::oggcopy {

namespace {

// Decoding starts this many frames (640 ms at 48 kHz) before a range. RFC
// 7845 asks for at least 80 ms, after which the decoder's state is close to
// a decode from the stream's start; measured on CELT music at 96 kbit/s the
// samples still differ by up to 0.13 after 80 ms, 0.013 after 160 ms and not
// at all after 640 ms (SILK speech converges more slowly on steady tones).
// The pre-skip field (16 bits) holds it with a packet to spare.
constexpr std::int64_t kOpusPreRoll = 30720;

// The packet whose decoded output holds timeline frame `t`.
std::size_t PacketHolding(const OggStream& stream, std::int64_t t) {
  const auto it = std::upper_bound(stream.packets.begin(), stream.packets.end(), t,
                                   [](std::int64_t v, const AudioPacket& p) { return v < p.End(); });
  return static_cast<std::size_t>(it - stream.packets.begin());
}

}  // namespace

std::optional<LinkPlan> PlanLink(const OggStream& stream, std::int64_t begin, std::int64_t end, std::string* reason) {
  if (begin < 0 || end > stream.length || begin >= end) {
    *reason = "the range lies outside the source";
    return std::nullopt;
  }
  const std::int64_t from = stream.origin + begin;  // timeline frames [from, to)
  const std::int64_t to = stream.origin + end;
  LinkPlan plan;
  plan.inFirst = PacketHolding(stream, from);
  plan.inLast = PacketHolding(stream, to - 1);
  plan.last = plan.inLast;
  if (stream.codec == Codec::kOpus) {
    const auto it = std::upper_bound(stream.packets.begin(), stream.packets.end(), from - kOpusPreRoll,
                                     [](std::int64_t v, const AudioPacket& p) { return v < p.start; });
    plan.first = it == stream.packets.begin() ? 0 : static_cast<std::size_t>(it - stream.packets.begin()) - 1;
    plan.first = std::min(plan.first, plan.inFirst);
    plan.base = stream.packets[plan.first].start;
    plan.preSkip = from - plan.base;
    plan.finalGranule = to - plan.base;
    return plan;
  }
  // Vorbis: the first packet gives no output, so the range's first packet
  // is never the stream's first.
  plan.first = plan.inFirst - 1;
  plan.base = from;
  plan.finalGranule = to - from;
  const bool trimsFront = from > stream.packets[plan.inFirst].start;
  if (trimsFront && plan.inLast == plan.inFirst) {
    // The end must then be trimmed on a page of its own: possible only
    // when the range reaches its packet's end and a next packet exists,
    // whose output the last page's granule drops whole.
    if (to != stream.packets[plan.inLast].End() || plan.inLast + 1 >= stream.packets.size()) {
      *reason = "it lies inside one Vorbis packet, whose start and end no page can both trim";
      return std::nullopt;
    }
    plan.last = plan.inLast + 1;
  }
  plan.firstPageOfTwo = plan.last > plan.inFirst;
  // Both packets of the first page must fit on it (255 segments of 255
  // bytes, each packet ending in a shorter one), or its granule would not
  // be the second's.
  const auto segments = [&](std::size_t p) { return stream.packets[p].size / 255 + 1; };
  if (segments(plan.first) + segments(plan.inFirst) > 255) {
    *reason = "its Vorbis packets there are too large for one Ogg page";
    return std::nullopt;
  }
  return plan;
}

}  // namespace snipwave::oggcopy
