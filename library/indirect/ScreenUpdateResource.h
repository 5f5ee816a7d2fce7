#pragma once

#include "platform/d3d11.h"

// One CPU-readable copy of a driver frame: the entry's own staging texture,
// the frame's changed area and, while mapped, its pixels. Three of them
// belong to the swap-chain resource thread; the screen update queue only
// points to them. A released entry is all zero.
struct ScreenUpdateResource {
    UINT32 Width;
    UINT32 Height;
    UINT32 RowPitch;         // while mapped; 0 otherwise
    HANDLE hResourceShared;  // the acquired driver frame, closed once copied
    RECT UpdateRectangle;    // all zero: nothing changed
    ID3D11Texture2D* pResourceSystemMemory;
    void* pData;             // while mapped; null otherwise
};
