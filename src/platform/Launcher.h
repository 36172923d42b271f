#pragma once

#include <QString>

namespace snipwave {

// Hands a folder, a web address or the help file to the desktop's opener.
// Never blocks and never reports: whether the desktop could open it is not the
// program's concern.
class ILauncher {
 public:
  virtual ~ILauncher() = default;
  virtual void OpenFolder(const QString& folder) = 0;
  virtual void OpenUrl(const QString& url) = 0;
  virtual void OpenHelpFile(const QString& path) = 0;
};

}  // namespace snipwave
