#include "convert/PacketCopy.h"

#include <algorithm>

#include "components/flaccopy/FlacCopy.h"
#include "components/mp4copy/Mp4Copy.h"
#include "components/oggcopy/OggCopy.h"
#include "platform/Error.h"
#include "platform/FileNames.h"
#include "settings/SettingsKeys.h"

namespace snipwave {

namespace {

QString ChannelText(int channels) {
  return channels == 1 ? "mono" : channels == 2 ? "stereo" : QString("%1 channels").arg(channels);
}

QString FormatText(const StreamFormat& f) {
  QString text = QString("%1 Hz, %2").arg(f.rate).arg(ChannelText(f.channels));
  if (f.bits > 0) text += QString(", %1 bits").arg(f.bits);
  return text;
}

// One component's source behind the engine's interface.
template <typename Source>
class SourceOf : public PacketSource {
 public:
  SourceOf(OutputType type, std::unique_ptr<Source> source) : PacketSource(type), source_(std::move(source)) {}
  const QString& Path() const override { return source_->Path(); }
  std::int64_t Length() const override { return source_->Length(); }
  StreamFormat Format() const override;
  bool SameSetup(const PacketSource& other) const override {
    const auto* same = dynamic_cast<const SourceOf*>(&other);
    return same && same->Type() == Type() && source_->SameSetup(*same->source_);
  }
  bool CanCopy(std::int64_t begin, std::int64_t end, QString* reason) const override;
  const Source& Own() const { return *source_; }

