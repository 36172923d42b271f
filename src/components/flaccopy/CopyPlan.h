#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "FlacCopy.h"

namespace snipwave::flaccopy {

// One source frame that a range touches, and what of it the output takes.
struct Item {
  std::size_t range = 0;          // index in the ranges
  std::size_t frame = 0;          // index in the range's source's frames
  std::int64_t from = 0, to = 0;  // source sample frames taken, within the frame
  bool copy = false;              // the whole frame goes out byte for byte
};

// The frames the ranges touch, in output order, each marked for copying when
// its range holds it whole. A stretch to re-encode that would make a block
// shorter than the format allows before the last (kMinBlockSize) takes in
// the frames after it until it is long enough; so does a copied frame that
// short. Empty ranges add nothing.
std::vector<Item> PlanItems(const std::vector<CopyRange>& ranges);

}  // namespace snipwave::flaccopy
