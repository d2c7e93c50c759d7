#include "gui/PaneModel.h"

#include <QSize>
#include <algorithm>
#include <QTimer>

#include "documents/ListingFile.h"
#include "gui/DisplayText.h"

PaneModel::PaneModel(QObject* parent) : QAbstractListModel(parent) {}

int PaneModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return filtered_ ? static_cast<int>(rows_.size()) : announced_;
}

int PaneModel::LineOfRow(int row) const {
  if (row < 0 || row >= rowCount()) return -1;
  return filtered_ ? rows_[static_cast<std::size_t>(row)] : row;
}

int PaneModel::RowOfLine(int line) const {
  if (!filtered_) return line >= 0 && line < announced_ ? line : -1;
  const auto at = std::lower_bound(rows_.begin(), rows_.end(), line);
  return at != rows_.end() && *at == line ? static_cast<int>(at - rows_.begin()) : -1;
}

void PaneModel::ShowRows(std::vector<int> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  filtered_ = true;
  endResetModel();
}

void PaneModel::ShowAllRows() {
  if (!filtered_) return;
  beginResetModel();
  rows_.clear();
  filtered_ = false;
  endResetModel();
}

QVariant PaneModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() != 0) return {};
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
    const std::string_view line = pane_.Lines().At(static_cast<std::size_t>(LineOfRow(index.row())));
    return DisplayText::Of(line);
  }
  // Every row is as wide as the pane's scroll extent, so that the extent set
  // by the commands is the width the view scrolls over.
  if (role == Qt::SizeHintRole) return QSize(pane_.ScrollExtent(), lineHeight_);
  return {};
}

void PaneModel::Clear() {
  beginResetModel();
  pane_.Clear();
  announced_ = 0;
  filtered_ = false;
  rows_.clear();
  endResetModel();
}

void PaneModel::AddLine(std::string_view line) {
  pane_.AddLine(line);
  ScheduleAnnounce();
}

void PaneModel::LoadFromFile(const std::string& fileName) {
  // The pane repaints once, when all lines are in, also when reading fails.
  beginResetModel();
  filtered_ = false;
  rows_.clear();
  try {
    // Open takes regular files only: a FIFO or a device could hold the window.
    ReadListingFile(fileName, pane_, {.regularFileOnly = true});
  } catch (...) {
    announced_ = pane_.Count();
    endResetModel();
    throw;
  }
  announced_ = pane_.Count();
  endResetModel();
}

void PaneModel::SetScrollExtent(int pixels) {
  if (pane_.ScrollExtent() == pixels) return;
  pane_.SetScrollExtent(pixels);
  // Uniform rows: the view takes its row size anew on a layout change.
  emit layoutAboutToBeChanged();
  emit layoutChanged();
}

bool PaneModel::Announce() {
  scheduled_ = false;
  const int count = pane_.Count();
  if (count <= announced_ || filtered_) return false;
  beginInsertRows(QModelIndex(), announced_, count - 1);
  announced_ = count;
  endInsertRows();
  return true;
}

void PaneModel::HoldAnnouncements(bool hold) {
  held_ = hold;
  if (!held_ && pane_.Count() > announced_) ScheduleAnnounce();
}

void PaneModel::ScheduleAnnounce() {
  if (scheduled_ || held_) return;
  scheduled_ = true;
  QTimer::singleShot(0, this, [this] { Announce(); });
}
