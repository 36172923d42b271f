#pragma once

#include <QString>

namespace snipwave {

// An output file written under a temporary name and given its final name only
// when it is complete, so that no reader ever finds a half-written file under
// the final name, and an existing file is replaced only by a finished one.
//
// The temporary file is created empty (exclusively, with the permissions a
// new file gets) in the folder of the final name, hidden, and keeps the final
// extension, since writers choose the type by it:
//   /music/Cut_song.mp3  ->  /music/.Cut_song.snipwave-k3Xq9Z.mp3
// The stem is shortened where the temporary name would be longer than the
// file system takes: every final name that fits has a temporary name that fits.
// Until Commit succeeds, the destructor removes the temporary file, also
// when the writer still has it open (it then writes into a file nobody sees).
class PendingOutputFile {
 public:
  // Throws snipwave::Error naming `finalPath` when no temporary file can be
  // made there (missing folder, a file where the folder should be, ...) or
  // when its name is longer than the file system takes.
  explicit PendingOutputFile(QString finalPath);
  ~PendingOutputFile();
  PendingOutputFile(const PendingOutputFile&) = delete;
  PendingOutputFile& operator=(const PendingOutputFile&) = delete;

  const QString& TemporaryPath() const { return temporary_; }
  const QString& FinalPath() const { return final_; }

  // Gives the finished file its final name, which must not exist: a file of
  // that name that appeared meanwhile is never replaced. False in that case
  // (the temporary file stays, for RetargetTo and another try); throws
  // snipwave::Error on any other failure.
  bool CommitAsNew();
  // Gives the finished file its final name, replacing a file of that name in
  // one step (the old file stays whole until then). Throws snipwave::Error.
  void CommitReplacing();
  // Another final name in the same folder (after CommitAsNew said it was taken).
  void RetargetTo(QString finalPath) { final_ = std::move(finalPath); }
  bool Committed() const { return committed_; }

 private:
  void Flush() const;

  QString final_;
  QString temporary_;
  bool committed_ = false;
};

}  // namespace snipwave
