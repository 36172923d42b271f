#include "convert/JoinJob.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <exception>
#include <future>
#include <thread>
#include <optional>

#include "components/audio/AudioInterfaces.h"
#include "convert/CutJob.h"
#include "convert/JoinCopyLevels.h"
#include "convert/JoinRowStatuses.h"
#include "convert/KeptDepth.h"
#include "convert/KeptRanges.h"
#include "convert/LevelPasses.h"
#include "convert/LosslessMp3.h"
#include "convert/OutputCheck.h"
#include "convert/OutputNames.h"
#include "convert/OutputTags.h"
#include "convert/PacketJobs.h"
#include "convert/ReplayGain.h"
#include "platform/Error.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"
#include "platform/PendingOutputFile.h"
#include "level/FadeCurve.h"
#include "level/OutputShape.h"
#include "level/SeamMixer.h"
#include "level/TruePeakScan.h"

namespace snipwave {

namespace {

// Frames of a source at rate R against frames of the output stream at rate Q.
// Rounding is to the nearest integer, halves to the even neighbour.
class RateRatio {
 public:
  RateRatio(std::uint64_t sourceRate, std::uint64_t outputRate)
      : up_(sourceRate >= outputRate),
        ratio_(sourceRate == outputRate ? 1.0
               : up_                    ? double(sourceRate) / double(outputRate)
                                        : double(outputRate) / double(sourceRate)) {}
  std::int64_t ToSource(std::int64_t outputFrames) const {
    return static_cast<std::int64_t>(std::nearbyint(up_ ? outputFrames * ratio_ : outputFrames / ratio_));
  }
  std::int64_t ToOutput(std::int64_t sourceFrames) const {
    return static_cast<std::int64_t>(std::nearbyint(up_ ? sourceFrames / ratio_ : sourceFrames * ratio_));
  }

 private:
  bool up_;
  double ratio_;
};

// The listed source that is the same file as `outputPath`; nothing when none is.
std::optional<QString> SourceThatIs(const std::vector<JobRow>& rows, const QString& outputPath) {
  for (const JobRow& row : rows)
    if (SameFile(row.source, outputPath)) return row.source;
  return std::nullopt;
}

// The tags every source of the join shares; the title is the output's own
// name, since no source's title names the whole.
TagSet JoinTags(const std::vector<JobRow>& rows, const QString& outputPath) {
  std::vector<TagSet> sources;
  for (const JobRow& row : rows) sources.push_back(detail::SourceTags(row.source));
  TagSet tags = SharedTags(sources);
  tags.Set(TagField::Title, QFileInfo(outputPath).completeBaseName());
  return tags;
}

// What one row contributed.
struct RowResult {
  std::int64_t consumed = 0;  // source frames of its range
  std::int64_t length = 0;    // source frames the range asks for
  unsigned sourceRate = 0;
  std::int64_t damaged = 0;  // frames of the source read as silence
  std::int64_t written = 0;  // output frames given to the writer
};

class JoinRun {
 public:
  JoinRun(const JoinRequest& request, RowComponents& set, IJobObserver& observer, std::stop_token stop,
          JobReport& report)
      : request_(request), set_(set), observer_(observer), stop_(std::move(stop)), report_(report) {
    for (const JobRow& row : request.rows) total_ += row.Frames();
  }

  void Run();

 private:
  void PlanLevels(unsigned outputRate, int outputChannels);
  void StartMeasuring(unsigned outputRate, int outputChannels);
  void GainRow(int row);
  void StopMeasuring();
  loudness::Loudness MeasureRow(IAudioFile2& reader, std::size_t row, unsigned outputRate, int outputChannels);
  std::optional<KeptRange> TakeKept(int row);
  void Put(SampleBuffer& buffer, int row);
  RowResult AppendRow(int row, unsigned outputRate, int outputChannels);
  std::vector<std::unique_ptr<Mp3FrameSource>> FrameSourcesOfRows();
  OutputConfiguration OutputOfWidestSource();
  std::optional<JoinCopyLevels> PlanCopyLevels(unsigned outputRate, int outputChannels);
  std::int64_t JoinByFrameCopy(const std::vector<std::unique_ptr<Mp3FrameSource>>& sources,
                               const JoinCopyLevels& levels, const QString& temporaryPath, int& rowsDone);
  void ReportProgress(int row, std::int64_t rowDone, std::int64_t rowFrames) {
    observer_.Progress({row, rowDone, rowFrames, acc_, total_});
  }

