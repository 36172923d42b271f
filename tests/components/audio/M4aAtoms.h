#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace snipwave::test {

// A small MP4 atom reader, independent of the writer's code: top-level
// order, atom bodies by path, the first edit list entry, iTunes freeform text.
class M4aAtoms {
 public:
  explicit M4aAtoms(const QString& path) {
    QFile f(path);
    if (f.open(QIODevice::ReadOnly)) data_ = f.readAll();
  }

  QStringList TopLevel() const {
    QStringList types;
    for (qint64 at = 0, size; at + 8 <= data_.size() && (size = Be(data_, at, 4)) >= 8; at += size)
      types << QString::fromLatin1(data_.mid(at + 4, 4));
    return types;
  }

  // Body of the first atom along a path ("moov/trak/edts/elst"); a "meta"
  // body starts after its version and flags. Empty when there is none.
  QByteArray Body(const QString& path) const {
    QByteArray d = data_;
    for (const QString& type : path.split('/')) {
      qint64 at = 0, size = 0;
      while (at + 8 <= d.size() && (size = Be(d, at, 4)) >= 8 && d.mid(at + 4, 4) != type.toLatin1()) at += size;
      if (at + 8 > d.size() || size < 8) return {};
      d = d.mid(at + 8 + (type == "meta" ? 4 : 0), size - 8 - (type == "meta" ? 4 : 0));
    }
    return d;
  }

  // {segment duration, media time} of the audio track's first edit.
  std::pair<std::int64_t, std::int64_t> FirstEdit() const {
    const QByteArray elst = Body("moov/trak/edts/elst");
    if (elst.size() < 16) return {-1, -1};
    if (elst[0] == 1) return {Be(elst, 8, 8), Be(elst, 16, 8)};
    return {Be(elst, 8, 4), static_cast<std::int32_t>(Be(elst, 12, 4))};
  }

  std::int64_t MovieTimeScale() const { return Be(Body("moov/mvhd"), 12, 4); }

  // Text of the "----" item named `name` (its name atom, then its data atom
  // with 8 bytes of type and locale before the text); empty when absent.
  QString Freeform(const QByteArray& name) const {
    const QByteArray ilst = Body("moov/udta/meta/ilst");
    const qint64 at = ilst.indexOf("name" + QByteArray(4, '\0') + name);
    if (at < 0) return {};
    const qint64 data = at + 8 + name.size();
    if (ilst.mid(data + 4, 4) != "data") return {};
    return QString::fromUtf8(ilst.mid(data + 16, Be(ilst, data, 4) - 16));
  }

 private:
  static std::int64_t Be(const QByteArray& d, qint64 at, int bytes) {
    std::int64_t v = 0;
    for (int i = 0; i < bytes && at + i < d.size(); ++i) v = v << 8 | static_cast<unsigned char>(d[at + i]);
    return v;
  }

  QByteArray data_;
};

}  // namespace snipwave::test
