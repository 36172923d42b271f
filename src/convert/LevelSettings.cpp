#include "convert/LevelSettings.h"

#include <cmath>

#include "level/FadeCurve.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

namespace snipwave {

namespace {

QString Utf8(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

class LevelReader {
 public:
  LevelReader(const SettingsStore& settings, QString& error) : settings_(settings), error_(error) {}

  bool Ms(std::string_view key, int& value) {
    const QString text = Text(key);
    if (text.isEmpty()) return true;
    bool ok = false;
    const int ms = text.toInt(&ok);
    if (!ok || ms < 0 || ms > level::kLongestFadeMs)
      return Bad(key, text, QString("a length in ms from 0 to %1").arg(level::kLongestFadeMs));
    value = ms;
    return true;
  }
  bool Number(std::string_view key, double low, double high, const char* wanted, double& value) {
    const QString text = Text(key);
    if (text.isEmpty()) return true;
    bool ok = false;
    const double number = text.toDouble(&ok);  // C locale: a point
    if (!ok || !std::isfinite(number) || number < low || number > high) return Bad(key, text, wanted);
    value = number;
    return true;
  }
  bool Curve(std::string_view key, level::FadeCurve& value) {
    const QString text = Text(key);
    if (text.isEmpty()) return true;
    const std::optional<level::FadeCurve> curve = level::CurveFromName(text.toLower().toStdString());
    if (!curve) return Bad(key, text, "linear, equal-power or log");
    value = *curve;
    return true;
  }
  bool Match(level::MatchLoudness& value) {
    const std::string_view key = settings::key::kMatchLoudness;
    const QString text = Text(key).toLower();
    if (text.isEmpty() || text == Utf8(settings::key::kMatchOff)) value = level::MatchLoudness::Off;
    else if (text == Utf8(settings::key::kMatchTarget)) value = level::MatchLoudness::Target;
    else if (text == Utf8(settings::key::kMatchFirst)) value = level::MatchLoudness::First;
    else return Bad(key, Text(key), "off, target or first");
    return true;
  }
  bool Flag(std::string_view key, bool& value) {
    const QString text = Text(key);
    if (text.isEmpty()) return true;
    if (text != "0" && text != "1") return Bad(key, text, "0 or 1");
    value = text == "1";
    return true;
  }

 private:
  QString Text(std::string_view key) const {
    return settings_.ReadString(settings::section::kLevel, key, QString()).trimmed();
  }
  bool Bad(std::string_view key, const QString& value, const QString& wanted) {
    error_ = QStringLiteral("[%1] %2=%3 in %4 is not %5. Correct it there, or remove it for the default.")
                 .arg(Utf8(settings::section::kLevel), Utf8(key), value, Utf8(settings::kFileName), wanted);
    return false;
  }
  const SettingsStore& settings_;
  QString& error_;
};

}  // namespace

std::optional<level::LevelChoices> ReadLevelChoices(const SettingsStore& settings, QString& error) {
  namespace k = settings::key;
  level::LevelChoices c;
  c.targetLufs = settings::kDefaultTargetLufs;
  c.truePeakDbtp = settings::kDefaultTruePeakDbtp;
  LevelReader r(settings, error);
  const bool ok =
      r.Ms(k::kFadeInMs, c.fadeInMs) && r.Ms(k::kFadeOutMs, c.fadeOutMs) && r.Curve(k::kFadeCurve, c.fadeCurve) &&
      r.Ms(k::kCrossfadeMs, c.crossfadeMs) && r.Curve(k::kCrossfadeCurve, c.crossfadeCurve) &&
      r.Ms(k::kEdgeFadeMs, c.edgeFadeMs) && r.Match(c.match) && r.Flag(k::kNormalise, c.normalise) &&
      r.Number(k::kTargetLufs, level::kLowestTargetLufs, level::kHighestTargetLufs,
               "a loudness in LUFS from -70 to 0 (for example -16)", c.targetLufs) &&
      r.Number(k::kTruePeakDbtp, level::kLowestCeilingDbtp, level::kHighestCeilingDbtp,
               "a true peak in dBTP from -30 to 0 (for example -1)", c.truePeakDbtp);
  if (!ok) return std::nullopt;
  return c;
}

}  // namespace snipwave
