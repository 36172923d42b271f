#include "convert/PacketJobs.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <map>

#include "components/audio/AudioInterfaces.h"
#include "convert/CutJob.h"
#include "convert/JoinJob.h"
#include "convert/PacketCopy.h"
#include "platform/FileNames.h"
#include "platform/PendingOutputFile.h"

namespace snipwave {

namespace {

constexpr const char* kDamagedPacketReason = "a packet of its range cannot be decoded (the file is damaged there)";

}  // namespace

bool CutRowByPackets(const JobRow& row, const JobChoices& choices, IAudioFile2& reader, const RowControl& control,
                     RowOutcome& o) {
  if (!choices.keepPackets || !CopiesPackets(choices.output.type)) return false;
  const auto reencoded = [&](const QString& reason) {
    o.frameCopyNotes << PacketReencodedNote(row.source, reason);
    return false;
  };
  if (choices.level.ChangesCut()) return reencoded("its level choices (fades, edge fades or gain) change its samples");
  QString reason;
  std::unique_ptr<PacketSource> source;
  try {
    source = PacketSource::Open(choices.output.type, row.source, reader.LengthSamples(), &reason);
  } catch (const std::exception& e) {
    reason = "its packets cannot be read (" + QString::fromUtf8(e.what()) + ")";
  }
  if (!source) return reencoded(reason);
  const StreamFormat output =
      WrittenFormat(choices.output, static_cast<int>(reader.SampleRate()), reader.Channels());
  if (const QString mismatch = FormatMismatch(output, source->Format()); !mismatch.isEmpty()) return reencoded(mismatch);
  if (row.end > source->Length()) return reencoded("its range runs past its end");
  if (row.end <= row.begin) return reencoded("its range is empty");
  if (!source->CanCopy(row.begin, row.end, &reason)) return reencoded(reason);

  detail::CloseIfOpen(&reader);
  bool stoppedHere = false;
  const auto keepGoing = [&](double share) {
    const bool go = !control.keepGoing || control.keepGoing(static_cast<std::int64_t>(share * double(o.count)));
    stoppedHere = stoppedHere || !go;
    return go;
  };
  PacketOutcome copy;
  try {
    copy = WritePacketCopy({{source.get(), row.begin, row.end}}, choices.output, o.output->TemporaryPath(), keepGoing);
  } catch (...) {
    detail::RethrowNamingFinalPath(o.output->TemporaryPath(), o.output->FinalPath());
  }
  if (copy.damaged) {
    // A player would drop the packet and play the rest early; re-encoded,
    // it is silence of its length and the summary counts it.
    o.frameCopyNotes << PacketReencodedNote(row.source, kDamagedPacketReason);
    reader.OpenFile(SystemPath(row.source), 0, 1);
    reader.SeekSample(row.begin, 3);
    return false;
  }
  o.done = copy.decodedFrames;
  o.stopped = stoppedHere && o.done < o.count;
  o.frameCopyNotes << PacketShareNote(o.plannedPath, copy, 1);
  return true;
}

namespace {

// A join's packet copy: the rows' sources, the rows re-encoded on their own,
// then one copy of all ranges.
class PacketJoin {
 public:
  PacketJoin(const JoinRequest& request, const OutputConfiguration& output, RowComponents& set,
             IJobObserver& observer, const std::stop_token& stop, JobReport& report, unsigned outputRate,
             int outputChannels)
      : request_(request),
        rows_(request.rows),
        set_(set),
        observer_(observer),
        stop_(stop),
        report_(report),
        outputRate_(outputRate),
        outputChannels_(outputChannels),
        format_(WrittenFormat(output, static_cast<int>(outputRate), outputChannels)) {}

  bool Run(const QString& temporaryPath, PacketJoinResult& result);

 private:
  // The row's source opened once per file; nullptr (with the reason) when its
  // packets cannot be copied. Throws when the reader cannot open it.
  const PacketSource* SourceOf(const QString& path, QString& reason);
  // Why row `r` cannot be copied from its own source; empty when it can.
  QString Misfit(std::size_t r, const PacketSource* source, QString reason) const;
  // Row `r` re-encoded by the set's writer into a temporary file of the
  // output's format, opened for copying; nullptr when it was stopped or
  // cannot be read (the join, re-encoded, then reports the source).
  const PacketSource* Reencode(std::size_t r, QString& reason);

