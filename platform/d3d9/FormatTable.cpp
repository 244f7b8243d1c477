#include "FormatTable.h"

namespace {


// Direct3D names channels from the most significant bit down; with the
// *_REV packed types, GL_BGRA reads the same words little-endian.
const GlFormat table[] = {
    {D3DFMT_A8R8G8B8, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_X8R8G8B8, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_A8B8G8R8, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_X8B8G8R8, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_R5G6B5, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_A1R5G5B5, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_X1R5G5B5, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2, {GL_RED, GL_GREEN, GL_BLUE, GL_ONE}},
    {D3DFMT_A4R4G4B4, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2, {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA}},
    {D3DFMT_A8, GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED}},
    {D3DFMT_L8, GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1, {GL_RED, GL_RED, GL_RED, GL_ONE}},
    {D3DFMT_A8L8, GL_RG8, GL_RG, GL_UNSIGNED_BYTE, 2, {GL_RED, GL_RED, GL_RED, GL_GREEN}},
};

}  // namespace

const GlFormat* FormatTable::texture(D3DFORMAT format)
{
    for (const GlFormat& entry : table)
        if (entry.format == format) return &entry;
    return nullptr;
}

namespace {

// An n-bit channel widened to 8 bits as GL does (v * 255 / (2^n - 1),
// rounded).
uint8_t widen(uint32_t value, int bits)
{
    const uint32_t largest = (1u << bits) - 1;
    return static_cast<uint8_t>((value * 255 + largest / 2) / largest);
}

// An 8-bit channel narrowed to n bits, the nearest value: the inverse of
// widen().
uint32_t narrow(uint8_t value, int bits)
{
    const uint32_t largest = (1u << bits) - 1;
    return (uint32_t{value} * largest + 127) / 255;
}

// Four bytes at `out`, in the order given.
void put4(uint8_t* out, uint8_t a, uint8_t b, uint8_t c, uint8_t d)
{
    out[0] = a;
    out[1] = b;
    out[2] = c;
    out[3] = d;
}

}  // namespace

void FormatTable::toRgba8(const GlFormat& format, const uint8_t* pixels, uint8_t* rgba, size_t count)
{
    // One loop per format, so the format is decided once per row.
    const auto convert = [&](auto pixel) {
        for (size_t i = 0; i < count; ++i) pixel(pixels + i * format.bytesPerPixel, rgba + i * 4);
    };
    const auto word = [](const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; };
    switch (format.format) {
    case D3DFMT_A8R8G8B8: convert([&](const uint8_t* p, uint8_t* o) { put4(o, p[2], p[1], p[0], p[3]); }); break;
    case D3DFMT_X8R8G8B8: convert([&](const uint8_t* p, uint8_t* o) { put4(o, p[2], p[1], p[0], 255); }); break;
    case D3DFMT_A8B8G8R8: convert([&](const uint8_t* p, uint8_t* o) { put4(o, p[0], p[1], p[2], p[3]); }); break;
    case D3DFMT_X8B8G8R8: convert([&](const uint8_t* p, uint8_t* o) { put4(o, p[0], p[1], p[2], 255); }); break;
    case D3DFMT_R5G6B5:
        convert([&](const uint8_t* p, uint8_t* o) {
            const uint32_t w = word(p);
            put4(o, widen(w >> 11, 5), widen((w >> 5) & 63, 6), widen(w & 31, 5), 255);
        });
        break;
    case D3DFMT_A1R5G5B5:
    case D3DFMT_X1R5G5B5: {
        const bool alpha = format.format == D3DFMT_A1R5G5B5;
        convert([&](const uint8_t* p, uint8_t* o) {
            const uint32_t w = word(p);
            put4(o, widen((w >> 10) & 31, 5), widen((w >> 5) & 31, 5), widen(w & 31, 5),
                !alpha || (w & 0x8000) ? 255 : 0);
        });
        break;
    }
    case D3DFMT_A4R4G4B4:
        convert([&](const uint8_t* p, uint8_t* o) {
            const uint32_t w = word(p);
            put4(o, widen((w >> 8) & 15, 4), widen((w >> 4) & 15, 4), widen(w & 15, 4), widen(w >> 12, 4));
        });
        break;
    case D3DFMT_A8: convert([&](const uint8_t* p, uint8_t* o) { put4(o, 0, 0, 0, p[0]); }); break;
    case D3DFMT_L8: convert([&](const uint8_t* p, uint8_t* o) { put4(o, p[0], p[0], p[0], 255); }); break;
    case D3DFMT_A8L8: convert([&](const uint8_t* p, uint8_t* o) { put4(o, p[0], p[0], p[0], p[1]); }); break;
    default: break;
    }
}

void FormatTable::fromRgba8(const GlFormat& format, const uint8_t* rgba, uint8_t* pixels, size_t count)
{
    const auto convert = [&](auto pixel) {
        for (size_t i = 0; i < count; ++i) pixel(rgba + i * 4, pixels + i * format.bytesPerPixel);
    };
    const auto word = [](uint8_t* p, uint32_t w) {
        p[0] = static_cast<uint8_t>(w);
        p[1] = static_cast<uint8_t>(w >> 8);
    };
    switch (format.format) {
    case D3DFMT_A8R8G8B8: convert([&](const uint8_t* c, uint8_t* p) { put4(p, c[2], c[1], c[0], c[3]); }); break;
    case D3DFMT_X8R8G8B8: convert([&](const uint8_t* c, uint8_t* p) { put4(p, c[2], c[1], c[0], 255); }); break;
    case D3DFMT_A8B8G8R8: convert([&](const uint8_t* c, uint8_t* p) { put4(p, c[0], c[1], c[2], c[3]); }); break;
    case D3DFMT_X8B8G8R8: convert([&](const uint8_t* c, uint8_t* p) { put4(p, c[0], c[1], c[2], 255); }); break;
    case D3DFMT_R5G6B5:
        convert([&](const uint8_t* c, uint8_t* p) {
            word(p, narrow(c[0], 5) << 11 | narrow(c[1], 6) << 5 | narrow(c[2], 5));
        });
        break;
    case D3DFMT_A1R5G5B5:
    case D3DFMT_X1R5G5B5:
        convert([&](const uint8_t* c, uint8_t* p) {
            word(p, (c[3] >= 128 ? 0x8000u : 0) | narrow(c[0], 5) << 10 | narrow(c[1], 5) << 5 | narrow(c[2], 5));
        });
        break;
    case D3DFMT_A4R4G4B4:
        convert([&](const uint8_t* c, uint8_t* p) {
            word(p, narrow(c[3], 4) << 12 | narrow(c[0], 4) << 8 | narrow(c[1], 4) << 4 | narrow(c[2], 4));
        });
        break;
    case D3DFMT_A8: convert([&](const uint8_t* c, uint8_t* p) { p[0] = c[3]; }); break;
    case D3DFMT_L8: convert([&](const uint8_t* c, uint8_t* p) { p[0] = c[0]; }); break;
    case D3DFMT_A8L8:
        convert([&](const uint8_t* c, uint8_t* p) {
            p[0] = c[0];
            p[1] = c[3];
        });
        break;
    default: break;
    }
}

bool FormatTable::isRenderTargetColor(D3DFORMAT format)
{
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

bool FormatTable::isDepthStencil(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_D16:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D32:
    case D3DFMT_D15S1:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
        return true;
    default:
        return false;
    }
}
