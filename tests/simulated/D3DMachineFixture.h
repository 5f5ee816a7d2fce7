// Tests on the simulated machine's graphics: a fresh adapter set, fault plan
// and GPU for every test, and a check that every Direct3D reference taken
// was given back and nothing misused the immediate context.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/d3d11.h"
#include "platform/machine.h"

class D3DMachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        MachineD3DReset();
        m_HazardsBefore = MachineD3DContextHazardCount();
    }
    void TearDown() override {
        MachineD3DReset();
        EXPECT_EQ(MachineD3DObjectsLive(), 0) << "a Direct3D reference was leaked";
        EXPECT_EQ(MachineD3DContextHazardCount(), m_HazardsBefore + m_HazardsExpected);
    }

    long m_HazardsBefore = 0;
    long m_HazardsExpected = 0;
};

// A texture a driver shares, filled with Pixel(x, y), and a handle to it.
struct SharedTextureForTest {
    std::shared_ptr<MachineSharedTexture> pTexture;
    HANDLE hHandle = nullptr;
};

inline uint32_t TestPixel(uint32_t X, uint32_t Y, uint32_t Seed = 0) {
    return 0xFF000000u | ((X * 7 + Seed) & 0xFF) << 16 | ((Y * 3 + Seed) & 0xFF) << 8 | ((X + Y) & 0xFF);
}

inline SharedTextureForTest SharedTextureMake(const LUID& AdapterLuid, UINT Width, UINT Height, uint32_t Seed = 0) {
    SharedTextureForTest Result;
    Result.pTexture = std::make_shared<MachineSharedTexture>();
    Result.pTexture->AdapterLuid = AdapterLuid;
    Result.pTexture->Width = Width;
    Result.pTexture->Height = Height;
    Result.pTexture->Format = DXGI_FORMAT_B8G8R8A8_UNORM;
    Result.pTexture->Pitch = Width * 4 + 64;  // padded rows, as drivers have them
    Result.pTexture->Pixels.assign(static_cast<size_t>(Result.pTexture->Pitch) * Height, 0);
    for (UINT Y = 0; Y < Height; ++Y)
        for (UINT X = 0; X < Width; ++X) {
            const uint32_t Value = TestPixel(X, Y, Seed);
            std::memcpy(&Result.pTexture->Pixels[static_cast<size_t>(Y) * Result.pTexture->Pitch + X * 4], &Value, 4);
        }
    Result.hHandle = MachineSharedResourceHandleCreate(Result.pTexture);
    return Result;
}

inline uint32_t MappedPixel(const D3D11_MAPPED_SUBRESOURCE& Mapped, UINT X, UINT Y) {
    uint32_t Value;
    std::memcpy(&Value, static_cast<const uint8_t*>(Mapped.pData) + static_cast<size_t>(Y) * Mapped.RowPitch + X * 4,
                4);
    return Value;
}

inline D3D11_TEXTURE2D_DESC StagingDesc(UINT Width, UINT Height) {
    D3D11_TEXTURE2D_DESC Desc{};
    Desc.Width = Width;
    Desc.Height = Height;
    Desc.MipLevels = 1;
    Desc.ArraySize = 1;
    Desc.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
    Desc.SampleDesc.Count = 1;
    Desc.Usage = D3D11_USAGE_STAGING;
    Desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    return Desc;
}
