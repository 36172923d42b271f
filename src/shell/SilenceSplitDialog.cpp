#include "shell/SilenceSplitDialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/HookedSlot.h"
#include "settings/SilenceControls.h"

namespace snipwave {

std::optional<SilenceRule> QtSilenceSplitDialog::Choose(const QString& fileName, const SilenceRule& rule,
                                                        ISilencePreview& preview) {
  QDialog dialog(parent_);
  dialog.setObjectName("fm_silence");
  dialog.setWindowTitle(QStringLiteral("Split at silences"));
  auto* intro = new QLabel(QStringLiteral("Split %1 in the middle of each silence inside its range.").arg(fileName),
                           &dialog);
  intro->setWordWrap(true);
  QDoubleSpinBox* threshold = NewSilenceThresholdBox(&dialog);
  QDoubleSpinBox* length = NewSilenceLengthBox(&dialog);
  threshold->setValue(rule.thresholdDb);
  length->setValue(rule.minSeconds);
  auto* status = new QLabel(&dialog);
  status->setObjectName("lbl_silence_status");
  status->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("btn_ok");
  buttons->button(QDialogButtonBox::Cancel)->setObjectName("btn_cancel");
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Threshold: "), threshold);
  form->addRow(QStringLiteral("Minimum length: "), length);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(intro);
  layout->addLayout(form);
  layout->addWidget(status);
  layout->addWidget(buttons);

  // Values finer than the boxes show (typed into the settings file) stay as
  // they are until the user changes one.
  const SilenceRule first{threshold->value(), length->value()};
  const auto shown = [&] {
    const SilenceRule now{threshold->value(), length->value()};
    return now == first ? rule : now;
  };
  QTimer settle;
  settle.setSingleShot(true);
  settle.setInterval(kSettleMs);
  QObject::connect(&settle, &QTimer::timeout, &dialog, HookedSlot([&] { preview.Find(shown()); }));
  for (QDoubleSpinBox* box : {threshold, length})
    QObject::connect(box, &QDoubleSpinBox::valueChanged, &dialog, [&settle] { settle.start(); });
  preview.OnChanged([&] { status->setText(preview.Status()); });
  preview.Find(shown());
  status->setText(preview.Status());

  const bool ok = dialog.exec() == QDialog::Accepted;
  preview.OnChanged({});
  if (!ok) return std::nullopt;
  return shown();
}

}  // namespace snipwave
