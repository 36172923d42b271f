#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "components/mp3copy/FrameCopy.h"

namespace snipwave {

class IAudioFile2;

// An MP3 source opened for copying its frames: the open file and its frame
// layout. Its bytes are read when the copy needs them (not mapped: a file
// that becomes shorter meanwhile must end the copy, not the program). Lives
// as long as the copy that reads it.
class Mp3FrameSource {
 public:
  // The source at `path`, or nullptr with `reason` set (a clause: "it is no
  // MP3 file") when its frames cannot be kept for an output of `outputRate`
  // Hz and `outputChannels`. `decodedLength` is the reader's length of it,
  // which the frame layout must agree with.
  static std::unique_ptr<Mp3FrameSource> Open(const QString& path, std::int64_t decodedLength, int outputRate,
                                              int outputChannels, QString* reason);

  const QString& Path() const { return path_; }
  const mp3copy::Mp3Stream& Stream() const { return stream_; }
  // Reads `size` bytes at `offset`; returns how many there were.
  std::size_t Read(std::int64_t offset, std::uint8_t* out, std::size_t size) const;

 private:
  QString path_;
  mutable QFile file_;
  mp3copy::Mp3Stream stream_;
};

// One range of a frame source, in its reader's sample frames.
struct Mp3CopyRange {
  const Mp3FrameSource* source = nullptr;
  std::int64_t begin = 0, end = 0;
  // Samples at the start and end re-encoded whatever the frames (fades).
  std::int64_t reencodeHead = 0, reencodeTail = 0;
  int gainSteps = 0;  // added to every copied frame's global gain (1.505 dB each)
};

// Changes the decoded samples of range `row` that start at source frame
// `from` before they are re-encoded (a fade over the range's edges).
using Mp3EdgeLevel = std::function<void(int row, std::int64_t from, std::vector<float>& samples)>;

// Writes the ranges as one MP3 file at `outputPath`, copying their frames and
// re-encoding the edges from the audio `reader` decodes (the reader is
// opened on each source as needed and left closed; a reader already open on
// the first range's source, `readerOnFirstSource`, is used as it is). `keepGoing` gets the
// share done; false stops the copy, the file ending where it stopped.
// Throws snipwave::Error.
mp3copy::CopyOutcome WriteMp3Copy(const std::vector<Mp3CopyRange>& ranges, IAudioFile2& reader,
                                  bool readerOnFirstSource, const QString& outputPath,
                                  const std::function<bool(double)>& keepGoing, const Mp3EdgeLevel& level = {});

// For the job's summary, one note per run of frames that the copy meant to
// keep and re-encoded: "<file> was re-encoded from 0:01.250 to 0:04.000, ...".
QStringList ReencodedRunNotes(const mp3copy::CopyOutcome& outcome, const std::vector<Mp3CopyRange>& ranges);

// "<file> was re-encoded: <reason>." for the job's summary.
QString ReencodedNote(const QString& path, const QString& reason);
// The note for a source without a gapless tag, whose own length no decoder knows.
QString NoLengthTagNote(const QString& path);

}  // namespace snipwave
