#include "SettingsStore.h"

#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <limits>
#include <list>
#include <string>

#include "platform/Error.h"
#include "platform/FileHelpers.h"
#include "settings/SettingsKeys.h"

namespace snipwave {

namespace {

using Ini = CSimpleIniA;  // case-insensitive sections and keys

std::string ToStd(std::string_view v) { return std::string(v); }

enum class LoadResult { Loaded, Missing, Unreadable };

// Reads the whole file into the parser. A file that is not there is an empty
// settings file; anything else that stops the read (a folder in its place,
// an I/O error) is reported as unreadable.
LoadResult LoadInto(Ini& ini, const QString& path) {
  QFileInfo info(path);
  if (!info.exists()) return LoadResult::Missing;
  if (!info.isFile()) return LoadResult::Unreadable;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return LoadResult::Unreadable;
  const QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError) return LoadResult::Unreadable;
  if (ini.LoadData(data.constData(), static_cast<size_t>(data.size())) < 0) return LoadResult::Unreadable;
  return LoadResult::Loaded;
}

// Windows profile-file layout: "[section]" and "key=value" lines, no blanks
// around '=' and no blank lines, sections and keys in file order. The parser
// writes blank lines between sections; those are its own, not the user's
// (it does not keep the user's), so they go.
std::string Serialise(Ini& ini) {
  ini.SetSpaces(false);
  std::string saved;
  ini.Save(saved);
  std::string out;
  out.reserve(saved.size());
  std::size_t start = 0;
  while (start < saved.size()) {
    std::size_t end = saved.find('\n', start);
    if (end == std::string::npos) end = saved.size();
    std::string line = saved.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) {
      out += line;
      out += '\n';
    }
    start = end + 1;
  }
  return out;
}

// The name as it already stands in the file (a hand-edited "[MP3]" stays
// "[MP3]"), or the caller's name when it is new.
std::string ExistingSectionName(const Ini& ini, const std::string& wanted) {
  Ini::TNamesDepend sections;
  ini.GetAllSections(sections);
  for (const Ini::Entry& e : sections)
    if (QString::fromUtf8(e.pItem).compare(QString::fromStdString(wanted), Qt::CaseInsensitive) == 0)
      return e.pItem;
  return wanted;
}

std::string ExistingKeyName(const Ini& ini, const std::string& section, const std::string& wanted) {
  Ini::TNamesDepend keys;
  ini.GetAllKeys(section.c_str(), keys);
  for (const Ini::Entry& e : keys)
    if (QString::fromUtf8(e.pItem).compare(QString::fromStdString(wanted), Qt::CaseInsensitive) == 0)
      return e.pItem;
  return wanted;
}

Error WriteFailure() { return Error("Unable to write to " + ToStd(settings::kFileName)); }

}  // namespace

QString SettingsStore::SettingsFolder() {
  const QByteArray fromEnv = qgetenv("SNIPWAVE_CONFIG_DIR");
  if (!fromEnv.isEmpty()) return QString::fromLocal8Bit(fromEnv);
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString DefaultOutputFolder() {
  QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
  if (music.isEmpty()) music = QDir::homePath();
  return QDir::toNativeSeparators(music);
}

SettingsStore::SettingsStore(const QString& fileName) : displayName_(QFileInfo(fileName).fileName()) {
  if (QFileInfo(fileName).fileName() == fileName)
    path_ = QDir(SettingsFolder()).filePath(fileName);
  else
    path_ = fileName;
}

QString SettingsStore::ReadString(std::string_view section, std::string_view key,
                                  const QString& defaultValue) const {
  if (released_) return defaultValue;
  Ini ini(false, true, false);
  if (LoadInto(ini, path_) != LoadResult::Loaded) return defaultValue;
  const char* value = ini.GetValue(ToStd(section).c_str(), ToStd(key).c_str(), nullptr);
  if (!value) return defaultValue;
  return QString::fromUtf8(value).left(kMaxTextLength);
}

bool SettingsStore::ParseInteger(const QString& raw, std::int32_t& value) {
  QString text = raw;
  if (text.size() > 2 && (text.startsWith("0x") || text.startsWith("0X"))) text = "$" + text.mid(2);
  if (text.isEmpty()) return false;
  bool ok = false;
  qlonglong parsed = 0;
  if (text.startsWith('$')) {
    const QString digits = text.mid(1);
    if (digits.isEmpty() || digits.startsWith('+') || digits.startsWith('-')) return false;
    parsed = digits.toLongLong(&ok, 16);
  } else {
    parsed = text.toLongLong(&ok, 10);
  }
  if (!ok || parsed < std::numeric_limits<std::int32_t>::min() ||
      parsed > std::numeric_limits<std::int32_t>::max())
    return false;
  value = static_cast<std::int32_t>(parsed);
  return true;
}

std::int32_t SettingsStore::ReadInteger(std::string_view section, std::string_view key,
                                        std::int32_t defaultValue) const {
  std::int32_t value = 0;
  return ParseInteger(ReadString(section, key, QString()), value) ? value : defaultValue;
}

bool SettingsStore::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void SettingsStore::WriteString(std::string_view section, std::string_view key, const QString& value) {
  if (released_) throw WriteFailure();
  Ini ini(false, true, false);
  if (LoadInto(ini, path_) == LoadResult::Unreadable) throw WriteFailure();
  const std::string sectionName = ExistingSectionName(ini, ToStd(section));
  const std::string keyName = ExistingKeyName(ini, sectionName, ToStd(key));
  // Replace every value of the key (a hand-edited file may repeat it).
  if (ini.SetValue(sectionName.c_str(), keyName.c_str(), value.toUtf8().constData(), nullptr, true) < 0)
    throw WriteFailure();
  const QString folder = QFileInfo(path_).absolutePath();
  if (!QDir().mkpath(folder)) throw WriteFailure();
  if (!ReplaceFileAtomically(path_, Serialise(ini))) throw WriteFailure();
}

void SettingsStore::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  WriteString(section, key, QString::number(value));
}

void SettingsStore::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

}  // namespace snipwave
