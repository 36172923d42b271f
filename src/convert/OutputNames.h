#pragma once

#include <QString>
#include <optional>

namespace snipwave {

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
std::optional<QString> FreeCutOutputPath(const QString& folder, const QString& sourcePath, const QString& extension);

// The join's output path: the folder of the save dialog's answer and its file
// name with the output extension ("/x/mix" and "/x/mix.wav" -> "/x/mix.mp3").
QString JoinOutputPath(const QString& chosenPath, const QString& extension);

// The folder part of a path, without a trailing separator.
QString FolderOf(const QString& path);

}  // namespace snipwave
