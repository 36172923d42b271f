#pragma once

#include <QList>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

#include "shell/SilenceSplitChoice.h"

namespace snipwave::test {

// Answers "Split at silences"'s dialog from a script: each answer is the rule
// OK confirms, or nullopt for Cancel; without one, OK with the values shown.
// Like the real dialog it asks for the parts of the values shown at once;
// `whileOpen` then runs as the user would, with the preview.
class ScriptedSilenceSplitDialog final : public ISilenceSplitDialog {
 public:
  std::deque<std::optional<SilenceRule>> answers;
  std::function<void(ISilencePreview&)> whileOpen;
  QList<SilenceRule> shownRules;
  QStringList fileNames;

  std::optional<SilenceRule> Choose(const QString& fileName, const SilenceRule& rule,
                                    ISilencePreview& preview) override {
    fileNames << fileName;
    shownRules << rule;
    preview.Find(rule);
    if (whileOpen) whileOpen(preview);
    if (answers.empty()) return rule;
    const std::optional<SilenceRule> answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace snipwave::test
