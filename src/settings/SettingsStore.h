#pragma once

#include <QString>
#include <cstdint>
#include <string_view>

namespace snipwave {

// The INI settings file. Holds nothing but the file's location: every read
// loads the file afresh and every write rewrites it at once (atomically: a
// temporary file renamed over the old one), so the file is the only state and
// two running copies see each other's writes. Section and key names match
// without regard to case; keys the program does not know are kept as they are.
//
// Reads never fail and never create anything: a missing file, section or key,
// or an unusable value, gives the caller's default. A write that cannot be
// done throws snipwave::Error("Unable to write to Snipwave.ini") and leaves the
// existing file exactly as it was.
class SettingsStore {
 public:
  // Longest text a read returns, in characters; longer values are cut there.
  static constexpr int kMaxTextLength = 2047;

  // A bare file name resolves in the settings folder (see SettingsFolder());
  // a name with a folder is used as it is.
  explicit SettingsStore(const QString& fileName);

  // $SNIPWAVE_CONFIG_DIR when set, else the user's configuration folder.
  static QString SettingsFolder();

  const QString& FilePath() const { return path_; }

  QString ReadString(std::string_view section, std::string_view key, const QString& defaultValue) const;
  // Decimal, or hexadecimal written "$1F" / "0x1F"; anything else, or a value
  // outside the signed 32-bit range, gives the default.
  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t defaultValue) const;
  // The integer rule with default 1/0; true when the integer is not 0.
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

  void WriteString(std::string_view section, std::string_view key, const QString& value);
  void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  // End of use. Writes go to disk at once, so there is nothing left to flush;
  // a released store refuses further writes and reads give their defaults.
  void Release() { released_ = true; }

  // The integer rule on its own, for values that come from elsewhere.
  static bool ParseInteger(const QString& text, std::int32_t& value);

 private:
  QString path_;
  QString displayName_;  // the name the user is told about in "Unable to write to %s"
  bool released_ = false;
};

}  // namespace snipwave

namespace snipwave {
// The output folder used while "Dir" has never been chosen: the user's music
// folder (on Windows this was "C:\My Music").
QString DefaultOutputFolder();
}  // namespace snipwave
