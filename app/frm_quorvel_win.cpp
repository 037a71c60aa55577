#include "app/frm_quorvel_win.h"

#include <shellapi.h>
#include <shlobj.h>

#include "app/capture_rules.h"
#include "app/command.h"
#include "app/config_win.h"
#include "app/menu_values.h"
#include "app/save_folder_win.h"
#include "hotkey/frm_hotkey_win.h"
#include "support/autostart_win.h"
#include "support/module_path_win.h"
#include "support/shell_win.h"
#include "support/strings.h"
#include "support/tr_win.h"
#include "support/translate_win.h"
#include "support/tray_win.h"
#include "ui/application_win.h"
#include "ui/message_box_win.h"

namespace quorvel {

TFrmQuorvel* FrmQuorvel = nullptr;

namespace {
// Layout in design pixels at 96 dpi: control, kind, left, top, width x height.
//   LblArea        label                  8,   8
//   ChkArea        owner-drawn list       9,  29   145 x 22
//   PnlMain        card panel             8,  60   145 x 96
//     Card1        card 0 (settings)      fills PnlMain
//       LblSaveTo      label              0,   0
//       ChkSaveTo      owner-drawn list   0,  21   145 x 22   width follows the destination
//       ChkJPEG_qual   owner-drawn list  88,  21    57 x 22   hidden
//       ChkWebp_qual   owner-drawn list  88,  21    57 x 22   hidden
//       ChkOCR_lang    owner-drawn list  78,  21    67 x 22   hidden
//       BtnOpenDir     push button        0,  63   145 x 33
//     Card2        card 1 (colour)        fills PnlMain
//       ShpColor       rectangle          0,   0    15 x 15
//       LblColor       label             23,   0
//       LstColor       owner-drawn list   0,  21   145 x 75   items 15 high, Courier New
//     Card3        card 2 (recording)     fills PnlMain
//       Panel1         panel              fills Card3
//         ShpRec       red circle         0,   8   145 x 81
//         Label1       label, bold       24,  30    97 wide   yellow, centred
//         LvlRecTime   label             24,  51    97 wide   white, centred
//   LblCopyright   label, centred, blue   8, 168   146 x 17
constexpr int kClientWidth = 162, kClientHeight = 191;

const std::vector<std::u16string> kModes = {u"전체화면 캡쳐",     u"영역화면 캡쳐",     u"드래그영역 캡쳐",
                                            u"활성중인 화면 캡쳐", u"윈도우 컨트롤 캡쳐", u"웹페이지 캡쳐",
                                            u"색상 추출"};
const std::vector<std::u16string> kDestinations = {u"PNG", u"JPG",       u"GIF",        u"BMP",    u"WebP",  u"MP4(동영상)",
                                                   u"TXT", u"클립보드", u"이미지창고", u"프린터", u"플러팅"};
const std::vector<std::u16string> kQualities = {u"100", u"90", u"80", u"70", u"60"};
constexpr char16_t kCredit[] = u"만든이 Brevisco";
const char16_t* const kLanguageNames[7] = {u"한국어", u"English", u"日本語", u"русский", u"Italiano", u"Français", u"中文"};
const char* const kLanguageItems[7] = {"ChkLangKo", "ChkLangEn", "ChkLangJa", "ChkLangRu",
                                       "ChkLangIt", "ChkLangFr", "ChkLangZh"};
constexpr int kRecLimits[5] = {0, 30, 60, 120, 240};

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
  // No desktop folder (a service account, say): the user's profile.
  if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, path))) return path;
  return L"";
}

