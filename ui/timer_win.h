#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "ui/component.h"

namespace quorvel::ui {

// A timer on a hidden message window of its own; runs onTimer every `interval` ms while enabled.
class Timer : public Component {
 public:
  Timer(Component* owner, std::string name, unsigned interval);
  ~Timer() override;
  bool enabled() const { return enabled_; }
  void setEnabled(bool enabled);
  std::function<void()> onTimer;

 private:
  static LRESULT CALLBACK wndProc(HWND, UINT, WPARAM, LPARAM);
  HWND hwnd_ = nullptr;
  unsigned interval_;
  bool enabled_ = false;
};

}  // namespace quorvel::ui
