#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>

#include "ui/check_box_win.h"
#include "ui/combo_box_win.h"
#include "ui/control_win.h"
#include "ui/form_win.h"

namespace quorvel {

// The hotkey dialog. It lives hidden for the whole run: its window owns the global hotkey
// registration and receives the hotkey message.
class TFrmHotKey : public ui::Form {
 public:
  // `onHotKey` runs when the registered hotkey is pressed.
  TFrmHotKey(ui::Component* owner, std::function<void()> onHotKey);
  ~TFrmHotKey() override;

  // Creates the window, registers the stored hotkey and, when that fails, says so and shows
  // the dialog modally.
  void FormCreate(HWND owner);
  uint16_t LoadHotKey();
  uint16_t ComposeHotKey() const;
  void SaveHotKey();
  bool RegisterHotKeyCode(uint16_t code);
  void BtnYesClick();
  void BtnNoClick();

  ui::GroupBox* GrpConfig;
  ui::CheckBox* ChkShift;
  ui::CheckBox* ChkCtrl;
  ui::CheckBox* ChkAlt;
  ui::ComboBox* ChkHotKey;
  ui::Button* BtnYes;
  ui::Button* BtnNo;

 protected:
  LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  bool onCloseQuery() override;

 private:
  int Box(const std::wstring& text, UINT flags);
  std::function<void()> onHotKey_;
  ATOM HotKeyID = 0;
};

extern TFrmHotKey* FrmHotKey;

// Keeps Windows from taking PrintScreen for its own screen snipping.
void DisableSnippingPrintScreen();

}  // namespace quorvel
