#pragma once

#include "Launcher.h"

namespace snipwave {

// Opens through QDesktopServices (xdg-open and friends), which returns at once.
class DesktopLauncher final : public ILauncher {
 public:
  bool OpenFolder(const QString& folder) override;
  void OpenUrl(const QString& url) override;
  void OpenHelpFile(const QString& path) override;
};

}  // namespace snipwave
