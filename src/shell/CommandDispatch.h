#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace snipwave {

// Skin object names to commands. Names are compared exactly (case included)
// in the order they were added; the first match runs, and a name that matches
// nothing does nothing.
class CommandDispatch {
 public:
  void Add(const QString& name, std::function<void()> command) {
    commands_.push_back({name, std::move(command)});
  }
  // True when a command ran.
  bool Dispatch(const QString& name) const {
    for (const Entry& entry : commands_) {
      if (entry.name == name) {
        if (entry.command) entry.command();
        return true;
      }
    }
    return false;
  }
  QStringList Names() const {
    QStringList names;
    for (const Entry& entry : commands_) names << entry.name;
    return names;
  }

 private:
  struct Entry {
    QString name;
    std::function<void()> command;
  };
  std::vector<Entry> commands_;
};

}  // namespace snipwave
