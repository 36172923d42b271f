#pragma once

#include <QString>
#include <QTemporaryDir>

namespace snipwave::test {

// A fresh folder removed with everything in it when the test ends.
class TempDir {
 public:
  TempDir() : dir_(QDir::tempPath() + "/snipwave-test-XXXXXX") {}
  QString path() const { return dir_.path(); }
  QString file(const QString& name) const { return dir_.filePath(name); }
  std::string fileStd(const QString& name) const { return file(name).toStdString(); }

 private:
  QTemporaryDir dir_;
};

}  // namespace snipwave::test
