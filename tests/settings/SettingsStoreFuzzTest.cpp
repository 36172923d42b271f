// Hand-edited and damaged settings files: whatever the bytes, reading never
// crashes and never changes the file, and a write keeps the file parseable.
#include <gtest/gtest.h>

#include <QFile>
#include <random>

#include "FileContents.h"
#include "TempDir.h"
#include "settings/SettingsStore.h"

using namespace snipwave;
using snipwave::test::ReadAll;
using snipwave::test::WriteAll;

namespace {

QByteArray RandomIni(std::mt19937& rng) {
  static const char* const kPieces[] = {"[mp3]",     "[MP3]",         "[ogg",        "]",          "bitrate=",
                                        "Bitrate =", "enable vbr=1",  "0x",          "$FF",        "=",
                                        ";comment",  "#c",            "\r\n",        "\n",         "\r",
                                        "\xEF\xBB\xBF", "frequency=8", "frequency=9", "[]",         "<<<",
                                        "key",       "dir=C:\\My Music", "\t",       " ",          "\\"};
  QByteArray data;
  const int parts = std::uniform_int_distribution<int>(0, 60)(rng);
  for (int i = 0; i < parts; ++i) {
    switch (std::uniform_int_distribution<int>(0, 9)(rng)) {
      case 0: {  // binary junk
        const int n = std::uniform_int_distribution<int>(1, 40)(rng);
        for (int j = 0; j < n; ++j) data.append(static_cast<char>(rng() & 0xFF));
        break;
      }
      case 1:  // a very long line
        data.append(QByteArray(std::uniform_int_distribution<int>(100, 9000)(rng), 'v'));
        break;
      default:
        data.append(kPieces[rng() % (sizeof(kPieces) / sizeof(kPieces[0]))]);
    }
  }
  return data;
}

}  // namespace

TEST(SettingsStoreFuzz, ReadingAnyBytesNeverCrashesOrChangesTheFile) {
  test::TempDir dir;
  const QString path = dir.file("Snipwave.ini");
  std::mt19937 rng(20261207);
  SettingsStore store(path);
  for (int round = 0; round < 3000; ++round) {
    QByteArray data = RandomIni(rng);
    if (round % 3 == 0 && !data.isEmpty()) data[static_cast<int>(rng() % data.size())] = '\0';
    {
      QFile f(path);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(data);
    }
    const std::int32_t n = store.ReadInteger("mp3", "bitrate", 11);
    (void)n;
    (void)store.ReadBool("mp3", "enable vbr", false);
    EXPECT_LE(store.ReadString("Format", "Dir", "d").size(), SettingsStore::kMaxTextLength);
    ASSERT_EQ(ReadAll(path), data) << "round " << round;
  }
}

TEST(SettingsStoreFuzz, WritingIntoDamagedFilesKeepsTheValueReadable) {
  test::TempDir dir;
  const QString path = dir.file("Snipwave.ini");
  std::mt19937 rng(7);
  SettingsStore store(path);
  for (int round = 0; round < 300; ++round) {
    QByteArray data = RandomIni(rng);
    {
      QFile f(path);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(data);
    }
    store.WriteInteger("wma", "format", round);
    ASSERT_EQ(store.ReadInteger("wma", "format", -1), round) << "round " << round;
  }
}
