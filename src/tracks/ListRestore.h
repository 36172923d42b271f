#pragma once

#include <QStringList>

#include "components/audio/AudioInterfaces.h"
#include "tracks/ListFile.h"
#include "tracks/ListSnapshot.h"

namespace snipwave {

// The list of the window as a list document: every row's source, rate,
// length, marks, title and tags, and the selected row. The output choices are
// the caller's.
ListDocument ListDocumentOf(const MainState& state);

// The rows a document gives now: each source is probed once with `reader`
// (as adding files probes it); a row whose source is gone, cannot be read, or
// has another length or rate than the document says is left out, and its
// source named once in `leftOut` (in list order). The rows get their marks,
// title and tags from the document and their texts as if marked by hand.
struct ListRows {
  ListSnapshot snapshot;
  QStringList leftOut;
};
ListRows RowsOfDocument(IAudioFile2& reader, const ListDocument& list);

// The one message that names every source left out; empty for none.
QString LeftOutMessage(const QStringList& leftOut);

}  // namespace snipwave
