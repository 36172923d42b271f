#include "waveform/PeakCache.h"

#include <QFile>

namespace snipwave {

PeakScanner* PeakCache::Scan(const QString& path) {
  const std::optional<audio::FileIdentity> id = audio::IdentifyFile(QFile::encodeName(path).toStdString());
  if (!id) return nullptr;
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->id == *id) {
      entries_.splice(entries_.begin(), entries_, it);
      return entries_.front().scanner.get();
    }
  }
  auto scanner = std::make_unique<PeakScanner>(path);
  connect(scanner.get(), &PeakScanner::Changed, this, &PeakCache::PeaksChanged);
  scanner->Start();
  entries_.push_front(Entry{*id, std::move(scanner)});
  Trim();
  return entries_.front().scanner.get();
}

void PeakCache::Trim() {
  std::size_t bytes = 0;
  std::size_t kept = 0;
  for (auto it = entries_.begin(); it != entries_.end();) {
    const auto peaks = it->scanner->Peaks();
    const std::size_t size = peaks ? peaks->Bytes() : 0;
    // The newest entry always stays: it is the one being shown.
    if (kept > 0 && (kept >= kMaxFiles || bytes + size > kMaxBytes)) {
      it = entries_.erase(it);
      continue;
    }
    bytes += size;
    ++kept;
    ++it;
  }
}

}  // namespace snipwave
