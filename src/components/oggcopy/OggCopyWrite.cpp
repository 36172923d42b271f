#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "LinkPlan.h"
#include "OggCopy.h"
#include "OggPageWriter.h"
#include "OggStream.h"
#include "platform/Error.h"

namespace snipwave::oggcopy {

namespace {

constexpr const char* kWrite = "Cannot write";
constexpr std::size_t kPacketsBetweenChecks = 32;
constexpr std::uint32_t kOpusHeaderPages = 2;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

struct Link {
  const OggCopySource* source = nullptr;
  LinkPlan plan;
  std::int64_t frames = 0;  // reader frames of the range
};

std::vector<Link> PlanLinks(const std::vector<CopyRange>& ranges, const std::string& path) {
  if (ranges.empty()) throw Error::Failed(kWrite, path, "there is no range to copy");
  std::vector<Link> links;
  for (const CopyRange& r : ranges) {
    if (!r.source) throw Error::Failed(kWrite, path, "a range has no source");
    const std::string source = r.source->Path().toStdString();
    if (!r.source->SameSetup(*ranges.front().source)) {
      throw Error::Failed(kWrite, path, "\"" + source + "\" is encoded unlike the first source, so its packets cannot follow");
    }
    std::string why;
    const std::optional<LinkPlan> plan = PlanLink(r.source->Stream(), r.begin, r.end, &why);
    if (!plan) throw Error::Failed(kWrite, path, "frames " + std::to_string(r.begin) + " to " + std::to_string(r.end) +
                                                     " of \"" + source + "\" cannot be copied: " + why);
    links.push_back({r.source, *plan, r.end - r.begin});
  }
  return links;
}

void WriteHeaders(OggPageWriter& w, const OggStream& s, const LinkPlan& plan) {
  if (s.codec == Codec::kVorbis) {
    // The identification header alone on the first page, the comment and
    // setup headers on the next, audio from a fresh page.
    w.Add(s.headers[0].data(), s.headers[0].size(), 0);
    w.ClosePage();
    w.Add(s.headers[1].data(), s.headers[1].size(), 0);
    w.Add(s.headers[2].data(), s.headers[2].size(), 0, false);
    w.ClosePage();
    return;
  }
  std::vector<std::uint8_t> head = s.headers[0];
  head[10] = static_cast<std::uint8_t>(plan.preSkip & 0xFF);
  head[11] = static_cast<std::uint8_t>(plan.preSkip >> 8);
  w.Add(head.data(), head.size(), 0);
  w.ClosePage();
  w.Add(s.headers[1].data(), s.headers[1].size(), 0);
  w.ClosePage();
}

}  // namespace

CopyOutcome WriteOggCopy(const std::vector<CopyRange>& ranges, const QString& outputPath,
                         const std::function<bool(double)>& keepGoing) {
  const std::string path = outputPath.toStdString();
  const std::vector<Link> links = PlanLinks(ranges, path);
  std::int64_t total = 0;
  for (const Link& l : links) total += l.frames;

  errno = 0;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(QFile::encodeName(outputPath).constData(), "wb"));
  if (!file) throw Error::Failed(kWrite, path, std::strerror(errno ? errno : EIO));

  CopyOutcome outcome;
  std::set<std::uint32_t> serials;
  std::int64_t done = 0;
  bool stopped = false;
  std::vector<std::uint8_t> packet;
  for (const Link& link : links) {
    const OggStream& s = link.source->Stream();
    const LinkPlan& plan = link.plan;
    std::uint32_t serial = 0;
    do serial = QRandomGenerator::global()->generate();
    while (!serials.insert(serial).second);
    OggPageWriter w(file.get(), path, serial);
    WriteHeaders(w, s, plan);
    const bool vorbis = s.codec == Codec::kVorbis;
    const std::int64_t from = plan.base + plan.preSkip;  // timeline frame of the range's start
    for (std::size_t k = plan.first; k <= plan.last; ++k) {
      const AudioPacket& p = s.packets[k];
      if (!ReadPacket(s.file.get(), s.pieces, p.firstPiece, p.pieceCount, &packet)) {
        throw Error::Failed("Cannot read", link.source->Path().toStdString(), "the file has become shorter");
      }
      const bool secondOfFirstPage = vorbis && k == plan.first + 1;
      // FFmpeg trims an Opus stream's end only on a page after the first
      // audio page: the last packet gets a page of its own when it would
      // share the only one.
      if (!vorbis && k == plan.last && k > plan.first && w.PagesWritten() == kOpusHeaderPages) w.ClosePage();
      w.Add(packet.data(), packet.size(), p.End() - plan.base, !secondOfFirstPage);
      ++outcome.packetsCopied;
      if (k >= plan.inFirst && k <= plan.inLast) ++outcome.packetsInRanges;
      if (k == plan.last) {
        w.Finish(plan.finalGranule);
        break;
      }
      if (secondOfFirstPage && plan.firstPageOfTwo) w.ClosePage();
      // A stop ends the link after this packet: never inside the first page
      // (Vorbis) nor inside the pre-skip (Opus).
      const bool mayStop = vorbis ? k > plan.inFirst : k >= plan.inFirst;
      if (mayStop && (k - plan.first) % kPacketsBetweenChecks == 0 && keepGoing) {
        const std::int64_t linkDone = std::min(p.End(), from + link.frames) - from;
        if (!keepGoing(static_cast<double>(done + linkDone) / static_cast<double>(total))) {
          w.Finish(p.End() - plan.base);
          outcome.decodedFrames += linkDone;
          stopped = true;
          break;
        }
      }
    }
    if (stopped) break;
    done += link.frames;
    outcome.decodedFrames += link.frames;
    if (keepGoing && &link != &links.back() && !keepGoing(static_cast<double>(done) / static_cast<double>(total))) break;
  }
  errno = 0;
  if (std::fflush(file.get()) != 0 || std::fclose(file.release()) != 0) {
    throw Error::Failed(kWrite, path, std::strerror(errno ? errno : EIO));
  }
  return outcome;
}

}  // namespace snipwave::oggcopy
