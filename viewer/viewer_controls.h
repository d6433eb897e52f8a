// Identifiers of the viewer's dialog template and its controls, shared by plotvane.rc and the
// dialog flows (plain macros, because the resource compiler reads this file too).
#pragma once

#define VIEWER_DIALOG 200

#define ID_PANEL 100            // left panel; its client rectangle places the preview
#define ID_VERSION_LABEL 101
#define ID_DIMENSION_GROUP 102
#define ID_METHOD_GROUP 103     // shown only in 3D
#define ID_LOAD_BUTTON 104
#define ID_FILE_NAME_LABEL 105  // file-name part of the path last chosen for loading
#define ID_SAVE_BUTTON 106
#define ID_QUIT_BUTTON 107
#define ID_STATUS_BAR 108
#define ID_TWO_D 109
#define ID_THREE_D 110
#define ID_LINE 111
#define ID_MESH 112
#define ID_FACE 113
