#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace snipwave {

// Small file-system questions the operations ask. Paths are native paths,
// carried as FileNames.h describes (any bytes the system allows).
bool FileExists(const QString& path);    // a regular file (or a link to one)
bool FolderExists(const QString& path);  // a directory
bool PathExists(const QString& path);    // anything at all (links followed)
// Why `path` cannot be read as an audio file without opening it: nothing when
// it is a regular file (or a link to one); else a sentence naming the path
// and what it is ("... is a named pipe, not a file."). Never blocks: a pipe
// or a device is recognised by its type, not by opening it.
std::optional<QString> NotARegularFile(const QString& path);
// Opens a regular file (or a link to one) for reading without ever blocking:
// its kind is looked at before it is opened and again once it is open. The
// descriptor, which the caller closes; or -1 with `why` saying what is wrong
// ("it is a named pipe, not a regular file", or the system's reason).
int OpenRegularFileForReading(const QString& path, QString& why);
// True when both paths exist and are the same file: the same device and
// inode, whatever links (hard or symbolic) lead to it.
bool SameFile(const QString& a, const QString& b);
// Creates the last level of the path only; true when the folder exists afterwards.
bool CreateFolderOneLevel(const QString& path);
// Gives the owner write permission (the "reset attributes" before replacing).
void MakeWritable(const QString& path);
// Size in bytes of a regular file; nothing when it cannot be read or is not a
// regular file (checked before and after opening, so a pipe never blocks).
std::optional<std::int64_t> FileSizeBytes(const QString& path);
// Names directly in the folder (files, folders, hidden ones too), without "." and "..",
// in natural, case-insensitive name order ("track 2" before "track 10", "a" before "B"),
// so that an album's files list as a file manager shows them. Empty when the
// folder cannot be listed.
QStringList ListFolderEntries(const QString& folder);
// A path as Qt's own file dialogs give it, where every byte of a name that is
// not UTF-8 has become U+FFFD, matched back to the file it stands for (each
// level compared with the folder's real entries). Unchanged when it names a
// file as it is, or when no single entry matches.
QString ResolveQtFileName(const QString& path);
// The native separator, and the folder with one appended when it does not end in one.
QChar NativeSeparator();
QString WithTrailingSeparator(const QString& folder);

// Replaces the whole content of a file so that a crash, a full disk or any
// write error never leaves a half-written file: the data goes to a temporary
// file in the same folder, is flushed to disk, and is renamed over the target.
// The temporary file is named after the target: "<path>.XXXXXX" (six
// letters or digits). On failure the old file is untouched, the temporary one
// removed, `why` (when given) gets the system's reason, and it returns false.
bool ReplaceFileAtomically(const QString& path, const std::string& content, QString* why = nullptr);
// Removes what a ReplaceFileAtomically of `path` cut short (a kill, a power
// cut) left beside it: regular files named exactly "<path>.XXXXXX" whose last
// change lies at least `minimumAgeSeconds` back; a younger one may be another
// running program's write in progress. Links and folders of that name stay.
// Returns how many were removed.
int RemoveStaleReplacements(const QString& path, std::int64_t minimumAgeSeconds);

}  // namespace snipwave