 private:
  std::unique_ptr<Source> source_;
};

template <>
StreamFormat SourceOf<oggcopy::OggCopySource>::Format() const {
  return {source_->SampleRate(), source_->Channels(), 0};
}
template <>
bool SourceOf<oggcopy::OggCopySource>::CanCopy(std::int64_t begin, std::int64_t end, QString* reason) const {
  return source_->CanCopy(begin, end, reason);
}

template <>
StreamFormat SourceOf<mp4copy::Mp4CopySource>::Format() const {
  return {source_->SampleRate(), source_->Channels(), 0};
}
template <>
bool SourceOf<mp4copy::Mp4CopySource>::CanCopy(std::int64_t, std::int64_t, QString*) const {
  return true;  // every range of one source can be edited exactly
}

template <>
StreamFormat SourceOf<flaccopy::FlacCopySource>::Format() const {
  return {source_->SampleRate(), source_->Channels(), source_->BitsPerSample()};
}
template <>
bool SourceOf<flaccopy::FlacCopySource>::CanCopy(std::int64_t, std::int64_t, QString*) const {
  return true;  // the edges' part frames are re-encoded
}

// The component's ranges for the engine's (all of one component: Open made them).
template <typename Range, typename Source>
std::vector<Range> RangesOf(const std::vector<PacketRange>& ranges) {
  std::vector<Range> own;
  for (const PacketRange& r : ranges)
    own.push_back({&static_cast<const SourceOf<Source>*>(r.source)->Own(), r.begin, r.end});
  return own;
}

// The packets in the ranges copied: an MP4 copy also copies the packet ahead
// of each range, which its edit list trims away and which is not counted.
template <typename Outcome>
PacketOutcome OutcomeOf(const Outcome& o) {
  PacketOutcome outcome{o.decodedFrames, o.packetsInRanges, std::min(o.packetsCopied, o.packetsInRanges)};
  if constexpr (requires { o.damaged; }) outcome.damaged = o.damaged;
  return outcome;
}

}  // namespace

PacketSource::~PacketSource() = default;

bool PacketSource::CanCopy(std::int64_t, std::int64_t, QString*) const { return true; }

bool CopiesPackets(OutputType type) { return type != OutputType::Alac && !PacketCopySection(type).empty(); }

std::string_view PacketCopySection(OutputType type) {
  switch (type) {
    case OutputType::Ogg: return settings::section::kOgg;
    case OutputType::Opus: return settings::section::kOpus;
    case OutputType::M4a: return settings::section::kM4a;
    case OutputType::Flac: return settings::section::kFlac;
    case OutputType::Alac: return settings::section::kAlac;
    default: return {};
  }
}

StreamFormat WrittenFormat(const OutputConfiguration& output, int rate, int channels) {
  switch (output.type) {
    case OutputType::Ogg: return {output.ogg.sampleRate, output.ogg.channels, 0};
    case OutputType::Opus:
      return {48000, output.opus.channels > 0 ? output.opus.channels : channels == 1 ? 1 : 2, 0};
    case OutputType::Flac: return {rate, channels, output.flac.bitsPerSample};
    // The AAC writer keeps every rate an AAC source can have.
    default: return {rate, channels, 0};
  }
}

QString FormatMismatch(const StreamFormat& output, const StreamFormat& source) {
  if (output.rate == source.rate && output.channels == source.channels && output.bits == source.bits) return {};
  return "the output is set to " + FormatText(output) + " and the source has " + FormatText(source);
}

std::unique_ptr<PacketSource> PacketSource::Open(OutputType type, const QString& path, std::int64_t decodedLength,
                                                 QString* reason) {
  switch (type) {
    case OutputType::Ogg:
    case OutputType::Opus: {
      std::unique_ptr<oggcopy::OggCopySource> source = oggcopy::OggCopySource::Open(path, decodedLength, reason);
      if (!source) return nullptr;
      const oggcopy::Codec wanted = type == OutputType::Ogg ? oggcopy::Codec::kVorbis : oggcopy::Codec::kOpus;
      if (source->codec() != wanted) {
        *reason = type == OutputType::Ogg ? "it is Opus, not Vorbis" : "it is Vorbis, not Opus";
        return nullptr;
      }
      return std::make_unique<SourceOf<oggcopy::OggCopySource>>(type, std::move(source));
    }
    case OutputType::M4a: {
      std::unique_ptr<mp4copy::Mp4CopySource> source = mp4copy::Mp4CopySource::Open(path, decodedLength, reason);
      if (!source) return nullptr;
      return std::make_unique<SourceOf<mp4copy::Mp4CopySource>>(type, std::move(source));
    }
    case OutputType::Flac: {
      std::unique_ptr<flaccopy::FlacCopySource> source = flaccopy::FlacCopySource::Open(path, decodedLength, reason);
      if (!source) return nullptr;
      return std::make_unique<SourceOf<flaccopy::FlacCopySource>>(type, std::move(source));
    }
    default:
      *reason = "its format's packets cannot be copied";
      return nullptr;
  }
}

PacketOutcome WritePacketCopy(const std::vector<PacketRange>& ranges, const OutputConfiguration& output,
                              const QString& outputPath, const std::function<bool(double)>& keepGoing) {
  switch (output.type) {
    case OutputType::Ogg:
    case OutputType::Opus:
      return OutcomeOf(oggcopy::WriteOggCopy(RangesOf<oggcopy::CopyRange, oggcopy::OggCopySource>(ranges),
                                             outputPath, keepGoing));
    case OutputType::M4a:
      return OutcomeOf(mp4copy::WriteMp4Copy(RangesOf<mp4copy::CopyRange, mp4copy::Mp4CopySource>(ranges),
                                             outputPath, keepGoing));
    case OutputType::Flac:
      return OutcomeOf(flaccopy::WriteFlacCopy(RangesOf<flaccopy::CopyRange, flaccopy::FlacCopySource>(ranges),
                                               outputPath, keepGoing, output.flac.compressionLevel));
    default:
      throw Error::Failed("Cannot copy packets into", SystemPath(outputPath), "its format has no packet copy");
  }
}

QString PacketRangesRefusal(const std::vector<PacketRange>& ranges, OutputType type) {
  if (type != OutputType::M4a || ranges.empty()) return {};
  return mp4copy::RangesRefusal(RangesOf<mp4copy::CopyRange, mp4copy::Mp4CopySource>(ranges));
}

QString PacketShareNote(const QString& outputPath, const PacketOutcome& outcome, int ranges, int reencoded) {
  return QString("%1: %2 of %3 packets in %4 copied byte for byte%5.")
      .arg(outputPath)
      .arg(outcome.packetsCopied)
      .arg(outcome.packetsInRanges)
      .arg(ranges == 1 ? QString("the range") : QString("the %1 ranges").arg(ranges))
      .arg(reencoded == 0   ? QString()
           : reencoded == 1 ? QString(" (those of the one re-encoded range among them)")
                            : QString(" (those of the %1 re-encoded ranges among them)").arg(reencoded));
}

QString PacketReencodedNote(const QString& path, const QString& reason) {
  return path + " was re-encoded: " + reason + ".";
}

}  // namespace snipwave
