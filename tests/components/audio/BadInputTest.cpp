#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "AudioTestHelpers.h"
#include "Commands.h"
#include "TempDir.h"
#include "components/audio/TAudioFile2.h"
#include "platform/Error.h"

namespace snipwave::test {
namespace {

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

// Opening fails with an error naming the path; the reader is left closed
// and usable.
void ExpectClearError(const QString& path) {
  TAudioFile2 reader;
  try {
    reader.OpenFile(path.toStdString(), 0, 1);
    ADD_FAILURE() << "no error for " << path.toStdString() << " (length " << reader.LengthSamples() << ")";
  } catch (const Error& e) {
    const std::string text = e.what();
    EXPECT_NE(text.find(path.toStdString()), std::string::npos) << text;
    EXPECT_GT(text.size(), path.size() + 12u) << "no reason given: " << text;
  }
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_THROW(reader.ReadSamples(10), Error);
  EXPECT_THROW(reader.LengthSamples(), Error);
}

TEST(ReaderBadInput, MissingEmptyAndTinyFiles) {
  TempDir dir;
  ExpectClearError(dir.file("missing.mp3"));
  WriteBytes(dir.file("empty.mp3"), {});
  ExpectClearError(dir.file("empty.mp3"));
  WriteBytes(dir.file("one.wav"), "R");
  ExpectClearError(dir.file("one.wav"));
  WriteBytes(dir.file("text.ogg"), "this is not audio at all\n");
  ExpectClearError(dir.file("text.ogg"));
  QDir(dir.path()).mkdir("folder.mp3");
  ExpectClearError(dir.file("folder.mp3"));
}

TEST(ReaderBadInput, RandomBytesNamedMp3) {
  TempDir dir;
  for (unsigned seed : {1u, 2u, 3u}) {
    QByteArray bytes(200000, '\0');
    unsigned x = seed;
    for (char& c : bytes) {
      x = x * 1103515245u + 12345u;
      c = static_cast<char>(x >> 16);
    }
    WriteBytes(dir.file("random.mp3"), bytes);
    ExpectClearError(dir.file("random.mp3"));
  }
}

TEST(ReaderBadInput, JpegRenamedOggAndVideoWithoutAudio) {
  TempDir dir;
  const QString jpeg = Fixture("picture.jpg", {"-f", "lavfi", "-i", "testsrc=s=64x48", "-frames:v", "1"});
  QFile::copy(jpeg, dir.file("picture.ogg"));
  ExpectClearError(dir.file("picture.ogg"));
  // An Ogg file with a video stream only.
  const QString video = Fixture("video-only.ogg", {"-f", "lavfi", "-i", "testsrc=s=64x48:d=0.5", "-c:v", "libtheora"});
  ExpectClearError(video);
  // An audio codec the reader does not take, in an accepted container.
  const QString ac3InWav = Fixture("ac3.wav", {"-f", "lavfi", "-i", "sine=d=0.5", "-c:a", "ac3"});
  ExpectClearError(ac3InWav);
}

// A file cut in the middle of an MP3 frame reads as far as it decodes, with
// the length matching what an independent decoder yields.
TEST(ReaderBadInput, TruncatedMp3ReadsWhatIsThere) {
  TempDir dir;
  QFile source(ChirpFixture("chirp3.mp3", 3.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"}));
  ASSERT_TRUE(source.open(QIODevice::ReadOnly));
  const QByteArray all = source.readAll();
  // 128 kbit/s frames are 417/418 bytes: cut inside one, about halfway.
  WriteBytes(dir.file("cut.mp3"), all.left(all.size() / 2 + 200));
  const std::vector<float> reference = DecodeWithFfmpeg(dir.file("cut.mp3"));
  TAudioFile2 reader;
  reader.OpenFile(dir.fileStd("cut.mp3"));
  EXPECT_EQ(static_cast<std::size_t>(reader.LengthSamples()) * 2, reference.size());
  const std::vector<float> got = ReadToEnd(reader);
  EXPECT_TRUE(got == reference);
  // Seeking near the cut end works too.
  reader.SeekSample(reader.LengthSamples() - 10, 3);
  EXPECT_EQ(reader.ReadSamples(100).size(), 20u);
}

// Names with blanks, non-ASCII letters and a colon are read and written.
TEST(ReaderBadInput, PathsWithSpacesAndNonAsciiLetters) {
  TempDir dir;
  QDir(dir.path()).mkdir(QString::fromUtf8("Ordner mit Lücke"));
  const QString wav = dir.file(QString::fromUtf8("Ordner mit Lücke/Grüße: ß 音.wav"));
  QFile::copy(ChirpFixture("chirp1.wav", 1.0, 44100, 2), wav);
  TAudioFile2 reader;
  reader.OpenFile(wav.toStdString());
  EXPECT_EQ(reader.LengthSamples(), 44100);
  const QString mp3 = dir.file(QString::fromUtf8("Ordner mit Lücke/Ausgabe ü:1.mp3"));
  TAudioFile2 writer;
  writer.SetPcmFormat(44100, 2);
  writer.CreateOutputFile(mp3.toStdString());
  writer.WriteSamples(reader.ReadSamples(44100));
  writer.CloseFile();
  EXPECT_EQ(DecodeWithFfmpeg(mp3).size(), 88200u);
}

// Reading with a conversion: another rate and channel count, exact to the
// end (the resampler's tail is flushed), and reset by the next OpenFile.
TEST(ReaderConversion, SetPcmFormatConvertsWhatIsReadNext) {
  const QString path = ChirpFixture("chirp3.wav", 3.0, 44100, 2);
  TAudioFile2 reader;
  reader.OpenFile(path.toStdString());
  reader.SetPcmFormat(22050, 1);
  EXPECT_EQ(reader.FrameSize(), 1);
  EXPECT_EQ(reader.SampleRate(), 44100u);  // still the file's own
  const std::vector<float> got = ReadToEnd(reader, 22050);
  EXPECT_NEAR(static_cast<double>(got.size()), 3 * 22050.0, 2.0);
  const std::vector<float> reference = DecodeWithFfmpeg(path, 1, 22050);
  EXPECT_GT(Correlation(got, reference), 0.99);
  // After a seek the conversion goes on from there.
  reader.SeekSample(44100, 3);
  EXPECT_NEAR(static_cast<double>(ReadToEnd(reader, 5000).size()), 2 * 22050.0, 2.0);
  reader.OpenFile(path.toStdString());
  EXPECT_EQ(reader.FrameSize(), 2);
  EXPECT_EQ(ReadToEnd(reader).size(), 3u * 44100 * 2);
}

// The call order of the preview: open, seek (no read before), read.
TEST(ReaderConversion, SeekRightAfterOpen) {
  const QString path = SourceFixture(SourceKinds()[2]);
  const std::vector<float> reference = DecodeWithFfmpeg(path);
  TAudioFile2 reader;
  reader.OpenFile(path.toStdString());
  reader.SeekSample(200000, 3);
  const SampleBuffer b = reader.ReadSamples(4410);
  ASSERT_EQ(b.size(), 8820u);
  EXPECT_TRUE(std::equal(b.begin(), b.end(), reference.begin() + 400000));
}

}  // namespace
}  // namespace snipwave::test
