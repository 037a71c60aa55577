#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "capture/capture_win.h"
#include "ui/bitmap_win.h"
#include "ui/check_box_win.h"
#include "ui/combo_box_win.h"
#include "ui/control_win.h"
#include "ui/form_win.h"
#include "ui/list_box_win.h"
#include "ui/notify_icon_win.h"
#include "ui/popup_menu_win.h"
#include "ui/timer_win.h"

namespace quorvel {

class TFrmHotKey;
enum TStatus { stIdle, stRunning, stBusy };

// The main window: the pickers, the popup menu, the tray icon, the command messages of other
// programs, and the capture that a trigger starts.
class TFrmQuorvel : public ui::Form {
 public:
  // `firstArgument`: the first command-line argument, or empty.
  explicit TFrmQuorvel(std::wstring firstArgument);
  ~TFrmQuorvel() override;

  // Creates the window and runs the start-up steps in their order.
  void FormCreate();

  // Capture orchestration.
  void Start();
  void CaptureStart();
  void Capture(std::unique_ptr<ui::Bitmap>& bitmap, RECT& rect);
  void CaptureColor();
  std::wstring NewFilename(const std::wstring& ext);

  void LoadConfig();
  void SaveConfig(const std::wstring& name, int value);
  void SaveConfig(const std::wstring& name, bool value);
  void SaveConfig(const std::wstring& name, const std::wstring& value);

  bool IsRecording() const { return false; }
  TStatus status() const { return FStatus; }
  const std::wstring& savePath() const { return SavePath; }
  const std::wstring& language() const { return Language; }

  // Controls, named as in the layout table.
  ui::Label* LblArea;
  ui::ComboBox* ChkArea;
  ui::CardPanel* PnlMain;
  ui::Panel* Card1;
  ui::Panel* Card2;
  ui::Panel* Card3;
  ui::Label* LblSaveTo;
  ui::ComboBox* ChkSaveTo;
  ui::ComboBox* ChkJPEG_qual;
  ui::ComboBox* ChkWebp_qual;
  ui::ComboBox* ChkOCR_lang;
  ui::Button* BtnOpenDir;
  ui::Shape* ShpColor;
  ui::Label* LblColor;
  ui::ListBox* LstColor;
  ui::Panel* Panel1;
  ui::Shape* ShpRec;
  ui::Label* Label1;
  ui::Label* LvlRecTime;
  ui::Label* LblCopyright;
  ui::PopupMenu* Menu;
  ui::PopupMenu* Pick;
  ui::MenuItem* ChkAppend1;
  ui::MenuItem* ChkAppend2;
  ui::MenuItem* ChkAppend3;
  ui::MenuItem* ChkSound1;
  ui::MenuItem* ChkSound2;
  ui::MenuItem* ChkSound3;
  ui::MenuItem* ChkRecLimit[5];  // 0, 30, 60, 120, 240 minutes
  ui::MenuItem* ChkAudio;
  ui::MenuItem* ChkLog;
  ui::MenuItem* ChkMouse;
  ui::MenuItem* ChkRegStart;
  ui::MenuItem* ChkLangItems[7];  // ko, en, ja, ru, it, fr, zh
  ui::Timer* TmrColor;
  ui::Timer* TmrRec;

  // Handlers, public so that the tests' drivers and other windows reach the same paths.
  void ChkAreaChange();
  void ChkSaveToChange();
  void ChkLang(ui::MenuItem& item);

 protected:
  LRESULT handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  bool onCloseQuery() override;
  void onDestroy() override;

 private:
  void buildControls();
  void buildMenu();
  void ChkAppend1Click(ui::MenuItem& item);
  void ChkSound1Click(ui::MenuItem& item);
  void ChkRecLimit0Click(ui::MenuItem& item);
  void ToggleClick(ui::MenuItem& item, const wchar_t* setting);
  void ChkRegStartClick(ui::MenuItem& item);
  void ChkAreaDrawItem(DRAWITEMSTRUCT& dis, const std::u16string& text);
  void LstColorDrawItem(DRAWITEMSTRUCT& dis, const std::u16string& text);
  void TmrColorTimer();
  void N1Click();
  void N4Click();
  void N5Click();
  void N7Click();
  void N10Click();
  void BtnOpenDirClick();
  void LblCopyrightClick();
  void FormMouseUp(int button, POINT screen);
  void FileMissing(const std::wstring& file, const std::wstring& page);
  void TranslateWindow();
  void PlayCaptureSound();
  void Deliver(int destination, ui::Bitmap& bitmap, const RECT& rect);
  void ShowCaptureFailure(const std::string& message);
  int Info(const std::wstring& text, UINT flags);
  // Windows that a mode shows while it is selected; they arrive with their own features.
  void CloseModeWindows();
  void ShowModeWindow(int mode);

  std::wstring FFirstArgument;
  std::unique_ptr<TCapture> FCapture;
  TStatus FStatus = stIdle;
  bool FCanClose = false;
  ui::NotifyIcon* TrayIcon = nullptr;
  TFrmHotKey* HotKeyForm = nullptr;
  std::wstring SavePath;
  std::wstring Language;
};

extern TFrmQuorvel* FrmQuorvel;

}  // namespace quorvel
