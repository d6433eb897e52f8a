// How the platform layer's opaque handles map onto Win32 ones.
#pragma once

#include <windows.h>

#include "platform/dialogs.h"

// A Dialog* is the dialog's HWND itself; nullptr is "no owner window".
inline HWND dialogWindow(Dialog* dialog) { return reinterpret_cast<HWND>(dialog); }
inline Dialog* dialogFromWindow(HWND window) { return reinterpret_cast<Dialog*>(window); }
