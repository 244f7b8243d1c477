// Managed resources keep their system-memory copy only while it is needed:
// large static vertex buffers and large texture levels let go of it after
// their upload and read GL back at the next lock. Whatever the size, a lock
// must show exactly what the buffer or level holds: zeros when new, then
// every byte written under earlier locks.
#include "D3d9TestSupport.h"

#include <cstring>

using namespace d3d9test;

namespace {

class ResourceCopyTest : public DeviceTest {};

TEST_F(ResourceCopyTest, VertexBuffersShowZerosThenEveryUploadWhateverTheirSize)
{
    // Below and above the size from which a static buffer drops its copy,
    // and a dynamic buffer, which keeps it at any size.
    struct Case {
        UINT bytes;
        DWORD usage;
        D3DPOOL pool;
    };
    const Case cases[] = {{4096, 0, D3DPOOL_MANAGED},
                          {200000, 0, D3DPOOL_MANAGED},
                          {200000, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, D3DPOOL_DEFAULT}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bytes << " bytes, usage " << c.usage);
        IDirect3DVertexBuffer9* buffer = nullptr;
        ASSERT_EQ(device->CreateVertexBuffer(c.bytes, c.usage, 0, c.pool, &buffer, nullptr), D3D_OK);

        std::vector<uint8_t> expected(c.bytes, 0);
        void* data = nullptr;
        ASSERT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
        EXPECT_EQ(std::memcmp(data, expected.data(), c.bytes), 0) << "a new buffer holds zeros";
        for (UINT i = 0; i < c.bytes; ++i) expected[i] = static_cast<uint8_t>(i * 7 + 3);
        std::memcpy(data, expected.data(), c.bytes);
        ASSERT_EQ(buffer->Unlock(), D3D_OK);

        // A part rewritten under a later lock; the rest stays.
        ASSERT_EQ(buffer->Lock(1000, 64, &data, 0), D3D_OK);
        std::memset(data, 0xAB, 64);
        std::memset(expected.data() + 1000, 0xAB, 64);
        ASSERT_EQ(buffer->Unlock(), D3D_OK);

        ASSERT_EQ(buffer->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
        EXPECT_EQ(std::memcmp(data, expected.data(), c.bytes), 0);
        ASSERT_EQ(buffer->Unlock(), D3D_OK);
        EXPECT_EQ(buffer->Release(), 0u);
    }
}

TEST_F(ResourceCopyTest, TextureLevelsShowZerosThenEveryUploadWhateverTheirSize)
{
    // 256 x 256: level 0 (256 KB) and level 1 (64 KB) drop their copies,
    // the smaller levels keep theirs.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(256, 256, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    const UINT levels = texture->GetLevelCount();
    ASSERT_EQ(levels, 9u);
    for (UINT level = 0; level < levels; ++level) {
        SCOPED_TRACE(testing::Message() << "level " << level);
        const UINT size = 256u >> level;
        std::vector<uint32_t> expected(size_t{size} * size, 0);
        auto check = [&](const D3DLOCKED_RECT& locked) {
            for (UINT y = 0; y < size; ++y)
                ASSERT_EQ(std::memcmp(static_cast<const uint8_t*>(locked.pBits) + size_t{y} * locked.Pitch,
                                      &expected[size_t{y} * size], size_t{size} * 4),
                          0)
                    << "row " << y;
        };

        D3DLOCKED_RECT locked = {};
        ASSERT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
        check(locked);
        for (UINT y = 0; y < size; ++y)
            for (UINT x = 0; x < size; ++x) {
                const uint32_t texel = 0xFF000000u | (level << 16) | (y << 8) | x;
                expected[size_t{y} * size + x] = texel;
                std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t{y} * locked.Pitch + x * 4, &texel, 4);
            }
        ASSERT_EQ(texture->UnlockRect(level), D3D_OK);

        // A rectangle rewritten under a later lock; the rest stays.
        const RECT corner = {0, 0, static_cast<LONG>((size + 1) / 2), static_cast<LONG>((size + 1) / 2)};
        ASSERT_EQ(texture->LockRect(level, &locked, &corner, 0), D3D_OK);
        for (LONG y = 0; y < corner.bottom; ++y)
            for (LONG x = 0; x < corner.right; ++x) {
                const uint32_t texel = 0x80FFFFFFu;
                expected[size_t(y) * size + x] = texel;
                std::memcpy(static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch + x * 4, &texel, 4);
            }
        ASSERT_EQ(texture->UnlockRect(level), D3D_OK);

        ASSERT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        check(locked);
        ASSERT_EQ(texture->UnlockRect(level), D3D_OK);
    }
    EXPECT_EQ(texture->Release(), 0u);
}

}  // namespace
