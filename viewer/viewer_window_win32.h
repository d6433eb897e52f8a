// The viewer's window on Win32, beyond platform/viewer_window.h: how its drawing surface asks to
// be painted.
#pragma once

#include <windows.h>

// A paint of the surface in progress: its paint DC, which already shows the background.
struct SurfacePaint {
  HDC dc;
};

// The surface's WM_PAINT sends this to its dialog with the SurfacePaint* as lParam; the dialog runs
// its paint flow, whose canvas draws into that paint. So a repaint always shows the newest drawing.
constexpr UINT kSurfacePaintMessage = WM_APP + 1;
// Control identifier of the surface; not 1, which dialogs reserve for IDOK.
constexpr int kSurfaceControlId = 199;
