#include "app/frm_quorvel_win.h"

#include <shellapi.h>
#include <shlobj.h>
#include <windowsx.h>

#include "app/capture_rules.h"
#include "app/command.h"
#include "app/config_win.h"
#include "support/autostart_win.h"
#include "support/shell_win.h"
#include "support/strings.h"
#include "support/tray_win.h"
#include "ui/application_win.h"
#include "ui/message_box_win.h"

namespace quorvel {

TFrmQuorvel* FrmQuorvel = nullptr;

namespace {
// Layout in design pixels at 96 dpi: control, kind, left, top, width x height.
//   LblArea       label                 8,   8
//   ChkArea       owner-drawn list      9,  29   145 x 22
//   PnlMain       card panel            8,  60   145 x 96
//     Card1       card (settings)       fills PnlMain
//       LblSaveTo     label             0,   0
//       ChkSaveTo     owner-drawn list  0,  21   145 x 22
//       ChkJPEG_qual  owner-drawn list 88,  21    57 x 22  hidden
//       ChkWebp_qual  owner-drawn list 88,  21    57 x 22  hidden
//       ChkOCR_lang   owner-drawn list 78,  21    67 x 22  hidden
//       BtnOpenDir    push button       0,  63   145 x 33
//     Card2       card (colour)         fills PnlMain
//     Card3       card (recording)      fills PnlMain
//   LblCopyright  label, centred, blue  8, 168   146 x 17
constexpr int kClientWidth = 162, kClientHeight = 191;

const std::vector<std::u16string> kModes = {u"전체화면 캡쳐",     u"영역화면 캡쳐",     u"드래그영역 캡쳐",
                                            u"활성중인 화면 캡쳐", u"윈도우 컨트롤 캡쳐", u"웹페이지 캡쳐",
                                            u"색상 추출"};
const std::vector<std::u16string> kDestinations = {u"PNG", u"JPG",       u"GIF",        u"BMP",    u"WebP",  u"MP4(동영상)",
                                                   u"TXT", u"클립보드", u"이미지창고", u"프린터", u"플러팅"};
const std::vector<std::u16string> kQualities = {u"100", u"90", u"80", u"70", u"60"};
constexpr char16_t kCredit[] = u"만든이 Brevisco";

ui::FormStyle mainStyle() {
  ui::FormStyle s;
  s.className = L"TFrmQuorvel";
  s.style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  s.exStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
  s.clientWidth = kClientWidth;
  s.clientHeight = kClientHeight;
  return s;
}

std::wstring desktopFolder() {
  wchar_t path[MAX_PATH] = {};
  if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_DESKTOP, nullptr, SHGFP_TYPE_CURRENT, path))) return path;
  // No desktop folder (a service account, say): the user's profile, else the current folder.
  if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, path))) return path;
  return L"";
}

// A setting of the wrong registry type must not stop the start: its default stands.
template <class F, class T>
T readOr(F&& read, T fallback) {
  try {
    return read();
  } catch (const std::exception&) {
    return fallback;
  }
}
}  // namespace

TFrmQuorvel::TFrmQuorvel(std::wstring firstArgument)
    : ui::Form(nullptr, "FrmQuorvel", mainStyle()), FFirstArgument(std::move(firstArgument)) {
  caption_ = u"Quorvel";
  buildControls();
  buildMenu();
}

TFrmQuorvel::~TFrmQuorvel() {
  if (FrmQuorvel == this) FrmQuorvel = nullptr;
}

