// List files of any content: the reader gives a list within its limits or
// refuses it with snipwave::Error, and a list it gives is written and read
// back the same.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "platform/Error.h"
#include "state/Timerec.h"
#include "tracks/ListFile.h"

using namespace snipwave;
using fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QString listPath = QStringLiteral("/lists/fuzz.json");
  ListDocument list;
  try {
    list = ParseListFile(bytes, listPath);
  } catch (const Error&) {
    return 0;
  }
  Require(list.rows.size() <= static_cast<std::size_t>(kTrackTableSize));
  Require(list.selected >= -1 && list.selected < static_cast<int>(list.rows.size()));
  for (const ListFileRow& row : list.rows) {
    Require(row.rate > 0 && row.rate <= kMaxListRate);
    Require(0 <= row.begin && row.begin <= row.end && row.end <= row.length);
    Require(row.title.size() <= kMaxListText);
  }
  Require(ParseListFile(ListFileText(list, listPath), listPath) == list);
  return 0;
}
