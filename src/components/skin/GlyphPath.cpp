#include "components/skin/GlyphPath.h"

#include <cctype>
#include <stdexcept>
#include <string>

namespace snipwave::skin {

namespace {

class PathScanner {
 public:
  explicit PathScanner(const QString& data) : text_(data.toStdString()) {}

  void SkipSeparators() {
    while (pos_ < text_.size() && (std::isspace(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == ','))
      ++pos_;
  }
  bool AtEnd() {
    SkipSeparators();
    return pos_ >= text_.size();
  }
  bool AtCommand() {
    SkipSeparators();
    return pos_ < text_.size() && std::isalpha(static_cast<unsigned char>(text_[pos_]));
  }
  char TakeCommand() { return text_[pos_++]; }

  double TakeNumber() {
    SkipSeparators();
    const size_t start = pos_;
    if (pos_ < text_.size() && (text_[pos_] == '-' || text_[pos_] == '+')) ++pos_;
    bool digits = false, dot = false;
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (std::isdigit(static_cast<unsigned char>(c))) {
        digits = true;
      } else if (c == '.' && !dot) {
        dot = true;
      } else {
        break;
      }
      ++pos_;
    }
    if (!digits) throw std::invalid_argument("a number is expected at \"" + text_.substr(start, 12) + "\"");
    const std::string number = text_.substr(start, pos_ - start);
    try {
      return std::stod(number);
    } catch (const std::out_of_range&) {
      throw std::invalid_argument("the number " + number.substr(0, 24) + " is out of range");
    }
  }

 private:
  std::string text_;
  size_t pos_ = 0;
};

}  // namespace

QPainterPath ParseGlyphPath(const QString& data, double limit) {
  PathScanner in(data);
  QPainterPath path;
  QPointF current, lastControl;
  char previous = 0;
  if (!in.AtCommand()) throw std::invalid_argument("path data must start with M");
  char command = 0;
  {
    PathScanner peek(data);
    peek.SkipSeparators();
    const char first = peek.TakeCommand();
    if (first != 'M' && first != 'm') throw std::invalid_argument("path data must start with M");
  }
  while (!in.AtEnd()) {
    if (in.AtCommand()) command = in.TakeCommand();
    const bool relative = std::islower(static_cast<unsigned char>(command));
    const QPointF origin = relative ? current : QPointF();
    auto point = [&] {
      const double x = in.TakeNumber();
      const double y = in.TakeNumber();
      return QPointF(x, y) + origin;
    };
    switch (std::toupper(static_cast<unsigned char>(command))) {
      case 'M':
        current = point();
        path.moveTo(current);
        command = relative ? 'l' : 'L';  // further pairs are line-tos
        break;
      case 'L':
        current = point();
        path.lineTo(current);
        break;
      case 'H':
        current.setX(in.TakeNumber() + (relative ? current.x() : 0));
        path.lineTo(current);
        break;
      case 'V':
        current.setY(in.TakeNumber() + (relative ? current.y() : 0));
        path.lineTo(current);
        break;
      case 'C': {
        const QPointF c1 = point(), c2 = point(), end = point();
        path.cubicTo(c1, c2, end);
        lastControl = c2;
        current = end;
        break;
      }
      case 'S': {
        const QPointF c1 = (previous == 'C' || previous == 'S') ? 2 * current - lastControl : current;
        const QPointF c2 = point(), end = point();
        path.cubicTo(c1, c2, end);
        lastControl = c2;
        current = end;
        break;
      }
      case 'Q': {
        const QPointF c = point(), end = point();
        path.quadTo(c, end);
        lastControl = c;
        current = end;
        break;
      }
      case 'T': {
        const QPointF c = (previous == 'Q' || previous == 'T') ? 2 * current - lastControl : current;
        const QPointF end = point();
        path.quadTo(c, end);
        lastControl = c;
        current = end;
        break;
      }
      case 'Z':
        path.closeSubpath();
        current = path.currentPosition();
        break;
      default:
        throw std::invalid_argument(std::string("unknown path command '") + command + "'");
    }
    previous = static_cast<char>(std::toupper(static_cast<unsigned char>(command)));
    if (previous == 'Z' && !in.AtEnd() && !in.AtCommand())
      throw std::invalid_argument("numbers after Z need a command first");
  }
  // Relative steps add up, so the bound is checked on the finished outline.
  const QRectF reach = path.controlPointRect();
  if (!(reach.left() >= -limit && reach.top() >= -limit && reach.right() <= limit && reach.bottom() <= limit))
    throw std::invalid_argument("the path reaches beyond " + std::to_string(static_cast<long>(limit)) + " units");
  return path;
}

}  // namespace snipwave::skin
