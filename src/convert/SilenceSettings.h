#pragma once

#include <QString>
#include <optional>

#include "convert/SilenceSplit.h"

namespace snipwave {

class SettingsStore;

// What "Split at silences" takes for a silence: [Silence] "ThresholdDb" and
// "MinSeconds" of the settings file, each its default when missing. A value
// that is no number in range (a level above 0 dBFS, a length of 0 seconds or
// less) gives nullopt and the message that names it in `error`.
std::optional<SilenceRule> ReadSilenceRule(const SettingsStore& settings, QString& error);

}  // namespace snipwave
