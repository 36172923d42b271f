// Settings files of any content: every read gives a value without changing
// the file, and a write afterwards reads back as written.
#include <QFile>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "FuzzSupport.h"
#include "platform/Error.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

using namespace snipwave;

namespace {

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

using fuzz::Require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace section = settings::section;
  namespace key = settings::key;
  const QString path = fuzz::ScratchFolder() + "/Snipwave.ini";
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) std::abort();
  }
  SettingsStore store(path);
  for (std::string_view s : {section::kFormat, section::kMp3, section::kWav, section::kWma, section::kOgg}) {
    store.ReadString(s, key::kDir, "default");
    for (std::string_view k : {key::kFrequency, key::kBitrate, key::kChannel, key::kQuality, key::kEnableVbr,
                               key::kVbrBitrate, key::kVbrQuality, key::kMode, key::kBit, key::kFormat,
                               key::kMaxBitrate, key::kMinBitrate, key::kEnableQuality}) {
      store.ReadInteger(s, k, -1);
      store.ReadBool(s, k, true);
      Require(store.ReadString(s, k, "").size() <= SettingsStore::kMaxTextLength);
    }
  }
  Require(Contents(path) == bytes);

  try {
    store.WriteInteger(section::kMp3, key::kBitrate, 7);
  } catch (const Error&) {
    Require(Contents(path) == bytes);  // a refused write leaves the file as it was
    return 0;
  }
  Require(store.ReadInteger(section::kMp3, key::kBitrate, -1) == 7);
  store.WriteString(section::kFormat, key::kDir, "/music/out");
  Require(store.ReadString(section::kFormat, key::kDir, "") == "/music/out");
  Require(store.ReadInteger(section::kMp3, key::kBitrate, -1) == 7);
  return 0;
}
