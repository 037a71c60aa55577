#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "support/handles_win.h"
#include "ui/component.h"

namespace quorvel::ui {

struct FormStyle {
  std::wstring className;      // registered once per class
  DWORD style = WS_CAPTION | WS_SYSMENU;
  DWORD exStyle = 0;
  int clientWidth = 0, clientHeight = 0;  // design pixels
  COLORREF background = RGB(255, 255, 255);
  int fontHeight = -12;                   // design pixels: Segoe UI 9 pt at 96 dpi
  std::wstring fontFace = L"Segoe UI";
};

// One top-level window with its own window class. Scales its design pixels to the dpi of the
// monitor it is on and lays its controls out again when that changes.
class Form : public Component {
 public:
  Form(Component* owner, std::string name, FormStyle style);
  ~Form() override;

  ComponentKind kind() const override { return ComponentKind::Form; }
  HWND handle() const { return hwnd_; }
  int dpi() const { return dpi_; }
  int scale(int n) const;
  HFONT font() const { return static_cast<HFONT>(font_.get()); }

  // Creates the window (hidden) and its controls' windows; call once the controls exist.
  void createHandle(HWND owner);
  void show();
  void hide();
  // Shows the form and runs its own message loop until the form is hidden or destroyed; the
  // main form is disabled meanwhile.
  void showModal();
  bool modal() const { return modal_; }
  bool visible() const;
  void centerOnScreen();
  // Asks the form to close: the close query decides, as for the close box.
  void close();
  void setCaption(const std::u16string& text) override;

  std::function<void(int button, POINT screen)> onMouseUp;

 protected:
  virtual LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp);
  // True: the window is destroyed. False: it stays.
  virtual bool onCloseQuery() { return true; }
  virtual void onDestroy() {}
  void layoutControls();

 private:
  static LRESULT CALLBACK wndProc(HWND, UINT, WPARAM, LPARAM);
  void updateFont();
  void sizeToClient();

  FormStyle style_;
  HWND hwnd_ = nullptr;
  int dpi_ = 96;
  bool modal_ = false;
  UniqueGdiObject font_;
  UniqueGdiObject brush_;
};

}  // namespace quorvel::ui
