#include "tracks/ListFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <unistd.h>

#include "platform/Error.h"
#include "platform/FileHelpers.h"
#include "state/Timerec.h"

namespace snipwave {

namespace {

// The JSON names of the tag fields, in TagField order.
constexpr std::array<const char*, kTagFieldCount> kTagNames = {
    "title", "artist", "album", "albumArtist", "track", "disc", "date", "genre", "comment"};

// Integers travel as JSON numbers (doubles): exact up to 2^53.
constexpr double kMaxExactInteger = 9007199254740992.0;

[[noreturn]] void Refuse(const QString& listFilePath, const QString& why) {
  throw Error(QStringLiteral("The list file \"%1\" cannot be used: %2.")
                  .arg(QDir::toNativeSeparators(listFilePath), why)
                  .toStdString());
}

QString SourceName(const QString& source, const QDir& folder) {
  const QString relative = folder.relativeFilePath(source);
  const bool below = !relative.isEmpty() && relative != QLatin1String(".") &&
                     !relative.startsWith(QLatin1String("../")) && relative != QLatin1String("..") &&
                     !QDir::isAbsolutePath(relative);
  return below ? relative : QDir::cleanPath(source);
}

// Reads the members of one JSON object; every complaint names where it is.
class Fields {
 public:
  Fields(const QJsonObject& object, QString where, const QString& listFilePath)
      : object_(object), where_(std::move(where)), file_(listFilePath) {}

  [[noreturn]] void Bad(const QString& why) const { Refuse(file_, where_ + why); }
  bool Has(const char* name) const { return object_.contains(QLatin1String(name)); }

  std::int64_t Integer(const char* name, std::int64_t low, std::int64_t high) const {
    const QJsonValue value = object_.value(QLatin1String(name));
    if (value.isUndefined()) Bad(QStringLiteral("\"%1\" is missing").arg(name));
    const double number = value.toDouble(std::nan(""));
    if (!value.isDouble() || !std::isfinite(number) || std::floor(number) != number ||
        std::fabs(number) > kMaxExactInteger)
      Bad(QStringLiteral("\"%1\" is not a whole number").arg(name));
    const auto integer = static_cast<std::int64_t>(number);
    if (integer < low || integer > high)
      Bad(QStringLiteral("\"%1\" is %2, outside %3 to %4").arg(name).arg(integer).arg(low).arg(high));
    return integer;
  }

  QString Text(const char* name, bool required) const {
    const QJsonValue value = object_.value(QLatin1String(name));
    if (value.isUndefined()) {
      if (required) Bad(QStringLiteral("\"%1\" is missing").arg(name));
      return {};
    }
    if (!value.isString()) Bad(QStringLiteral("\"%1\" is not a text").arg(name));
    const QString text = value.toString();
    if (!text.isValidUtf16()) Bad(QStringLiteral("\"%1\" is not valid text").arg(name));
    if (text.size() > kMaxListText)
      Bad(QStringLiteral("\"%1\" is longer than %2 characters").arg(name).arg(kMaxListText));
    return text;
  }

  QJsonValue Value(const char* name) const { return object_.value(QLatin1String(name)); }

