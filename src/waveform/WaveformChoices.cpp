#include "waveform/WaveformChoices.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

namespace snipwave {

namespace {

QString Text(std::string_view value) { return QString::fromLatin1(value.data(), static_cast<int>(value.size())); }

}  // namespace

WaveformChoices ReadWaveformChoices(const SettingsStore& store) {
  using namespace settings;
  WaveformChoices choices;
  const QString follow =
      store.ReadString(section::kWaveform, key::kWaveformFollow, Text(key::kFollowPage)).trimmed().toLower();
  if (follow == Text(key::kFollowCentred)) choices.follow = FollowMode::Centred;
  else if (follow == Text(key::kFollowOff)) choices.follow = FollowMode::Off;
  choices.dbScale = store.ReadBool(section::kWaveform, key::kWaveformDbScale, false);
  return choices;
}

void WriteWaveformChoices(SettingsStore& store, const WaveformChoices& choices) {
  using namespace settings;
  const std::string_view follow = choices.follow == FollowMode::Centred ? key::kFollowCentred
                                  : choices.follow == FollowMode::Off   ? key::kFollowOff
                                                                        : key::kFollowPage;
  store.WriteString(section::kWaveform, key::kWaveformFollow, Text(follow));
  store.WriteBool(section::kWaveform, key::kWaveformDbScale, choices.dbScale);
}

}  // namespace snipwave
