#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

#include "components/tags/TagSet.h"

namespace snipwave {

// A list as a list file holds it (docs/list-format.md): JSON of the form
// {"format":"snipwave-list","version":1,"rows":[...],...}. Frames are sample
// frames of the source at `rate`; `length` is the whole source's length when
// the list was written, so a source that changed since can be told apart.
struct ListFileRow {
  QString path;  // absolute once read
  std::int32_t rate = 0;
  std::int64_t length = 0;
  std::int64_t begin = 0;
  std::int64_t end = 0;  // exclusive; begin <= end <= length
  QString title;
  TagSet tags;  // the text fields; pictures stay with the sources
  bool operator==(const ListFileRow&) const = default;
};

struct ListDocument {
  std::vector<ListFileRow> rows;
  int selected = -1;      // row selected when written, -1: none
  int format = -1;        // index in the output format list, -1: not given
  QString outputFolder;   // empty: not given
  bool operator==(const ListDocument&) const = default;
};

inline constexpr const char* kListFormatName = "snipwave-list";
inline constexpr int kListFormatVersion = 1;
// Larger files are refused before they are read.
inline constexpr std::int64_t kMaxListFileBytes = 10 * 1024 * 1024;
// The highest sample rate a row may give, in Hz.
inline constexpr std::int32_t kMaxListRate = 1'536'000;
// Longest title or tag value taken, in characters.
inline constexpr int kMaxListText = 4096;

// The JSON text of `list` as written to `listFilePath`: a source in the list
// file's folder or below it is named relative to that folder (with '/'), any
// other by its absolute path.
QByteArray ListFileText(const ListDocument& list, const QString& listFilePath);

// Reads the text of a list file that lies at `listFilePath` (relative paths
// resolve against its folder). Anything that is not a list of this version
// within the limits (rows <= the track table, begin <= end <= length, rates
// 1..kMaxListRate, texts <= kMaxListText) throws snipwave::Error naming the
// file and what is wrong, e.g. "The list file \"/a/b.json\" cannot be used:
// row 3: \"end\" lies past \"length\".".
ListDocument ParseListFile(const QByteArray& text, const QString& listFilePath);

// ParseListFile of the file at `path`, refused above kMaxListFileBytes and
// when it is not a regular file (a named pipe is never opened: it would wait
// for a writer).
ListDocument ReadListFile(const QString& path);

// Writes the list atomically (a temporary file renamed over the old one);
// throws snipwave::Error naming the file and the system's reason when it cannot.
void WriteListFile(const QString& path, const ListDocument& list);

}  // namespace snipwave
