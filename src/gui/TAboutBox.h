#pragma once

#include <QDialog>

// The about box: product name, version and a short notice on black.
class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutBox(QWidget* parent = nullptr);
};
