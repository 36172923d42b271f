#include "convert/JoinCopyLevels.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "components/mp3copy/GlobalGain.h"
#include "convert/GainSteps.h"
#include "convert/LevelPasses.h"
#include "level/OutputShape.h"
#include "level/RangeGain.h"

namespace snipwave {

namespace {

// Each range's gain in whole global-gain steps; false with `reason` set when
// one cannot be carried, and `stopped` set when the measures did not finish.
bool MatchedSteps(const std::vector<JobRow>& rows, const level::LevelChoices& levels, IAudioFile2& reader,
                  const std::stop_token& stop, JoinCopyLevels& plan, QString* reason, bool& stopped) {
  std::vector<loudness::Loudness> measured;
  for (const JobRow& row : rows) {
    if (stop.stop_requested()) {
      stopped = true;
      return false;
    }
    measured.push_back(MeasureRange(reader, row.source, row.begin, row.end));
  }
  const double target = levels.match == level::MatchLoudness::First ? measured.front().integratedLufs
                                                                    : levels.targetLufs;
  if (!std::isfinite(target)) {
    plan.levelNotes << "The ranges were not matched: the first range is silent and has no loudness to match.";
    return true;
  }
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const level::RangeGain gain = level::GainToTarget(measured[r], target, levels.truePeakDbtp);
    const QString where = QString("%1 (range %2)").arg(rows[r].source).arg(r + 1);
    plan.levelNotes << GainNote(rows[r].source, static_cast<int>(r), measured[r], gain, levels.truePeakDbtp);
    const std::optional<int> steps = GlobalGainSteps(measured[r], gain, levels.truePeakDbtp);
    if (!steps) {
      *reason = where + ": " + UncarriedGainReason("matching gain", gain.gainDb);
      return false;
    }
    plan.gainSteps[r] = *steps;
    if (*steps != 0) plan.frameCopyNotes << CarriedGainNote(where, *steps, gain.gainDb);
  }
  return true;
}

}  // namespace

std::optional<QString> UncopyableLevels(const level::LevelChoices& levels, std::size_t rows) {
  if (levels.crossfadeMs > 0 && rows > 1)
    return QString("its crossfades mix the ranges on both sides of each seam into one stretch, which copied frames "
                   "cannot hold");
  return std::nullopt;
}

std::optional<JoinCopyLevels> PlanJoinCopyLevels(const std::vector<JobRow>& rows, const level::LevelChoices& levels,
                                                 unsigned rate, int channels, IAudioFile2& reader,
                                                 const std::stop_token& stop, QString* reason) {
  if (const std::optional<QString> why = UncopyableLevels(levels, rows.size())) {
    *reason = *why;
    return std::nullopt;
  }
  JoinCopyLevels plan;
  plan.gainSteps.assign(rows.size(), 0);
  if (levels.match != level::MatchLoudness::Off) {
    bool stopped = false;
    try {
      if (!MatchedSteps(rows, levels, reader, stop, plan, reason, stopped)) return std::nullopt;
    } catch (const std::exception&) {
      return std::nullopt;
    }
  }
  // The joined file's frames: each range's start in it, its length and gain.
  std::vector<std::int64_t> starts, begins;
  std::vector<double> gains;
  std::int64_t total = 0;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    starts.push_back(total);
    begins.push_back(rows[r].begin);
    total += rows[r].Frames();
    gains.push_back(std::pow(10.0, plan.gainSteps[r] * mp3copy::kGlobalGainStepDb / 20.0));
  }
  const std::int64_t head = level::MsToFrames(std::max(levels.fadeInMs, levels.edgeFadeMs), rate);
  const std::int64_t tail = level::MsToFrames(std::max(levels.fadeOutMs, levels.edgeFadeMs), rate);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::int64_t length = rows[r].Frames();
    plan.reencodeHead.push_back(std::clamp<std::int64_t>(head - starts[r], 0, length));
    plan.reencodeTail.push_back(std::clamp<std::int64_t>(starts[r] + length - (total - tail), 0, length));
  }
  const level::OutputShape shape(total, level::MsToFrames(levels.fadeInMs, rate),
                                 level::MsToFrames(levels.fadeOutMs, rate), levels.fadeCurve,
                                 level::MsToFrames(levels.edgeFadeMs, rate), 1.0);
  const bool gained = std::any_of(plan.gainSteps.begin(), plan.gainSteps.end(), [](int s) { return s != 0; });
  if (!shape.Neutral() || gained) {
    // Every re-encoded sample gets what the copied frames carry: its range's
    // gain, and the fades of the joined file where they reach.
    plan.edgeLevel = [shape, starts, begins, gains, channels](int row, std::int64_t from, std::vector<float>& samples) {
      const auto r = static_cast<std::size_t>(row);
      level::ApplyGain(samples.data(), samples.size(), gains[r]);
      shape.Apply(samples.data(), channels, starts[r] + from - begins[r],
                  samples.size() / static_cast<std::size_t>(std::max(1, channels)));
    };
  }
  return plan;
}

}  // namespace snipwave
