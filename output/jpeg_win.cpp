#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "output/save_win.h"
#include "support/error.h"
#include "support/file_write_win.h"
#include "support/handles_win.h"

namespace quorvel {

using Microsoft::WRL::ComPtr;

namespace {

// COM for the scope of one save, on whatever thread saves. A thread already in the other
// apartment kind keeps it: the imaging factory works in both.
class ComScope {
 public:
  ComScope() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  HRESULT hr_;
};

// The system's text for an imaging error, or its number where the system has no text for it
// (the imaging component's own codes often have none).
[[noreturn]] void fail(HRESULT hr) {
  std::wstring text = systemErrorText(DWORD(hr));
  if (text.rfind(L"System error ", 0) == 0) {
    wchar_t code[16];
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    text = std::wstring(L"error ") + code + L".";
  }
  throw Error("The JPEG encoder failed: " + wideToUtf8(text));
}

void check(HRESULT hr) {
  if (FAILED(hr)) fail(hr);
}

// The encoded file, held in memory until it is complete.
std::vector<uint8_t> streamBytes(IStream* stream) {
  STATSTG stat{};
  check(stream->Stat(&stat, STATFLAG_NONAME));
  HGLOBAL memory = nullptr;
  check(::GetHGlobalFromStream(stream, &memory));
  const auto size = static_cast<std::size_t>(stat.cbSize.QuadPart);
  const auto* p = static_cast<const uint8_t*>(::GlobalLock(memory));
  if (!p && size > 0) fail(HRESULT_FROM_WIN32(::GetLastError()));
  std::vector<uint8_t> bytes(p, p + size);
  if (p) ::GlobalUnlock(memory);
  return bytes;
}

std::vector<uint8_t> encodeJpeg(const ImageView& image, int quality) {
  if (image.width <= 0 || image.height <= 0) throw Error("Cannot save an empty image as JPEG.");
  ComScope com;
  ComPtr<IWICImagingFactory> factory;
  check(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)));
  ComPtr<IStream> stream;
  check(::CreateStreamOnHGlobal(nullptr, TRUE, &stream));
  ComPtr<IWICBitmapEncoder> encoder;
  check(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder));
  check(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache));

  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> options;
  check(encoder->CreateNewFrame(&frame, &options));
  PROPBAG2 name{};
  name.pstrName = const_cast<wchar_t*>(L"ImageQuality");
  VARIANT value;
  ::VariantInit(&value);
  value.vt = VT_R4;
  value.fltVal = float(std::clamp(quality, 1, 100)) / 100.0f;
  check(options->Write(1, &name, &value));
  check(frame->Initialize(options.Get()));
  check(frame->SetSize(UINT(image.width), UINT(image.height)));
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  check(frame->SetPixelFormat(&format));
  if (format != GUID_WICPixelFormat24bppBGR) throw Error("The JPEG encoder does not take 24-bit colour.");

  // Handed over in bands of 24-bit rows, so a large capture never needs a second full copy.
  const UINT stride = UINT(image.width) * 3;
  const int bandRows = std::max(1, (1 << 20) / int(stride));
  std::vector<uint8_t> band(std::size_t(stride) * std::size_t(std::min(bandRows, image.height)));
  for (int y0 = 0; y0 < image.height; y0 += bandRows) {
    const int rows = std::min(bandRows, image.height - y0);
    for (int r = 0; r < rows; ++r) {
      const uint8_t* in = image.row(y0 + r);
      uint8_t* out = band.data() + std::size_t(r) * stride;
      for (int x = 0; x < image.width; ++x, in += 4, out += 3) out[0] = in[0], out[1] = in[1], out[2] = in[2];
    }
    check(frame->WritePixels(UINT(rows), stride, stride * UINT(rows), band.data()));
  }
  check(frame->Commit());
  check(encoder->Commit());
  return streamBytes(stream.Get());
}

}  // namespace

void BitmapToJPGFile(const ui::Bitmap& bitmap, const std::wstring& fileName, int quality) {
  const std::vector<uint8_t> jpeg = encodeJpeg(bitmap.view(), quality);
  writeFileReplacing(fileName, jpeg.data(), jpeg.size());
}

}  // namespace quorvel
