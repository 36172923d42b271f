#pragma once

#include <QObject>
#include <QString>
#include <cstddef>
#include <list>
#include <memory>

#include "components/audio/ScanCache.h"
#include "waveform/PeakScanner.h"

namespace snipwave {

// The peaks of the files shown during this run, one background scan per
// file version (the audio reader's FileIdentity: a changed file is scanned
// afresh). Bounded: beyond kMaxFiles files or kMaxBytes of peaks the least
// recently asked for is dropped (its scan cancelled if still running).
class PeakCache final : public QObject {
  Q_OBJECT

 public:
  static constexpr std::size_t kMaxFiles = 8;
  static constexpr std::size_t kMaxBytes = 160u << 20;

  explicit PeakCache(QObject* parent = nullptr) : QObject(parent) {}

  // The scan of the file, started when it is not cached; nullptr when the
  // file cannot be examined. Its Changed() is forwarded as PeaksChanged().
  PeakScanner* Scan(const QString& path);
  std::size_t Files() const { return entries_.size(); }

 signals:
  void PeaksChanged();

 private:
  struct Entry {
    audio::FileIdentity id;
    std::unique_ptr<PeakScanner> scanner;
  };
  void Trim();

  std::list<Entry> entries_;  // most recently asked for first
};

}  // namespace snipwave
