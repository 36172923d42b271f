#pragma once

#include <QPointer>
#include <QWidget>

#include "shell/SilenceSplitChoice.h"

namespace snipwave {

// The program's own split dialog ("fm_silence", caption "Split at silences"):
// the threshold and minimum length as on the settings dialog (group "Split
// at silences"), a line saying what they give ("lbl_silence_status"), OK and Cancel.
// A change of a value asks for its parts once the typing pauses.
class QtSilenceSplitDialog final : public ISilenceSplitDialog {
 public:
  // How long after the last change of a value its parts are asked for.
  static constexpr int kSettleMs = 300;

  explicit QtSilenceSplitDialog(QWidget* parent) : parent_(parent) {}
  std::optional<SilenceRule> Choose(const QString& fileName, const SilenceRule& rule,
                                    ISilencePreview& preview) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace snipwave
