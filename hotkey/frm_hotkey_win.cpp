#include "hotkey/frm_hotkey_win.h"

#include "app/config_win.h"
#include "hotkey/hotkey_codes.h"
#include "support/handles_win.h"
#include "support/tr_win.h"
#include "support/translate_win.h"
#include "ui/message_box_win.h"

namespace quorvel {

TFrmHotKey* FrmHotKey = nullptr;

namespace {
// Layout in design pixels at 96 dpi: control, kind, left, top, width x height.
//   GrpConfig   group box "설정"        8,  6   204 x 74
//     ChkShift  check box "Shift"      12, 20    56 x 17
//     ChkCtrl   check box "Ctrl"       72, 20    56 x 17
//     ChkAlt    check box "Alt"       132, 20    56 x 17
//     ChkHotKey owner-drawn list       12, 44   180 x 22
//   BtnYes      button "확인"          56, 88    75 x 25
//   BtnNo       button "취소"         137, 88    75 x 25
ui::FormStyle hotKeyStyle() {
  ui::FormStyle s;
  s.className = L"TFrmHotKey";
  s.style = WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_CLIPCHILDREN;
  s.exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  s.clientWidth = 220;
  s.clientHeight = 121;
  return s;
}

std::vector<std::u16string> keyNames() {
  std::vector<std::u16string> names;
  for (const auto& e : hotKeyEntries()) names.push_back(e.name);
  return names;
}
}  // namespace

void DisableSnippingPrintScreen() {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Keyboard", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
    return;
  UniqueHkey owner(key);
  const DWORD zero = 0;
  ::RegSetValueExW(key, L"PrintScreenKeyForSnippingEnabled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero),
                   sizeof(zero));
}

TFrmHotKey::TFrmHotKey(ui::Component* owner, std::function<void()> onHotKey)
    : ui::Form(owner, "FrmHotKey", hotKeyStyle()), onHotKey_(std::move(onHotKey)) {
  using ui::DesignRect;
  caption_ = u"단축키 설정";
  GrpConfig = &add<ui::GroupBox>("GrpConfig", DesignRect{8, 6, 204, 74}, u"설정");
  ChkShift = &GrpConfig->add<ui::CheckBox>("ChkShift", DesignRect{12, 20, 56, 17}, u"Shift");
  ChkCtrl = &GrpConfig->add<ui::CheckBox>("ChkCtrl", DesignRect{72, 20, 56, 17}, u"Ctrl");
  ChkAlt = &GrpConfig->add<ui::CheckBox>("ChkAlt", DesignRect{132, 20, 56, 17}, u"Alt");
  ChkHotKey = &GrpConfig->add<ui::ComboBox>("ChkHotKey", DesignRect{12, 44, 180, 22}, keyNames());
  BtnYes = &add<ui::Button>("BtnYes", DesignRect{56, 88, 75, 25}, u"확인");
  BtnNo = &add<ui::Button>("BtnNo", DesignRect{137, 88, 75, 25}, u"취소");
  BtnYes->onClick = [this] { BtnYesClick(); };
  // Without a key there is nothing to register: OK waits until one is picked.
  ChkHotKey->onChange = [this] { BtnYes->setEnabled(ChkHotKey->itemIndex() >= 0); };
  BtnNo->onClick = [this] { BtnNoClick(); };
}

TFrmHotKey::~TFrmHotKey() {
  if (handle()) ::UnregisterHotKey(handle(), HotKeyID);
  if (HotKeyID) ::GlobalDeleteAtom(HotKeyID);
  if (FrmHotKey == this) FrmHotKey = nullptr;
}

void TFrmHotKey::FormCreate(HWND owner) {
  FrmHotKey = this;
  createHandle(owner);
  TranslateComponent(*this, L"");
  centerOnScreen();
  HotKeyID = ::GlobalAddAtomW(L"QuorvelHotKey");
  if (!RegisterHotKeyCode(LoadHotKey())) {
    Box(L"알수없는 프로그램이 단축키를 사용중입니다.\\n\\n단축키를 변경해주세요.", MB_ICONERROR);
    showModal();
  }
}

int TFrmHotKey::Box(const std::wstring& text, UINT flags) {
  return ui::messageBox(tr(text), tr(toWide(caption())), flags);
}

uint16_t TFrmHotKey::LoadHotKey() {
  int code = kDefaultHotKey;
  try {
    code = TConfig(kConfigPath).ReadInteger(L"hotkey", kDefaultHotKey);
  } catch (const std::exception&) {
    code = kDefaultHotKey;
  }
  const HotKeyParts parts = splitHotKey(static_cast<uint32_t>(code));
  ChkHotKey->setItemIndex(hotKeyEntryIndex(parts.vk));
  ChkAlt->setChecked(parts.alt);
  ChkCtrl->setChecked(parts.ctrl);
  ChkShift->setChecked(parts.shift);
  BtnYes->setEnabled(ChkHotKey->itemIndex() >= 0);
  return static_cast<uint16_t>(code & 0xFFFF);
}

uint16_t TFrmHotKey::ComposeHotKey() const {
  const int index = ChkHotKey->itemIndex();
  const uint8_t vk = index >= 0 ? hotKeyEntries()[index].vk : 0;
  return composeHotKey({vk, ChkShift->checked(), ChkCtrl->checked(), ChkAlt->checked()});
}

void TFrmHotKey::SaveHotKey() { TConfig(kConfigPath).WriteInteger(L"hotkey", ComposeHotKey()); }

bool TFrmHotKey::RegisterHotKeyCode(uint16_t code) {
  ::UnregisterHotKey(handle(), HotKeyID);
  return ::RegisterHotKey(handle(), HotKeyID, hotKeyModifiers(code), code & 0xFF);
}

void TFrmHotKey::BtnYesClick() {
  if (RegisterHotKeyCode(ComposeHotKey())) {
    SaveHotKey();
    hide();
  } else {
    Box(L"단축키가 다른 프로그램에서 사용중입니다.", MB_ICONINFORMATION | MB_TOPMOST | MB_SETFOREGROUND);
  }
}

void TFrmHotKey::BtnNoClick() {
  if (!RegisterHotKeyCode(LoadHotKey()))
    Box(L"단축키가 설정되지 못해 캡쳐기능이 작동하지 않습니다.", MB_ICONERROR | MB_TOPMOST | MB_SETFOREGROUND);
  hide();
}

bool TFrmHotKey::onCloseQuery() {
  // The title-bar close only hides: the registration stays as it is.
  hide();
  return false;
}

LRESULT TFrmHotKey::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_HOTKEY) {
    if (static_cast<ATOM>(wp) == HotKeyID && wp == HotKeyID && onHotKey_) onHotKey_();
    return 0;
  }
  return ui::Form::handleMessage(msg, wp, lp);
}

}  // namespace quorvel