void TFrmQuorvel::buildControls() {
  using ui::DesignRect;
  LblArea = &add<ui::Label>("LblArea", DesignRect{8, 8, 140, 15}, u"캡쳐영역");
  ChkArea = &add<ui::ComboBox>("ChkArea", DesignRect{9, 29, 145, 22}, kModes);
  PnlMain = &add<ui::CardPanel>("PnlMain", DesignRect{8, 60, 145, 96});
  Card1 = &PnlMain->addCard("Card1");
  Card2 = &PnlMain->addCard("Card2");
  Card3 = &PnlMain->addCard("Card3");
  LblSaveTo = &Card1->add<ui::Label>("LblSaveTo", DesignRect{0, 0, 140, 15}, u"저장형식");
  ChkSaveTo = &Card1->add<ui::ComboBox>("ChkSaveTo", DesignRect{0, 21, 145, 22}, kDestinations);
  ChkJPEG_qual = &Card1->add<ui::ComboBox>("ChkJPEG_qual", DesignRect{88, 21, 57, 22}, kQualities, false);
  ChkWebp_qual = &Card1->add<ui::ComboBox>("ChkWebp_qual", DesignRect{88, 21, 57, 22}, kQualities, false);
  ChkOCR_lang = &Card1->add<ui::ComboBox>("ChkOCR_lang", DesignRect{78, 21, 67, 22}, std::vector<std::u16string>{}, false);
  BtnOpenDir = &Card1->add<ui::Button>("BtnOpenDir", DesignRect{0, 63, 145, 33}, u"폴더열기");
  LblCopyright = &add<ui::Label>("LblCopyright", DesignRect{8, 168, 146, 17}, kCredit, ui::Label::Align::Center,
                                 RGB(0, 0, 255), false, /*notify=*/true);

  ChkArea->onChange = [this] { ChkAreaChange(); };
  ChkSaveTo->onChange = [this] { ChkSaveToChange(); };
  ChkJPEG_qual->onChange = [this] { SaveConfig(L"jpeg_quality", ChkJPEG_qual->itemIndex()); };
  ChkWebp_qual->onChange = [this] { SaveConfig(L"webp_quality", ChkWebp_qual->itemIndex()); };
  BtnOpenDir->onClick = [this] { BtnOpenDirClick(); };
  LblCopyright->onClick = [this] { LblCopyrightClick(); };

  auto menuUp = [this](int button, POINT pt) { FormMouseUp(button, pt); };
  onMouseUp = menuUp;
  for (ui::Control* c : {static_cast<ui::Control*>(LblArea), static_cast<ui::Control*>(LblCopyright),
                         static_cast<ui::Control*>(Card1), static_cast<ui::Control*>(LblSaveTo),
                         static_cast<ui::Control*>(Card2)})
    c->onMouseUp = menuUp;
}

void TFrmQuorvel::buildMenu() {
  Menu = &add<ui::PopupMenu>("Menu");
  Menu->item("N12", u"저장폴더 열기", [this](ui::MenuItem&) { BtnOpenDir->click(); });
  auto& n2 = Menu->item("N2", u"파일명 설정");
  auto naming = [this](ui::MenuItem& i) { ChkAppend1Click(i); };
  ChkAppend1 = &n2.item("ChkAppend1", u"순차적 #1", naming);
  ChkAppend3 = &n2.item("ChkAppend3", u"순차적 #2", naming);
  ChkAppend2 = &n2.item("ChkAppend2", u"날짜시간", naming);
  auto& n3 = Menu->item("N3", u"캡쳐소리 설정");
  auto sound = [this](ui::MenuItem& i) { ChkSound1Click(i); };
  ChkSound1 = &n3.item("ChkSound1", u"없음", sound);
  ChkSound2 = &n3.item("ChkSound2", u"캡쳐 전 소리", sound);
  ChkSound3 = &n3.item("ChkSound3", u"캡쳐 후 소리", sound);
  ChkMouse = &Menu->item("ChkMouse", u"마우스 커서 포함", [this](ui::MenuItem& i) { ChkMouseClick(i); });
  ChkRegStart = &Menu->item("ChkRegStart", u"부팅시 실행", [this](ui::MenuItem& i) { ChkRegStartClick(i); });
  Menu->item("N8", u"-");
  Menu->item("N9", kCredit, [this](ui::MenuItem&) { LblCopyrightClick(); });
  Menu->item("N10", u"종료하기", [this](ui::MenuItem&) { N10Click(); });
}

