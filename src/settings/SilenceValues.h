#pragma once

#include <QString>
#include <optional>

#include "settings/SettingsKeys.h"

namespace snipwave {

class SettingsStore;

// What "Split at silences" takes for a silence, as the settings file keeps
// it: [Silence] "ThresholdDb" (dBFS, -200 to 0) and "MinSeconds" (seconds,
// above 0, at most a day), decimal numbers with a point.
struct SilenceValues {
  double thresholdDb = settings::kDefaultSilenceThresholdDb;
  double minSeconds = settings::kDefaultSilenceMinSeconds;
  bool operator==(const SilenceValues&) const = default;
};

inline constexpr double kLowestSilenceThresholdDb = -200.0;  // below it a level means nothing for 24-bit audio
inline constexpr double kHighestSilenceThresholdDb = 0.0;
inline constexpr double kLongestSilenceSeconds = 24.0 * 3600.0;

// Each key, its default when missing or blank. A value that is no number in
// range gives nullopt and the message that names it in `error`.
std::optional<SilenceValues> ReadSilenceValues(const SettingsStore& settings, QString& error);

// Writes both keys (shortest text that reads back as the same number).
// Throws as the store's writes do.
void WriteSilenceValues(SettingsStore& settings, const SilenceValues& values);

}  // namespace snipwave
