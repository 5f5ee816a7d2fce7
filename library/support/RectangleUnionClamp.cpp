#include "support/RectangleUnionClamp.h"

void RectangleUnionClamp(RECT* pDestination, const RECT* pSource, LONG MaximumRight,
                         LONG MaximumBottom) {
    if (pSource->left < pDestination->left)
        pDestination->left = pSource->left < 0 ? 0 : pSource->left;
    if (pSource->top < pDestination->top)
        pDestination->top = pSource->top < 0 ? 0 : pSource->top;
    if (pSource->right > pDestination->right)
        pDestination->right = pSource->right > MaximumRight ? MaximumRight : pSource->right;
    if (pSource->bottom > pDestination->bottom)
        pDestination->bottom = pSource->bottom > MaximumBottom ? MaximumBottom : pSource->bottom;
}
