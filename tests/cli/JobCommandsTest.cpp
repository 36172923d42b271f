// The command-line cut and join, run as a separate process on fixtures made
// by ffmpeg; outputs decoded independently with the ffmpeg CLI.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QCryptographicHash>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QtEndian>
#include <algorithm>
#include <csignal>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Commands.h"
#include "TempDir.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

namespace snipwave::test {
namespace {

const QString kProgram = QStringLiteral(SNIPWAVE_RUNTIME_DIR "/snipwave");

// Each test has its own settings folder and output folder.
class JobCommands : public ::testing::Test {
 protected:
  JobCommands() {
    qputenv("SNIPWAVE_CONFIG_DIR", dir.file("config").toUtf8());
    QDir().mkdir(dir.file("config"));
    QDir().mkdir(out());
  }
  QString out() const { return dir.file("out"); }
  QString out(const QString& name) const { return dir.file("out/" + name); }
  SettingsStore Settings() const { return SettingsStore(dir.file("config/Snipwave.ini")); }
  CommandResult Run(const QStringList& args) { return RunCommand(kProgram, args); }
  static QStringList Lines(const QByteArray& text) {
    return QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts);
  }
  static QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  static void Write(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
  }

  TempDir dir;
};

QString Wav() { return ChirpFixture("cli-src.wav", 3.0, 44100, 2); }
QString Mp3() { return ChirpFixture("cli-src.mp3", 3.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "160k"}); }

