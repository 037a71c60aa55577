// From one trigger to one delivered capture.
#include <windows.h>
#include <mmsystem.h>

#include "app/capture_rules.h"
#include "app/file_probe_win.h"
#include "app/frm_quorvel_win.h"
#include "output/save_win.h"
#include "support/handles_win.h"
#include "support/tr_win.h"
#include "ui/application_win.h"
#include "ui/message_box_win.h"

namespace quorvel {

void TFrmQuorvel::Start() {
  const int mode = ChkArea->itemIndex();
  const int dest = ChkSaveTo->itemIndex();
  if (isRefusedPair(mode, dest)) {
    Info(tr(L"지원하지 않는 캡쳐영역입니다."), MB_ICONINFORMATION);
    return;
  }
  if (dest == dsMP4) return;  // recording arrives with the recorder
  if (FStatus == stIdle) CaptureStart();
}

void TFrmQuorvel::PlayCaptureSound() {
  ::PlaySoundW(L"SOUND", ui::Application::instance().hinstance(), SND_RESOURCE | SND_ASYNC);
}

void TFrmQuorvel::CaptureStart() {
  FStatus = stRunning;
  const int mode = ChkArea->itemIndex();
  if (ChkSound2->checked && mode != cmDrag) PlayCaptureSound();
  std::unique_ptr<ui::Bitmap> bitmap;
  RECT rect{};
  try {
    if (mode == cmColorPicker) CaptureColor();
    else if (mode != cmDrag) Capture(bitmap, rect);
  } catch (const std::exception& e) {
    ShowCaptureFailure(e.what());
    bitmap.reset();
  }
  if (bitmap) {
    try {
      Deliver(ChkSaveTo->itemIndex(), *bitmap, rect);
      if (ChkSound3->checked) PlayCaptureSound();
    } catch (const std::exception& e) {
      ShowCaptureFailure(e.what());
    }
  }
  FStatus = stIdle;
}

void TFrmQuorvel::Capture(std::unique_ptr<ui::Bitmap>& bitmap, RECT& rect) {
  bitmap = std::make_unique<ui::Bitmap>();
  FCapture->SetShowCursor(ChkMouse->checked);
  switch (ChkArea->itemIndex()) {
    case cmFullScreen:
      FCapture->Capture(*bitmap, nullptr, rect);
      break;
    case cmActiveWindow:
      FCapture->Capture(*bitmap, ::GetForegroundWindow(), rect);
      break;
    case cmWindowControl: {
      POINT pt{};
      ::GetCursorPos(&pt);
      FCapture->Capture(*bitmap, ::WindowFromPoint(pt), rect);
      break;
    }
    default:
      break;
  }
}

void TFrmQuorvel::Deliver(int destination, ui::Bitmap& bitmap, const RECT&) {
  switch (destination) {
    case dsPNG:
      BitmapToPNGFile(bitmap, NewFilename(L"png"));
      break;
    case dsJPG:
      BitmapToJPGFile(bitmap, NewFilename(L"jpg"), qualityFromText(ChkJPEG_qual->text()));
      break;
    case dsGIF:
      BitmapToGIFFile(bitmap, NewFilename(L"gif"));
      break;
    case dsBMP:
      BitmapToBMPFile(bitmap, NewFilename(L"bmp"));
      break;
    case dsWebP:
      BitmapToWebPFile(bitmap, NewFilename(L"webp"), qualityFromText(ChkWebp_qual->text()));
      break;
    case dsClipboard:
      BitmapToClipboard(bitmap);
      break;
    case dsPrinter:
      BitmapToPrinter(bitmap, dpi());
      break;
    default:  // recording, text, upload and floating arrive with their own features
      break;
  }
}

std::wstring TFrmQuorvel::NewFilename(const std::wstring& ext) {
  const NamingScheme scheme = ChkAppend1->checked   ? NamingScheme::Sequential1
                              : ChkAppend3->checked ? NamingScheme::Sequential2
                                                    : NamingScheme::DateTime;
  WinFileProbe probe;
  return toWide(newFilename(scheme, fromWide(SavePath), fromWide(ext), probe, localTimeNow()));
}

void TFrmQuorvel::ShowCaptureFailure(const std::string& message) {
  Info(tr(L"캡쳐가 실패하였습니다.") + L"\r\r" + utf8ToWide(message), MB_ICONERROR);
}

}  // namespace quorvel