  const JoinRequest& request_;
  RowComponents& set_;
  IJobObserver& observer_;
  std::stop_token stop_;
  JobReport& report_;
  std::int64_t acc_ = 0;    // source frames consumed in the whole job
  std::int64_t total_ = 0;  // sum of all ranges
  std::exception_ptr sourceFailure_;
  // The level choices at work (none when they change nothing): each row's
  // gain as an amplitude ratio, the overlap after each row, the fades of the
  // whole output, and the mixer laying the rows one after the other.
  std::vector<double> rowGains_;
  std::vector<std::int64_t> overlaps_;
  level::OutputShape shape_;
  std::unique_ptr<level::SeamMixer> mixer_;
  std::int64_t mixedOut_ = 0;  // output frames the mixer gave to the writer
  int mixChannels_ = 1;
  // Matched loudness: each range's measure, made ahead of the writing on a
  // thread of its own (the set's checker reads the ranges while the writer
  // encodes); the writing waits for a range's measure before its first frame.
  std::vector<std::promise<loudness::Loudness>> measures_;
  std::vector<std::shared_future<loudness::Loudness>> measured_;
  std::optional<double> matchTarget_;
  // Each range's frames from its measure, when the budget had room: written
  // from there, not decoded again.
  std::vector<std::optional<KeptRange>> kept_;
  KeptBudget keptBudget_;
  std::jthread measurer_;  // last: stopped and joined before the measures go
};

// Opens `reader` on the row's range as the join reads it: at its first frame,
// converted to the output's rate and channels. Returns the rates' ratio.
RateRatio OpenRow(IAudioFile2& reader, const JobRow& record, unsigned outputRate, int outputChannels) {
  detail::CloseIfOpen(&reader);
  detail::RequireRegularFile(record.source);
  reader.OpenFile(SystemPath(record.source), 0, 1);
  reader.SeekSample(record.begin, 3);
  const RateRatio ratio(reader.SampleRate(), outputRate);
  reader.SetPcmFormat(static_cast<int>(outputRate), outputChannels);
  return ratio;
}

// Output frames a read: one second of them per channel.
std::int64_t ChunkFrames(unsigned outputRate, int outputChannels) { return std::int64_t(outputChannels) * outputRate; }

// The row's loudness, read as the join reads it; its frames are kept for the
// writing when the budget has room.
loudness::Loudness JoinRun::MeasureRow(IAudioFile2& reader, std::size_t row, unsigned outputRate, int outputChannels) {
  const JobRow& record = request_.rows[row];
  const RateRatio ratio = OpenRow(reader, record, outputRate, outputChannels);
  const std::int64_t len = record.end - record.begin;
  return MeasureAndKeep(reader, outputRate, outputChannels, len > 0 ? ratio.ToOutput(len) : 0,
                        ChunkFrames(outputRate, outputChannels), record.source, keptBudget_, kept_[row]);
}

// The row's kept frames, once its measure is done; nothing when they were
// not kept (or the join stops meanwhile).
std::optional<KeptRange> JoinRun::TakeKept(int row) {
  if (measured_.empty()) return std::nullopt;
  const std::size_t r = static_cast<std::size_t>(row);
  while (measured_[r].wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
    if (stop_.stop_requested()) return std::nullopt;
  std::optional<KeptRange> kept = std::move(kept_[r]);
  kept_[r].reset();
  return kept;
}

void JoinRun::StartMeasuring(unsigned outputRate, int outputChannels) {
  measures_.resize(request_.rows.size());
  kept_.resize(request_.rows.size());
  for (auto& promise : measures_) measured_.push_back(promise.get_future().share());
  const auto measureAll = [this, outputRate, outputChannels](IAudioFile2& reader, std::stop_token stop) {
    for (std::size_t r = 0; r < request_.rows.size(); ++r) {
      if (stop.stop_requested() || stop_.stop_requested()) return;
      try {
        measures_[r].set_value(MeasureRow(reader, r, outputRate, outputChannels));
      } catch (...) {
        detail::CloseIfOpen(&reader);
        measures_[r].set_exception(std::current_exception());
        return;
      }
    }
  };
  if (set_.checker) {
    measurer_ = std::jthread([this, measureAll](std::stop_token stop) { measureAll(*set_.checker, stop); });
  } else {
    measureAll(*set_.reader, std::stop_token());  // no second reader: one range after the other, first
  }
}

// Waits for the row's measure and sets its gain (the summary states it). A
// measure that failed fails the join, as a failing source does.
void JoinRun::GainRow(int row) {
  if (measured_.empty()) return;
  const level::LevelChoices& levels = request_.choices.level;
  const std::size_t r = static_cast<std::size_t>(row);
  if (!matchTarget_) {
    const double first = measured_.front().get().integratedLufs;
    matchTarget_ = levels.match == level::MatchLoudness::First ? first : levels.targetLufs;
    if (!std::isfinite(*matchTarget_))
      report_.levelNotes << "The ranges were not matched: the first range is silent and has no loudness to match.";
  }
  if (!std::isfinite(*matchTarget_)) return;
  const loudness::Loudness measured = measured_[r].get();
  const level::RangeGain gain = level::GainToTarget(measured, *matchTarget_, levels.truePeakDbtp);
  rowGains_[r] = loudness::DbToAmplitude(gain.gainDb);
  report_.levelNotes << GainNote(request_.rows[r].source, row, measured, gain, levels.truePeakDbtp);
}

void JoinRun::StopMeasuring() {
  if (!measurer_.joinable()) return;
  measurer_.request_stop();
  measurer_.join();
}

// Measures what the level choices need before anything is written: each
// range's length in output frames (for the overlaps and the end fades) and,
// when the ranges are matched, its loudness and gain. The summary gets each
// gain, each shortened crossfade and the joined length.
void JoinRun::PlanLevels(unsigned outputRate, int outputChannels) {
  const level::LevelChoices& levels = request_.choices.level;
  IAudioFile2& reader = *set_.reader;
  const std::vector<JobRow>& rows = request_.rows;
  mixChannels_ = std::max(1, outputChannels);
  std::vector<std::int64_t> lengths;
  for (const JobRow& row : rows) {
    if (stop_.stop_requested()) return;  // nothing written yet: the join ends empty-handed
    detail::CloseIfOpen(&reader);
    detail::RequireRegularFile(row.source);
    reader.OpenFile(SystemPath(row.source), 0, 1);
    const RateRatio ratio(reader.SampleRate(), outputRate);
    detail::CloseIfOpen(&reader);
    lengths.push_back(row.Frames() > 0 ? ratio.ToOutput(row.Frames()) : 0);
  }
  rowGains_.assign(rows.size(), 1.0);
  if (levels.match != level::MatchLoudness::Off) StartMeasuring(outputRate, outputChannels);
  // A seam's overlap takes at most half of each range it joins, so that no
  // range is overlapped from both sides at once.
  const std::int64_t crossfade = level::MsToFrames(levels.crossfadeMs, outputRate);
  overlaps_.assign(rows.size(), 0);
  std::int64_t total = 0, overlapped = 0;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    total += lengths[r];
    if (r + 1 == rows.size() || crossfade == 0) continue;
    overlaps_[r] = std::min({crossfade, lengths[r] / 2, lengths[r + 1] / 2});
    overlapped += overlaps_[r];
    if (overlaps_[r] < crossfade)
      report_.levelNotes << QString("The crossfade between ranges %1 and %2 was shortened to %3 ms: a crossfade "
                                    "takes at most half of each range it joins.")
                                .arg(r + 1)
                                .arg(r + 2)
                                .arg(overlaps_[r] * 1000 / outputRate);
  }
  if (crossfade > 0 && rows.size() > 1) {
    const bool hours = total >= std::int64_t(outputRate) * 3600;
    report_.levelNotes << QString("The joined file lasts %1: the ranges' %2 less %3 crossfaded.")
                              .arg(detail::PreciseTime(total - overlapped, outputRate, hours))
                              .arg(detail::PreciseTime(total, outputRate, hours))
                              .arg(detail::PreciseTime(overlapped, outputRate, hours));
  }
  shape_ = level::OutputShape(total - overlapped, level::MsToFrames(levels.fadeInMs, outputRate),
                              level::MsToFrames(levels.fadeOutMs, outputRate), levels.fadeCurve,
                              level::MsToFrames(levels.edgeFadeMs, outputRate), 1.0);
  // A crossfade of two matched ranges may sum above the ceiling: that
  // overlap is lowered as a whole (no limiter shapes it).
  level::SeamMixer::OverlapGain overlapGain;
  if (levels.match != level::MatchLoudness::Off) {
    overlapGain = [=](const std::vector<float>& mixed) {
      level::TruePeakScan scan(outputChannels, static_cast<int>(outputRate));
      scan.Add(mixed.data(), mixed.size() / std::size_t(outputChannels));
      const double peak = scan.PeakDb();
      return peak > levels.truePeakDbtp ? loudness::DbToAmplitude(levels.truePeakDbtp - peak) : 1.0;
    };
  }
  mixer_ = std::make_unique<level::SeamMixer>(
      outputChannels, levels.crossfadeCurve,
      [this, outputChannels](std::vector<float>& samples) {
        const std::size_t frames = samples.size() / std::size_t(outputChannels);
        shape_.Apply(samples.data(), outputChannels, mixedOut_, frames);
        mixedOut_ += std::int64_t(frames);
        set_.writer->WriteSamples(samples);
      },
      std::move(overlapGain));
}

// Gives a row's frames to the writer, through the mixer when levels are at work.
void JoinRun::Put(SampleBuffer& buffer, int row) {
  if (!mixer_) {
    set_.writer->WriteSamples(buffer);
    return;
  }
  level::ApplyGain(buffer.data(), buffer.size(), rowGains_[static_cast<std::size_t>(row)]);
  mixer_->Push(buffer.data(), buffer.size() / std::size_t(mixChannels_));
}

// Appends one row's range, converted to the output stream (rate, channels),
// to the open writer. Ends early at a stop, when the source has no more
// frames, or when the source fails (kept in `sourceFailure_`; a failing
// write throws).
RowResult JoinRun::AppendRow(int row, unsigned outputRate, int outputChannels) {
  const JobRow& record = request_.rows[static_cast<std::size_t>(row)];
  IAudioFile2& reader = *set_.reader;
  const std::int64_t len = record.end - record.begin;
  // A matched range was read once for its measure: written from what it kept.
  std::optional<KeptRange> kept = TakeKept(row);
  std::optional<RateRatio> sourceRatio;
  if (kept) {
    sourceRatio.emplace(kept->sourceRate, outputRate);
  } else {
    try {
      sourceRatio.emplace(OpenRow(reader, record, outputRate, outputChannels));
    } catch (...) {
      sourceFailure_ = std::current_exception();
      return {};
    }
  }
  const RateRatio& ratio = *sourceRatio;

  // The range in output frames; the last read asks only for what is left of
  // it, so the row contributes exactly its range and nothing past the end mark.
  const std::int64_t wanted = len > 0 ? ratio.ToOutput(len) : 0;
  const std::int64_t chunk = ChunkFrames(outputRate, outputChannels);
  std::int64_t written = 0;  // output frames of this row
  std::int64_t sum = 0;      // source frames of this row consumed
  std::size_t nextKept = 0;
  while (written < wanted) {
    if (stop_.stop_requested()) break;
    SampleBuffer buffer;
    if (kept) {
      if (nextKept == kept->chunks.size()) break;
      buffer = std::move(kept->chunks[nextKept++]);
    } else {
      try {
        buffer = reader.ReadSamples(static_cast<int>(std::min(chunk, wanted - written)));
      } catch (...) {
        sourceFailure_ = std::current_exception();
        return {};
      }
    }
    if (buffer.empty()) break;  // the source ended before the end mark
    written += static_cast<std::int64_t>(buffer.size()) / std::max(1, outputChannels);
    const std::int64_t newSum = written >= wanted ? len : std::min(len, ratio.ToSource(written));
    acc_ = std::min(total_, acc_ + (newSum - sum));
    sum = newSum;
    ReportProgress(row, sum, std::max<std::int64_t>(len, 0));
    Put(buffer, row);
  }
  RowResult result{written >= wanted ? std::max<std::int64_t>(len, 0) : sum, std::max<std::int64_t>(len, 0),
                   kept ? kept->sourceRate : reader.SampleRate(), kept ? kept->damagedFrames : reader.DamagedFrames(),
                   written};
  if (kept) {
    keptBudget_.Give(kept->bytes);
  } else {
    detail::CloseIfOpen(&reader);
  }
  return result;
}

// Every row's source opened for copying its frames (one per file), or none
// when a row must be re-encoded, which the report then says.
std::vector<std::unique_ptr<Mp3FrameSource>> JoinRun::FrameSourcesOfRows() {
  IAudioFile2& reader = *set_.reader;
  std::vector<std::unique_ptr<Mp3FrameSource>> sources;
  for (const JobRow& record : request_.rows) {
    if (std::any_of(sources.begin(), sources.end(), [&](const auto& s) { return s->Path() == record.source; }))
      continue;
    QString reason;
    std::unique_ptr<Mp3FrameSource> source;
    try {
      detail::CloseIfOpen(&reader);
      detail::RequireRegularFile(record.source);
      reader.OpenFile(SystemPath(record.source), 0, 1);
      source = Mp3FrameSource::Open(record.source, reader.LengthSamples(), set_.encoder->SampleRate(),
                                    set_.encoder->Channels(), &reason);
      detail::CloseIfOpen(&reader);
    } catch (const std::exception&) {
      detail::CloseIfOpen(&reader);
      return {};  // the join itself reports the failing source
    }
    if (source && !(source->Stream().infoTag && source->Stream().infoTag->hasGapless))
      report_.frameCopyNotes << NoLengthTagNote(record.source);
    if (!source) {
      report_.frameCopyNotes << ReencodedNote(record.source, reason);
      return {};
    }
    sources.push_back(std::move(source));
  }
  bool anyFrame = false;
  for (const JobRow& record : request_.rows) {
    for (const auto& s : sources) {
      if (s->Path() != record.source) continue;
      if (record.end > s->Stream().length) {
        report_.frameCopyNotes << ReencodedNote(record.source, "its range runs past its end");
        return {};
      }
      anyFrame = anyFrame || mp3copy::HoldsWholeFrame(s->Stream(), record.begin, record.end);
    }
  }
  if (!anyFrame) {
    report_.frameCopyNotes << "The join was re-encoded, no MP3 frames kept: its ranges are shorter than an MP3 frame.";
    return {};
  }
  return sources;
}

// How the frame copy carries the level choices; nothing (the summary says
// why, when there is a reason) when the join must be re-encoded.
std::optional<JoinCopyLevels> JoinRun::PlanCopyLevels(unsigned outputRate, int outputChannels) {
  const level::LevelChoices& levels = request_.choices.level;
  if (!levels.ChangesJoin()) {
    JoinCopyLevels plain;
    plain.reencodeHead.assign(request_.rows.size(), 0);
    plain.reencodeTail.assign(request_.rows.size(), 0);
    plain.gainSteps.assign(request_.rows.size(), 0);
    return plain;
  }
  QString reason;
  std::optional<JoinCopyLevels> plan =
      PlanJoinCopyLevels(request_.rows, levels, outputRate, outputChannels, *set_.reader, stop_, &reason);
  if (!plan) {
    if (!reason.isEmpty()) report_.frameCopyNotes << "The join was re-encoded, no MP3 frames kept: " + reason + ".";
    return std::nullopt;
  }
  report_.levelNotes << plan->levelNotes;
  report_.frameCopyNotes << plan->frameCopyNotes;
  return plan;
}

// The join as one frame copy; returns the output frames written and sets
// the rows' status as the row-by-row join does.
std::int64_t JoinRun::JoinByFrameCopy(const std::vector<std::unique_ptr<Mp3FrameSource>>& sources,
                                      const JoinCopyLevels& levels, const QString& temporaryPath, int& rowsDone) {
  const int rows = static_cast<int>(request_.rows.size());
  std::vector<Mp3CopyRange> ranges;
  for (int row = 0; row < rows; ++row) {
    const JobRow& record = request_.rows[static_cast<std::size_t>(row)];
    for (const auto& s : sources)
      if (s->Path() == record.source)
        ranges.push_back({s.get(), record.begin, record.end, levels.reencodeHead[std::size_t(row)],
                          levels.reencodeTail[std::size_t(row)], levels.gainSteps[std::size_t(row)]});
    observer_.RowStatus(row, kJoiningStatus);
  }
  const auto keepGoing = [this](double share) {
    acc_ = static_cast<std::int64_t>(share * double(total_));
    observer_.Progress({0, acc_, total_, acc_, total_});
    return !stop_.stop_requested();
  };
  const mp3copy::CopyOutcome outcome = WriteMp3Copy(ranges, *set_.reader, false, temporaryPath, keepGoing, levels.edgeLevel);
  std::int64_t rowEnd = 0;
  for (int row = 0; row < rows; ++row) {
    const JobRow& record = request_.rows[static_cast<std::size_t>(row)];
    const std::int64_t rowStart = rowEnd;
    rowEnd += record.Frames();
    if (rowStart >= outcome.decodedFrames && rowEnd > rowStart) continue;  // not reached: keeps its text
    rowsDone = row + 1;
    if (outcome.decodedFrames < rowEnd && outcome.sourceEnded) {
      // The copy ends where a source's bytes ran out; later rows keep their text.
      observer_.RowStatus(row, kShortStatus);
      const QString message = detail::ShortReadMessage(
          record.source, record.begin, outcome.decodedFrames - rowStart, rowEnd - rowStart,
          static_cast<unsigned>(ranges[static_cast<std::size_t>(row)].source->Stream().sampleRate));
      report_.shortReads << message;
      observer_.Message(message);
    } else {
      // A stopped row ends with "Finish" too, holding what was copied until the stop.
      observer_.RowStatus(row, kFinishStatus);
    }
  }
  report_.frameCopyNotes << ReencodedRunNotes(outcome, ranges);
  if (!outcome.encodedRanges.empty()) {
    QStringList rowNumbers;
    for (int row : outcome.encodedRanges) rowNumbers << QString::number(row + 1);
    report_.frameCopyNotes << "The ranges of rows " + rowNumbers.join(", ") +
                                  " were re-encoded: their MP3 frames do not fall on the joined file's frame grid.";
  }
  return outcome.decodedFrames;
}

// The output's configuration, with the frames of a FLAC or ALAC output kept:
// the depth of the widest source (each opened once), as a cut of it has.
OutputConfiguration JoinRun::OutputOfWidestSource() {
  if (!KeepsSourceDepth(request_.choices)) return request_.choices.output;
  IAudioFile2& reader = *set_.reader;
  int widest = 0;
  QString widestSource;
  QStringList seen;
  for (const JobRow& row : request_.rows) {
    if (seen.contains(row.source)) continue;
    seen << row.source;
    try {
      detail::CloseIfOpen(&reader);
      detail::RequireRegularFile(row.source);
      reader.OpenFile(SystemPath(row.source), 0, 1);
    } catch (const std::exception&) {
      continue;  // the join fails there when it reaches the row, as ever
    }
    if (reader.BitsPerSample() > widest) {
      widest = reader.BitsPerSample();
      widestSource = row.source;
    }
  }
  detail::CloseIfOpen(&reader);
  return WithSourceDepth(request_.choices, widest, widestSource, report_.frameCopyNotes).output;
}

void JoinRun::Run() {
  const std::vector<JobRow>& rows = request_.rows;
  const QString& outputPath = request_.outputPath;
  IAudioFile2& reader = *set_.reader;
  IAudioFile2& writer = *set_.writer;
  if (set_.encoder && !set_.configured) ApplyOutputConfiguration(request_.choices.output, writer, *set_.encoder);
  detail::CloseIfOpen(&writer);
  detail::RequireRegularFile(rows.front().source);
  reader.OpenFile(SystemPath(rows.front().source), 0, 1);
  const unsigned outputRate = reader.SampleRate();
  const int outputChannels = reader.Channels();
  reader.CloseFile();

  detail::SetWriterFormatOf(writer, rows.front().source, static_cast<int>(outputRate), outputChannels);
  writer.SetWmaProfile(kJoinWmaProfile);
  // With the frames kept, a FLAC or ALAC output has the depth of its widest source.
  const OutputConfiguration outputConfiguration = OutputOfWidestSource();
  if (KeepsSourceDepth(request_.choices)) ApplyLosslessFormat(writer, outputConfiguration);
  const level::LevelChoices& levels = request_.choices.level;
  bool keepFrames =
      request_.choices.output.type == OutputType::Mp3 && request_.choices.keepMp3Frames && set_.encoder;
  if (const std::optional<QString> why = UncopyableLevels(levels, rows.size()); keepFrames && why) {
    report_.frameCopyNotes << "The join was re-encoded, no MP3 frames kept: " + *why + ".";
    keepFrames = false;
  }
  std::vector<std::unique_ptr<Mp3FrameSource>> frameSources =
      keepFrames ? FrameSourcesOfRows() : std::vector<std::unique_ptr<Mp3FrameSource>>{};
  // Fades and whole-step gains ride on the frame copy; else every sample is decoded and encoded again.
  std::optional<JoinCopyLevels> copyLevels;
  if (!frameSources.empty()) copyLevels = PlanCopyLevels(outputRate, outputChannels);
  if (!copyLevels) frameSources.clear();
  // Written under a temporary name beside the chosen one: an existing file
  // is replaced only by the finished output, and a failure leaves it whole.
  PendingOutputFile output(outputPath);
  std::int64_t written = 0;  // output frames given to the writer
  int rowsDone = 0;
  unsigned writtenRate = outputRate;  // the rate of `written`
  PacketJoinResult packets;
  try {
    if (!frameSources.empty()) {
      written = JoinByFrameCopy(frameSources, *copyLevels, output.TemporaryPath(), rowsDone);
    } else if (JoinByPackets(request_, outputConfiguration, set_, observer_, stop_, report_, output.TemporaryPath(),
                             outputRate, outputChannels, packets)) {
      written = packets.written;
      writtenRate = packets.rate;
      rowsDone = packets.rowsDone;
    } else {
      if (levels.ChangesJoin()) PlanLevels(outputRate, outputChannels);
      writer.CreateOutputFile(SystemPath(output.TemporaryPath()), 0);
      writer.SetPcmFormat(static_cast<int>(outputRate), outputChannels);
      for (int row = 0; row < static_cast<int>(rows.size()) && !stop_.stop_requested(); ++row) {
        observer_.RowStatus(row, kJoiningStatus);
        const JobRow& record = rows[static_cast<std::size_t>(row)];
        if (mixer_) {
          try {
            GainRow(row);
          } catch (...) {
            sourceFailure_ = std::current_exception();
            break;
          }
          mixer_->BeginRange(overlaps_[static_cast<std::size_t>(row)]);
        }
        const RowResult result = AppendRow(row, outputRate, outputChannels);
        if (mixer_) mixer_->EndRange();
        if (sourceFailure_) break;
        written += result.written;
        rowsDone = row + 1;
        if (result.damaged > 0) report_.damagedSources.append({record.source, result.damaged});
        const bool shortened = !stop_.stop_requested() && result.consumed < result.length;
        observer_.RowStatus(row, shortened ? kShortStatus : kFinishStatus);
        if (shortened) {
          const QString message =
              detail::ShortReadMessage(record.source, record.begin, result.consumed, result.length, result.sourceRate);
          report_.shortReads << message;
          observer_.Message(message);
        }
      }
      StopMeasuring();  // the checker is free again for the output check
      if (mixer_) {
        // The frames the mixer held back are the join's last; `written` is what the writer got.
        mixer_->Finish();
        written = mixedOut_;
        if (const int reduced = mixer_->ReducedOverlaps())
          report_.levelNotes << QString("%1 crossfade%2 lowered as a whole to stay under the true-peak ceiling.")
                                    .arg(reduced)
                                    .arg(reduced == 1 ? " was" : "s were");
      }
    }
    detail::CloseIfOpen(&writer);
  } catch (...) {
    detail::RethrowNamingFinalPath(output.TemporaryPath(), output.FinalPath());
  }
  TagSet tags = request_.choices.keepTags ? JoinTags(rows, outputPath) : TagSet{};
  if (request_.choices.replayGain && !sourceFailure_ && written > 0) {
    // One file: its track is its album.
    try {
      if (const auto meter = detail::MeasureOutput(*set_.reader, output.TemporaryPath(), outputPath)) {
        const loudness::Loudness level = meter->Result();
        detail::SetTrackGain(tags.replayGain, level);
        detail::SetAlbumGain(tags.replayGain, level);
      }
    } catch (const std::exception& e) {
      report_.tagFailures << "The ReplayGain of " + outputPath + " could not be measured (" +
                                 QString::fromUtf8(e.what()) + ").";
    }
  }
  detail::TagOutput(request_.choices.tagWriter, output.TemporaryPath(), outputPath, tags, report_);
  std::optional<QString> checkFailure;
  if (set_.checker && !sourceFailure_)
    checkFailure = detail::CheckOutputLength(*set_.checker, output.TemporaryPath(), outputPath, written, writtenRate);
  if (sourceFailure_) {
    // A source that failed ends the job, as any component failure does.
    // The rows joined so far are kept under the final name; a file the join
    // was to replace is left whole rather than replaced by an unfinished join.
    if (!request_.replacing && output.CommitAsNew()) report_.writtenFiles << outputPath;
    std::rethrow_exception(sourceFailure_);
  }
  if (request_.replacing) {
    output.CommitReplacing();
  } else if (!output.CommitAsNew()) {
    throw Error(SystemPath(outputPath) +
                " was created by another program while the join ran; it was left as it is and the join was not saved.");
  }
  report_.writtenFiles << outputPath;
  if (checkFailure) {
    report_.checkFailures << *checkFailure;
    for (int row = 0; row < rowsDone; ++row) observer_.RowStatus(row, kCheckFailedStatus);
  }
}

}  // namespace

JoinTarget CheckJoinTarget(const std::vector<JobRow>& rows, const QString& outputPath, IJobObserver& observer) {
  if (!PathExists(outputPath)) return JoinTarget::Create;
  // Only a file can be replaced; a folder (or a pipe, a device) of that
  // name is refused before anything is asked.
  if (!FileExists(outputPath)) {
    observer.Message(outputPath + " is not a file and cannot be replaced. Please choose another name.");
    return JoinTarget::Refused;
  }
  if (const std::optional<QString> source = SourceThatIs(rows, outputPath)) {
    const QString same = *source == outputPath ? QString() : " (it is the same file as " + *source + ")";
    observer.Message(outputPath + " is one of the files to join" + same +
                     " and cannot be replaced. Please choose another name.");
    return JoinTarget::Refused;
  }
  if (!observer.AskOverwrite(QString::fromLatin1(kOverwriteQuestion))) return JoinTarget::Cancelled;
  MakeWritable(outputPath);
  return JoinTarget::Replace;
}

JobReport RunJoin(const JoinRequest& request, RowComponents& set, IJobObserver& observer, std::stop_token stop) {
  JobReport report;
  if (request.rows.empty()) {
    report.end = JobEnd::Completed;
    return report;
  }
  JoinRowStatuses statuses(observer);
  detail::RunReportingFailure(report, "join", [&] {
    JoinRun(request, set, statuses, stop, report).Run();
    report.end = stop.stop_requested() ? JobEnd::Aborted : JobEnd::Completed;
  });
  if (report.end == JobEnd::Failed) statuses.SettleFailure(report.writtenFiles.contains(request.outputPath));
  detail::CloseAfterJob({set.reader.get(), set.writer.get()}, report);
  return report;
}

}  // namespace snipwave
