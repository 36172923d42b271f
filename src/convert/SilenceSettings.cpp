#include "convert/SilenceSettings.h"

#include <cmath>

#include "settings/SettingsStore.h"

namespace snipwave {

namespace {

// Below this a level means nothing for 16- or 24-bit audio; above this
// length a silence would be longer than any recording.
constexpr double kLowestLevelDb = -200.0;
constexpr double kLongestSeconds = 24.0 * 3600.0;

QString BadValueMessage(std::string_view key, const QString& value, const char* wanted) {
  return QStringLiteral("[%1] %2=%3 in %4 is not %5. Correct it there, or remove it for the default.")
      .arg(QString::fromUtf8(settings::section::kSilence.data(), qsizetype(settings::section::kSilence.size())),
           QString::fromUtf8(key.data(), qsizetype(key.size())), value,
           QString::fromUtf8(settings::kFileName.data(), qsizetype(settings::kFileName.size())),
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

std::optional<SilenceRule> ReadSilenceRule(const SettingsStore& settings, QString& error) {
  SilenceRule rule;
  const std::optional<double> level =
      ReadNumber(settings, settings::key::kSilenceThresholdDb, rule.thresholdDb, kLowestLevelDb, 0.0, false,
                 "a level in dBFS from -200 to 0 (for example -50)", error);
  if (!level) return std::nullopt;
  const std::optional<double> length =
      ReadNumber(settings, settings::key::kSilenceMinSeconds, rule.minSeconds, 0.0, kLongestSeconds, true,
                 "a length in seconds above 0 (for example 0.5)", error);
  if (!length) return std::nullopt;
  rule.thresholdDb = *level;
  rule.minSeconds = *length;
  return rule;
}

}  // namespace snipwave
