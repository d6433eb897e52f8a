// The viewer's window on Win32, beyond platform.h: how its drawing surface asks to be painted.
#pragma once

#include <windows.h>

// The surface's WM_PAINT sends this to its dialog, which runs its paint flow; the canvas that
// surfaceBegin then hands out draws into that paint. So a repaint always shows the newest drawing.
constexpr UINT kSurfacePaintMessage = WM_APP + 1;
// Control identifier of the surface; not 1, which dialogs reserve for IDOK.
constexpr int kSurfaceControlId = 199;
