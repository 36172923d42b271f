#include <gtest/gtest.h>

#include <QFile>
#include <QDir>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FileContents.h"
#include "TempDir.h"
#include "platform/Error.h"
#include "components/audio/WmaProfiles.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

using namespace snipwave;
using snipwave::test::ReadAll;
using snipwave::test::WriteAll;
namespace keys = snipwave::settings;

namespace {

// Each test gets its own settings folder through the variable the program honours.
class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { qputenv("SNIPWAVE_CONFIG_DIR", dir.path().toUtf8()); }
  void TearDown() override { qunsetenv("SNIPWAVE_CONFIG_DIR"); }
  QString iniPath() const { return dir.file("Snipwave.ini"); }
  SettingsStore store() const { return SettingsStore("Snipwave.ini"); }
  test::TempDir dir;
};

std::string ExpectWriteFailure(const std::function<void()>& write) {
  try {
    write();
  } catch (const Error& e) {
    return e.what();
  }
  ADD_FAILURE() << "the write did not fail";
  return {};
}

}  // namespace

TEST_F(SettingsStoreTest, BareNameResolvesInTheSettingsFolder) {
  EXPECT_EQ(store().FilePath(), iniPath());
  qunsetenv("SNIPWAVE_CONFIG_DIR");
  EXPECT_FALSE(SettingsStore("Snipwave.ini").FilePath().startsWith(dir.path()));
}

TEST_F(SettingsStoreTest, MissingFileGivesDefaultsAndReadingCreatesNothing) {
  const SettingsStore s = store();
  EXPECT_EQ(s.ReadString("Format", "Dir", "fallback"), "fallback");
  EXPECT_EQ(s.ReadInteger("mp3", "bitrate", 11), 11);
  EXPECT_TRUE(s.ReadBool("ogg", "enable quality", true));
  EXPECT_FALSE(s.ReadBool("ogg", "enable quality", false));
  EXPECT_FALSE(QFile::exists(iniPath()));
}

TEST_F(SettingsStoreTest, DefaultsWrittenInDialogOrderGiveTheReferenceFile) {
  SettingsStore s = store();
  for (const settings::KeyDefaults& k : settings::kDialogWriteOrder) {
    if (k.key == keys::key::kEnableVbr || k.key == keys::key::kEnableQuality)
      s.WriteBool(k.section, k.key, k.dialogDefault != 0);
    else
      s.WriteInteger(k.section, k.key, k.dialogDefault);
  }
  const QByteArray expected =
      "[mp3]\nbitrate=11\nchannel=1\nfrequency=8\nquality=9\nenable vbr=0\nvbr bitrate=11\nvbr quality=9\n"
      "[wav]\nmode=0\nbit=1\nchannel=1\nfrequency=8\n"
      "[wma]\nformat=9\n"
      "[ogg]\nchannel=1\nfrequency=8\nbitrate=11\nmax bitrate=11\nmin bitrate=11\nenable quality=1\nquality=300\n";
  EXPECT_EQ(ReadAll(iniPath()), expected);
}

TEST_F(SettingsStoreTest, IntegerRule) {
  WriteAll(iniPath(),
           "[mp3]\nhex1=0x8\nhex2=$8\nhex3=0X1f\nword=abc\nempty=\nbig=2147483648\nsmall=-2147483648\n"
           "neg=-5\nplus=+7\nzerox=0x\nbadhex=$\nspaced= 12 \nhexbig=$80000000\n");
  const SettingsStore s = store();
  EXPECT_EQ(s.ReadInteger("mp3", "hex1", 3), 8);
  EXPECT_EQ(s.ReadInteger("mp3", "hex2", 3), 8);
  EXPECT_EQ(s.ReadInteger("mp3", "hex3", 3), 31);
  EXPECT_EQ(s.ReadInteger("mp3", "word", 3), 3);
  EXPECT_EQ(s.ReadInteger("mp3", "empty", 3), 3);
  EXPECT_EQ(s.ReadInteger("mp3", "big", 3), 3);
  EXPECT_EQ(s.ReadInteger("mp3", "small", 3), -2147483647 - 1);
  EXPECT_EQ(s.ReadInteger("mp3", "neg", 3), -5);
  EXPECT_EQ(s.ReadInteger("mp3", "plus", 3), 7);
  EXPECT_EQ(s.ReadInteger("mp3", "zerox", 3), 3);
  EXPECT_EQ(s.ReadInteger("mp3", "badhex", 3), 3);
  EXPECT_EQ(s.ReadInteger("mp3", "spaced", 3), 12);
  EXPECT_EQ(s.ReadInteger("mp3", "hexbig", 3), 3);
}

TEST_F(SettingsStoreTest, FlagRuleIsAnyNonZeroInteger) {
  WriteAll(iniPath(), "[mp3]\nenable vbr=2\nzero=0\njunk=yes\n");
  const SettingsStore s = store();
  EXPECT_TRUE(s.ReadBool("mp3", "enable vbr", false));
  EXPECT_EQ(s.ReadInteger("mp3", "enable vbr", 0), 2);
  EXPECT_FALSE(s.ReadBool("mp3", "zero", true));
  EXPECT_TRUE(s.ReadBool("mp3", "junk", true));
  EXPECT_FALSE(s.ReadBool("mp3", "junk", false));
}