  const JoinRequest& request_;
  const std::vector<JobRow>& rows_;
  RowComponents& set_;
  IJobObserver& observer_;
  const std::stop_token& stop_;
  JobReport& report_;
  unsigned outputRate_;
  int outputChannels_;
  StreamFormat format_;
  const PacketSource* reference_ = nullptr;  // the first copied source: every range shares its setup
  std::map<QString, std::unique_ptr<PacketSource>> sources_;
  std::map<QString, QString> refusals_;
  std::vector<std::unique_ptr<PendingOutputFile>> temporaries_;  // removed when the join is done
  std::vector<std::unique_ptr<PacketSource>> reencoded_;
};

const PacketSource* PacketJoin::SourceOf(const QString& path, QString& reason) {
  if (const auto it = sources_.find(path); it != sources_.end()) return it->second.get();
  if (const auto it = refusals_.find(path); it != refusals_.end()) {
    reason = it->second;
    return nullptr;
  }
  IAudioFile2& reader = *set_.reader;
  detail::CloseIfOpen(&reader);
  detail::RequireRegularFile(path);
  reader.OpenFile(SystemPath(path), 0, 1);
  const std::int64_t length = reader.LengthSamples();
  detail::CloseIfOpen(&reader);
  std::unique_ptr<PacketSource> source = PacketSource::Open(request_.choices.output.type, path, length, &reason);
  if (!source) {
    refusals_[path] = reason;
    return nullptr;
  }
  return (sources_[path] = std::move(source)).get();
}

QString PacketJoin::Misfit(std::size_t r, const PacketSource* source, QString reason) const {
  const JobRow& row = rows_[r];
  if (!source) return reason;
  if (QString mismatch = FormatMismatch(format_, source->Format()); !mismatch.isEmpty()) return mismatch;
  if (reference_ && !source->SameSetup(*reference_))
    return "its codec setup differs from that of " + reference_->Path() + ", whose packets come first";
  if (row.end > source->Length()) return "its range runs past its end";
  if (row.end <= row.begin) return "its range is empty";
  if (!source->CanCopy(row.begin, row.end, &reason)) return reason;
  return {};
}

const PacketSource* PacketJoin::Reencode(std::size_t r, QString& reason) {
  const JobRow& row = rows_[r];
  IAudioFile2& reader = *set_.reader;
  IAudioFile2& writer = *set_.writer;
  const QFileInfo output(request_.outputPath);
  temporaries_.push_back(std::make_unique<PendingOutputFile>(
      output.dir().filePath(QString("%1-range%2.%3").arg(output.completeBaseName()).arg(r + 1).arg(output.suffix()))));
  const QString& path = temporaries_.back()->TemporaryPath();
  try {
    detail::CloseIfOpen(&reader);
    detail::CloseIfOpen(&writer);
    detail::RequireRegularFile(row.source);
    reader.OpenFile(SystemPath(row.source), 0, 1);
    reader.SeekSample(row.begin, 3);
    const unsigned sourceRate = reader.SampleRate();
    reader.SetPcmFormat(static_cast<int>(outputRate_), outputChannels_);
    const std::int64_t sourceRate64 = std::max<std::int64_t>(1, sourceRate);
    const std::int64_t wanted = (row.Frames() * std::int64_t(outputRate_) + sourceRate64 / 2) / sourceRate64;
    writer.CreateOutputFile(SystemPath(path), 0);
    writer.SetPcmFormat(static_cast<int>(outputRate_), outputChannels_);
    const std::int64_t chunk = std::int64_t(outputChannels_) * outputRate_;
    for (std::int64_t written = 0; written < wanted;) {
      if (stop_.stop_requested()) break;
      const SampleBuffer buffer = reader.ReadSamples(static_cast<int>(std::min(chunk, wanted - written)));
      if (buffer.empty()) break;
      writer.WriteSamples(buffer);
      written += static_cast<std::int64_t>(buffer.size()) / std::max(1, outputChannels_);
    }
    detail::CloseIfOpen(&reader);
    detail::CloseIfOpen(&writer);
    if (stop_.stop_requested()) return nullptr;
    reader.OpenFile(SystemPath(path), 0, 1);
    const std::int64_t length = reader.LengthSamples();
    detail::CloseIfOpen(&reader);
    reencoded_.push_back(PacketSource::Open(request_.choices.output.type, path, length, &reason));
  } catch (const std::exception&) {
    detail::CloseIfOpen(&reader);
    detail::CloseIfOpen(&writer);
    return nullptr;
  }
  const PacketSource* source = reencoded_.back().get();
  if (!source) return nullptr;
  if (QString mismatch = FormatMismatch(format_, source->Format()); !mismatch.isEmpty()) reason = mismatch;
  else if (reference_ && !source->SameSetup(*reference_)) reason = "its codec setup differs from the copied packets'";
  else if (!source->CanCopy(0, source->Length(), &reason)) {
  } else
    return source;
  return nullptr;
}

bool PacketJoin::Run(const QString& temporaryPath, PacketJoinResult& result) {
  std::vector<const PacketSource*> own(rows_.size(), nullptr);
  std::vector<QString> misfits(rows_.size());
  try {
    for (std::size_t r = 0; r < rows_.size(); ++r) {
      QString reason;
      const PacketSource* source = SourceOf(rows_[r].source, reason);
      misfits[r] = Misfit(r, source, reason);
      if (!misfits[r].isEmpty()) continue;
      own[r] = source;
      if (!reference_) reference_ = source;
    }
  } catch (const std::exception&) {
    return false;  // the join, re-encoded, reports the failing source
  }
  if (!reference_) {
    QStringList seen;
    for (std::size_t r = 0; r < rows_.size(); ++r) {
      if (seen.contains(rows_[r].source)) continue;
      seen << rows_[r].source;
      report_.frameCopyNotes << PacketReencodedNote(rows_[r].source, misfits[r]);
    }
    return false;
  }

  // The ranges that need no re-encoding must make one copy by themselves.
  std::vector<PacketRange> ownRanges;
  for (std::size_t r = 0; r < rows_.size(); ++r)
    if (own[r]) ownRanges.push_back({own[r], rows_[r].begin, rows_[r].end});
  if (const QString refusal = PacketRangesRefusal(ownRanges, request_.choices.output.type); !refusal.isEmpty()) {
    report_.frameCopyNotes << "The join was re-encoded, no packets copied: " + refusal + ".";
    return false;
  }

  std::vector<PacketRange> ranges;
  QStringList notes;
  for (std::size_t r = 0; r < rows_.size(); ++r) {
    if (own[r]) {
      ranges.push_back({own[r], rows_[r].begin, rows_[r].end});
      continue;
    }
    notes << QString("%1 (range %2 of the join) was re-encoded on its own and its packets copied into the join: %3.")
                 .arg(rows_[r].source)
                 .arg(r + 1)
                 .arg(misfits[r]);
    observer_.RowStatus(static_cast<int>(r), kJoiningStatus);
    QString reason;
    const PacketSource* source = Reencode(r, reason);
    if (stop_.stop_requested()) return false;  // nothing written yet: the join ends as a stopped one does
    if (!source) {
      if (!reason.isEmpty())
        report_.frameCopyNotes << QString("The join was re-encoded, no packets copied: range %1 (%2), re-encoded on "
                                          "its own, cannot be copied: %3.")
                                      .arg(r + 1)
                                      .arg(rows_[r].source)
                                      .arg(reason);
      return false;
    }
    ranges.push_back({source, 0, source->Length()});
  }

  if (const QString refusal = PacketRangesRefusal(ranges, request_.choices.output.type); !refusal.isEmpty()) {
    report_.frameCopyNotes << "The join was re-encoded, no packets copied: " + refusal + ".";
    return false;
  }
  std::int64_t total = 0;
  for (const JobRow& row : rows_) total += row.Frames();
  for (std::size_t r = 0; r < rows_.size(); ++r) observer_.RowStatus(static_cast<int>(r), kJoiningStatus);
  const auto keepGoing = [&](double share) {
    const auto done = static_cast<std::int64_t>(share * double(total));
    observer_.Progress({0, done, total, done, total});
    return !stop_.stop_requested();
  };
  const PacketOutcome outcome = WritePacketCopy(ranges, request_.choices.output, temporaryPath, keepGoing);
  if (outcome.damaged && !stop_.stop_requested()) {
    // The copy ended before the packet: it lies in the range that was being copied.
    const PacketRange* damaged = &ranges.back();
    std::int64_t end = 0;
    for (const PacketRange& range : ranges) {
      end += range.end - range.begin;
      if (end > outcome.decodedFrames) {
        damaged = &range;
        break;
      }
    }
    // The re-encoded join overwrites what was copied.
    report_.frameCopyNotes << QString("The join was re-encoded, no packets copied: a packet in the range of %1 "
                                      "cannot be decoded (the file is damaged there).")
                                  .arg(damaged->source->Path());
    return false;
  }
  std::int64_t rowEnd = 0;
  for (std::size_t r = 0; r < ranges.size(); ++r) {
    const std::int64_t rowStart = rowEnd;
    rowEnd += ranges[r].end - ranges[r].begin;
    if (rowStart >= outcome.decodedFrames && rowEnd > rowStart) continue;  // not reached: keeps its text
    result.rowsDone = static_cast<int>(r) + 1;
    // A stopped row ends with "Finish" too, holding what was copied until the stop.
    observer_.RowStatus(static_cast<int>(r), kFinishStatus);
  }
  report_.frameCopyNotes << notes;
  report_.frameCopyNotes << PacketShareNote(request_.outputPath, outcome, static_cast<int>(ranges.size()),
                                            static_cast<int>(notes.size()));
  result.written = outcome.decodedFrames;
  result.rate = static_cast<unsigned>(format_.rate);
  return true;
}

}  // namespace

bool JoinByPackets(const JoinRequest& request, const OutputConfiguration& output, RowComponents& set,
                   IJobObserver& observer, const std::stop_token& stop, JobReport& report, const QString& temporaryPath,
                   unsigned outputRate, int outputChannels, PacketJoinResult& result) {
  const JobChoices& choices = request.choices;
  if (!choices.keepPackets || !CopiesPackets(choices.output.type) || request.rows.empty()) return false;
  if (choices.level.ChangesJoin()) {
    report.frameCopyNotes << "The join was re-encoded, no packets copied: its level choices (fades, crossfades or "
                             "matched loudness) change its samples.";
    return false;
  }
  return PacketJoin(request, output, set, observer, stop, report, outputRate, outputChannels)
      .Run(temporaryPath, result);
}

}  // namespace snipwave
