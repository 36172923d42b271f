#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace snipwave {

// Label files of the common audio editors: one label a line,
// "start<TAB>end<TAB>label", times in seconds with a decimal point (never the
// user's decimal comma) and up to 6 decimals. Times are kept in microseconds,
// so a frame written and read back is the same frame at any rate below 1 MHz.
struct Label {
  std::int64_t beginUs = 0;
  std::int64_t endUs = 0;
  QString text;
  bool operator==(const Label&) const = default;
};

// The labels of a file in its order. Empty lines and the editors' frequency
// lines (starting with '\') are passed over; a point label (start = end)
// marks no range and is passed over too. Throws Error "line N: why" for a line
// that is not a label (a missing tab, a time that is not seconds, an end
// before its start), and when no label is left.
std::vector<Label> ParseLabels(const QByteArray& bytes);

// The same for the file at `path`; the Error names the path.
std::vector<Label> ReadLabelFile(const QString& path);

// The nearest sample frame to `us` microseconds at `sampleRate` Hz, and the
// nearest microsecond to a frame.
std::int64_t MicrosecondsToFrames(std::int64_t us, int sampleRate);
std::int64_t FramesToMicroseconds(std::int64_t frames, int sampleRate);

// One label line per row (frames [begin, end) at `sampleRate`), LF ends.
struct LabelRow {
  std::int64_t begin = 0;
  std::int64_t end = 0;
  QString text;
};
QByteArray WriteLabels(const std::vector<LabelRow>& rows, int sampleRate);

}  // namespace snipwave
