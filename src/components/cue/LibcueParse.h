#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <memory>

struct Cd;  // libcue's disc

namespace snipwave {

struct CdDeleter {
  void operator()(Cd* cd) const;
};
using CdPtr = std::unique_ptr<Cd, CdDeleter>;

struct LibcueParse {
  CdPtr cd;             // null: libcue refused the text
  QStringList messages; // what libcue printed while parsing, in its order
};

// libcue's parse of `utf8`. libcue keeps its parser's state in globals and
// reports on stderr, so calls are made one at a time, and while one runs
// stderr (the descriptor, which is the process's) goes into a file in memory:
// libcue's lines are returned, never printed, and any other line written
// there meanwhile (by another thread) is passed on to stderr afterwards.
LibcueParse ParseWithLibcue(const QByteArray& utf8);

// True for a line of the forms libcue prints: "N: message" from its parser,
// "bad character 'c'", "too many tracks", "too many indexes", its
// allocation failures, and the empty line its "too many files" leaves.
bool IsLibcueMessage(QByteArrayView line);

}  // namespace snipwave
