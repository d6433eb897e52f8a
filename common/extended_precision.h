// The x87 unit's precision and rounding. Intermediate results of the preview, the isometric extents
// and the converter's comparisons are long doubles with a 64-bit mantissa, rounded to nearest;
// Windows starts threads rounding to 53 bits, not every runtime start-up changes that, and DLLs
// that the file dialogs load into the process (shell extensions) may change it at any time. So
// every flow calls this on entry.
#pragma once

void useExtendedPrecision();
