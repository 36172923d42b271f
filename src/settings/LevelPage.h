#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <string_view>
#include <vector>

class QLabel;

namespace snipwave {

class SettingsStore;

// The settings dialog's page "Level": every key of [Level] (fades and their
// curves, crossfade, edge fade, match loudness, normalise, target, ceiling,
// ReplayGain tags, snap to zero crossings). Each control carries its key's
// name in its objectName ("FadeInMs", ...).
class LevelPage final : public QWidget {
 public:
  explicit LevelPage(QWidget* parent = nullptr);

  // Shows the stored values; a missing key shows its default, a value the
  // key does not take shows the default and is named in the page's note.
  void Load(const SettingsStore* store);
  // Writes the keys whose control differs from what Load showed, and those
  // whose stored value could not be used (a file without [Level] stays
  // without it when nothing was changed). Throws as
  // the store's writes do.
  void Save(SettingsStore& store);
  // The defaults into the controls; nothing written.
  void ShowDefaults();

 private:
  struct Field {
    std::string_view key;
    QString defaultText;
    std::function<QString()> get;
    std::function<bool(const QString&)> set;  // false: the text is none of the control's values
    QString loaded;
  };
  std::vector<Field> fields_;
  QLabel* note_ = nullptr;
};

}  // namespace snipwave
