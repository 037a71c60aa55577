#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "ui/component.h"

namespace quorvel::ui {

class PopupMenu;

// The notification-area icon. It keeps a hidden top-level window of its own, so that it hears
// the "TaskbarCreated" broadcast and adds itself again after the taskbar was re-created.
class NotifyIcon : public Component {
 public:
  NotifyIcon(Component* owner, std::string name, HICON icon);
  ~NotifyIcon() override;

  void setHint(const std::wstring& hint);
  const std::wstring& hint() const { return hint_; }
  void setVisible(bool visible);
  bool visible() const { return visible_; }
  HWND handle() const { return hwnd_; }

  PopupMenu* menu = nullptr;
  std::function<void()> onClick;

 private:
  static LRESULT CALLBACK wndProc(HWND, UINT, WPARAM, LPARAM);
  bool notify(DWORD message);

  HWND hwnd_ = nullptr;
  HICON icon_;
  std::wstring hint_;
  bool visible_ = false;
  UINT taskbarCreated_ = 0;
};

}  // namespace quorvel::ui
