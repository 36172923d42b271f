#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace snipwave {

// What a row offers to the output name template.
struct NameFields {
  int track = 0;          // {n}: the row's track number, 1-based
  QString title;          // {title}
  QString artist;         // {artist}
  QString name;           // {name}: the source's file name without its extension
  std::int64_t beginMs = 0;  // {begin}: the begin mark, milliseconds into the source
};

// The cut's output name pattern ([Format] NameTemplate, `--name`): literal
// text with fields in braces: {n} (the track number; {n:2} pads it with zeros
// to two digits), {title}, {artist}, {name} and {begin} (h-mm-ss.mmm, with
// the hours only from one hour on). The default, "Cut_{name}", names every
// output exactly "Cut_<source name>".
class NameTemplate {
 public:
  static constexpr const char* kDefaultText = "Cut_{name}";

  NameTemplate();  // the default
  // The template of `text`; an empty or blank text is the default. Nothing
  // when the text is not a template, with the reason in `error`.
  static std::optional<NameTemplate> Parse(const QString& text, QString* error = nullptr);

  const QString& Text() const { return text_; }
  bool IsDefault() const { return text_ == kDefaultText; }
  bool UsesTags() const;  // {title} or {artist}: the source's tags are needed

  // The output's file name without extension, every character a file system
  // refuses replaced by "_", trailing dots and spaces dropped, at most 200
  // bytes of UTF-8 (room for the extension and a "Cut(k)_" before it). Never
  // empty: an empty expansion gives the source's name.
  QString Expand(const NameFields& fields) const;

 private:
  enum class Kind { Text, Track, Title, Artist, Name, Begin };
  struct Piece {
    Kind kind = Kind::Text;
    QString text;  // Kind::Text
    int width = 0;  // Kind::Track: zero padding
  };
  QString text_;
  std::vector<Piece> pieces_;
};

// `text` with every character a file name cannot hold on the usual file
// systems (/ \ : * ? " < > | and control characters) replaced by "_".
QString SafeFileNamePart(const QString& text);

// {begin}'s form: "m-ss.mmm" below an hour ("3-05.250"), "h-mm-ss.mmm" from one on.
QString BeginFieldText(std::int64_t ms);

}  // namespace snipwave
