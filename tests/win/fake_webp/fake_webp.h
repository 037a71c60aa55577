#pragma once
// A stand-in for libwebp.dll: it records how the program called it and answers a fixed payload.
#include <cstddef>
#include <cstdint>

struct FakeWebPRecord {
  int encodeCalls;
  int width, height, stride;
  float quality;
  uint32_t firstPixel;  // the first four bytes of the first row, little-endian
  uint32_t lastPixel;   // the last pixel of the last row, found through the stride
  int freeCalls;
  int freedTheOutput;  // WebPFree received exactly the pointer WebPEncodeBGRA gave out
};

// Exported besides the two libwebp functions, for the tests (which keep the DLL loaded while
// they look): the record, and the size the encoder answers next (-1: the payload).
using FakeWebPRecordFn = const FakeWebPRecord* (*)();
using FakeWebPAnswerFn = void (*)(int size);

// What the fake encoder puts out.
inline constexpr char kFakeWebPPayload[] = "RIFF\x0c\0\0\0WEBPfake";
inline constexpr std::size_t kFakeWebPPayloadSize = sizeof(kFakeWebPPayload) - 1;
