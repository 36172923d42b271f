#pragma once

namespace snipwave {

class SettingsStore;

// How the view follows the play line while a track plays: the next page
// when the line leaves the view, the line kept in the middle, or not at all.
enum class FollowMode { Page, Centred, Off };

// The waveform view's choices that outlast a run, kept in the settings
// file's [Waveform] section.
struct WaveformChoices {
  FollowMode follow = FollowMode::Page;
  bool dbScale = false;
  bool operator==(const WaveformChoices&) const = default;
};

// Unknown or missing values read as the defaults above.
WaveformChoices ReadWaveformChoices(const SettingsStore& store);
// Throws the store's error when the file cannot be written.
void WriteWaveformChoices(SettingsStore& store, const WaveformChoices& choices);

}  // namespace snipwave
