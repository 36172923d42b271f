#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "convert/SilenceSplit.h"

namespace snipwave {

// The parts a row would fall into under a rule, found in the background and
// drawn on the waveform while the split dialog is open.
class ISilencePreview {
 public:
  virtual ~ISilencePreview() = default;
  // Finds the parts for `rule`, ending a search for an earlier one.
  virtual void Find(const SilenceRule& rule) = 0;
  // One line on how far the search for the last rule is or what it found.
  virtual QString Status() const = 0;
  // The search for the last rule has ended (found parts, none, or failed).
  virtual bool Done() const = 0;
  // `changed` runs whenever Status() may say something new; empty: no more.
  virtual void OnChanged(std::function<void()> changed) = 0;
};

// The small dialog "Split at silences" opens with: the threshold and the
// minimum length, with the parts they give shown before the row is replaced.
// The program shows its own dialog; tests put a scripted one in.
class ISilenceSplitDialog {
 public:
  virtual ~ISilenceSplitDialog() = default;
  // Modal. Shows `rule` for the row of `fileName`, asks `preview` for the
  // parts of the values shown (at once and after every change) and returns
  // the rule confirmed with OK, or nullopt for Cancel.
  virtual std::optional<SilenceRule> Choose(const QString& fileName, const SilenceRule& rule,
                                            ISilencePreview& preview) = 0;
};

}  // namespace snipwave
