#pragma once

#include <string>
#include <vector>

#include "app/PaneMenu.h"
#include "app/WindowDialogs.h"
#include "platform/WindowsApi.h"

// The window's dialogs on Win32, each shown over the window that owns them,
// and the right-click menu.
class WinDialogs : public WindowDialogs {
 public:
  void SetOwner(HWND owner) { owner_ = owner; }

  // A right-click menu at a point of the screen: the items' captions and
  // whether each can be chosen; the index of the one chosen, or -1.
  using MenuItem = PaneMenu::Item;
  virtual int PopupMenu(POINT at, const std::vector<MenuItem>& items) = 0;

 protected:
  HWND owner_ = nullptr;
};
