#include "cli/JobCommands.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <exception>
#include <limits>
#include <optional>
#include <unistd.h>

#include "cli/ConsoleObserver.h"
#include "cli/CutJobs.h"
#include "cli/PathLines.h"
#include "cli/SheetRowsFromFile.h"
#include "cli/SourceArgument.h"
#include "components/audio/AudioInterfaces.h"
#include "convert/CutJob.h"
#include "convert/JoinJob.h"
#include "convert/LevelSettings.h"
#include "level/FadeCurve.h"
#include "convert/OutputNames.h"
#include "convert/PacketCopy.h"
#include "convert/RealRowComponents.h"
#include "convert/SilenceSplit.h"
#include "platform/FileHelpers.h"
#include "platform/FileNames.h"
#include "platform/MulDiv.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

namespace snipwave {

const char* const kJobCommandsUsage =
    "  cut  [--format mp3|wav|wma|ogg|flac|opus|m4a|alac] [--lossless] [--no-tags] [--replaygain]\n"
    "       [--jobs N] [--name TEMPLATE] [--split-at-silence [--silence-db D] [--silence-min S]]\n"
    "       --out DIR PATH[@BEGIN:END]...\n"
    "                  cut each source's range into DIR/Cut_<name> (Cut(1)_<name>, ... when taken)\n"
    "  cut  [OPTIONS] --cue SHEET.cue --out DIR\n"
    "  cut  [OPTIONS] --labels LABELS.txt --out DIR SOURCE\n"
    "                  cut the tracks of a cue sheet, or a source's labelled ranges\n"
    "  join [--format mp3|wav|wma|ogg|flac|opus|m4a|alac] [--lossless] [--no-tags] [--replaygain] --out FILE\n"
    "       [--yes] PATH[@BEGIN:END]...\n"
    "                  join the sources' ranges, in order, into FILE (its extension becomes the format's)\n"
    "\n"
    "Options of cut and join:\n"
    "  --format F          output type: mp3 (default), wav, wma, ogg, flac, opus, m4a (AAC)\n"
    "                      or alac (Apple Lossless in .m4a)\n"
    "  --lossless          MP3 to MP3: the source's frames copied, only the edges re-encoded\n"
    "                      OGG, OPUS, M4A, FLAC: the source's packets copied, the range trimmed\n"
    "  --no-tags           outputs get no tags from their sources\n"
    "  --replaygain        outputs get ReplayGain 2.0 tags (track; a cut's also album)\n"
    "  --yes               (join) replace an existing FILE without asking\n"
    "  --jobs N            (cut) cut up to N rows at once\n"
    "  --name TEMPLATE     (cut) output names, e.g. \"{n:2} {title}\"\n"
    "  --split-at-silence  (cut) one file per sounding part; --silence-db D and\n"
    "                      --silence-min S say what a silence is\n"
    "  --cue SHEET         (cut) the rows are the tracks of a cue sheet\n"
    "  --labels FILE       (cut) the rows are the labelled ranges of the one SOURCE\n"
    "  --fade-in MS, --fade-out MS, --fade-curve linear|equal-power|log, --edge-fade MS,\n"
    "  --crossfade MS (join), --loudness LUFS, --true-peak DBTP   level choices (see cut --help)\n";

namespace {

enum class JobKind { Cut, Join };

const char* const kCutHelp =
    "Usage: snipwave cut [--format mp3|wav|wma|ogg|flac|opus|m4a|alac] [--no-tags] [--lossless] [--replaygain]\n"
    "                    [--split-at-silence [--silence-db D] [--silence-min S]] [--jobs N]\n"
    "                    [--name TEMPLATE] --out DIR PATH[@BEGIN:END]...\n"
    "       snipwave cut [OPTIONS] --cue SHEET.cue --out DIR\n"
    "       snipwave cut [OPTIONS] --labels LABELS.txt --out DIR SOURCE\n"
    "Writes each source's range into its own file DIR/Cut_<name>, or Cut(1)_<name> ...\n"
    "Cut(100)_<name> when that name is taken (existing files are never replaced).\n"
    "\n"
    "  --name TEMPLATE  names the outputs instead (default: [Format] NameTemplate of the\n"
    "               settings file, else Cut_{name}): {n} the row's number (1, 2, ...; {n:2}\n"
    "               pads it: 01, 02, ...), {title}, {artist} (from the source's tags),\n"
    "               {name} (the source's name), {begin} (m-ss.mmm); characters a file\n"
    "               system refuses become _, a taken name gets Cut(1)_ ... in front. Any\n"
    "               template but the default also writes the track number tag\n"
    "  --split-at-silence  cut each source's range into its sounding parts: each part\n"
    "               ends and the next begins at the middle of a silence; leading and\n"
    "               trailing silence stay with the first and last part\n"
    "  --silence-db D   a silence stays below D dBFS (default -50)\n"
    "  --silence-min S  and lasts at least S seconds (default 0.5)\n"
    "  --cue SHEET.cue  the rows are the sheet's audio tracks: each from its INDEX 01 to the\n"
    "               next track's (or its FILE's end), FILEs looked for beside the sheet\n"
    "               (also under another extension); data tracks are skipped and named;\n"
    "               no PATH is given then\n"
    "  --labels LABELS.txt  the rows are the labelled ranges (start<TAB>end<TAB>label,\n"
    "               seconds) of the one SOURCE given\n";
const char* const kJoinHelp =
    "Usage: snipwave join [--format mp3|wav|wma|ogg|flac|opus|m4a|alac] [--no-tags] [--lossless] [--replaygain]\n"
    "                     --out FILE [--yes] PATH[@BEGIN:END]...\n"
    "Writes the sources' ranges, one after the other, into FILE, whose extension is\n"
    "replaced by the format's. Every source is converted to the sample rate and channel\n"
    "count of the first. An existing FILE is replaced only with --yes or when the\n"
    "question is answered yes on the terminal.\n";
const char* const kCommonHelp =
    "\n"
    "  --fade-in MS, --fade-out MS  fade each output (a join: the joined file) in from\n"
    "               silence over its first MS ms, out over its last MS ms\n"
    "  --fade-curve linear|equal-power|log  the fades' shape: a straight line, a quarter\n"
    "               sine wave, or a straight ramp in dB from -60 dB to 0 dB (default linear)\n"
    "  --crossfade MS  (join) each two ranges overlap by MS ms, the one fading out as the\n"
    "               next fades in (equal-power); the joined length is the sum of the ranges\n"
    "               less the overlaps; an overlap takes at most half of each range\n"
    "  --edge-fade MS  a short linear fade at both ends of every output, against clicks\n"
    "  --loudness LUFS  (join) each range gained to LUFS (EBU R128); (cut) each output\n"
    "               gained to LUFS; stderr says each gain; a silent range gets none\n"
    "  --true-peak DBTP  no gain takes the true peak above DBTP (default -1); the gain is\n"
    "               reduced instead (no limiter). The [Level] section of the settings file\n"
    "               gives the defaults of all of these\n"
    "  --format F   output type: mp3 (default), wav, wma, ogg, flac, opus, m4a (AAC in\n"
    "               .m4a) or alac (Apple Lossless in .m4a); its parameters come from the\n"
    "               settings file Snipwave.ini, as in the window\n"
    "  --no-tags    outputs get no tags from their sources (title, artist, album, cover, ...)\n"
    "  --replaygain tags each output with its ReplayGain 2.0 track gain (to -18 LUFS) and\n"
    "               true peak, measured from the output's audio; a cut's outputs also get\n"
    "               album values over all of them, a join's file track = album. MP3: TXXX\n"
    "               frames; OGG, FLAC, Opus: Vorbis comments (Opus also R128_*); M4A:\n"
    "               iTunes freeform atoms; WMA: attributes; WAV: an ID3v2 chunk\n"
    "               ([Level] ReplayGain=1 in the settings file does the same)\n"
    "  --lossless   MP3 to MP3: copy the source's frames inside each range as they are and\n"
    "               re-encode only the edges (exact to the sample, no generation loss);\n"
    "               needs the output's sample rate and channels to be the source's, else\n"
    "               the range is re-encoded and stderr says why ([mp3] lossless=1 in the\n"
    "               settings file does the same for every job)\n"
    "               OGG (Vorbis), OPUS, M4A (AAC) and FLAC of a source of the same codec,\n"
    "               rate and channels: the source's packets copied byte for byte and the\n"
    "               container told where the range begins and ends (FLAC: whole frames\n"
    "               copied, the edges re-encoded losslessly); other sources, fades and\n"
    "               gains re-encode and stderr says why; stderr gives the share of packets\n"
    "               copied ([ogg], [opus], [m4a], [flac] lossless=1 do the same). A join\n"
    "               re-encodes a range that does not fit on its own and copies that\n"
    "               (an M4A join of several ranges is re-encoded whole)\n"
    "  PATH@BEGIN:END  the range [BEGIN, END) in sample frames of the source; either may be\n"
    "               left empty (the start, the file's length); PATH alone means the whole file\n"
    "  Ctrl+C       stops after the current chunk (so do SIGTERM and SIGHUP); the file\n"
    "               being written is completed under its name, nothing half-written stays;\n"
    "               before any file is written it stops at once\n"
    "\n"
    "Messages go to stderr, the written files to stdout, one per line; a path holding a\n"
    "control character (or starting with ') is quoted as ls quotes it: '/music/a'$'\\n''b.mp3'.\n"
    "Exit status: 0 done, 1 refused, skipped, shortened or failed, 2 wrong arguments,\n"
    "128 + the signal's number when stopped (130 for Ctrl+C).\n";

struct JobArguments {
  bool help = false;
  int formatIndex = 0;  // MP3, as the window starts
  QString out;
  bool yes = false;
  bool noTags = false;
  bool lossless = false;
  bool replayGain = false;
  bool splitAtSilence = false;
  int jobs = DefaultCutJobs();
  std::optional<QString> nameTemplate;
  SilenceRule silence;
  // Level options given; the rest comes from [Level] of the settings file.
  std::optional<int> fadeInMs, fadeOutMs, crossfadeMs, edgeFadeMs;
  std::optional<level::FadeCurve> fadeCurve;
  std::optional<double> loudnessLufs, truePeakDbtp;
  QString cue;     // --cue: rows from this sheet
  QString labels;  // --labels: rows from this label file, of the one source
  QList<SourceArgument> sources;
};

// Whether `a` is the option `name` (alone or as name=value).
bool IsOption(const QString& a, const char* name) { return a == name || a.startsWith(QString(name) + "="); }

// One level option: nothing when `a` is none, false (with `error`) for a bad
// value, true when taken.
template <typename Value>
std::optional<bool> ParseLevelOption(JobKind kind, const QString& a, Value& value, JobArguments& parsed,
                                     QString& error) {
  const auto ms = [&](const char* name, std::optional<int>& into) {
    const auto v = value(name);
    if (!v) return false;
    bool ok = false;
    const int number = v->toInt(&ok);
    if (!ok || number < 0 || number > level::kLongestFadeMs) {
      error = QString("%1 needs a length in ms from 0 to %2 (for example 500)").arg(name).arg(level::kLongestFadeMs);
      return false;
    }
    into = number;
    return true;
  };
  const auto number = [&](const char* name, double low, double high, const char* wanted, std::optional<double>& into) {
    const auto v = value(name);
    if (!v) return false;
    bool ok = false;
    const double n = v->toDouble(&ok);
    if (!ok || !std::isfinite(n) || n < low || n > high) {
      error = QString("%1 needs %2").arg(name, wanted);
      return false;
    }
    into = n;
    return true;
  };
  if (IsOption(a, "--fade-in")) return ms("--fade-in", parsed.fadeInMs);
  if (IsOption(a, "--fade-out")) return ms("--fade-out", parsed.fadeOutMs);
  if (IsOption(a, "--edge-fade")) return ms("--edge-fade", parsed.edgeFadeMs);
  if (kind == JobKind::Join && IsOption(a, "--crossfade")) return ms("--crossfade", parsed.crossfadeMs);
  if (IsOption(a, "--fade-curve")) {
    const auto v = value("--fade-curve");
    if (!v) return false;
    parsed.fadeCurve = level::CurveFromName(v->toLower().toStdString());
    if (!parsed.fadeCurve) error = "unknown fade curve \"" + *v + "\" (linear, equal-power or log)";
    return parsed.fadeCurve.has_value();
  }
  if (IsOption(a, "--loudness"))
    return number("--loudness", level::kLowestTargetLufs, level::kHighestTargetLufs,
                  "a loudness in LUFS from -70 to 0 (for example -16)", parsed.loudnessLufs);
  if (IsOption(a, "--true-peak"))
    return number("--true-peak", level::kLowestCeilingDbtp, level::kHighestCeilingDbtp,
                  "a true peak in dBTP from -30 to 0 (for example -1)", parsed.truePeakDbtp);
  return std::nullopt;
}

// Parses the arguments; on a mistake sets `error` and returns nothing.
std::optional<JobArguments> ParseArguments(JobKind kind, const QStringList& arguments, QString& error) {
  JobArguments parsed;
  bool optionsEnded = false;
  for (int i = 0; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    auto value = [&](const QString& option) -> std::optional<QString> {
      if (a.startsWith(option + "=")) return a.mid(option.size() + 1);
      if (i + 1 < arguments.size()) return arguments[++i];
      error = option + " needs a value";
      return std::nullopt;
    };
    if (optionsEnded || !a.startsWith('-') || a == "-") {
      parsed.sources << ParseSourceArgument(a);
    } else if (a == "--") {
      optionsEnded = true;
    } else if (a == "--help" || a == "-h") {
      parsed.help = true;
    } else if (a == "--format" || a.startsWith("--format=")) {
      const auto v = value("--format");
      if (!v) return std::nullopt;
      // In the order of the window's format list (OutputType).
      static const QStringList names = {"mp3", "wav", "wma", "ogg", "flac", "opus", "m4a", "alac"};
      parsed.formatIndex = static_cast<int>(names.indexOf(v->toLower()));
      if (parsed.formatIndex < 0) {
        error = "unknown format \"" + *v + "\" (mp3, wav, wma, ogg, flac, opus, m4a or alac)";
        return std::nullopt;
      }
    } else if (a == "--out" || a.startsWith("--out=")) {
      const auto v = value("--out");
      if (!v) return std::nullopt;
      parsed.out = *v;
    } else if (kind == JobKind::Cut && a == "--split-at-silence") {
      parsed.splitAtSilence = true;
    } else if (kind == JobKind::Cut && (a == "--silence-db" || a.startsWith("--silence-db=") ||
                                        a == "--silence-min" || a.startsWith("--silence-min="))) {
      const bool db = a.startsWith("--silence-db");
      const auto v = value(db ? "--silence-db" : "--silence-min");
      if (!v) return std::nullopt;
      bool ok = false;
      const double number = v->toDouble(&ok);
      if (!ok || !std::isfinite(number) || (db ? number > 0 : number <= 0)) {
        error = db ? "--silence-db needs a level in dBFS, 0 or below (for example -50)"
                   : "--silence-min needs a length in seconds above 0 (for example 0.5)";
        return std::nullopt;
      }
      (db ? parsed.silence.thresholdDb : parsed.silence.minSeconds) = number;
    } else if (kind == JobKind::Cut && (a == "--jobs" || a.startsWith("--jobs="))) {
      const auto v = value("--jobs");
      if (!v) return std::nullopt;
      const std::optional<int> jobs = ParseCutJobs(*v, error);
      if (!jobs) return std::nullopt;
      parsed.jobs = *jobs;
    } else if (kind == JobKind::Cut && (a == "--cue" || a.startsWith("--cue=") || a == "--labels" ||
                                        a.startsWith("--labels="))) {
      const bool cue = a.startsWith("--cue");
      const auto v = value(cue ? "--cue" : "--labels");
      if (!v) return std::nullopt;
      (cue ? parsed.cue : parsed.labels) = *v;
    } else if (kind == JobKind::Cut && (a == "--name" || a.startsWith("--name="))) {
      const auto v = value("--name");
      if (!v) return std::nullopt;
      if (!NameTemplate::Parse(*v, &error)) return std::nullopt;
      parsed.nameTemplate = *v;
    } else if (const std::optional<bool> level = ParseLevelOption(kind, a, value, parsed, error)) {
      if (!*level) return std::nullopt;
    } else if (a == "--no-tags") {
      parsed.noTags = true;
    } else if (a == "--lossless") {
      parsed.lossless = true;
    } else if (a == "--replaygain") {
      parsed.replayGain = true;
    } else if (kind == JobKind::Join && (a == "--yes" || a == "-y")) {
      parsed.yes = true;
    } else {
      error = "unknown option " + a;
      return std::nullopt;
    }
  }
  if (parsed.help) return parsed;
  for (const SourceArgument& source : parsed.sources) {
    if (!source.error.isEmpty()) {
      error = source.error;
      return std::nullopt;
    }
  }
  if (parsed.out.isEmpty()) error = "--out is required";
  else if (!parsed.cue.isEmpty() && !parsed.labels.isEmpty()) error = "--cue and --labels cannot be given together";
  else if (!parsed.cue.isEmpty() && !parsed.sources.isEmpty())
    error = "--cue takes its sources from the sheet; no PATH can be given with it";
  else if (!parsed.labels.isEmpty() &&
           (parsed.sources.size() != 1 || parsed.sources.front().begin || parsed.sources.front().end))
    error = "--labels needs exactly one SOURCE, without a range";
  else if (parsed.sources.isEmpty() && parsed.cue.isEmpty()) error = "no source file given";
  else if (parsed.sources.size() > kMaxSources)
    error = QString("at most %1 source files can be given at once").arg(kMaxSources);
  if (!error.isEmpty()) return std::nullopt;
  return parsed;
}

QString AbsoluteNative(const QString& path) { return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()); }

std::int64_t BeginMs(std::int64_t frame, unsigned rate) {
  return rate > 0 ? MulDiv64(frame, 1000, static_cast<std::int64_t>(rate)) : 0;
}

// The sources as the window's add would list them: probed for their length,
// with their ranges. A source that cannot be read, or a range outside the
// file, stops the command before anything is written.
bool ListSources(IAudioFile2& reader, const QList<SourceArgument>& sources, std::vector<JobRow>& rows,
                 QTextStream& err, int& status) {
  for (const SourceArgument& source : sources) {
    const QString path = AbsoluteNative(source.path);
    std::int64_t length = 0;
    unsigned rate = 0;
    // A pipe or a device would block the reader: refused before any open.
    if (const std::optional<QString> reason = NotARegularFile(path)) {
      err << *reason << Qt::endl;
      status = 1;
      return false;
    }
    try {
      reader.OpenFile(SystemPath(path), 0, 1);
      length = reader.LengthSamples();
      rate = reader.SampleRate();
      reader.CloseFile();
    } catch (const std::exception& e) {
      err << e.what() << Qt::endl;
      status = 1;
      return false;
    }
    const std::int64_t begin = source.begin.value_or(0);
    const std::int64_t end = source.end.value_or(length);
    if (begin > end || end > length) {
      err << "The range " << begin << ":" << end << " of " << path << " does not lie within its " << length
          << " frames (BEGIN <= END <= length)." << Qt::endl;
      status = 2;
      return false;
    }
    rows.push_back({path, begin, end});
    rows.back().beginMs = BeginMs(begin, rate);
  }
  return true;
}

// Replaces each row by the rows of its sounding parts. False (with the
// message) when a source cannot be scanned or the parts are too many; false
// without one when a stop signal ended the scan.
bool SplitRowsAtSilence(IAudioFile2& reader, const SilenceRule& rule, const StopSignals& stopSignals,
                        std::vector<JobRow>& rows, QTextStream& err, int& status) {
  std::vector<JobRow> parts;
  for (const JobRow& row : rows) {
    std::vector<std::int64_t> points;
    unsigned rate = 0;
    try {
      reader.OpenFile(SystemPath(row.source), 0, 1);
      rate = reader.SampleRate();
      points = FindSilenceSplits(reader, row.begin, row.end, rule, [&](double) { return !stopSignals.Signal(); });
      reader.CloseFile();
      if (stopSignals.Signal()) return false;
    } catch (const std::exception& e) {
      err << e.what() << Qt::endl;
      status = 1;
      return false;
    }
    std::int64_t begin = row.begin;
    points.push_back(row.end);
    for (const std::int64_t point : points) {
      parts.push_back({row.source, begin, point});
      parts.back().beginMs = BeginMs(begin, rate);
      begin = point;
    }
  }
  if (parts.size() > static_cast<std::size_t>(kMaxSources)) {
    err << "The silences split the sources into " << parts.size() << " parts; at most " << kMaxSources
        << " can be cut at once." << Qt::endl;
    status = 1;
    return false;
  }
  rows = std::move(parts);
  return true;
}

// The choices of the job from the options and the settings file, as the
// window reads them when a job starts.
JobChoices ChoicesOf(const JobArguments& parsed, const SettingsStore& settingsFile, const OutputConfiguration& output) {
  JobChoices choices;
  choices.output = output;
  choices.keepTags =
      !parsed.noTags && settingsFile.ReadBool(settings::section::kFormat, settings::key::kKeepTags, true);
  choices.keepMp3Frames =
      output.type == OutputType::Mp3 &&
      (parsed.lossless || settingsFile.ReadBool(settings::section::kMp3, settings::key::kLossless, false));
  choices.keepPackets =
      !PacketCopySection(output.type).empty() &&
      (parsed.lossless || settingsFile.ReadBool(PacketCopySection(output.type), settings::key::kLossless, false));
  choices.replayGain =
      parsed.replayGain || settingsFile.ReadBool(settings::section::kLevel, settings::key::kReplayGain, false);
  return choices;
}

// [Level] of the settings file with the options given over it.
std::optional<level::LevelChoices> LevelChoicesOf(JobKind kind, const JobArguments& parsed,
                                                  const SettingsStore& settingsFile, QString& error) {
  std::optional<level::LevelChoices> levels = ReadLevelChoices(settingsFile, error);
  if (!levels) return std::nullopt;
  levels->fadeInMs = parsed.fadeInMs.value_or(levels->fadeInMs);
  levels->fadeOutMs = parsed.fadeOutMs.value_or(levels->fadeOutMs);
  levels->fadeCurve = parsed.fadeCurve.value_or(levels->fadeCurve);
  levels->edgeFadeMs = parsed.edgeFadeMs.value_or(levels->edgeFadeMs);
  levels->truePeakDbtp = parsed.truePeakDbtp.value_or(levels->truePeakDbtp);
  if (kind == JobKind::Join) {
    levels->crossfadeMs = parsed.crossfadeMs.value_or(levels->crossfadeMs);
    levels->normalise = false;  // a cut's choice
    if (parsed.loudnessLufs) levels->match = level::MatchLoudness::Target;
  } else {
    levels->crossfadeMs = 0;
    levels->match = level::MatchLoudness::Off;  // a join's choice
    if (parsed.loudnessLufs) levels->normalise = true;
  }
  levels->targetLufs = parsed.loudnessLufs.value_or(levels->targetLufs);
  return levels;
}

int RunJob(JobKind kind, const QStringList& arguments) {
  QTextStream out(stdout);
  QTextStream err(stderr);
  const char* name = kind == JobKind::Cut ? "cut" : "join";
  const QString help =
      kind == JobKind::Cut ? QString(kCutHelp) + kJobsHelp + kCommonHelp : QString(kJoinHelp) + kCommonHelp;
  QString error;
  const std::optional<JobArguments> parsed = ParseArguments(kind, arguments, error);
  if (!parsed) {
    err << "snipwave " << name << ": " << error << "\n\n" << help;
    return 2;
  }
  if (parsed->help) {
    out << help;
    return 0;
  }
  // From here on a stop signal ends the command with a message and its exit
  // status: before the job, at the next step (nothing is written then); in
  // the job, after its current chunk.
  StopSignals stopSignals;
  const auto stoppedEarly = [&] {
    err << "Stopped before anything was written." << Qt::endl;
    return 128 + stopSignals.Signal();
  };
  // A full disk or a file-size limit must fail the write with a message,
  // not end the process with SIGXFSZ.
  std::signal(SIGXFSZ, SIG_IGN);

  const SettingsStore settingsFile{QString::fromUtf8(settings::kFileName.data(), settings::kFileName.size())};
  const QString outPath = AbsoluteNative(parsed->out);
  if (kind == JobKind::Join && FolderExists(outPath)) {
    err << "snipwave join: " << outPath << " is a folder; --out names the file to write (for example "
        << WithTrailingSeparator(outPath) << "mix.mp3)." << Qt::endl;
    return 2;
  }
  // The probe lists the sources and checks the output configuration; every
  // worker of the job gets a set of its own.
  RowComponents probe = MakeRealRowComponents();
  std::vector<JobRow> rows;
  int status = 0;
  if (!parsed->cue.isEmpty() || !parsed->labels.isEmpty()) {
    if (!ListSheetRows(*probe.reader, parsed->cue, parsed->labels,
                       parsed->sources.isEmpty() ? QString() : AbsoluteNative(parsed->sources.front().path), rows, err))
      return stopSignals.Signal() ? stoppedEarly() : 1;
  } else if (!ListSources(*probe.reader, parsed->sources, rows, err, status)) {
    return stopSignals.Signal() ? stoppedEarly() : status;
  }
  if (stopSignals.Signal()) return stoppedEarly();
  if (parsed->splitAtSilence &&
      !SplitRowsAtSilence(*probe.reader, parsed->silence, stopSignals, rows, err, status))
    return stopSignals.Signal() ? stoppedEarly() : status;

  const OutputType type = *OutputTypeFromIndex(parsed->formatIndex);
  OutputSetup setup;
  try {
    setup = ApplyOutputSettings(type, settingsFile, *probe.writer, *probe.encoder,
                                kind == JobKind::Join ? OutputUse::Join : OutputUse::Cut);
  } catch (const std::exception& e) {
    err << e.what() << Qt::endl;
    return 1;
  }
  if (setup.refused()) {
    err << QString(setup.refusal).replace('\r', '\n') << Qt::endl;
    // The refusal's own text names no values: say which ones and where they are set.
    const QString values = RefusedValuesText(setup, settingsFile);
    if (!values.isEmpty()) err << values << Qt::endl;
    return 1;
  }
  JobChoices choices = ChoicesOf(*parsed, settingsFile, setup.configuration);
  QString levelError;
  const std::optional<level::LevelChoices> levels = LevelChoicesOf(kind, *parsed, settingsFile, levelError);
  if (!levels) {
    err << levelError << Qt::endl;
    return 1;
  }
  choices.level = *levels;
  if (kind == JobKind::Cut) {
    const QString text = parsed->nameTemplate.value_or(
        settingsFile.ReadString(settings::section::kFormat, settings::key::kNameTemplate, ""));
    QString error;
    const std::optional<NameTemplate> names = NameTemplate::Parse(text, &error);
    if (!names) {
      err << error << " ([Format] NameTemplate in the settings file)" << Qt::endl;
      return 1;
    }
    choices.names = *names;
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i].track = static_cast<int>(i) + 1;
  }