void TFrmQuorvel::FormCreate() {
  FrmQuorvel = this;
  ui::Application::instance().setMainForm(this);
  createHandle(ui::Application::instance().handle());
  // 1. Help requests are swallowed by the window procedure. 2. The settings card.
  PnlMain->setActiveCard(0);
  // 3. Start with Windows, before the settings are read.
  if (FFirstArgument == L"/inst") SetAutoStart(L"Quorvel", true);
  // 4. Settings.
  LoadConfig();
  // 5. The notification-area icon.
  TrayIcon = &add<ui::NotifyIcon>("TrayIcon", ::LoadIconW(ui::Application::instance().hinstance(), MAKEINTRESOURCEW(1)));
  TrayIcon->setHint(toWide(caption()) + L" " + GetVersionString(L"%d.%d.%d"));
  TrayIcon->onClick = [] { ShowApplication(); };
  TrayIcon->menu = Menu;
  TrayIcon->setVisible(true);
  // 6. The grabber and the state.
  FCapture = std::make_unique<TCapture>();
  FStatus = stIdle;
  FCanClose = false;
  // 7. Hidden start.
  if (FFirstArgument == L"/start") HideApplication();
  else {
    centerOnScreen();
    show();
    ForceForegroundWindow(handle());
  }
  // 10. The pickers' handlers once, as if the loaded values had just been picked.
  ChkAreaChange();
  ChkSaveToChange();
}

void TFrmQuorvel::LoadConfig() {
  TConfig config(kConfigPath);
  Language = L"ko";
  SavePath = readOr([&] { return config.ReadString(L"path", desktopFolder()); }, desktopFolder());
  ChkMouse->checked = readOr([&] { return config.ReadBoolean(L"mouse", true); }, true);
  ChkRegStart->checked = RefreshAutoStart(L"Quorvel");
  ChkArea->setItemIndex(0);
  ChkArea->setItemIndex(readOr([&] { return config.ReadInteger(L"area", 0); }, 0));
  ChkSaveTo->setItemIndex(readOr([&] { return config.ReadInteger(L"saveto", 0); }, 0));
  ChkJPEG_qual->setItemIndex(readOr([&] { return config.ReadInteger(L"jpeg_quality", 1); }, 1));
  ChkWebp_qual->setItemIndex(readOr([&] { return config.ReadInteger(L"webp_quality", 1); }, 1));
  const int append = readOr([&] { return config.ReadInteger(L"append", 1); }, 1);
  ChkAppend1->checked = append == 1;
  ChkAppend2->checked = append == 2;
  ChkAppend3->checked = append == 3;
  const int sound = readOr([&] { return config.ReadInteger(L"sound", 2); }, 2);
  ChkSound1->checked = sound == 1;
  ChkSound2->checked = sound == 2;
  ChkSound3->checked = sound == 3;
  setCaption(caption());
  ui::Application::instance().setTitle(toWide(caption()));
}

void TFrmQuorvel::SaveConfig(const std::wstring& name, int value) { TConfig(kConfigPath).WriteInteger(name, value); }
void TFrmQuorvel::SaveConfig(const std::wstring& name, bool value) { TConfig(kConfigPath).WriteBoolean(name, value); }
void TFrmQuorvel::SaveConfig(const std::wstring& name, const std::wstring& value) {
  TConfig(kConfigPath).WriteString(name, value);
}

void TFrmQuorvel::ChkAreaChange() {
  ChkArea->setEnabled(false);
  PnlMain->setActiveCard(0);
  SaveConfig(L"area", storedMode(ChkArea->itemIndex()));
  ChkArea->setEnabled(true);
}

