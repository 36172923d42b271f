#pragma once

#include <QString>
#include <cstdint>

#include "components/audio/AudioInterfaces.h"

namespace snipwave {

struct MainState;
class ISkinObject;

// The preview: plays the selected row's file from the place the position bar
// "pb" shows to the end of the file. The file is opened in the shared reader
// (state.AudioFileRead) and the player (state.AudioPlayer1) is fed buffers of
// kFeedFrames frames on its request; the bar and "time" follow the player's
// timer. The preview never stops at the end mark and never moves on to the
// next row.
//
// All operations run on the GUI thread and let every component error
// propagate to the application's exception hook. Refused commands are silent.
//
// Modes (state flags): idle; previewing (Playing); paused (Playing && Paused).
class PreviewPlayer {
 public:
  // Frames per buffer handed to the player: a tenth of a second at 44.1 kHz.
  static constexpr int kFeedFrames = 4410;
  // Status texts of the previewed row (its status cell).
  static inline const QString kStatusPlaying = QStringLiteral("Playing");
  static inline const QString kStatusPaused = QStringLiteral("pause");
  static inline const QString kStatusStopped = QStringLiteral("Stop");
  // The skin object whose drag moves the play position.
  static inline const QString kBarName = QStringLiteral("pb");

  explicit PreviewPlayer(MainState& state) : state_(state) {}
  PreviewPlayer(const PreviewPlayer&) = delete;
  PreviewPlayer& operator=(const PreviewPlayer&) = delete;

  // Routes the player's four events to the handlers below. Call once after
  // state.AudioPlayer1 is set; the events refer to this object, which must
  // outlive the player's use of them.
  void InstallPlayerEvents();
  AudioPlayerEvents PlayerEvents();

  // --- commands ---------------------------------------------------------------
  // "play", Play1: starts the preview of the selected row (row 0 when none is
  // selected) from the bar's value. Refused while previewing, converting or
  // adding, and on an empty list. When paused, the pause ends and the preview
  // starts afresh from the bar's value (reopening the file).
  void Play();
  // "stop", "playstop", Stop1, Stop2, the end of playback: when a preview
  // runs or is paused, closes the reader, halts the player, shows "Stop" in the
  // row, and puts the bar and "time" back to 0. (The window's stop command
  // also stops a running cut or join, through its job thread.)
  void Stop();
  // "pause": previewing -> paused (player halted, reader and bar kept);
  // paused -> previewing again from the bar's value. Refused when idle.
  void PauseToggle();

  // --- player events ----------------------------------------------------------
  void AudioPlayer1EndArrayPlay() { Feed(); }
  void AudioPlayer1RequestOnLoadArray() { Feed(); }
  // currentSamples: frames played since the player's Play.
  void AudioPlayer1Timer(std::int64_t currentSamples);
  // Playback ran out of data: the preview comes to rest as by stop.
  void AudioPlayer1EndPlay();

  // --- drag on the position bar (the skin's events; only "pb" counts) ---------
  void Skin1MouseDown(ISkinObject& source);
  void Skin1ScrollTrack(ISkinObject& source, int newPos);
  void Skin1MouseUp(ISkinObject& source);

  // Reads up to kFeedFrames frames from the reader and queues them on the
  // player; the buffer is released as soon as the player has taken it. At
  // the end of the file the (empty) buffer is queued like any other. Does
  // nothing unless this preview is running, so it never reads a closed
  // reader or one that another operation has opened.
  void Feed();

  // True between the start of playback and the moment this object halts the
  // player (stop, pause, a press on the bar, the end of playback).
  bool IsFeeding() const { return feeding_; }

 private:
  bool CanFeed() const;
  void HaltPlayer();
  void SetStatusOfPlayingRow(const QString& text);

  MainState& state_;
  bool feeding_ = false;
};

}  // namespace snipwave
