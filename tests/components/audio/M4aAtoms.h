#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace snipwave::test {

// A small reader of MP4 atoms, independent of the writer's code: the
// top-level order, the audio track's edit list and iTunes freeform values.
class M4aAtoms {
 public:
  explicit M4aAtoms(const QString& path) {
    QFile f(path);
    if (f.open(QIODevice::ReadOnly)) data_ = f.readAll();
  }

  // Top-level atom types in file order ("ftyp", "moov", "free", "mdat").
  QStringList TopLevel() const {
    QStringList types;
    for (qint64 at = 0; at + 8 <= data_.size();) {
      const std::uint64_t size = Size(at, data_.size());
      if (size < 8) break;
      types << QString::fromLatin1(data_.mid(at + 4, 4));
      at += static_cast<qint64>(size);
    }
    return types;
  }

  // The body (after the header) of the first atom along a path such as
  // "moov/trak/edts/elst"; "meta" bodies skip their version and flags.
  std::optional<QByteArray> Find(const QString& path) const { return Find(path.split('/'), 0, data_.size()); }

  struct EditEntry {
    std::int64_t segmentDuration, mediaTime;
  };
  std::optional<EditEntry> FirstEdit() const {
    const auto elst = Find("moov/trak/edts/elst");
    if (!elst || elst->size() < 8) return std::nullopt;
    const bool wide = static_cast<unsigned char>((*elst)[0]) == 1;
    if (wide && elst->size() >= 8 + 16) return EditEntry{Be(*elst, 8, 8), Be(*elst, 16, 8)};
    if (!wide && elst->size() >= 8 + 8)
      return EditEntry{Be(*elst, 8, 4), static_cast<std::int32_t>(Be(*elst, 12, 4))};
    return std::nullopt;
  }

  // Time scale of the movie header (edit durations are counted in it).
  std::int64_t MovieTimeScale() const {
    const auto mvhd = Find("moov/mvhd");
    if (!mvhd) return 0;
    return static_cast<unsigned char>((*mvhd)[0]) == 1 ? Be(*mvhd, 20, 4) : Be(*mvhd, 12, 4);
  }

  // The text of the freeform item "----" whose name atom is `name`.
  std::optional<QString> Freeform(const QString& name) const {
    const auto ilst = Find("moov/udta/meta/ilst");
    if (!ilst) return std::nullopt;
    for (qint64 at = 0; at + 8 <= ilst->size();) {
      const std::uint64_t size = Be(*ilst, at, 4);
      if (size < 8 || at + static_cast<qint64>(size) > ilst->size()) break;
      if (ilst->mid(at + 4, 4) == "----") {
        const QByteArray item = ilst->mid(at + 8, static_cast<qint64>(size) - 8);
        QString itemName;
        std::optional<QString> value;
        for (qint64 in = 0; in + 8 <= item.size();) {
          const std::uint64_t s = Be(item, in, 4);
          if (s < 8 || in + static_cast<qint64>(s) > item.size()) break;
          const QByteArray type = item.mid(in + 4, 4);
          if (type == "name") itemName = QString::fromUtf8(item.mid(in + 12, static_cast<qint64>(s) - 12));
          if (type == "data") value = QString::fromUtf8(item.mid(in + 16, static_cast<qint64>(s) - 16));
          in += static_cast<qint64>(s);
        }
        if (itemName == name) return value;
      }
      at += static_cast<qint64>(size);
    }
    return std::nullopt;
  }

 private:
  static std::uint64_t Be(const QByteArray& d, qint64 at, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes && at + i < d.size(); ++i) v = v << 8 | static_cast<unsigned char>(d[at + i]);
    return v;
  }
  std::uint64_t Size(qint64 at, qint64 end) const {
    const std::uint64_t size = Be(data_, at, 4);
    if (size == 1) return Be(data_, at + 8, 8);
    if (size == 0) return static_cast<std::uint64_t>(end - at);
    return size;
  }
  std::optional<QByteArray> Find(const QStringList& path, qint64 begin, qint64 end) const {
    for (qint64 at = begin; at + 8 <= end;) {
      const std::uint64_t size = Size(at, end);
      if (size < 8 || at + static_cast<qint64>(size) > end) return std::nullopt;
      const qint64 header = Be(data_, at, 4) == 1 ? 16 : 8;
      const QString type = QString::fromLatin1(data_.mid(at + 4, 4));
      if (type == path.front()) {
        const qint64 body = at + header + (type == "meta" ? 4 : 0);
        if (path.size() == 1) return data_.mid(body, at + static_cast<qint64>(size) - body);
        return Find(path.mid(1), body, at + static_cast<qint64>(size));
      }
      at += static_cast<qint64>(size);
    }
    return std::nullopt;
  }

  QByteArray data_;
};

}  // namespace snipwave::test