void TFrmQuorvel::ChkSaveToChange() {
  const int dest = ChkSaveTo->itemIndex();
  ChkSaveTo->setWidth(scale(dest == dsJPG || dest == dsWebP ? 82 : dest == dsTXT ? 72 : 145));
  ChkJPEG_qual->setVisible(dest == dsJPG);
  ChkWebp_qual->setVisible(dest == dsWebP);
  ChkOCR_lang->setVisible(dest == dsTXT);
  SaveConfig(L"saveto", ChkSaveTo->itemIndex());
}

void TFrmQuorvel::ChkAppend1Click(ui::MenuItem& item) {
  const int value = item.name().back() - '0';
  for (ui::MenuItem* i : {ChkAppend1, ChkAppend2, ChkAppend3}) i->checked = i->name().back() - '0' == value;
  SaveConfig(L"append", value);
}

void TFrmQuorvel::ChkSound1Click(ui::MenuItem& item) {
  const int value = item.name().back() - '0';
  for (ui::MenuItem* i : {ChkSound1, ChkSound2, ChkSound3}) i->checked = i->name().back() - '0' == value;
  SaveConfig(L"sound", value);
}

void TFrmQuorvel::ChkMouseClick(ui::MenuItem& item) {
  item.checked = !item.checked;
  SaveConfig(L"mouse", item.checked);
}

void TFrmQuorvel::ChkRegStartClick(ui::MenuItem& item) {
  item.checked = !item.checked;
  if (!SetAutoStart(L"Quorvel", item.checked)) {
    ui::messageBox(L"잘못된 백신 또는 악성 프로그램이 부팅시 실행을 차단하였습니다.", toWide(caption()),
                   MB_TOPMOST | MB_SETFOREGROUND | MB_ICONERROR);
    item.checked = false;
  }
}

void TFrmQuorvel::BtnOpenDirClick() {
  ::ShellExecuteW(nullptr, L"open", L"explorer.exe", SavePath.c_str(), nullptr, SW_SHOW);
}

void TFrmQuorvel::LblCopyrightClick() { ShellOpen(productPageUrl()); }

void TFrmQuorvel::N10Click() {
  const auto& app = ui::Application::instance();
  if (ui::messageBox(L"정말 종료하시겠습니까?", app.title(),
                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SETFOREGROUND | MB_TOPMOST) == IDYES) {
    FCanClose = true;
    close();
  }
}

void TFrmQuorvel::FormMouseUp(int button, POINT screen) {
  if (button == 1) Menu->popup(handle(), screen);
}

int TFrmQuorvel::Info(const std::wstring& text, UINT flags) {
  return ui::messageBox(text, toWide(caption()), flags | MB_SETFOREGROUND | MB_TOPMOST);
}

bool TFrmQuorvel::onCloseQuery() {
  if (!FCanClose) {
    HideApplication();
    return false;
  }
  if (IsRecording()) {
    Info(L"녹화중입니다.", MB_ICONINFORMATION);
    return false;
  }
  return true;
}

void TFrmQuorvel::onDestroy() {
  FCapture.reset();
  if (TrayIcon) TrayIcon->setVisible(false);
}

LRESULT TFrmQuorvel::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_USER:
      if (!TrayIcon) return 0;  // still starting
      if (wp == 1) {
        ShowApplication();
      } else if (wp == 2) {
        FCanClose = true;
        close();
      }
      return 0;
    case WM_COPYDATA: {
      const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
      if (!cds || cds->dwData != 1) return 0;
      // Across processes only cbData bytes arrive: never read past them, even without a NUL.
      const auto text = boundedText(static_cast<const char16_t*>(cds->lpData), cds->cbData / sizeof(char16_t));
      switch (parseRemoteCommand(text)) {
        case RemoteCommand::About:
          LblCopyrightClick();
          return 1;
        case RemoteCommand::Capture:
          Start();
          return 1;
        case RemoteCommand::None:
          return 0;
      }
      return 0;
    }
    case WM_QUERYENDSESSION:
      FCanClose = true;
      close();
      return 1;
    default:
      return ui::Form::handleMessage(msg, wp, lp);
  }
}

}  // namespace quorvel
