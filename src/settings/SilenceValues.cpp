#include "settings/SilenceValues.h"

#include <cmath>

#include "settings/SettingsStore.h"

namespace snipwave {

namespace {

QString Latin1(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

QString BadValueMessage(std::string_view key, const QString& value, const char* wanted) {
  return QStringLiteral("[%1] %2=%3 in %4 is not %5. Correct it there, or remove it for the default.")
      .arg(Latin1(settings::section::kSilence), Latin1(key), value, Latin1(settings::kFileName),
           QString::fromLatin1(wanted));
}

// The number a key holds, its default when missing or blank; nullopt when it
// is no number in [low, high] (`aboveLow`: low itself excluded).
std::optional<double> ReadNumber(const SettingsStore& settings, std::string_view key, double defaultValue,
                                 double low, double high, bool aboveLow, const char* wanted, QString& error) {
  const QString text = settings.ReadString(settings::section::kSilence, key, QString()).trimmed();
  if (text.isEmpty()) return defaultValue;
  bool ok = false;
  const double value = text.toDouble(&ok);  // C locale: a point, whatever the desktop's language
  if (!ok || !std::isfinite(value) || value > high || value < low || (aboveLow && value == low)) {
    error = BadValueMessage(key, text, wanted);
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<SilenceValues> ReadSilenceValues(const SettingsStore& settings, QString& error) {
  SilenceValues values;
  const std::optional<double> level =
      ReadNumber(settings, settings::key::kSilenceThresholdDb, values.thresholdDb, kLowestSilenceThresholdDb,
                 kHighestSilenceThresholdDb, false, "a level in dBFS from -200 to 0 (for example -50)", error);
  if (!level) return std::nullopt;
  const std::optional<double> length =
      ReadNumber(settings, settings::key::kSilenceMinSeconds, values.minSeconds, 0.0, kLongestSilenceSeconds, true,
                 "a length in seconds above 0 (for example 0.5)", error);
  if (!length) return std::nullopt;
  values.thresholdDb = *level;
  values.minSeconds = *length;
  return values;
}

void WriteSilenceValues(SettingsStore& settings, const SilenceValues& values) {
  // 'g' with 15 digits: "-50", "0.5", never an exponent for these ranges.
  settings.WriteString(settings::section::kSilence, settings::key::kSilenceThresholdDb,
                       QString::number(values.thresholdDb, 'g', 15));
  settings.WriteString(settings::section::kSilence, settings::key::kSilenceMinSeconds,
                       QString::number(values.minSeconds, 'g', 15));
}

}  // namespace snipwave
