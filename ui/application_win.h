#pragma once
#include <windows.h>

#include <string>

namespace quorvel::ui {

class Form;

// The process-wide application object: its hidden owner window (the window that owns message
// boxes and that hiding to the tray hides), its title, the main form and the message loop.
class Application {
 public:
  static Application& instance();

  void initialize(HINSTANCE instance);
  HINSTANCE hinstance() const { return instance_; }
  HWND handle() const { return hwnd_; }

  const std::wstring& title() const { return title_; }
  void setTitle(const std::wstring& title);

  Form* mainForm() const { return mainForm_; }
  void setMainForm(Form* form) { mainForm_ = form; }
  // False while the program lives hidden in the notification area.
  bool showMainForm = true;

  void minimize();
  void restore();
  // Dispatches every pending message of this thread.
  void processMessages();
  // Runs the message loop until the main form is destroyed.
  int run();
  void terminate();

 private:
  Application() = default;
  static LRESULT CALLBACK wndProc(HWND, UINT, WPARAM, LPARAM);

  HINSTANCE instance_ = nullptr;
  HWND hwnd_ = nullptr;
  std::wstring title_;
  Form* mainForm_ = nullptr;
};

}  // namespace quorvel::ui