 private:
  QJsonObject object_;
  QString where_;
  QString file_;
};

ListFileRow ParseRow(const QJsonValue& value, int index, const QDir& folder, const QString& listFilePath) {
  const QString where = QStringLiteral("row %1: ").arg(index + 1);
  if (!value.isObject()) Refuse(listFilePath, where + QStringLiteral("not an object"));
  const Fields f(value.toObject(), where, listFilePath);
  ListFileRow row;
  const QString path = f.Text("path", true);
  if (path.isEmpty() || path.contains(QChar(0))) f.Bad(QStringLiteral("\"path\" is empty or not a file name"));
  row.path = QDir::cleanPath(folder.absoluteFilePath(path));
  row.rate = static_cast<std::int32_t>(f.Integer("rate", 1, kMaxListRate));
  row.length = f.Integer("length", 0, static_cast<std::int64_t>(kMaxExactInteger));
  row.begin = f.Integer("begin", 0, static_cast<std::int64_t>(kMaxExactInteger));
  row.end = f.Integer("end", 0, static_cast<std::int64_t>(kMaxExactInteger));
  if (row.end > row.length) f.Bad(QStringLiteral("\"end\" lies past \"length\""));
  if (row.begin > row.end) f.Bad(QStringLiteral("\"begin\" lies after \"end\""));
  row.title = f.Text("title", false);
  const QJsonValue tags = f.Value("tags");
  if (!tags.isUndefined()) {
    if (!tags.isObject()) f.Bad(QStringLiteral("\"tags\" is not an object"));
    const Fields t(tags.toObject(), where + QStringLiteral("tags: "), listFilePath);
    for (int k = 0; k < kTagFieldCount; ++k)
      row.tags.Set(static_cast<TagField>(k), t.Text(kTagNames[static_cast<std::size_t>(k)], false));
  }
  return row;
}

}  // namespace

QByteArray ListFileText(const ListDocument& list, const QString& listFilePath) {
  const QDir folder = QFileInfo(listFilePath).absoluteDir();
  QJsonArray rows;
  for (const ListFileRow& r : list.rows) {
    QJsonObject row;
    row.insert("path", SourceName(r.path, folder));
    row.insert("rate", r.rate);
    row.insert("length", static_cast<double>(r.length));
    row.insert("begin", static_cast<double>(r.begin));
    row.insert("end", static_cast<double>(r.end));
    if (!r.title.isEmpty()) row.insert("title", r.title);
    QJsonObject tags;
    for (int k = 0; k < kTagFieldCount; ++k)
      if (const QString& v = r.tags.Get(static_cast<TagField>(k)); !v.isEmpty())
        tags.insert(kTagNames[static_cast<std::size_t>(k)], v);
    if (!tags.isEmpty()) row.insert("tags", tags);
    rows.append(row);
  }
  QJsonObject root;
  root.insert("format", QLatin1String(kListFormatName));
  root.insert("version", kListFormatVersion);
  root.insert("selected", list.selected);
  if (list.format >= 0 || !list.outputFolder.isEmpty()) {
    QJsonObject output;
    if (list.format >= 0) output.insert("format", list.format);
    if (!list.outputFolder.isEmpty()) output.insert("folder", list.outputFolder);
    root.insert("output", output);
  }
  root.insert("rows", rows);
  return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

ListDocument ParseListFile(const QByteArray& text, const QString& listFilePath) {
  QJsonParseError error{};
  const QJsonDocument json = QJsonDocument::fromJson(text, &error);
  if (error.error != QJsonParseError::NoError)
    Refuse(listFilePath, QStringLiteral("not JSON (%1 at byte %2)").arg(error.errorString()).arg(error.offset));
  if (!json.isObject()) Refuse(listFilePath, QStringLiteral("not a Snipwave list"));
  const Fields root(json.object(), QString(), listFilePath);
  if (root.Value("format").toString() != QLatin1String(kListFormatName))
    Refuse(listFilePath, QStringLiteral("not a Snipwave list (\"format\" is not \"%1\")").arg(kListFormatName));
  const std::int64_t version = root.Integer("version", 1, 1'000'000);
  if (version != kListFormatVersion)
    Refuse(listFilePath, QStringLiteral("version %1 is not known to this Snipwave (it reads version %2)")
                             .arg(version)
                             .arg(kListFormatVersion));

  const QJsonValue rows = root.Value("rows");
  if (!rows.isArray()) Refuse(listFilePath, QStringLiteral("\"rows\" is missing or not a list"));
  const QJsonArray array = rows.toArray();
  if (array.size() > kTrackTableSize)
    Refuse(listFilePath,
           QStringLiteral("%1 rows, but the list holds at most %2").arg(array.size()).arg(kTrackTableSize));

  ListDocument list;
  const QDir folder = QFileInfo(listFilePath).absoluteDir();
  for (int i = 0; i < array.size(); ++i) list.rows.push_back(ParseRow(array.at(i), i, folder, listFilePath));
  if (root.Has("selected")) {
    // An empty list is a list all the same: its "selected" may be -1 or 0
    // (the first row it would have) and selects nothing.
    const std::int64_t last = std::max<std::int64_t>(static_cast<std::int64_t>(list.rows.size()) - 1, 0);
    list.selected = static_cast<int>(root.Integer("selected", -1, last));
    if (list.rows.empty()) list.selected = -1;
  }
  const QJsonValue output = root.Value("output");
  if (!output.isUndefined()) {
    if (!output.isObject()) Refuse(listFilePath, QStringLiteral("\"output\" is not an object"));
    const Fields o(output.toObject(), QStringLiteral("output: "), listFilePath);
    if (o.Has("format")) list.format = static_cast<int>(o.Integer("format", 0, 63));
    list.outputFolder = o.Text("folder", false);
  }
  return list;
}

ListDocument ReadListFile(const QString& path) {
  // Only a regular file is opened: opening a named pipe would wait for a
  // writer, and the window with it.
  QString why;
  const int fd = OpenRegularFileForReading(path, why);
  if (fd < 0) throw Error::Failed("Open list file", QDir::toNativeSeparators(path).toStdString(), why.toStdString());
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    throw Error::Failed("Open list file", QDir::toNativeSeparators(path).toStdString(),
                        file.errorString().toStdString());
  }
  if (file.size() > kMaxListFileBytes)
    Refuse(path, QStringLiteral("it is larger than %1 MB").arg(kMaxListFileBytes / (1024 * 1024)));
  // At most one byte more than the limit: a file growing meanwhile is caught too.
  const QByteArray text = file.read(kMaxListFileBytes + 1);
  if (text.size() > kMaxListFileBytes)
    Refuse(path, QStringLiteral("it is larger than %1 MB").arg(kMaxListFileBytes / (1024 * 1024)));
  if (file.error() != QFileDevice::NoError)
    throw Error::Failed("Read list file", QDir::toNativeSeparators(path).toStdString(),
                        file.errorString().toStdString());
  return ParseListFile(text, path);
}

void WriteListFile(const QString& path, const ListDocument& list) {
  QString why;
  if (!ReplaceFileAtomically(path, ListFileText(list, path).toStdString(), &why))
    throw Error::Failed("Write list file", QDir::toNativeSeparators(path).toStdString(), why.toStdString());
}

}  // namespace snipwave
