#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>

#include "CaughtExceptions.h"
#include "FakeMainParts.h"
#include "ScriptedDialogs.h"
#include "ScriptedSilenceDialog.h"
#include "SkinClicker.h"
#include "TempDir.h"
#include "components/audio/TAudioFile2.h"
#include "components/audio/TAudioFile2LameEnc.h"
#include "components/audio/TAudioPlayer2.h"
#include "components/skin/SkinObject.h"
#include "components/skin/TSkin.h"
#include "platform/HookedApplication.h"
#include "platform/QtDialogService.h"
#include "shell/MainProgram.h"

namespace snipwave::test {

// The whole program on real components (codecs, SDL player on the dummy
// driver, skin engine, settings file in a private folder), with scripted
// dialogs and a recording launcher unless a test asks for the real dialogs.
class MainWindowFixture : public ::testing::Test {
 protected:
  struct Options {
    bool realDialogs = false;
    std::unique_ptr<IAudioPlayer2> player;  // the real SDL player when empty
    std::unique_ptr<ISkin> skin;            // the real engine on the shipped skin when empty
  };

  void SetUp() override { Start(Options{}); }

  void Start(Options options) {
    qputenv("SNIPWAVE_CONFIG_DIR", configDir.path().toUtf8());
    CaughtExceptions().clear();
    MainComponents components;
    components.AudioFileRead = std::make_unique<TAudioFile2>();
    components.AudioFileWrite = std::make_unique<TAudioFile2>();
    components.AudioFile2LameEnc = std::make_unique<TAudioFile2LameEnc>();
    components.AudioPlayer1 = options.player ? std::move(options.player) : std::make_unique<TAudioPlayer2>();
    components.Skin1 = options.skin ? std::move(options.skin) : std::make_unique<TSkin>();
    if (options.realDialogs) {
      components.Dialogs = std::make_unique<QtDialogService>();
    } else {
      auto scripted = std::make_unique<ScriptedDialogs>();
      dialogs = scripted.get();
      components.Dialogs = std::move(scripted);
      auto silence = std::make_unique<ScriptedSilenceSplitDialog>();
      silenceDialog = silence.get();
      components.SilenceSplitDialog = std::move(silence);
    }
    auto recording = std::make_unique<RecordingLauncher>();
    launcher = recording.get();
    components.Launcher = std::move(recording);
    components.MessagePump = std::make_unique<QtMessagePump>();
    program = std::make_unique<MainProgram>(std::move(components));
    program->InstallApplicationHooks(*HookedApplication::Instance());
    window().show();
    QApplication::processEvents();
  }

  void TearDown() override {
    InstallRecordingExceptionHook();
    program.reset();
    qunsetenv("SNIPWAVE_CONFIG_DIR");
  }

  Tfm_main& window() { return program->fm_main(); }
  MainState& state() { return window().State(); }
  void Click(const QString& name) { ClickSkinObject(window().Skin1(), &window(), name); }
  // Jobs run on their own thread: waits for the one started to end.
  void WaitForJob() { ASSERT_TRUE(QTest::qWaitFor([&] { return !state().Converting; }, 120000)); }
  void TriggerMenuItem(const QString& name) {
    QAction* action = window().FindMenuItem(name);
    ASSERT_NE(action, nullptr) << name.toStdString();
    action->trigger();
  }
  // What the skin shows for a bound object (after its last Redraw).
  static const skin::ObjectState& Shown(const SkinBinding& binding) {
    return dynamic_cast<skin::SkinObject*>(binding.object)->Shown();
  }

  TempDir configDir;
  ScriptedDialogs* dialogs = nullptr;
  ScriptedSilenceSplitDialog* silenceDialog = nullptr;
  RecordingLauncher* launcher = nullptr;
  std::unique_ptr<MainProgram> program;
};

}  // namespace snipwave::test