TEST_F(SettingsStoreTest, SectionsAndKeysMatchWithoutCase) {
  WriteAll(iniPath(), "[MP3]\nBitrate=3\n");
  SettingsStore s = store();
  EXPECT_EQ(s.ReadInteger("mp3", "bitrate", 11), 3);
  s.WriteInteger("Mp3", "BITRATE", 5);
  EXPECT_EQ(s.ReadInteger("mp3", "bitrate", 11), 5);
  EXPECT_EQ(ReadAll(iniPath()).count("itrate"), 1) << "the existing key is replaced, not repeated";
}

TEST_F(SettingsStoreTest, LongTextIsCutAt2047Characters) {
  SettingsStore s = store();
  const QString longDir = "/" + QString(2999, 'd');
  s.WriteString("Format", "Dir", longDir);
  const QString back = s.ReadString("Format", "Dir", "");
  EXPECT_EQ(back.size(), 2047);
  EXPECT_EQ(back, longDir.left(2047));
}

TEST_F(SettingsStoreTest, WritesKeepUnknownKeysAndSectionsAndTheirOrder) {
  WriteAll(iniPath(), "; hand notes\n[custom]\nmine=1\n[mp3]\nbitrate=3\nextra=keep me\n");
  SettingsStore s = store();
  s.WriteInteger("mp3", "bitrate", 4);
  s.WriteString("Format", "Dir", "/music");
  EXPECT_EQ(ReadAll(iniPath()),
            "; hand notes\n[custom]\nmine=1\n[mp3]\nbitrate=4\nextra=keep me\n[Format]\nDir=/music\n");
}

TEST_F(SettingsStoreTest, ChoosingTheFolderFirstCreatesOnlyFormat) {
  SettingsStore s = store();
  s.WriteString("Format", "Dir", "/home/me/Music");
  EXPECT_EQ(ReadAll(iniPath()), "[Format]\nDir=/home/me/Music\n");
}

TEST_F(SettingsStoreTest, TextRoundTripsNonAsciiPaths) {
  SettingsStore s = store();
  s.WriteString("Format", "Dir", QString::fromUtf8("/home/me/Müsik – neu"));
  EXPECT_EQ(s.ReadString("Format", "Dir", ""), QString::fromUtf8("/home/me/Müsik – neu"));
}

TEST_F(SettingsStoreTest, FailedWritesRaiseTheMessageAndLeaveTheFileWhole) {
  const QByteArray original = "[mp3]\nbitrate=3\n";
  // A folder where the file should be.
  QDir().mkdir(iniPath());
  EXPECT_EQ(ExpectWriteFailure([&] { store().WriteInteger("mp3", "bitrate", 4); }),
            "Unable to write to Snipwave.ini");
  QDir().rmdir(iniPath());

  // A regular file where the folder should be.
  WriteAll(dir.file("blocker"), "x");
  qputenv("SNIPWAVE_CONFIG_DIR", dir.file("blocker").toUtf8());
  EXPECT_EQ(ExpectWriteFailure([&] { SettingsStore("Snipwave.ini").WriteString("Format", "Dir", "/x"); }),
            "Unable to write to Snipwave.ini");
  qputenv("SNIPWAVE_CONFIG_DIR", dir.path().toUtf8());

  // A file-size limit: the existing file stays byte-identical.
  WriteAll(iniPath(), original);
  const pid_t child = fork();
  if (child == 0) {
    rlimit limit{static_cast<rlim_t>(original.size()), static_cast<rlim_t>(original.size())};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      SettingsStore("Snipwave.ini").WriteString("Format", "Dir", QString(500, 'p'));
    } catch (const Error& e) {
      _exit(std::string(e.what()) == "Unable to write to Snipwave.ini" ? 0 : 2);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadAll(iniPath()), original);
}

TEST_F(SettingsStoreTest, ReleasedStoreRefusesWrites) {
  SettingsStore s = store();
  s.WriteInteger("mp3", "bitrate", 4);
  s.Release();
  EXPECT_THROW(s.WriteInteger("mp3", "bitrate", 5), Error);
  EXPECT_EQ(SettingsStore("Snipwave.ini").ReadInteger("mp3", "bitrate", 0), 4);
}

TEST(SettingsKeys, ValueListsAsStored) {
  EXPECT_EQ(keys::kSampleRates[0], 6000);
  EXPECT_EQ(keys::kSampleRates[8], 44100);
  EXPECT_EQ(keys::kBitRates[11], 128);
  EXPECT_EQ(keys::kBitRates[16], 320);
  EXPECT_EQ(audio::kWmaProfileTexts[9], "WMA9 44KHz, 128Kbps, Stereo, CBR");
  EXPECT_EQ(audio::kWmaProfileTexts[20], audio::kWmaProfileTexts[22]);
  EXPECT_EQ(audio::kWmaProfileTexts[34], "WMA9 8KHz,  12Kbps, Stereo, CBR");
  EXPECT_EQ(audio::kWmaProfileTexts[46], "WMA9 44KHz, Stereo, Lossless");
  EXPECT_EQ(keys::defaults::kMp3VbrQuality.dialogDefault, 9);
  EXPECT_EQ(keys::defaults::kMp3VbrQuality.jobDefault, 5);
  EXPECT_EQ(keys::defaults::kOggEnableQuality.dialogDefault, 1);
  EXPECT_EQ(keys::defaults::kOggEnableQuality.jobDefault, 0);
}
