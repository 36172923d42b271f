#include "convert/SilenceSettings.h"

#include "settings/SilenceValues.h"

namespace snipwave {

std::optional<SilenceRule> ReadSilenceRule(const SettingsStore& settings, QString& error) {
  const std::optional<SilenceValues> values = ReadSilenceValues(settings, error);
  if (!values) return std::nullopt;
  return SilenceRule{values->thresholdDb, values->minSeconds};
}

}  // namespace snipwave
