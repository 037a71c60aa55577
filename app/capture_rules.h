#pragma once
#include <string_view>

namespace quorvel {

// Capture modes: the items of the mode picker.
enum CaptureMode { cmFullScreen, cmArea, cmDrag, cmActiveWindow, cmWindowControl, cmWebPage, cmColorPicker };
// Destinations: the items of the destination picker.
enum Destination {
  dsPNG, dsJPG, dsGIF, dsBMP, dsWebP, dsMP4, dsTXT, dsClipboard, dsUpload, dsPrinter, dsFloating
};

// A mode and destination that cannot work together (recording only the screen or the area
// frame; no floating copy of a web page). The colour picker refuses nothing.
bool isRefusedPair(int mode, int destination);

// The "area" setting stored for a mode: only the first four modes are remembered.
int storedMode(int mode);

// JPEG/WebP quality from the quality picker's text: the number, or 90 when it is not one.
int qualityFromText(std::u16string_view text);

}  // namespace quorvel
