#pragma once

#include <QAbstractListModel>

#include "app/PaneRows.h"

// A list pane's model over the rows the controller keeps. Lines added are
// only stored there; the model tells the view of them in one batch when the
// window announces them, so that a run of a million lines stays cheap.
class PaneModel : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit PaneModel(QObject* parent = nullptr);

  void Attach(PaneRows& rows);
  ListPane& Pane() { return rows_->Lines(); }
  const ListPane& Pane() const { return rows_->Lines(); }
  const PaneRows& Rows() const { return *rows_; }

  // The rows changed all at once.
  void Reset();
  // Every row is as wide as the pane's scroll extent.
  void ExtentChanged();
  void SetLineHeight(int pixels) { lineHeight_ = pixels; }
  // Tells the view of the lines added since the last time; false if none.
  bool Announce();

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  PaneRows* rows_ = nullptr;
  int lineHeight_ = 13;
};
