#include <gtest/gtest.h>

#include <QFile>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AudioTestHelpers.h"
#include "Commands.h"
#include "TempDir.h"
#include "components/audio/ScanCache.h"
#include "components/audio/TAudioFile2.h"

// Reopening a scanned file uses the kept scan; a changed file never does.
namespace snipwave::test {
namespace {

using audio::ScanCache;

void CopyInPlace(const QString& from, const QString& to) {
  // Rewrites `to` in place (same inode), as an editor saving over it would.
  QFile in(from);
  ASSERT_TRUE(in.open(QIODevice::ReadOnly));
  const QByteArray bytes = in.readAll();
  QFile out(to);
  ASSERT_TRUE(out.open(QIODevice::ReadWrite | QIODevice::Truncate));
  ASSERT_EQ(out.write(bytes), bytes.size());
}

struct timespec ModifiedTime(const QString& path) {
  struct stat st {};
  EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
  return st.st_mtim;
}

void SetModifiedTime(const QString& path, const struct timespec& t) {
  const struct timespec times[2] = {t, t};
  ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

QString Mp3Vbr() { return ChirpFixture("chirp8-vbr.mp3", 8.0, 44100, 2, {"-c:a", "libmp3lame", "-q:a", "2"}); }
QString OggShort() { return ChirpFixture("chirp5.ogg", 5.0, 44100, 2, {"-c:a", "libvorbis", "-q:a", "4"}); }

TEST(ScanCacheReuse, ReopeningUsesTheScanAndStaysExact) {
  ScanCache::Instance().Clear();
  TempDir dir;
  const QString path = dir.file("reopened.mp3");
  ASSERT_TRUE(QFile::copy(Mp3Vbr(), path));
  const std::vector<float> reference = DecodeWithFfmpeg(path);

  TAudioFile2 first;
  first.OpenFile(path.toStdString(), 0, 1);
  const std::size_t hits = ScanCache::Instance().Hits();
  TAudioFile2 second;
  // A different spelling of the same file is the same file.
  second.OpenFile((dir.path() + "/./reopened.mp3").toStdString(), 0, 1);
  EXPECT_EQ(ScanCache::Instance().Hits(), hits + 1);
  EXPECT_EQ(second.LengthSamples(), first.LengthSamples());
  ASSERT_EQ(static_cast<std::size_t>(second.LengthSamples()) * 2, reference.size());

  for (const std::int64_t pos : {std::int64_t{300000}, std::int64_t{1}, std::int64_t{44100}}) {
    SCOPED_TRACE("seek to " + std::to_string(pos));
    second.SeekSample(pos, 3);
    const SampleBuffer got = second.ReadSamples(20000);
    ASSERT_EQ(got.size(), 40000u);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), reference.begin() + pos * 2));
  }
  second.SeekSample(0, 3);
  EXPECT_TRUE(ReadToEnd(second) == reference);
}

// The same path rewritten with other audio (same inode, modification time put
// back as a copy tool that keeps times would) gets its own, new length.
TEST(ScanCacheReuse, ARewrittenFileIsScannedAfresh) {
  ScanCache::Instance().Clear();
  TempDir dir;
  const QString path = dir.file("rewritten.ogg");
  CopyInPlace(Mp3Vbr(), path);
  TAudioFile2 reader;
  reader.OpenFile(path.toStdString(), 0, 1);
  const int oldLength = reader.LengthSamples();
  reader.CloseFile();
  const struct timespec oldTime = ModifiedTime(path);

  CopyInPlace(OggShort(), path);
  SetModifiedTime(path, oldTime);
  const std::vector<float> reference = DecodeWithFfmpeg(path);
  reader.OpenFile(path.toStdString(), 0, 1);
  EXPECT_NE(reader.LengthSamples(), oldLength);
  ASSERT_EQ(static_cast<std::size_t>(reader.LengthSamples()) * 2, reference.size());
  EXPECT_TRUE(ReadToEnd(reader) == reference);
  reader.SeekSample(100000, 3);
  const SampleBuffer got = reader.ReadSamples(1000);
  ASSERT_EQ(got.size(), 2000u);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), reference.begin() + 200000));
}

// Same path, size and times: the bytes at the ends still tell the versions apart.
TEST(ScanCacheReuse, IdentityNoticesNewContentOfTheSameSizeAndTime) {
  TempDir dir;
  const QString path = dir.file("same size.mp3");
  CopyInPlace(Mp3Vbr(), path);
  const auto before = audio::IdentifyFile(path.toStdString());
  ASSERT_TRUE(before.has_value());
  const struct timespec oldTime = ModifiedTime(path);
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.seek(f.size() - 100));
    ASSERT_EQ(f.write(QByteArray(10, 'x')), 10);
  }
  SetModifiedTime(path, oldTime);
  const auto after = audio::IdentifyFile(path.toStdString());
  ASSERT_TRUE(after.has_value());
  EXPECT_EQ(after->size, before->size);
  EXPECT_EQ(after->modifiedNs, before->modifiedNs);
  EXPECT_FALSE(*after == *before);
  EXPECT_FALSE(audio::IdentifyFile(dir.file("missing.mp3").toStdString()).has_value());
}

TEST(ScanCacheReuse, KeepsOnlyAFewFiles) {
  ScanCache::Instance().Clear();
  TempDir dir;
  for (std::size_t i = 0; i < ScanCache::kMaxEntries + 3; ++i) {
    const QString path = dir.file(QString("copy-%1.ogg").arg(i));
    ASSERT_TRUE(QFile::copy(OggShort(), path));
    TAudioFile2 reader;
    reader.OpenFile(path.toStdString(), 0, 1);
    EXPECT_LE(ScanCache::Instance().Entries(), ScanCache::kMaxEntries);
  }
  EXPECT_EQ(ScanCache::Instance().Entries(), ScanCache::kMaxEntries);
}

}  // namespace
}  // namespace snipwave::test
