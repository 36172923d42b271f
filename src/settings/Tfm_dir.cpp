#include "settings/Tfm_dir.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "settings/DialogPlacement.h"

namespace snipwave {

Tfm_dir::Tfm_dir(QWidget* mainWindow) : QDialog(mainWindow), mainWindow_(mainWindow) {
  setObjectName("fm_dir");
  setWindowTitle("Output Directory");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  model_ = new QFileSystemModel(this);
  // Folders only; hidden folders too, as a shell tree shows them to whoever asks.
  model_->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot | QDir::Hidden);
  model_->setReadOnly(true);
  model_->setRootPath(QDir::rootPath());

  ShellTreeView1 = new QTreeView(this);
  ShellTreeView1->setObjectName("ShellTreeView1");
  ShellTreeView1->setModel(model_);
  // The invisible top of the model holds the roots ("/", or the drives).
  ShellTreeView1->setRootIndex(QModelIndex());
  ShellTreeView1->setHeaderHidden(true);
  for (int column = 1; column < model_->columnCount(); ++column) ShellTreeView1->hideColumn(column);
  ShellTreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
  ShellTreeView1->setSelectionBehavior(QAbstractItemView::SelectRows);
  ShellTreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Long folder names scroll sideways instead of being cut.
  ShellTreeView1->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  ShellTreeView1->header()->setStretchLastSection(false);

  btn_ok = new QPushButton("Ok", this);
  btn_ok->setObjectName("btn_ok");
  btn_cancel = new QPushButton("Cancel", this);
  btn_cancel->setObjectName("btn_cancel");

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btn_ok);
  buttons->addWidget(btn_cancel);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(ShellTreeView1, 1);
  layout->addLayout(buttons);
  setFixedSize(kClientWidth, kClientHeight);

  connect(btn_ok, &QPushButton::clicked, this, [this] { btn_okClick(); });
  connect(btn_cancel, &QPushButton::clicked, this, [this] { btn_cancelClick(); });
}

QString Tfm_dir::Choose(const QString& caption, bool centreOverMainWindow) {
  setWindowTitle(caption);
  if (centreOverMainWindow) CentreOver(*this, mainWindow_, /*clampNegative=*/false);
  exec();
  return ChosenFolder_;
}

void Tfm_dir::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    // Every showing starts without a result: only Ok sets one.
    ChosenFolder_.clear();
    if (!homeRevealed_) RevealHomeFolder();
  }
  QDialog::showEvent(event);
}

void Tfm_dir::RevealHomeFolder() {
  homeRevealed_ = true;
  const QModelIndex home = model_->index(QDir::homePath());
  if (!home.isValid()) return;
  for (QModelIndex up = home.parent(); up.isValid(); up = up.parent()) ShellTreeView1->expand(up);
  ShellTreeView1->setCurrentIndex(home);
  ShellTreeView1->scrollTo(home, QAbstractItemView::PositionAtCenter);
  // The folders on the way are listed on the model's own thread and sorted
  // afterwards; keep the home folder in sight as they arrive, until the user
  // works in the tree or the dialog closes.
  auto* follow = new QObject(this);
  auto keepInSight = [this, follow] {
    QTimer::singleShot(0, follow, [this] {
      if (ShellTreeView1->currentIndex().isValid()) ShellTreeView1->scrollTo(ShellTreeView1->currentIndex(), QAbstractItemView::PositionAtCenter);
    });
  };
  connect(model_, &QAbstractItemModel::rowsInserted, follow, keepInSight);
  connect(model_, &QAbstractItemModel::layoutChanged, follow, keepInSight);
  connect(ShellTreeView1->selectionModel(), &QItemSelectionModel::currentChanged, follow, [follow] { follow->deleteLater(); });
  connect(this, &QDialog::finished, follow, [follow] { follow->deleteLater(); });
}

QString Tfm_dir::SelectedFolder() const {
  const QModelIndexList rows = ShellTreeView1->selectionModel()->selectedRows(0);
  if (rows.isEmpty()) return {};
  // filePath gives "/" for the root and no trailing separator elsewhere; a
  // drive root comes as "C:/".
  return QDir::toNativeSeparators(model_->filePath(rows.first()));
}

void Tfm_dir::btn_okClick() {
  ChosenFolder_ = SelectedFolder();
  accept();
}

void Tfm_dir::btn_cancelClick() {
  ChosenFolder_.clear();
  reject();
}

}  // namespace snipwave
