// Label files of any content: reading one either gives labels or throws
// snipwave::Error; each label has a range, and written back and read again
// it gives the same microseconds.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "components/cue/LabelFile.h"
#include "platform/Error.h"

using namespace snipwave;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<Label> labels;
  try {
    labels = ParseLabels(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
  } catch (const Error&) {
    return 0;
  }
  if (labels.empty()) std::abort();
  // At 1 MHz a frame is a microsecond: the written file must give them back.
  std::vector<LabelRow> rows;
  for (const Label& l : labels) {
    if (l.beginUs < 0 || l.endUs <= l.beginUs) std::abort();
    rows.push_back({l.beginUs, l.endUs, l.text});
  }
  const std::vector<Label> back = ParseLabels(WriteLabels(rows, 1'000'000));
  if (back.size() != labels.size()) std::abort();
  for (std::size_t i = 0; i < back.size(); ++i)
    if (back[i].beginUs != labels[i].beginUs || back[i].endUs != labels[i].endUs) std::abort();
  return 0;
}
