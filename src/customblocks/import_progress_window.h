#pragma once

#include "platform/gui/gui.h"

namespace orelens::customblocks {

// The always-on-top window that reports the custom-block import, and its controls.
inline constexpr int kImportProgressWindow = 10;
inline constexpr int kTextureProgressBar = 100;  // 0 while a texture is decoded, 100 when done
inline constexpr int kImportActivityBar = 101;   // runs without a value during the import
inline constexpr int kImportStatusText = 102;

// Opens the import progress window with its two bars and its status text. Start-up opens it
// once, long before the import, and hides it after both import calls.
void OpenImportProgressWindow(platform::Gui& gui);

}  // namespace orelens::customblocks
