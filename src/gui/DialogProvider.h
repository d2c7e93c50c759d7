#pragma once

#include "app/WindowDialogs.h"

class QWidget;

// The window's dialogs on Qt, each shown over the window that owns them.
class DialogProvider : public WindowDialogs {
 public:
  void SetOwner(QWidget* owner) { owner_ = owner; }

 protected:
  QWidget* owner_ = nullptr;
};
