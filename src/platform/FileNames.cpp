#include "platform/FileNames.h"

namespace snipwave {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // U+DC80..U+DCFF stand for the bytes 0x80..0xFF

// Length of the valid UTF-8 sequence starting at `i`, 0 when there is none.
int ValidSequenceLength(const QByteArray& bytes, qsizetype i, char32_t& code) {
  const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char lead = at(i);
  int length = 0;
  char32_t min = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  if ((lead & 0xE0) == 0xC0) length = 2, code = lead & 0x1F, min = 0x80;
  else if ((lead & 0xF0) == 0xE0) length = 3, code = lead & 0x0F, min = 0x800;
  else if ((lead & 0xF8) == 0xF0) length = 4, code = lead & 0x07, min = 0x10000;
  else return 0;
  if (i + length > bytes.size()) return 0;
  for (int k = 1; k < length; ++k) {
    if ((at(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (at(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not valid UTF-8.
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

QString FileNameFromBytes(const QByteArray& bytes) {
  QString name;
  name.reserve(bytes.size());
  for (qsizetype i = 0; i < bytes.size();) {
    char32_t code = 0;
    const int length = ValidSequenceLength(bytes, i, code);
    if (length == 0) {
      name.append(QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[i]))));
      ++i;
      continue;
    }
    name.append(QString::fromUcs4(&code, 1));
    i += length;
  }
  return name;
}

QByteArray FileNameBytes(const QString& name) {
  QByteArray bytes;
  bytes.reserve(name.size());
  qsizetype start = 0;  // start of the run of ordinary text not yet converted
  for (qsizetype i = 0; i < name.size(); ++i) {
    const char16_t unit = name[i].unicode();
    const bool escaped = unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF &&
                         !(i > 0 && name[i - 1].isHighSurrogate());
    if (!escaped) continue;
    bytes += name.mid(start, i - start).toUtf8();
    bytes += static_cast<char>(unit - kEscapeBase);
    start = i + 1;
  }
  bytes += name.mid(start).toUtf8();
  return bytes;
}

}  // namespace snipwave
