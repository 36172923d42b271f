#pragma once

#include <QString>

namespace snipwave {

// Hands a folder, a web address or the help file to the desktop's opener.
// Never blocks. OpenFolder says whether the desktop took the folder (false:
// no opener is set up, or it refused), so a job's end can say so.
class ILauncher {
 public:
  virtual ~ILauncher() = default;
  virtual bool OpenFolder(const QString& folder) = 0;
  virtual void OpenUrl(const QString& url) = 0;
  virtual void OpenHelpFile(const QString& path) = 0;
};

}  // namespace snipwave
