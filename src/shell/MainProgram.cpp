#include "shell/MainProgram.h"

#include "components/audio/TAudioFile2.h"
#include "components/audio/TAudioFile2LameEnc.h"
#include "components/audio/TAudioPlayer2.h"
#include "components/skin/TSkin.h"
#include "platform/DesktopLauncher.h"
#include "platform/HookedApplication.h"
#include "platform/QtDialogService.h"
#include "settings/Tfm_about.h"
#include "settings/Tfm_dir.h"
#include "settings/Tfm_set.h"

#include <QTimer>

namespace snipwave {

MainComponents MainProgram::RealComponents() {
  MainComponents components;
  components.AudioFileRead = std::make_unique<TAudioFile2>();
  components.AudioFileWrite = std::make_unique<TAudioFile2>();
  components.AudioFileCheck = std::make_unique<TAudioFile2>();
  components.AudioFileMarks = std::make_unique<TAudioFile2>();
  components.AudioFile2LameEnc = std::make_unique<TAudioFile2LameEnc>();
  components.AudioPlayer1 = std::make_unique<TAudioPlayer2>();
  components.Skin1 = std::make_unique<TSkin>();
  components.Dialogs = std::make_unique<QtDialogService>();
  components.Launcher = std::make_unique<DesktopLauncher>();
  components.MessagePump = std::make_unique<QtMessagePump>();
  return components;
}

MainProgram::MainProgram(MainComponents components) {
  QtDialogService* realDialogs = dynamic_cast<QtDialogService*>(components.Dialogs.get());
  fm_main_ = std::make_unique<Tfm_main>(std::move(components));
  Tfm_main& main = *fm_main_;
  fm_about_ = std::make_unique<Tfm_about>(main.Launcher(), &main);
  fm_dir_ = std::make_unique<Tfm_dir>(&main);
  fm_set_ = std::make_unique<Tfm_set>(main.State().SettingsFile, *main.State().AudioFileWrite, main.Dialogs(),
                                      &main);
  if (realDialogs) {
    realDialogs->SetParent(&main);
    realDialogs->SetFolderChooser(
        [this](const QString& caption, bool centre) { return fm_dir_->Choose(caption, centre); });
  }
  main.Commands().ShowSettings = [this] { fm_set_->ShowModal(); };
  main.Commands().ShowAbout = [this] { fm_about_->ShowModal(); };
}

MainProgram::~MainProgram() {
  // The dialogs are children of the main window; they go first.
  fm_set_.reset();
  fm_dir_.reset();
  fm_about_.reset();
  fm_main_.reset();
}

void MainProgram::InstallApplicationHooks(HookedApplication& app) {
  app.SetExceptionHook([this](const std::exception& e) { fm_main_->ApplicationEvents1Exception(e); });
  app.SetHelpKeyHook([this] { fm_main_->ApplicationEvents1HelpKey(); });
}

void NameTheApplication() {
  QApplication::setApplicationName(QStringLiteral("Snipwave"));
  // Not setApplicationDisplayName: the window system would append it to
  // every title ("Information — Snipwave").
  QGuiApplication::setDesktopFileName(QStringLiteral("snipwave"));
}

int RunProgram(int& argc, char** argv) {
  HookedApplication app(argc, argv);
  NameTheApplication();
  MainProgram program(MainProgram::RealComponents());
  program.InstallApplicationHooks(app);
  program.fm_main().show();
  // `snipwave FILE...`: the files join the list once the window is up.
  const QStringList paths = QCoreApplication::arguments().mid(1);
  if (!paths.isEmpty())
    QTimer::singleShot(0, &program.fm_main(), [&program, paths] { program.fm_main().AddFromCommandLine(paths); });
  const int status = app.exec();
  app.SetExceptionHook({});
  app.SetHelpKeyHook({});
  return status;
}

}  // namespace snipwave
