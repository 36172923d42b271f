#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "components/tags/TagSet.h"
#include "platform/NameTemplate.h"
#include "convert/OutputConfiguration.h"
#include "level/LevelChoices.h"

namespace snipwave {

class IAudioFile2;
class IAudioFile2LameEnc;
class ITagWriter;

// One range of a source: frames [begin, end) of the file at `source` (an
// absolute path), in the reader's frames of that file.
struct JobRow {
  QString source;
  std::int64_t begin = 0;
  std::int64_t end = 0;
  // What the row calls itself and the tags its output gets instead of the
  // source's; empty: none (the source's tags, the source's name).
  QString title;
  TagSet tags;
  int track = 0;             // the row's number in its list, 1-based; 0: none
  std::int64_t beginMs = 0;  // `begin` in milliseconds, for the output's name
  std::int64_t Frames() const { return end > begin ? end - begin : 0; }
};

// The choices a job keeps from its start to its end, whatever the settings
// file says meanwhile.
struct JobChoices {
  OutputConfiguration output;  // the writer's parameters, checked when captured
  bool keepTags = true;        // outputs get the tags of their sources
  // MP3 outputs of MP3 sources keep the source's frames (only the edges re-encoded).
  bool keepMp3Frames = false;
  // OGG (Vorbis), OPUS, M4A (AAC) and FLAC outputs of sources of their own
  // codec, rate and channels copy the source's packets (PacketCopy.h); FLAC
  // and ALAC outputs take their sources' depth (KeptDepth.h).
  bool keepPackets = false;
  // Outputs get ReplayGain 2.0 tags measured from their audio: track values,
  // and album values over all outputs of a cut (a join's file: track = album).
  bool replayGain = false;
  ITagWriter* tagWriter = nullptr;  // none: the TagLib writer
  // The cut's output names. Any template but the default also writes each
  // row's track number into its output's tags.
  NameTemplate names;
  // Fades, crossfades and loudness; the defaults leave every sample as it is.
  level::LevelChoices level;
};

// A cut: every row's range into a file of its own, "Cut_<name>" (or
// "Cut(k)_<name>"; or as the choices' name template says) in `outputFolder` (with a trailing separator; created one
// level deep when missing). Up to `jobs` rows are cut at once; whatever that
// number, outputs, names, statuses and messages are those of one row at a time.
struct CutRequest {
  std::vector<JobRow> rows;
  JobChoices choices;
  QString outputFolder;
  int jobs = 1;
};

// A join: the rows' ranges one after the other into `outputPath`, every
// source converted to the first row's rate and channel count. `replacing`:
// the file exists and the user agreed to replace it (it is replaced only by
// the finished join).
struct JoinRequest {
  std::vector<JobRow> rows;
  JobChoices choices;
  QString outputPath;
  bool replacing = false;
};

// What one worker reads, writes and checks with; no set is used by two
// threads at once. `checker` may be empty (outputs are not read back).
struct RowComponents {
  std::shared_ptr<IAudioFile2> reader;
  std::shared_ptr<IAudioFile2> writer;
  std::shared_ptr<IAudioFile2> checker;
  std::shared_ptr<IAudioFile2LameEnc> encoder;
  // The writer and encoder hold the job's output configuration already (the
  // set the configuration was read with); a fresh set gets it from the job.
  bool configured = false;
};

// Makes one fresh set per call (readers and writers with their init flag set).
using RowComponentsFactory = std::function<RowComponents()>;

}  // namespace snipwave