bool fileBesideProgram(const wchar_t* name) {
  return ::GetFileAttributesW((moduleFolder() + name).c_str()) != INVALID_FILE_ATTRIBUTES;
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

void checkOnly(std::initializer_list<ui::MenuItem*> group, ui::MenuItem* item) {
  for (ui::MenuItem* i : group) i->checked = i == item;
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
  LblArea = &add<ui::Label>("LblArea", DesignRect{8, 8, 146, 15}, u"캡쳐영역");
  ChkArea = &add<ui::ComboBox>("ChkArea", DesignRect{9, 29, 145, 22}, kModes);
  PnlMain = &add<ui::CardPanel>("PnlMain", DesignRect{8, 60, 145, 96});
  Card1 = &PnlMain->addCard("Card1");
  Card2 = &PnlMain->addCard("Card2");
  Card3 = &PnlMain->addCard("Card3");
  LblSaveTo = &Card1->add<ui::Label>("LblSaveTo", DesignRect{0, 0, 145, 15}, u"저장형식");
  ChkSaveTo = &Card1->add<ui::ComboBox>("ChkSaveTo", DesignRect{0, 21, 145, 22}, kDestinations);
  ChkJPEG_qual = &Card1->add<ui::ComboBox>("ChkJPEG_qual", DesignRect{88, 21, 57, 22}, kQualities, false);
  ChkWebp_qual = &Card1->add<ui::ComboBox>("ChkWebp_qual", DesignRect{88, 21, 57, 22}, kQualities, false);
  ChkOCR_lang =
      &Card1->add<ui::ComboBox>("ChkOCR_lang", DesignRect{78, 21, 67, 22}, std::vector<std::u16string>{}, false);
  BtnOpenDir = &Card1->add<ui::Button>("BtnOpenDir", DesignRect{0, 63, 145, 33}, u"폴더열기");
  ShpColor = &Card2->add<ui::Shape>("ShpColor", DesignRect{0, 0, 15, 15}, ui::Shape::Kind::Rectangle, RGB(255, 255, 255));
  LblColor = &Card2->add<ui::Label>("LblColor", DesignRect{23, 0, 100, 15}, u"FFFFFF");
  LstColor = &Card2->add<ui::ListBox>("LstColor", DesignRect{0, 21, 145, 75}, 15, L"Courier New", -12);
  Panel1 = &Card3->add<ui::Panel>("Panel1", DesignRect{0, 0, 145, 96});
  ShpRec = &Panel1->add<ui::Shape>("ShpRec", DesignRect{0, 8, 145, 81}, ui::Shape::Kind::Circle, RGB(255, 0, 0),
                                   RGB(255, 0, 0));
  Label1 = &Panel1->add<ui::Label>("Label1", DesignRect{24, 30, 97, 15}, u"녹화중", ui::Label::Align::Center,
                                   RGB(255, 255, 0), true);
  LvlRecTime = &Panel1->add<ui::Label>("LvlRecTime", DesignRect{24, 51, 97, 15}, u"00:00:00.00",
                                       ui::Label::Align::Center, RGB(255, 255, 255));
  Label1->background = LvlRecTime->background = RGB(255, 0, 0);
  LblCopyright = &add<ui::Label>("LblCopyright", DesignRect{8, 168, 146, 17}, kCredit, ui::Label::Align::Center,
                                 RGB(0, 0, 255), false, /*notify=*/true);
  TmrColor = &add<ui::Timer>("TmrColor", 100);
  TmrRec = &add<ui::Timer>("TmrRec", 100);

  for (ui::ComboBox* c : {ChkArea, ChkSaveTo, ChkJPEG_qual, ChkWebp_qual, ChkOCR_lang})
    c->onDraw = [this](DRAWITEMSTRUCT& dis, const std::u16string& text) { ChkAreaDrawItem(dis, text); };
  LstColor->onDraw = [this](DRAWITEMSTRUCT& dis, const std::u16string& text) { LstColorDrawItem(dis, text); };
  ChkArea->onChange = [this] { ChkAreaChange(); };
  ChkSaveTo->onChange = [this] { ChkSaveToChange(); };
  ChkJPEG_qual->onChange = [this] { SaveConfig(L"jpeg_quality", ChkJPEG_qual->itemIndex()); };
  ChkWebp_qual->onChange = [this] { SaveConfig(L"webp_quality", ChkWebp_qual->itemIndex()); };
  ChkOCR_lang->onChange = [this] { SaveConfig(L"language_ocr", ChkOCR_lang->itemIndex()); };
  BtnOpenDir->onClick = [this] { BtnOpenDirClick(); };
  LblCopyright->onClick = [this] { LblCopyrightClick(); };
  TmrColor->onTimer = [this] { TmrColorTimer(); };

  auto menuUp = [this](int button, POINT pt) { FormMouseUp(button, pt); };
  onMouseUp = menuUp;
  for (ui::Control* c : std::initializer_list<ui::Control*>{LblArea, LblCopyright, Card1, LblSaveTo, Card2, LblColor,
                                                            ShpColor, ShpRec})
    c->onMouseUp = menuUp;
  LstColor->onMouseUp = [this](int button, POINT pt) {
    if (button == 1) Pick->popup(handle(), pt);
  };
}

void TFrmQuorvel::buildMenu() {
  Menu = &add<ui::PopupMenu>("Menu");
  Menu->item("N12", u"저장폴더 열기", [this](ui::MenuItem&) { BtnOpenDir->click(); });
  Menu->item("N4", u"저장폴더 설정", [this](ui::MenuItem&) { N4Click(); });
  Menu->item("N1", u"단축키 설정", [this](ui::MenuItem&) { N1Click(); });
  auto& n11 = Menu->item("N11", u"언어 설정");
  for (int i = 0; i < 7; ++i)
    ChkLangItems[i] = &n11.item(kLanguageItems[i], kLanguageNames[i], [this](ui::MenuItem& m) { ChkLang(m); });
  auto& n2 = Menu->item("N2", u"파일명 설정");
  auto naming = [this](ui::MenuItem& i) { ChkAppend1Click(i); };
  ChkAppend1 = &n2.item("ChkAppend1", u"순차적 #1", naming);
  ChkAppend3 = &n2.item("ChkAppend3", u"순차적 #2", naming);
  ChkAppend2 = &n2.item("ChkAppend2", u"날짜시간", naming);
  auto& n6 = Menu->item("N6", u"녹화 설정");
  auto& n13 = n6.item("N13", u"최대 녹화시간");
  auto limit = [this](ui::MenuItem& i) { ChkRecLimit0Click(i); };
  ChkRecLimit[0] = &n13.item("ChkRecLimit0", u"무제한", limit);
  n13.item("N15", u"-");
  ChkRecLimit[1] = &n13.item("ChkRecLimit30", u"30분", limit);
  ChkRecLimit[2] = &n13.item("ChkRecLimit60", u"1시간", limit);
  ChkRecLimit[3] = &n13.item("ChkRecLimit120", u"2시간", limit);
  ChkRecLimit[4] = &n13.item("ChkRecLimit240", u"4시간", limit);
  ChkAudio = &n6.item("ChkAudio", u"사운드 포함", [this](ui::MenuItem& i) { ToggleClick(i, L"audio"); });
  ChkLog = &n6.item("ChkLog", u"로그 기록", [this](ui::MenuItem& i) { ToggleClick(i, L"ffmpeg_log"); });
  auto& n3 = Menu->item("N3", u"캡쳐소리 설정");
  auto sound = [this](ui::MenuItem& i) { ChkSound1Click(i); };
  ChkSound1 = &n3.item("ChkSound1", u"없음", sound);
  ChkSound2 = &n3.item("ChkSound2", u"캡쳐 전 소리", sound);
  ChkSound3 = &n3.item("ChkSound3", u"캡쳐 후 소리", sound);
  ChkMouse = &Menu->item("ChkMouse", u"마우스 커서 포함", [this](ui::MenuItem& i) { ToggleClick(i, L"mouse"); });
  ChkRegStart = &Menu->item("ChkRegStart", u"부팅시 실행", [this](ui::MenuItem& i) { ChkRegStartClick(i); });
  Menu->item("N8", u"-");
  Menu->item("N9", kCredit, [this](ui::MenuItem&) { LblCopyrightClick(); });
  Menu->item("N10", u"종료하기", [this](ui::MenuItem&) { N10Click(); });

  Pick = &add<ui::PopupMenu>("Pick");
  Pick->item("N5", u"복사", [this](ui::MenuItem&) { N5Click(); });
  Pick->item("N7", u"삭제", [this](ui::MenuItem&) { N7Click(); });
}

void TFrmQuorvel::FormCreate() {
  FrmQuorvel = this;
  auto& app = ui::Application::instance();
  app.setMainForm(this);
  createHandle(app.handle());
  // 1. Help requests are swallowed by the window procedure. 2. The settings card.
  PnlMain->setActiveCard(0);
  // 3. Start with Windows, before the settings are read.
  if (FFirstArgument == L"/inst") SetAutoStart(L"Quorvel", true);
  // 4. Settings, which also translate the window.
  LoadConfig();
  // 5. The notification-area icon.
  TrayIcon = &add<ui::NotifyIcon>("TrayIcon", ::LoadIconW(app.hinstance(), MAKEINTRESOURCEW(1)));
  TrayIcon->setHint(toWide(caption()) + L" " + GetVersionString(L"%d.%d.%d"));
  TrayIcon->onClick = [] { ShowApplication(); };
  TrayIcon->menu = Menu;
  TrayIcon->setVisible(true);
  // 6. The grabber and the state.
  FCapture = std::make_unique<TCapture>();
  FStatus = stIdle;
  FCanClose = false;
  // 7. Hidden start, else the window shows centred.
  if (FFirstArgument == L"/start") {
    HideApplication();
  } else {
    centerOnScreen();
    show();
    ForceForegroundWindow(handle());
  }
  // 8. PrintScreen stays ours. 9. The hotkey dialog registers the hotkey.
  DisableSnippingPrintScreen();
  HotKeyForm = &add<TFrmHotKey>([this] { Start(); });
  HotKeyForm->FormCreate(app.handle());
  // 10. The pickers' handlers once, as if the loaded values had just been picked.
  ChkAreaChange();
  ChkSaveToChange();
}

void TFrmQuorvel::LoadConfig() {
  TConfig config(kConfigPath);
  // The system's recognition languages: none where the OCR engine is missing, as here.
  try {
    const int ocr = config.ReadInteger(L"language_ocr", 0);
    if (ocr < static_cast<int>(ChkOCR_lang->items().size())) ChkOCR_lang->setItemIndex(ocr);
  } catch (const std::exception&) {
  }
  const std::wstring userLanguage = GetUserLanguage().substr(0, 2);
  Language = readOr([&] { return config.ReadString(L"language", userLanguage); }, userLanguage);
  if (languageIndex(wideToUtf8(Language)) < 0) Language = L"en";
  SavePath = readOr([&] { return config.ReadString(L"path", desktopFolder()); }, desktopFolder());
  ChkAudio->checked = readOr([&] { return config.ReadBoolean(L"audio", false); }, false);
  ChkMouse->checked = readOr([&] { return config.ReadBoolean(L"mouse", true); }, true);
  ChkRegStart->checked = RefreshAutoStart(L"Quorvel");
  ChkLog->checked = readOr([&] { return config.ReadBoolean(L"ffmpeg_log", false); }, false);
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
  const int lang = languageIndex(wideToUtf8(Language));
  for (int i = 0; i < 7; ++i) ChkLangItems[i]->checked = i == lang;
  const int recLimit = readOr([&] { return config.ReadInteger(L"record_limit", 0); }, 0);
  for (int i = 0; i < 5; ++i) ChkRecLimit[i]->checked = kRecLimits[i] == recLimit;
  TranslateWindow();
  ui::Application::instance().setTitle(toWide(caption()));
}

void TFrmQuorvel::TranslateWindow() {
  TranslateComponent(*this, Language);
  TranslateComponent(*ChkArea, L"");
  TranslateComponent(*ChkSaveTo, L"");
  setCaption(fromWide(Translate(toWide(caption()))));
}

void TFrmQuorvel::SaveConfig(const std::wstring& name, int value) { TConfig(kConfigPath).WriteInteger(name, value); }
void TFrmQuorvel::SaveConfig(const std::wstring& name, bool value) { TConfig(kConfigPath).WriteBoolean(name, value); }
void TFrmQuorvel::SaveConfig(const std::wstring& name, const std::wstring& value) {
  TConfig(kConfigPath).WriteString(name, value);
}

void TFrmQuorvel::CloseModeWindows() {
  // The area frame, the window highlight and the capture browser close here once they exist.
}

void TFrmQuorvel::ShowModeWindow(int /*mode*/) {
  // Mode 1 shows the area frame, 4 a new window highlight, 5 a new capture browser.
}

void TFrmQuorvel::ChkAreaChange() {
  ChkArea->setEnabled(false);
  PnlMain->setActiveCard(0);
  CloseModeWindows();
  const int mode = ChkArea->itemIndex();
  if (mode == cmColorPicker) PnlMain->setActiveCard(1);
  else ShowModeWindow(mode);
  TmrColor->setEnabled(PnlMain->activeCard() == 1);
  SaveConfig(L"area", storedMode(mode));
  ChkArea->setEnabled(true);
}

void TFrmQuorvel::FileMissing(const std::wstring& file, const std::wstring& page) {
  std::wstring text = tr(L"\"%s\" 파일이 없습니다.");
  if (const auto at = text.find(L"%s"); at != std::wstring::npos) text.replace(at, 2, file);
  Info(text, MB_ICONINFORMATION);
  ShellOpen(errorPageUrl(page));
}

void TFrmQuorvel::ChkSaveToChange() {
  const int dest = ChkSaveTo->itemIndex();
  ChkSaveTo->setWidth(scale(dest == dsJPG || dest == dsWebP ? 82 : dest == dsTXT ? 72 : 145));
  ChkJPEG_qual->setVisible(dest == dsJPG);
  ChkWebp_qual->setVisible(dest == dsWebP);
  ChkOCR_lang->setVisible(dest == dsTXT);
  if (dest == dsWebP && !fileBesideProgram(L"libwebp.dll")) {
    FileMissing(L"libwebp.dll", L"webpnotfound");
    ChkSaveTo->setItemIndex(dsPNG);
    ChkSaveTo->setWidth(scale(145));
    ChkWebp_qual->setVisible(false);
  } else if (dest == dsMP4 && !fileBesideProgram(L"ffmpeg.exe")) {
    ChkSaveTo->setWidth(scale(145));
    ChkSaveTo->setItemIndex(dsPNG);
    FileMissing(L"ffmpeg.exe", L"ffmpegnotfound");
  } else if (dest == dsTXT && ChkOCR_lang->items().empty()) {
    ChkSaveTo->setWidth(scale(145));
    ChkSaveTo->setItemIndex(dsPNG);
    ChkOCR_lang->setVisible(false);
    Info(L"OCR 을 지원하지 않는 윈도우 환경입니다.", MB_ICONINFORMATION);
  }
  SaveConfig(L"saveto", ChkSaveTo->itemIndex());
}

void TFrmQuorvel::ChkAreaDrawItem(DRAWITEMSTRUCT& dis, const std::u16string& text) {
  ui::ComboBox::drawItem(dis, text);
}

void TFrmQuorvel::ChkLang(ui::MenuItem& item) {
  Language = utf8ToWide(languageCodeOf(item.name()));
  const int index = languageIndex(wideToUtf8(Language));
  for (int i = 0; i < 7; ++i) ChkLangItems[i]->checked = i == index;
  TranslateComponent(*this, Language);
  if (HotKeyForm) TranslateComponent(*HotKeyForm, L"");
  TranslateComponent(*ChkArea, L"");
  TranslateComponent(*ChkSaveTo, L"");
  const std::wstring title = Translate(toWide(caption()));
  ui::Application::instance().setTitle(title);
  if (TrayIcon) TrayIcon->setHint(title + L" " + GetVersionString(L"%d.%d.%d.%d"));
  setCaption(fromWide(title));
  SaveConfig(L"language", Language);
}

void TFrmQuorvel::ChkAppend1Click(ui::MenuItem& item) {
  const int value = numberAfter(item.name(), "ChkAppend").value_or(1);
  for (ui::MenuItem* i : {ChkAppend1, ChkAppend2, ChkAppend3}) i->checked = numberAfter(i->name(), "ChkAppend") == value;
  SaveConfig(L"append", value);
}

void TFrmQuorvel::ChkSound1Click(ui::MenuItem& item) {
  const int value = numberAfter(item.name(), "ChkSound").value_or(2);
  for (ui::MenuItem* i : {ChkSound1, ChkSound2, ChkSound3}) i->checked = numberAfter(i->name(), "ChkSound") == value;
  SaveConfig(L"sound", value);
}

void TFrmQuorvel::ChkRecLimit0Click(ui::MenuItem& item) {
  const int value = numberAfter(item.name(), "ChkRecLimit").value_or(0);
  for (ui::MenuItem* i : ChkRecLimit) i->checked = numberAfter(i->name(), "ChkRecLimit") == value;
  SaveConfig(L"record_limit", value);
}

void TFrmQuorvel::ToggleClick(ui::MenuItem& item, const wchar_t* setting) {
  item.checked = !item.checked;
  SaveConfig(setting, item.checked);
}

void TFrmQuorvel::ChkRegStartClick(ui::MenuItem& item) {
  item.checked = !item.checked;
  if (!SetAutoStart(L"Quorvel", item.checked)) {
    ui::messageBox(tr(L"잘못된 백신 또는 악성 프로그램이 부팅시 실행을 차단하였습니다."), toWide(caption()),
                   MB_TOPMOST | MB_SETFOREGROUND | MB_ICONERROR);
    item.checked = false;
  }
}

void TFrmQuorvel::N1Click() {
  if (!HotKeyForm) return;
  if (HotKeyForm->visible()) ::SetForegroundWindow(HotKeyForm->handle());
  else HotKeyForm->showModal();
}

void TFrmQuorvel::N4Click() {
  std::wstring path = SavePath;
  if (SelectSaveFolder(handle(), path)) {
    SavePath = path;
    SaveConfig(L"path", SavePath);
  }
}

void TFrmQuorvel::BtnOpenDirClick() {
  ::ShellExecuteW(nullptr, L"open", L"explorer.exe", SavePath.c_str(), nullptr, SW_SHOW);
}

void TFrmQuorvel::LblCopyrightClick() { ShellOpen(productPageUrl()); }

void TFrmQuorvel::N10Click() {
  const auto& app = ui::Application::instance();
  if (ui::messageBox(tr(L"정말 종료하시겠습니까?"), app.title(),
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
    Info(tr(L"녹화중입니다."), MB_ICONINFORMATION);
    return false;
  }
  return true;
}

void TFrmQuorvel::onDestroy() {
  TmrColor->setEnabled(false);
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
