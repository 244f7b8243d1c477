// Writes the overlay's font sheet, res/smallfonts128x128.png: the 91 glyphs
// " " (32) to "z" (122) of the 6x12 fixed font in 7 x 13 cells, 18 to a row,
// from the top-left corner. Every texel is white; the alpha holds the glyph's
// coverage (0 or 255). Each glyph fills the top-left 6 x 12 texels of its
// cell, so the cell's last column and last row stay transparent and the
// glyphs sit on one baseline (descenders in the cell's rows 10 and 11).
#include "FixedFont6x12.h"
#include "Generators.h"
#include "PngWriter.h"

#include <cstdint>
#include <vector>

namespace {

constexpr uint32_t kSheetSize = 128;
constexpr uint32_t kCellWidth = 7;
constexpr uint32_t kCellHeight = 13;
constexpr uint32_t kCellsPerRow = 18;

static_assert(kFixedFontWidth < static_cast<int>(kCellWidth) && kFixedFontHeight < static_cast<int>(kCellHeight),
              "a glyph must leave the cell's last column and row free");
static_assert(kCellWidth * kCellsPerRow <= kSheetSize, "a row of cells must fit the sheet");
static_assert(kCellHeight * ((kFixedFontGlyphCount + kCellsPerRow - 1) / kCellsPerRow) <= kSheetSize,
              "all rows of cells must fit the sheet");

}  // namespace

bool generateFontSheet(const std::string& outDir)
{
    std::vector<uint8_t> rgba(static_cast<size_t>(kSheetSize) * kSheetSize * 4, 0);
    // White everywhere, so that filtering at glyph edges never darkens them.
    for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = rgba[i + 1] = rgba[i + 2] = 255;

    for (uint32_t g = 0; g < static_cast<uint32_t>(kFixedFontGlyphCount); ++g) {
        const uint32_t left = kCellWidth * (g % kCellsPerRow);
        const uint32_t top = kCellHeight * (g / kCellsPerRow);
        for (uint32_t row = 0; row < static_cast<uint32_t>(kFixedFontHeight); ++row) {
            const uint8_t bits = kFixedFont6x12[g][row];
            for (uint32_t column = 0; column < static_cast<uint32_t>(kFixedFontWidth); ++column) {
                if (!(bits & (0x80u >> column))) continue;
                const size_t texel = (static_cast<size_t>(top + row) * kSheetSize + left + column) * 4;
                rgba[texel + 3] = 255;
            }
        }
    }
    return writePngRgba(outDir + "/smallfonts128x128.png", kSheetSize, kSheetSize, rgba);
}
