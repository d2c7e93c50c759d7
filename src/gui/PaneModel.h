#pragma once

#include <QAbstractListModel>
#include <vector>

#include "app/PaneRows.h"

// A list pane's model over the core's own line storage. Appends are only
// stored; the model announces them in one batch at the next refresh or when
// the application is idle, so that a run of a million lines stays cheap.
class PaneModel : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit PaneModel(QObject* parent = nullptr);

  ListPane& Pane() { return rows_.Lines(); }
  const ListPane& Pane() const { return rows_.Lines(); }
  const PaneRows& Rows() const { return rows_; }

  void Clear();
  void AddLine(std::string_view line);
  void LoadFromFile(const std::string& fileName);
  void SetScrollExtent(int pixels);
  void SetLineHeight(int pixels) { lineHeight_ = pixels; }
  // Shows only the given rows of the pane, ascending, or all of them again
  // when rows is null; the pane keeps every line.
  void ShowRows(const std::vector<int>* rows);
  // Announces the lines added since the last announcement; false if none.
  bool Announce();
  // While held, added lines wait for an explicit Announce.
  void HoldAnnouncements(bool hold);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  void ScheduleAnnounce();

  PaneRows rows_;
  bool scheduled_ = false;
  bool held_ = false;
  int lineHeight_ = 13;
};
