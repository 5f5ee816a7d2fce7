#pragma once

#include "platform/win32.h"

// Grows pDestination edge by edge so that it also covers pSource; each edge
// taken from the source is clamped to 0 (left, top) or to MaximumRight /
// MaximumBottom. Destination edges that already lie further out are kept,
// even outside the bounds. Used to merge update rectangles.
void RectangleUnionClamp(RECT* pDestination, const RECT* pSource, LONG MaximumRight,
                         LONG MaximumBottom);
