#pragma once

#include <QAbstractListModel>
#include <vector>

#include "surfaces/ListPane.h"

// A list pane's model over the core's own line storage. Appends are only
// stored; the model announces them in one batch at the next refresh or when
// the application is idle, so that a run of a million lines stays cheap.
class PaneModel : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit PaneModel(QObject* parent = nullptr);

  ListPane& Pane() { return pane_; }
  const ListPane& Pane() const { return pane_; }

  void Clear();
  void AddLine(std::string_view line);
  void LoadFromFile(const std::string& fileName);
  void SetScrollExtent(int pixels);
  void SetLineHeight(int pixels) { lineHeight_ = pixels; }
  // Shows only the given rows of the pane, ascending, or all of them again;
  // the pane keeps every line.
  void ShowRows(std::vector<int> rows);
  void ShowAllRows();
  bool Filtered() const { return filtered_; }
  // A row of the view as a line of the pane, and back; -1 for none.
  int LineOfRow(int row) const;
  int RowOfLine(int line) const;
  // Announces the lines added since the last announcement; false if none.
  bool Announce();
  // While held, added lines wait for an explicit Announce.
  void HoldAnnouncements(bool hold);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  void ScheduleAnnounce();

  ListPane pane_;
  int announced_ = 0;
  bool scheduled_ = false;
  bool held_ = false;
  int lineHeight_ = 13;
  bool filtered_ = false;
  std::vector<int> rows_;  // the lines shown while filtered
};
