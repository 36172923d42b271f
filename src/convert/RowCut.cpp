#include "convert/RowCut.h"

#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cmath>

#include "components/audio/AudioInterfaces.h"
#include "components/audio/PcmWavCopy.h"
#include "components/mp3copy/GlobalGain.h"
#include "convert/GainSteps.h"
#include "convert/JobSupport.h"
#include "convert/KeptDepth.h"
#include "convert/LevelPasses.h"
#include "convert/LosslessMp3.h"
#include "convert/OutputCheck.h"
#include "convert/OutputNames.h"
#include "convert/OutputTags.h"
#include "convert/PacketJobs.h"
#include "convert/ReplayGain.h"
#include "level/OutputShape.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"
#include "platform/PendingOutputFile.h"

namespace snipwave {

RowOutcome::RowOutcome() = default;
RowOutcome::~RowOutcome() = default;
RowOutcome::RowOutcome(RowOutcome&&) noexcept = default;
RowOutcome& RowOutcome::operator=(RowOutcome&&) noexcept = default;

QString PlainCutName(const JobRow& row, const QString& extension, const NameTemplate& names) {
  const QString fileName = QFileInfo(row.source).fileName();
  if (names.IsDefault()) return "Cut_" + ReplaceExtension(fileName, extension);
  NameFields fields;
  fields.track = row.track;
  fields.name = ReplaceExtension(fileName, QString());
  fields.beginMs = row.beginMs;
  const TagSet source = names.UsesTags() ? detail::SourceTags(row.source) : TagSet{};
  const auto first = [](std::initializer_list<QString> values) {
    for (const QString& v : values)
      if (!v.trimmed().isEmpty()) return v.trimmed();
    return QString();
  };
  fields.title = first({row.title, row.tags.Get(TagField::Title), source.Get(TagField::Title), fields.name});
  fields.artist = first({row.tags.Get(TagField::Artist), source.Get(TagField::Artist)});
  return names.Expand(fields) + extension;
}

std::vector<RowPlan> PlanCutRows(const std::vector<JobRow>& rows, const QString& folder, const QString& extension,
                                 const NameTemplate& names) {
  std::vector<RowPlan> plans(rows.size());
  QSet<QString> reserved;
  for (std::size_t row = 0; row < rows.size(); ++row) {
    const QString& source = rows[row].source;
    RowPlan& plan = plans[row];
    if (!FileExists(source)) {
      plan.skipMessage = detail::MissingSourceMessage(source);
      continue;
    }
    plan.plainName = PlainCutName(rows[row], extension, names);
    if (const std::optional<QString> path = FreeOutputPath(folder, plan.plainName, reserved)) {
      plan.outputPath = *path;
      reserved.insert(*path);
    } else {
      plan.skipMessage = NoFreeNameMessage(source, plan.plainName);
    }
  }
  return plans;
}

TagSet OutputTagsOf(const JobRow& row, bool keepTags, bool withTrack) {
  TagSet tags = !row.tags.Empty() ? row.tags : keepTags ? detail::SourceTags(row.source) : TagSet{};
  if (!row.title.isEmpty() && row.tags.Get(TagField::Title).isEmpty()) tags.Set(TagField::Title, row.title);
  if (withTrack && row.track > 0) tags.Set(TagField::Track, QString::number(row.track));
  return tags;
}

namespace {

// Copies `count` frames from the reader's position to the writer in chunks
// of SampleRate x Channels frames (two seconds of stereo, one of mono); ends
// early at a stop, when the source has no more frames, or when reading it
// fails (kept in the outcome; a failing write throws). Returns the frames copied.
// `shape` levels the frames on their way (by their place in the output).
std::int64_t CopyRange(IAudioFile2& reader, IAudioFile2& writer, const RowControl& control, RowOutcome& o,
                       const level::OutputShape& shape) {
  const int channels = reader.Channels();
  const int rate = static_cast<int>(reader.SampleRate());
  // Buffers hold one element per channel sample; a reader that reports no
  // frame size is taken at its channel count.
  const int frameSize = std::max(1, reader.FrameSize() > 0 ? reader.FrameSize() : channels);
  std::int64_t done = 0;
  std::int64_t chunk = std::int64_t(rate) * channels;
  while (done < o.count) {
    if (control.keepGoing && !control.keepGoing(done)) {
      o.stopped = true;
      return done;
    }
    chunk = std::min(chunk, o.count - done);
    SampleBuffer buffer;
    try {
      buffer = reader.ReadSamples(static_cast<int>(chunk));
    } catch (...) {
      o.sourceFailure = std::current_exception();
      return done;
    }
    if (buffer.empty()) return done;  // the source ended before the range did
    shape.Apply(buffer.data(), frameSize, done, buffer.size() / std::size_t(frameSize));
    writer.SetPcmFormat(rate, channels);
    writer.WriteSamples(buffer);
    done = std::min<std::int64_t>(done + static_cast<std::int64_t>(buffer.size()) / frameSize, o.count);
  }
  if (control.keepGoing) control.keepGoing(done);
  return done;
}

// The row's source opened for copying its frames, or nullptr (with the
// reason among the row's notes) when the row is re-encoded.
std::unique_ptr<Mp3FrameSource> FrameSourceFor(const JobRow& row, IAudioFile2& reader,
                                               const IAudioFile2LameEnc& encoder, QStringList& notes) {
  QString reason;
  std::unique_ptr<Mp3FrameSource> source =
      Mp3FrameSource::Open(row.source, reader.LengthSamples(), encoder.SampleRate(), encoder.Channels(), &reason);
  if (source && row.end > source->Stream().length) {
    source.reset();
    reason = "its range runs past its end";
  }
  if (source && !mp3copy::HoldsWholeFrame(source->Stream(), row.begin, row.end)) {
    source.reset();
    reason = "its range is shorter than an MP3 frame";
  }
  QString note = source ? QString() : ReencodedNote(row.source, reason);
  if (source && !(source->Stream().infoTag && source->Stream().infoTag->hasGapless)) note = NoLengthTagNote(row.source);
  if (!note.isEmpty()) notes << note;
  return source;
}

// The layout of the row's source when its range can be copied as bytes: a
// plain PCM WAV whose format is exactly what the WAV writer would make of
// it (the configured format, or the source's own rate and channels at 16
// bits), in 8 or 16 bits, the writer's only widths.
std::optional<audio::PcmWavLayout> ByteCopyLayout(const JobRow& row, const JobChoices& choices) {
  const OutputConfiguration& output = choices.output;
  // Fades and gains change samples: the range goes through the writer.
  if (output.type != OutputType::Wav || choices.level.ChangesCut()) return std::nullopt;
  const std::optional<audio::PcmWavLayout> layout = audio::ReadPcmWavLayout(row.source);
  if (!layout || (layout->validBitsPerSample != 0 && layout->validBitsPerSample != layout->bitsPerSample))
    return std::nullopt;
  const OutputConfiguration::Wav wanted =
      output.wav.value_or(OutputConfiguration::Wav{layout->sampleRate, layout->channels, 16});
  if (wanted.sampleRate != layout->sampleRate || wanted.channels != layout->channels ||
      wanted.bitsPerSample != layout->bitsPerSample || (wanted.bitsPerSample != 8 && wanted.bitsPerSample != 16))
    return std::nullopt;
  return layout;
}

// A PCM range in an unchanged format: the sample bytes copied, no decoding.
void CopyBytes(const JobRow& row, const audio::PcmWavLayout& layout, const RowControl& control, RowOutcome& o) {
  o.count = row.end - row.begin;
  o.rate = static_cast<unsigned>(layout.sampleRate);
  bool stoppedHere = false;
  const auto keepGoing = [&](std::int64_t done) {
    const bool go = !control.keepGoing || control.keepGoing(done);
    stoppedHere = stoppedHere || !go;
    return go;
  };
  try {
    o.done = audio::CopyPcmWavRange(layout, row.source, row.begin, row.end, o.output->TemporaryPath(), keepGoing);
  } catch (...) {
    detail::RethrowNamingFinalPath(o.output->TemporaryPath(), o.output->FinalPath());
  }
  if (control.keepGoing) control.keepGoing(o.done);
  o.stopped = stoppedHere && o.done < o.count;
}

// The level of a row's output: its fades and the gain `gainDb`.
level::OutputShape ShapeOfRow(const level::LevelChoices& levels, const RowOutcome& o, double gainDb) {
  return level::OutputShape(o.count, level::MsToFrames(levels.fadeInMs, o.rate),
                            level::MsToFrames(levels.fadeOutMs, o.rate), levels.fadeCurve,
                            level::MsToFrames(levels.edgeFadeMs, o.rate), loudness::DbToAmplitude(gainDb));
}

// The gain that normalises the row, measured (the summary states it); the
// reader is left open at the range's start.
std::pair<loudness::Loudness, level::RangeGain> NormalisingGain(const JobRow& row, const level::LevelChoices& levels,
                                                               IAudioFile2& reader, RowOutcome& o) {
  const loudness::Loudness measured = MeasureRange(reader, row.source, row.begin, row.end);
  const level::RangeGain gain = level::GainToTarget(measured, levels.targetLufs, levels.truePeakDbtp);
  o.levelNotes << GainNote(row.source, -1, measured, gain, levels.truePeakDbtp);
  reader.OpenFile(SystemPath(row.source), 0, 1);
  reader.SeekSample(row.begin, 3);
  return {measured, gain};
}

// The range decoded and re-encoded through the set's writer, or an MP3
// source's frames copied when the choices keep them; reader and writer
// closed at the end. A failing write throws naming the final path.
void EncodeRow(const JobRow& row, const JobChoices& jobChoices, RowComponents& set, const RowControl& control,
               RowOutcome& o) {
  IAudioFile2& reader = *set.reader;
  IAudioFile2& writer = *set.writer;
  detail::CloseIfOpen(&reader);
  reader.OpenFile(SystemPath(row.source), 0, 1);
  reader.SeekSample(row.begin, 3);
  o.count = row.end - row.begin;
  o.rate = reader.SampleRate();
  detail::CloseIfOpen(&writer);
  detail::SetWriterFormatOf(writer, row.source, static_cast<int>(o.rate), reader.Channels());
  // With the frames kept, a FLAC or ALAC output has the source's depth.
  const JobChoices choices = WithSourceDepth(jobChoices, reader.BitsPerSample(), row.source, o.frameCopyNotes);
  if (KeepsSourceDepth(choices)) ApplyLosslessFormat(writer, choices.output);
  // Written under a temporary name; the job names it when it is the row's turn,
  // and a failure below leaves no file behind.
  o.output = std::make_unique<PendingOutputFile>(o.plannedPath);
  if (CutRowByPackets(row, choices, reader, control, o)) return;
  const level::LevelChoices& levels = choices.level;
  bool keepFrames = choices.keepMp3Frames && choices.output.type == OutputType::Mp3 && set.encoder;
  double gainDb = 0;
  int gainSteps = 0;
  if (levels.normalise) {
    const auto [measured, gain] = NormalisingGain(row, levels, reader, o);
    gainDb = gain.gainDb;
    // A gain changes every sample; MP3 frames carry it losslessly in their
    // global gain when it is close enough to whole steps of 1.505 dB.
    const std::optional<int> steps = GlobalGainSteps(measured, gain, levels.truePeakDbtp);
    if (keepFrames && steps) {
      gainSteps = *steps;
      gainDb = *steps * mp3copy::kGlobalGainStepDb;
      if (*steps != 0) o.frameCopyNotes << CarriedGainNote(row.source, *steps, gain.gainDb);
    } else if (keepFrames && !steps) {
      o.frameCopyNotes << ReencodedNote(row.source, UncarriedGainReason("normalising gain", gain.gainDb));
      keepFrames = false;
    }
  }
  const std::unique_ptr<Mp3FrameSource> frameSource =
      keepFrames ? FrameSourceFor(row, reader, *set.encoder, o.frameCopyNotes) : nullptr;
  try {
    if (frameSource) {
      bool stoppedHere = false;
      const auto keepGoing = [&](double share) {
        const bool go = !control.keepGoing || control.keepGoing(static_cast<std::int64_t>(share * double(o.count)));
        stoppedHere = stoppedHere || !go;
        return go;
      };
      // Fades change only the samples they cover: the frames there are
      // re-encoded from the faded sound, the frames between them copied.
      const level::OutputShape shape = ShapeOfRow(levels, o, gainDb);
      const std::int64_t head = level::MsToFrames(std::max(levels.fadeInMs, levels.edgeFadeMs), o.rate);
      const std::int64_t tail = level::MsToFrames(std::max(levels.fadeOutMs, levels.edgeFadeMs), o.rate);
      const std::vector<Mp3CopyRange> ranges = {{frameSource.get(), row.begin, row.end, head, tail, gainSteps}};
      const int channels = frameSource->Stream().channels;
      const Mp3EdgeLevel edgeLevel = [&](int, std::int64_t from, std::vector<float>& samples) {
        shape.Apply(samples.data(), channels, from - row.begin, samples.size() / std::size_t(std::max(1, channels)));
      };
      const mp3copy::CopyOutcome copy = WriteMp3Copy(ranges, reader, true, o.output->TemporaryPath(), keepGoing,
                                                     shape.Neutral() ? Mp3EdgeLevel{} : edgeLevel);
      o.frameCopyNotes << ReencodedRunNotes(copy, ranges);
      o.done = copy.decodedFrames;
      o.stopped = stoppedHere && o.done < o.count;
    } else {
      const level::OutputShape shape = levels.ChangesCut() ? ShapeOfRow(levels, o, gainDb) : level::OutputShape();
      writer.CreateOutputFile(SystemPath(o.output->TemporaryPath()), 0);
      o.done = CopyRange(reader, writer, control, o, shape);
    }
    if (!o.sourceFailure && reader.IsOpen()) {  // a frame copy has closed it
      o.damaged = reader.DamagedFrames();
      detail::CloseIfOpen(&reader);
    }
    detail::CloseIfOpen(&writer);
  } catch (...) {
    detail::RethrowNamingFinalPath(o.output->TemporaryPath(), o.output->FinalPath());
  }
}

}  // namespace

RowOutcome CutRow(const JobRow& row, const RowPlan& plan, const JobChoices& choices, RowComponents& set,
                  const RowControl& control) {
  RowOutcome o;
  if (plan.outputPath.isEmpty()) return o;  // the job says why
  if (!FileExists(row.source)) {
    o.goneMessage = detail::MissingSourceMessage(row.source);
    return o;
  }
  o.announced = true;
  o.plannedPath = plan.outputPath;
  if (control.started) control.started();
  try {
    if (const std::optional<audio::PcmWavLayout> layout = ByteCopyLayout(row, choices)) {
      o.output = std::make_unique<PendingOutputFile>(plan.outputPath);
      CopyBytes(row, *layout, control, o);
    } else {
      EncodeRow(row, choices, set, control, o);
    }
  } catch (...) {
    o.failure = std::current_exception();
    o.output.reset();  // a failed write leaves no file behind
    return o;
  }
  if (control.abandoned && control.abandoned()) return o;
  TagSet tags = OutputTagsOf(row, choices.keepTags, !choices.names.IsDefault());
  if (choices.replayGain && o.done > 0) {
    try {
      o.loudness = detail::MeasureOutput(*set.reader, o.output->TemporaryPath(), plan.outputPath);
      if (o.loudness) detail::SetTrackGain(tags.replayGain, o.loudness->Result());
    } catch (const std::exception& e) {
      o.tagFailures << "The ReplayGain of " + plan.outputPath + " could not be measured (" + QString::fromUtf8(e.what()) +
                           ").";
    }
  }
  if (!tags.Empty()) {
    JobReport tagged;
    detail::TagOutput(choices.tagWriter, o.output->TemporaryPath(), plan.outputPath, tags, tagged);
    o.tagFailures << tagged.tagFailures;
  }
  o.tags = std::move(tags);
  if (set.checker)
    o.checkFailure =
        detail::CheckOutputLength(*set.checker, o.output->TemporaryPath(), plan.outputPath, o.done, o.rate);
  return o;
}

}  // namespace snipwave