  std::stop_source stop;
  ConsoleObserver observer(static_cast<int>(rows.size()), parsed->yes, stopSignals, stop);
  JobReport report;
  if (stopSignals.Signal()) return stoppedEarly();
  if (kind == JobKind::Cut) {
    const CutRequest request{rows, choices, WithTrailingSeparator(outPath), parsed->jobs};
    report = RunCut(request, MakeRealRowComponents, observer, stop.get_token());
  } else {
    JoinRequest request{rows, choices, JoinOutputPath(outPath, setup.extension), false};
    try {
      if (!FolderExists(FolderOf(outPath))) CreateFolderOneLevel(FolderOf(outPath));
    } catch (const std::exception& e) {
      err << e.what() << Qt::endl;
      return 1;
    }
    const JoinTarget target = CheckJoinTarget(rows, request.outputPath, observer);
    // A signal while the question was asked answers it: nothing is replaced.
    if (stopSignals.Signal()) return stoppedEarly();
    if (target == JoinTarget::Refused || target == JoinTarget::Cancelled) return 1;
    request.replacing = target == JoinTarget::Replace;
    RowComponents set = MakeRealRowComponents();
    report = RunJoin(request, set, observer, stop.get_token());
  }
  observer.EndProgress();  // the line goes before the messages

  if (report.end == JobEnd::Failed) {
    err << report.failure << Qt::endl;
    for (const QString& failure : report.cleanupFailures) err << failure << Qt::endl;
  }
  out.flush();
  for (const QString& path : report.writtenFiles) {
    const QByteArray line = FileNameBytes(PathLine(path)) + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
  }
  std::fflush(stdout);
  for (const QString& line : JobSummaryLines(report)) err << line << Qt::endl;
  if (report.end == JobEnd::Failed) return 1;
  if (const int signal = stopSignals.Signal()) {
    err << "Stopped." << Qt::endl;
    return 128 + signal;
  }
  return report.AllComplete() ? 0 : 1;
}

}  // namespace

int RunCutCommand(const QStringList& arguments) { return RunJob(JobKind::Cut, arguments); }
int RunJoinCommand(const QStringList& arguments) { return RunJob(JobKind::Join, arguments); }

}  // namespace snipwave