// An empty range gives a file with no samples in every format, and that is
// success: the file holds exactly the 0 frames written.
TEST_F(JobCommands, EmptyRangeGivesAnEmptyFileAndSucceeds) {
  for (const char* format : {"mp3", "wav", "wma", "ogg", "flac", "opus", "m4a"}) {
    SCOPED_TRACE(format);
    const QString folder = out(format);
    const CommandResult r = Run({"cut", "--format", format, "--out", folder, Wav() + "@1000:1000"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList written = Lines(r.out);
    ASSERT_EQ(written.size(), 1);
    EXPECT_TRUE(written[0].endsWith(QString(".") + format)) << written[0].toStdString();
    EXPECT_TRUE(QFileInfo(written[0]).isFile());
    EXPECT_FALSE(r.err.contains("check")) << r.err.toStdString();
  }
}

TEST_F(JobCommands, CutWritesOneFilePerSourceAndPrintsThePaths) {
  const CommandResult r =
      Run({"cut", "--format", "wav", "--out", out(), Wav() + "@1000:45100", Mp3() + "@:22050", Wav()});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QString wavName = QFileInfo(Wav()).completeBaseName(), mp3Name = QFileInfo(Mp3()).completeBaseName();
  const QStringList expected = {out("Cut_" + wavName + ".wav"), out("Cut_" + mp3Name + ".wav"),
                                out("Cut(1)_" + wavName + ".wav")};
  EXPECT_EQ(Lines(r.out), expected);
  const std::vector<float> source = DecodeWithFfmpeg(Wav());
  const std::vector<float> first = DecodeWithFfmpeg(expected[0]);
  ASSERT_EQ(first.size(), 2u * 44100u);
  for (std::size_t i = 0; i < first.size(); ++i)
    ASSERT_NEAR(first[i], source[2000 + i], 1.01f / 32768) << "element " << i;
  EXPECT_EQ(DecodeWithFfmpeg(expected[1]).size(), 2u * 22050u);
  EXPECT_EQ(DecodeWithFfmpeg(expected[2]).size(), source.size());

  // Configuration comes from the settings file: WAV custom 22050 Hz mono 8 bit.
  SettingsStore settings = Settings();
  settings.WriteInteger(settings::section::kWav, settings::key::kMode, 2);
  settings.WriteInteger(settings::section::kWav, settings::key::kFrequency, 5);
  settings.WriteInteger(settings::section::kWav, settings::key::kChannel, 0);
  settings.WriteInteger(settings::section::kWav, settings::key::kBit, 0);
  const CommandResult again = Run({"cut", "--format=wav", "--out=" + out(), Wav() + "@0:44100"});
  ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
  EXPECT_EQ(Lines(again.out), QStringList{out("Cut(2)_" + wavName + ".wav")});
  const ProbeInfo info = FfprobeInfo(out("Cut(2)_" + wavName + ".wav"));
  EXPECT_EQ(info.sampleRate, 22050);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.codec, "pcm_u8");
  EXPECT_NEAR(double(DecodeWithFfmpeg(out("Cut(2)_" + wavName + ".wav")).size()), 22050.0, 1.0);
}

TEST_F(JobCommands, JoinReplacesAnExistingFileOnlyWithYes) {
  const QString chosen = out("mix.wav");  // the MP3 format makes it mix.mp3
  const CommandResult first = Run({"join", "--out", chosen, Wav() + "@0:44100", Mp3() + "@44100:"});
  ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
  EXPECT_EQ(Lines(first.out), QStringList{out("mix.mp3")});
  EXPECT_NEAR(double(DecodeWithFfmpeg(out("mix.mp3")).size()), 2.0 * 132300, 2.0);
  const QByteArray written = Read(out("mix.mp3"));

  // Not on a terminal and no --yes: the question is answered No.
  const CommandResult declined = Run({"join", "--out", out("mix"), Wav()});
  EXPECT_EQ(declined.exitCode, 1);
  EXPECT_EQ(Lines(declined.out), QStringList{});
  EXPECT_TRUE(declined.err.contains("File has existed. Overwrite?")) << declined.err.toStdString();
  EXPECT_EQ(Read(out("mix.mp3")), written);

  // Another format is another name: nothing to ask.
  const CommandResult wav = Run({"join", "--format", "wav", "--out", out("mix.mp3"), Wav() + "@0:100"});
  EXPECT_EQ(wav.exitCode, 0);
  EXPECT_EQ(Lines(wav.out), QStringList{out("mix.wav")});

  QFile::setPermissions(out("mix.mp3"), QFileDevice::ReadOwner);
  const CommandResult replaced = Run({"join", "--yes", "--out", out("mix.mp3"), Wav() + "@0:4410"});
  ASSERT_EQ(replaced.exitCode, 0) << replaced.err.toStdString();
  EXPECT_NEAR(double(DecodeWithFfmpeg(out("mix.mp3")).size()), 2.0 * 4410, 2.0);
}

TEST_F(JobCommands, RefusalsAndBadArgumentsWriteNothing) {
  SettingsStore settings = Settings();
  settings.WriteInteger(settings::section::kMp3, settings::key::kFrequency, 0);  // 6000 Hz: no MP3 has it
  CommandResult r = Run({"cut", "--format", "mp3", "--out", out(), Wav()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains("This MP3 format is not supported.")) << r.err.toStdString();
  r = Run({"join", "--out", out("mix"), Wav()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains("This MP3 format is not supported."));

  r = Run({"cut", "--format", "wav", "--out", out(), Wav() + "@100:99"});
  EXPECT_EQ(r.exitCode, 2);
  r = Run({"cut", "--format", "wav", "--out", out(), Wav() + "@0:999999999"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(r.err.contains("does not lie within")) << r.err.toStdString();

  const QString bogus = dir.file("bogus.mp3");
  Write(bogus, "this is no audio at all");
  r = Run({"cut", "--format", "wav", "--out", out(), Wav(), bogus});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains("bogus.mp3")) << r.err.toStdString();
  r = Run({"cut", "--format", "wav", "--out", out(), dir.file("missing.wav")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains("missing.wav")) << r.err.toStdString();

  r = Run({"cut", "--format", "aiff", "--out", out(), Wav()});  // read, never written
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(r.err.contains("(mp3, wav, wma, ogg, flac, opus, m4a or alac)")) << r.err.toStdString();
  EXPECT_EQ(Run({"cut", "--format", "wav", Wav()}).exitCode, 2);
  EXPECT_EQ(Run({"cut", "--format", "wav", "--out", out()}).exitCode, 2);
  EXPECT_EQ(Run({"cut", "--yes", "--out", out(), Wav()}).exitCode, 2);  // --yes is the join's
  for (const QString& jobs : {"0", "-2", "two", "1.5", ""}) {
    r = Run({"cut", "--jobs", jobs, "--format", "wav", "--out", out(), Wav()});
    EXPECT_EQ(r.exitCode, 2) << jobs.toStdString();
    EXPECT_TRUE(r.err.contains("--jobs needs a whole number")) << r.err.toStdString();
  }
  EXPECT_EQ(Run({"join", "--jobs", "2", "--out", out("mix"), Wav()}).exitCode, 2);  // one output: nothing to share
  EXPECT_TRUE(QDir(out()).isEmpty());

  const CommandResult help = Run({"join", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(help.out.startsWith("Usage: snipwave join")) << help.out.toStdString();
  const CommandResult usage = Run({"--help"});
  EXPECT_TRUE(usage.out.contains("cut  [--format mp3|wav|wma|ogg|flac|opus|m4a|alac] [--lossless]")) << usage.out.toStdString();
}

TEST_F(JobCommands, OutputFolderThatIsAFileFailsWithAMessage) {
  const QString blocked = dir.file("blocked");
  Write(blocked, "x");
  const CommandResult r = Run({"cut", "--format", "wav", "--out", blocked, Wav()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains("blocked")) << r.err.toStdString();
  EXPECT_EQ(Read(blocked), "x");
}

TEST_F(JobCommands, FullDiskStopsTheJobAndKeepsEarlierFilesPlayable) {
  Write(out("keep.txt"), "keep");
  const QString name = QFileInfo(Wav()).completeBaseName();
  const QString longer = ChirpFixture("cli-long.wav", 3.0, 44100, 2);
  // Every file this process writes may grow to 300 * 512 bytes: the first
  // half-second WAV fits, the two-second one does not.
  const CommandResult r = RunCommand(
      "sh", {"-c", "ulimit -f 300 && exec \"$0\" \"$@\"", kProgram, "cut", "--format", "wav", "--out", out(),
             Wav() + "@0:22050", longer + "@0:88200", Wav() + "@22050:44100"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_FALSE(r.err.isEmpty());
  EXPECT_EQ(Lines(r.out), QStringList{out("Cut_" + name + ".wav")});
  EXPECT_EQ(DecodeWithFfmpeg(out("Cut_" + name + ".wav")).size(), 2u * 22050u);
  EXPECT_EQ(Read(out("keep.txt")), "keep");
  EXPECT_FALSE(QFileInfo::exists(out("Cut(1)_" + name + ".wav")));
  // The failed output was written under a temporary name and removed.
  const QStringList entries = QDir(out()).entryList(QDir::Files | QDir::Hidden);
  EXPECT_EQ(entries, (QStringList{"Cut_" + name + ".wav", "keep.txt"})) << entries.join(", ").toStdString();
}

TEST_F(JobCommands, JoinOverAnExistingFileOnAFullDiskKeepsTheOldFile) {
  ASSERT_EQ(Run({"join", "--format", "wav", "--out", out("mix.wav"), Wav() + "@0:4410"}).exitCode, 0);
  const QByteArray old = Read(out("mix.wav"));
  // 300 * 512 bytes: the old file fits, two seconds of stereo do not.
  const CommandResult r =
      RunCommand("sh", {"-c", "ulimit -f 300 && exec \"$0\" \"$@\"", kProgram, "join", "--yes", "--format", "wav",
                        "--out", out("mix.wav"), Wav() + "@0:88200"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains(out("mix.wav").toUtf8())) << r.err.toStdString();
  EXPECT_EQ(Read(out("mix.wav")), old);
  EXPECT_EQ(QDir(out()).entryList(QDir::Files | QDir::Hidden), QStringList{"mix.wav"});
}

TEST_F(JobCommands, SigtermDuringALongCutLeavesACompleteFileUnderItsName) {
  const QString source = ChirpFixture("cli-ten-minutes.mp3", 600.0, 22050, 1, {"-c:a", "libmp3lame", "-b:a", "32k"});
  const QString base = QFileInfo(source).completeBaseName();
  const QString shortRow = Wav() + "@0:4410";
  struct Case {
    QStringList args;
    int writing;  // outputs being written when the signal is sent
    QStringList kept;
  };
  // One row; then three rows two at a time, stopped during the second while
  // the third is written too: the second is the row being cut, the third is
  // dropped as one row at a time would never have started it.
  const QList<Case> cases = {
      {{"cut", "--format", "wav", "--out", out(), source}, 1, {"Cut_" + base + ".wav"}},
      {{"cut", "--jobs", "2", "--format", "wav", "--out", out(), shortRow, source, source},
       2,
       {"Cut_" + QFileInfo(Wav()).completeBaseName() + ".wav", "Cut_" + base + ".wav"}},
  };
  for (const Case& c : cases) {
    for (const QString& f : QDir(out()).entryList(QDir::Files | QDir::Hidden)) QFile::remove(out(f));
    QProcess process;
    process.start(kProgram, c.args);
    ASSERT_TRUE(process.waitForStarted());
    // An output is being written once its temporary file holds audio past its header.
    QElapsedTimer waited;
    waited.start();
    const auto writing = [this] {
      int files = 0;
      for (const QFileInfo& f : QDir(out()).entryInfoList(QDir::Files | QDir::Hidden))
        files += f.fileName().contains(".snipwave-") && f.size() > 65536;
      return files;
    };
    while (writing() < c.writing && waited.elapsed() < 60000) QThread::msleep(2);
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 128 + SIGTERM) << process.readAllStandardError().toStdString();
    QStringList printed;
    for (const QString& name : c.kept) printed << out(name);
    EXPECT_EQ(Lines(process.readAllStandardOutput()), printed);
    EXPECT_EQ(QDir(out()).entryList(QDir::Files | QDir::Hidden, QDir::Name), c.kept);
    for (const QString& name : c.kept) {
      // Header and content agree: the data chunk's size is what follows it.
      const QByteArray bytes = Read(out(name));
      const qsizetype data = bytes.indexOf("data");
      ASSERT_GT(data, 0);
      const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + data + 4);
      EXPECT_EQ(qint64(size), bytes.size() - data - 8);
      const std::size_t values = DecodeWithFfmpeg(out(name)).size();
      EXPECT_EQ(values, size / 2u);
      EXPECT_GT(values, 0u);
    }
    // The long row stopped part of the way; the short one is whole.
    EXPECT_LT(DecodeWithFfmpeg(out("Cut_" + base + ".wav")).size(), 600u * 22050u);
    if (c.writing == 2)
      EXPECT_EQ(DecodeWithFfmpeg(out(c.kept[0])).size(), 2u * 4410u);
  }
}

// A signal before the output is opened (here while the overwrite question
// waits on the terminal) ends the command at once, with a message and exit
// status 128 + its number; the file to replace and the folder stay as they were.
TEST_F(JobCommands, SignalBeforeTheOutputIsOpenedEndsWithAMessageAndWritesNothing) {
  Write(out("mix.wav"), "old");
  const QByteArray program = kProgram.toUtf8(), target = out("mix.wav").toUtf8(), source = Wav().toUtf8();
  int terminal = -1;
  const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::execl(program.constData(), "snipwave", "join", "--format", "wav", "--out", target.constData(),
            source.constData(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Everything the terminal shows, until `seen` holds `text` or it closes.
  QByteArray shown;
  const auto readUntil = [&](const char* text, int ms) {
    QElapsedTimer waited;
    waited.start();
    while (!shown.contains(text) && waited.elapsed() < ms) {
      pollfd ready{terminal, POLLIN, 0};
      if (::poll(&ready, 1, 100) <= 0) continue;
      char bytes[256];
      const ssize_t got = ::read(terminal, bytes, sizeof bytes);
      if (got <= 0) break;  // the program has ended
      shown.append(bytes, got);
    }
  };
  readUntil("[y/N]", 60000);
  ASSERT_TRUE(shown.contains("File has existed. Overwrite? [y/N]")) << shown.toStdString();
  ::kill(pid, SIGTERM);
  readUntil("written.", 10000);
  int status = 0;
  QElapsedTimer waited;
  waited.start();
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (waited.elapsed() > 10000) {  // still waiting for an answer: end it
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    QThread::msleep(5);
  }
  ::close(terminal);
  ASSERT_TRUE(WIFEXITED(status)) << shown.toStdString();
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
  EXPECT_TRUE(shown.contains("Stopped before anything was written.")) << shown.toStdString();
  EXPECT_EQ(Read(out("mix.wav")), "old");
  EXPECT_EQ(QDir(out()).entryList(QDir::Files | QDir::Hidden), QStringList{"mix.wav"});
}

TEST_F(JobCommands, CutWithJobsMatchesOneRowAtATime) {
  const QString wavName = QFileInfo(Wav()).completeBaseName();
  const QString taken = dir.file("taken.wav");  // every output name of it exists: skipped in the middle
  ASSERT_TRUE(QFile::copy(Wav(), taken));
  const QString tagged = dir.file("tagged.mp3");
  Ffmpeg({"-i", Mp3(), "-c", "copy", "-metadata", "title=Song", "-metadata", "artist=Band", tagged});
  const QString longer = ChirpFixture("cli-long.wav", 3.0, 44100, 2);
  struct Case {
    QString limit;  // shell commands before the run
    QStringList args;
    int serialOutputs;
  };
  const QList<Case> cases = {
      {"", {"--format", "mp3", Wav() + "@0:44100", tagged, taken, Wav() + "@100:30000", tagged + "@1000:"}, 4},
      // A full disk ends the job at the second row; the third fits and is dropped all the same.
      {"ulimit -f 300 && ",
       {"--format", "wav", Wav() + "@0:22050", longer + "@0:88200", Wav() + "@22050:44100", Mp3() + "@0:4410"},
       1},
  };
  // Exit status, stdout, stderr (temporary names made alike) and every file of the output folder.
  const auto runWith = [&](const Case& c, const QString& jobs) {
    for (const QString& f : QDir(out()).entryList(QDir::Files | QDir::Hidden)) QFile::remove(out(f));
    Write(out("Cut_" + wavName + ".mp3"), "an earlier cut");
    Write(out("Cut_taken.mp3"), "");
    for (int k = 1; k <= 100; ++k) Write(out(QString("Cut(%1)_taken.mp3").arg(k)), "");
    const CommandResult r =
        RunCommand("sh", QStringList{"-c", c.limit + "exec \"$0\" \"$@\"", kProgram, "cut", "--jobs", jobs, "--out",
                                     out()} + c.args);
    QString text = QString("exit %1\n%2--\n%3--\n").arg(r.exitCode).arg(QString::fromUtf8(r.out),
                                                                      QString::fromUtf8(r.err));
    text.replace(QRegularExpression("\\.snipwave-[A-Za-z0-9]{6}\\."), ".snipwave-?.");
    for (const QString& f : QDir(out()).entryList(QDir::Files | QDir::Hidden, QDir::Name))
      text += f + " " + QCryptographicHash::hash(Read(out(f)), QCryptographicHash::Md5).toHex() + "\n";
    return std::make_pair(text.toStdString(), Lines(r.out).size());
  };
  for (const Case& c : cases) {
    const auto [serial, outputs] = runWith(c, "1");
    ASSERT_EQ(outputs, c.serialOutputs) << serial;
    EXPECT_NE(serial.find("exit 1\n"), std::string::npos) << serial;
    for (const QString& jobs : {"2", "99999999999999999999"}) EXPECT_EQ(runWith(c, jobs).first, serial) << "--jobs " << jobs.toStdString();
  }
}

TEST_F(JobCommands, PipesAreRefusedAtOnce) {
  const QString pipe = dir.file("x.wav");
  ASSERT_EQ(::mkfifo(pipe.toUtf8().constData(), 0600), 0);
  for (const QStringList& args : {QStringList{"cut", "--format", "wav", "--out", out(), pipe},
                                  QStringList{"join", "--format", "wav", "--out", out("mix"), pipe}}) {
    const CommandResult r = RunCommand(kProgram, args, 20000);
    EXPECT_EQ(r.exitCode, 1) << args.join(' ').toStdString();
    EXPECT_TRUE(r.err.contains(pipe.toUtf8() + " is a named pipe")) << r.err.toStdString();
  }
  EXPECT_TRUE(QDir(out()).isEmpty());
}

TEST_F(JobCommands, NamesThatAreNotUtf8OpenAndKeepTheirBytes) {
  // A Latin-1 "é" (the one byte 0xE9) is not UTF-8; the shell makes the name.
  const QString script = R"sh(n="$2/$(printf 'caf\351.wav')" && cp "$1" "$n" && "$0" probe "$n" && )sh"
                         R"sh("$0" cut --format wav --out "$2/out" "$n@0:4410")sh";
  const CommandResult r = RunCommand("sh", {"-c", script, kProgram, Wav(), dir.path()});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("\t132300\t3000\t44100\t2\n")) << r.out.toStdString();
  EXPECT_TRUE(r.out.contains(dir.path().toUtf8() + "/out/Cut_caf\xe9.wav\n")) << r.out.toStdString();
  EXPECT_EQ(ListFolderEntries(out()), QStringList{FileNameFromBytes("Cut_caf\xe9.wav")});
  // Qt's own clean-up cannot name these files.
  RunCommand("sh", {"-c", R"sh(rm -f "$0"/caf* "$0"/out/Cut_caf*)sh", dir.path()});
}

TEST_F(JobCommands, NamesUpToTheFileSystemsLimitAreWrittenLongerOnesRefused) {
  // "Cut_" + stem + ".wav" of 255 bytes fits (its hidden temporary name, 17
  // bytes longer, must fit too); 256 bytes do not. Two-byte characters: the
  // temporary stem is shortened by whole characters.
  for (const int stemBytes : {247, 248}) {
    const QString stem = QString(123, QChar(0xE9)) + QString(stemBytes - 246, 'x');
    const QString source = dir.file(stem + ".wav");
    ASSERT_TRUE(QFile::copy(Wav(), source));
    const QString name = "Cut_" + stem + ".wav";
    const CommandResult r = Run({"cut", "--format", "wav", "--out", out(), source + "@0:4410"});
    if (name.toUtf8().size() <= 255) {
      ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
      EXPECT_EQ(Lines(r.out), QStringList{out(name)});
      EXPECT_EQ(DecodeWithFfmpeg(out(name)).size(), 2u * 4410u);
      EXPECT_EQ(QDir(out()).entryList(QDir::Files | QDir::Hidden), QStringList{name});
      QFile::remove(out(name));
    } else {
      EXPECT_EQ(r.exitCode, 1);
      EXPECT_TRUE(r.err.contains("File name too long")) << r.err.toStdString();
      EXPECT_TRUE(QDir(out()).isEmpty());
    }
  }
}

TEST_F(JobCommands, ANameWithANewlineIsPrintedQuotedAsLsQuotesIt) {
  const QString source = dir.file("two\nlines.wav");
  ASSERT_TRUE(QFile::copy(Wav(), source));
  const CommandResult cut = Run({"cut", "--format", "wav", "--out", out(), source + "@0:4410"});
  ASSERT_EQ(cut.exitCode, 0) << cut.err.toStdString();
  EXPECT_EQ(cut.out, "'" + out().toUtf8() + "/Cut_two'$'\\n''lines.wav'\n");
  const CommandResult probe = Run({"probe", source});
  EXPECT_TRUE(probe.out.startsWith("'" + dir.path().toUtf8() + "/two'$'\\n''lines.wav'\t132300\t")) << probe.out.toStdString();
  // A script that reads the line gets the file's name back.
  const CommandResult back = RunCommand(
      "bash", {"-c", "eval \"p=$1\" && test -f \"$p\" && printf %s \"$p\"", "bash", QString::fromUtf8(cut.out.chopped(1))});
  EXPECT_EQ(QString::fromUtf8(back.out), out("Cut_two\nlines.wav"));
}

TEST_F(JobCommands, MessagesNameWhatIsWrong) {
  // Ranges with their own message, not read as a file name or another number.
  for (const QString& range : {QString("@-5:10"), QString("@99999999999999999999:"), QString("@1x:2")}) {
    const CommandResult r = Run({"cut", "--format", "wav", "--out", out(), Wav() + range});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("Invalid range \"" + range.mid(1).toUtf8() + "\"")) << r.err.toStdString();
  }
  // A folder as the join's output: refused, nothing written beside it.
  CommandResult r = Run({"join", "--format", "wav", "--out", out(), Wav()});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(r.err.contains(out().toUtf8() + " is a folder")) << r.err.toStdString();
  EXPECT_FALSE(QFileInfo::exists(out() + ".wav"));
  // A folder where the output file would go: no question first.
  QDir().mkdir(out("mix.wav"));
  r = Run({"join", "--yes", "--format", "wav", "--out", out("mix"), Wav()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_FALSE(r.err.contains("File has existed")) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains(out("mix.wav").toUtf8() + " is not a file")) << r.err.toStdString();
  // An unsupported MP3 setting: the message as in the window, then its values and where they come from.
  SettingsStore settings = Settings();
  settings.WriteInteger(settings::section::kMp3, settings::key::kFrequency, 0);
  r = Run({"cut", "--format", "mp3", "--out", out(), Wav()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(r.err.contains("This MP3 format is not supported.\nmp3: 6000 Hz, ")) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("from [mp3] in " + dir.file("config/Snipwave.ini").toUtf8())) << r.err.toStdString();
}

TEST_F(JobCommands, CutSplitAtSilenceWritesEachSoundingPartWithoutTagsWhenAsked) {
  // 1 s tone, 1 s silence, 1 s tone, 0.6 s silence, 1 s tone (sox, 44.1 kHz mono).
  QStringList pieces;
  for (const auto& [name, args] : QList<QPair<QString, QStringList>>{
           {"t", {"synth", "1", "sine", "440", "gain", "-6"}}, {"s1", {"trim", "0", "1"}}, {"s2", {"trim", "0", "0.6"}}}) {
    const QString piece = dir.file(name + ".wav");
    ASSERT_EQ(RunCommand("sox", QStringList{"-n", "-r", "44100", "-c", "1", "-b", "16", piece} + args).exitCode, 0);
    pieces << piece;
  }
  const QString source = dir.file("talk.wav");
  ASSERT_EQ(RunCommand("sox", {pieces[0], pieces[1], pieces[0], pieces[2], pieces[0], source}).exitCode, 0);
  Ffmpeg({"-i", source, "-metadata", "title=Talk", dir.file("tagged.wav")});

  const CommandResult r = Run({"cut", "--format", "wav", "--split-at-silence", "--silence-db", "-40", "--no-tags",
                               "--out", out(), dir.file("tagged.wav")});

  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  const QStringList written = Lines(r.out);
  ASSERT_EQ(written.size(), 3) << r.out.toStdString();
  // Parts meet at the silences' middles, 1.5 s and 3.3 s.
  const std::vector<double> lengths = {1.5, 1.8, 1.3};
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(double(DecodeWithFfmpeg(written[i], 1).size()), lengths[i] * 44100, 0.010 * 44100) << i;
    const CommandResult tags =
        RunCommand("ffprobe", {"-v", "error", "-show_entries", "format_tags=title", "-of", "csv=p=0", written[i]});
    EXPECT_TRUE(tags.out.trimmed().isEmpty()) << tags.out.toStdString();
  }
  EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();  // no progress line into a pipe
}

TEST_F(JobCommands, NameTemplateNamesTheOutputsAndWritesTheirTrackNumbers) {
  Ffmpeg({"-i", Wav(), "-metadata", "title=Song", "-metadata", "artist=Band", dir.file("tagged.wav")});
  const QString source = dir.file("tagged.wav");

  const CommandResult bad = Run({"cut", "--name", "{n:2} {track}", "--out", out(), source});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_TRUE(bad.err.contains("{track}")) << bad.err.toStdString();
  EXPECT_TRUE(QDir(out()).isEmpty());

  const CommandResult r = Run({"cut", "--format", "wav", "--name", "{n:2} {artist} - {title}", "--out", out(),
                               source + "@0:44100", source + "@44100:"});
  ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(Lines(r.out), (QStringList{out("01 Band - Song.wav"), out("02 Band - Song.wav")}));
  const std::vector<float> whole = DecodeWithFfmpeg(Wav());
  const std::vector<float> second = DecodeWithFfmpeg(out("02 Band - Song.wav"));
  ASSERT_EQ(second.size(), whole.size() - 2u * 44100u);
  EXPECT_TRUE(std::equal(second.begin(), second.end(), whole.begin() + 2 * 44100));
  for (const QString& n : {"1", "2"}) {
    const CommandResult tags = RunCommand("ffprobe", {"-v", "error", "-show_entries", "format_tags=track", "-of",
                                                      "csv=p=0", out(QString("0%1 Band - Song.wav").arg(n))});
    EXPECT_EQ(tags.out.trimmed(), n);
  }
}

// Every format after OGG: a cut and a join (of a WAV and a FLAC made by the
// flac tool) decode, by each format's own decoder, to exactly the range; the
// lossless ones to the source's very samples; the source's title goes along.
TEST_F(JobCommands, CutAndJoinIntoEachNewFormatDecodeToExactlyTheRange) {
  Ffmpeg({"-i", Wav(), "-metadata", "title=Song", dir.file("tagged.wav")});
  const QString wav = dir.file("tagged.wav"), flac = dir.file("tagged.flac");
  ASSERT_EQ(RunCommand("flac", {"-s", "-f", "-o", flac, wav}).exitCode, 0);
  const std::vector<float> source = DecodeWithFfmpeg(wav);
  struct Case {
    const char* format;
    const char* extension;
    int rate;
    bool lossless;
  };
  for (const Case& c : {Case{"flac", ".flac", 44100, true}, Case{"opus", ".opus", 48000, false},
                        Case{"m4a", ".m4a", 44100, false}, Case{"alac", ".m4a", 44100, true}}) {
    SCOPED_TRACE(c.format);
    const QString folder = out(c.format);
    const CommandResult cut = Run({"cut", "--format", c.format, "--out", folder, wav + "@1000:45100"});
    ASSERT_EQ(cut.exitCode, 0) << cut.err.toStdString();
    const CommandResult join = Run({"join", "--format", c.format, "--out", folder + "/joined", wav + "@0:22050",
                                    flac + "@22050:44100"});
    ASSERT_EQ(join.exitCode, 0) << join.err.toStdString();
    const QString cutFile = Lines(cut.out).value(0), joinFile = Lines(join.out).value(0);
    EXPECT_EQ(QFileInfo(cutFile).fileName(), QString("Cut_tagged") + c.extension);
    EXPECT_EQ(joinFile, folder + "/joined" + c.extension);
    const std::size_t frames = c.rate == 44100 ? 44100u : 48000u;  // a second either way
    const std::vector<float> cutSamples = DecodeWithOwnTool(cutFile), joinSamples = DecodeWithOwnTool(joinFile);
    EXPECT_EQ(cutSamples.size(), 2 * frames);
    EXPECT_EQ(joinSamples.size(), 2 * frames);
    EXPECT_EQ(FfprobeInfo(cutFile).sampleRate, c.rate);
    if (c.lossless) {
      EXPECT_TRUE(std::equal(cutSamples.begin(), cutSamples.end(), source.begin() + 2000)) << "the cut's samples";
      EXPECT_TRUE(std::equal(joinSamples.begin(), joinSamples.end(), source.begin())) << "the join's samples";
    }
    const CommandResult title = RunCommand(
        "ffprobe", {"-v", "error", "-show_entries", "format_tags=title:stream_tags=title", "-of", "csv=p=0", cutFile});
    EXPECT_TRUE(title.out.contains("Song")) << title.out.toStdString();
  }
}

}  // namespace
}  // namespace snipwave::test
