#pragma once

#include <QSet>
#include <QString>
#include <optional>

namespace snipwave {

class PendingOutputFile;

// The name with everything from its last "." on replaced by `extension`
// (".mp3"); a name without "." gets the extension appended.
// "song.wma" -> "song.mp3", "mix" -> "mix.mp3", "a.b.wav" -> "a.b.mp3".
QString ReplaceExtension(const QString& fileName, const QString& extension);

// Highest k of the "Cut(k)_" names tried after the plain "Cut_" name.
inline constexpr int kMaxCutNameNumber = 100;

// The cut's output path for a source: `folder` (ending in a separator) +
// "Cut_" + the source's file name with the output extension; when that file
// exists, the first of "Cut(1)_" ... "Cut(100)_" that does not. Nothing when
// all 101 names are taken: no name outside the scheme is ever used.
// Paths in `reserved` count as taken too (names promised to earlier rows of a
// job whose files are not written yet).
std::optional<QString> FreeCutOutputPath(const QString& folder, const QString& sourcePath, const QString& extension,
                                         const QSet<QString>& reserved = {});

// The k-th name tried after `plainName` (k = 1 ... 100) when it is taken:
// "Cut_x" -> "Cut(k)_x"; any other name gets "Cut(k)_" in front ("01 a.mp3"
// -> "Cut(k)_01 a.mp3").
QString AlternativeCutName(const QString& plainName, int k);

// FreeCutOutputPath for a name made by a template: `folder` + `plainName`,
// or the first free of its alternatives; nothing when all 101 are taken.
std::optional<QString> FreeOutputPath(const QString& folder, const QString& plainName,
                                      const QSet<QString>& reserved = {});

// "No free output name is left for <source>: Cut_ and Cut(1)_ to Cut(100)_ all
// exist in the output folder."
QString NoFreeCutNameMessage(const QString& sourcePath);
// The same for a row whose plain name is `plainName` (the message above for
// a "Cut_" name).
QString NoFreeNameMessage(const QString& sourcePath, const QString& plainName);

// Gives a finished cut output a free name of the cut's scheme: the one chosen,
// or, when a file of that name appeared while the row was written, the next
// free one of `plainName`'s. False (the output is dropped) when no name is left.
bool CommitCutOutput(PendingOutputFile& output, const QString& folder, const QString& plainName);

// The join's output path: the folder of the save dialog's answer and its file
// name with the output extension ("/x/mix" and "/x/mix.wav" -> "/x/mix.mp3").
QString JoinOutputPath(const QString& chosenPath, const QString& extension);

// The folder part of a path, without a trailing separator.
QString FolderOf(const QString& path);

}  // namespace snipwave
