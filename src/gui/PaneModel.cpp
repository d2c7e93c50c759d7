#include "gui/PaneModel.h"

#include <QColor>
#include <QSize>

#include "gui/DisplayText.h"

PaneModel::PaneModel(QObject* parent) : QAbstractListModel(parent) {}

void PaneModel::Attach(PaneRows& rows) {
  beginResetModel();
  rows_ = &rows;
  endResetModel();
}

int PaneModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || rows_ == nullptr ? 0 : rows_->Rows();
}

QVariant PaneModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() != 0) return {};
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
    const std::string_view line = Pane().Lines().At(static_cast<std::size_t>(rows_->LineOfRow(index.row())));
    return DisplayText::Of(line);
  }
  if (role == Qt::ForegroundRole) {
    if (const auto colour = rows_->ColourOfRow(index.row())) return QColor(QRgb(*colour));
    return {};
  }
  // Every row is as wide as the pane's scroll extent, so that the extent set
  // by the commands is the width the view scrolls over.
  if (role == Qt::SizeHintRole) return QSize(Pane().ScrollExtent(), lineHeight_);
  return {};
}

void PaneModel::Reset() {
  beginResetModel();
  endResetModel();
}

void PaneModel::ExtentChanged() {
  // Uniform rows: the view takes its row size anew on a layout change.
  emit layoutAboutToBeChanged();
  emit layoutChanged();
}

bool PaneModel::Announce() {
  if (rows_ == nullptr || rows_->Untold() <= 0) return false;
  beginInsertRows(QModelIndex(), rows_->Announced(), rows_->Announced() + rows_->Untold() - 1);
  rows_->Announce();
  endInsertRows();
  return true;
}
