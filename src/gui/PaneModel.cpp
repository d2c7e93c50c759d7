#include "gui/PaneModel.h"

#include <QSize>
#include <algorithm>
#include <QTimer>

#include "gui/DisplayText.h"

PaneModel::PaneModel(QObject* parent) : QAbstractListModel(parent) {}

int PaneModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_.Rows(); }

void PaneModel::ShowRows(const std::vector<int>* rows) {
  if (rows == nullptr && !rows_.Filtered()) return;
  beginResetModel();
  rows_.Show(rows);
  endResetModel();
}

QVariant PaneModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() != 0) return {};
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
    const std::string_view line = Pane().Lines().At(static_cast<std::size_t>(rows_.LineOfRow(index.row())));
    return DisplayText::Of(line);
  }
  // Every row is as wide as the pane's scroll extent, so that the extent set
  // by the commands is the width the view scrolls over.
  if (role == Qt::SizeHintRole) return QSize(Pane().ScrollExtent(), lineHeight_);
  return {};
}

void PaneModel::Clear() {
  beginResetModel();
  rows_.Clear();
  endResetModel();
}

void PaneModel::AddLine(std::string_view line) {
  Pane().AddLine(line);
  ScheduleAnnounce();
}

void PaneModel::LoadFromFile(const std::string& fileName) {
  // The pane repaints once, when all lines are in, also when reading fails.
  beginResetModel();
  struct End {
    PaneModel& model;
    ~End() { model.endResetModel(); }
  } end{*this};
  rows_.Load(fileName);
}

void PaneModel::SetScrollExtent(int pixels) {
  if (Pane().ScrollExtent() == pixels) return;
  Pane().SetScrollExtent(pixels);
  // Uniform rows: the view takes its row size anew on a layout change.
  emit layoutAboutToBeChanged();
  emit layoutChanged();
}

bool PaneModel::Announce() {
  scheduled_ = false;
  const int from = rows_.Announced(), count = Pane().Count();
  if (count <= from || rows_.Filtered()) return false;
  beginInsertRows(QModelIndex(), from, count - 1);
  rows_.Announce();
  endInsertRows();
  return true;
}

void PaneModel::HoldAnnouncements(bool hold) {
  held_ = hold;
  if (!held_ && Pane().Count() > rows_.Announced()) ScheduleAnnounce();
}

void PaneModel::ScheduleAnnounce() {
  if (scheduled_ || held_) return;
  scheduled_ = true;
  QTimer::singleShot(0, this, [this] { Announce(); });
}
