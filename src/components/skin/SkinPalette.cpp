#include "components/skin/SkinPalette.h"

namespace snipwave::skin {

namespace {

QColor Role(const std::map<QString, QColor>& roles, const QString& name, const QColor& otherwise) {
  auto it = roles.find(name);
  return it == roles.end() ? otherwise : it->second;
}

struct Colours {
  QColor window, text, base, alternateBase, button, buttonText, highlight, highlightedText, line, muted, link,
      tip, tipText;
};

Colours Resolve(const std::map<QString, QColor>& roles, const QPalette& fallback) {
  Colours c;
  c.window = Role(roles, "window", fallback.color(QPalette::Window));
  c.text = Role(roles, "text", fallback.color(QPalette::WindowText));
  c.base = Role(roles, "base", c.window);
  c.alternateBase = Role(roles, "alternate-base", c.base);
  c.button = Role(roles, "button", c.window);
  c.buttonText = Role(roles, "button-text", c.text);
  c.highlight = Role(roles, "highlight", fallback.color(QPalette::Highlight));
  c.highlightedText = Role(roles, "highlighted-text", fallback.color(QPalette::HighlightedText));
  c.line = Role(roles, "line", fallback.color(QPalette::Mid));
  c.muted = Role(roles, "muted", fallback.color(QPalette::PlaceholderText));
  c.link = Role(roles, "link", c.highlight);
  c.tip = Role(roles, "tip", c.button);
  c.tipText = Role(roles, "tip-text", c.text);
  return c;
}

}  // namespace

QPalette ApplicationPalette(const std::map<QString, QColor>& roles, const QPalette& fallback) {
  if (roles.empty()) return fallback;
  const Colours c = Resolve(roles, fallback);
  QPalette p = fallback;
  p.setColor(QPalette::Window, c.window);
  p.setColor(QPalette::WindowText, c.text);
  p.setColor(QPalette::Base, c.base);
  p.setColor(QPalette::AlternateBase, c.alternateBase);
  p.setColor(QPalette::Text, c.text);
  p.setColor(QPalette::Button, c.button);
  p.setColor(QPalette::ButtonText, c.buttonText);
  p.setColor(QPalette::Highlight, c.highlight);
  p.setColor(QPalette::HighlightedText, c.highlightedText);
  p.setColor(QPalette::Link, c.link);
  p.setColor(QPalette::LinkVisited, c.link);
  p.setColor(QPalette::ToolTipBase, c.tip);
  p.setColor(QPalette::ToolTipText, c.tipText);
  p.setColor(QPalette::PlaceholderText, c.muted);
  p.setColor(QPalette::BrightText, c.highlightedText);
  // The bevel shades: frames and grid lines in the skin's line colour.
  p.setColor(QPalette::Mid, c.line);
  p.setColor(QPalette::Dark, c.line.darker(130));
  p.setColor(QPalette::Shadow, c.line.darker(200));
  p.setColor(QPalette::Midlight, c.button.lighter(115));
  p.setColor(QPalette::Light, c.button.lighter(130));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, c.muted);
  p.setColor(QPalette::Disabled, QPalette::Base, c.window);
  return p;
}

QString ApplicationStyleSheet(const std::map<QString, QColor>& roles) {
  if (roles.empty()) return {};
  const Colours c = Resolve(roles, QPalette());
  auto hex = [](const QColor& colour) { return colour.name(QColor::HexArgb); };
  return QStringLiteral(
             "QToolTip { background: %1; color: %2; border: 1px solid %3; padding: 3px 5px; }\n"
             "QDialog QGroupBox { border: 1px solid %3; border-radius: 4px; margin-top: 8px; padding-top: 6px; }\n"
             "QDialog QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; }\n")
      .arg(hex(c.tip), hex(c.tipText), hex(c.line));
}

}  // namespace snipwave::skin
