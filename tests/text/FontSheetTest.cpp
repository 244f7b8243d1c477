// The committed font sheet: a 128 x 128 sheet of 7 x 13 cells, 18 to a row,
// each glyph of the embedded 6x12 table white on transparent in its cell's
// top-left 6 x 12 texels, and nothing anywhere else.
#include <gtest/gtest.h>

#include "support/PngFile.h"
#include "tools/resgen/FixedFont6x12.h"

#include <cstdint>
#include <string>
#include <vector>

TEST(FontSheet, HoldsTheFixedFontGlyphsInSevenByThirteenCells)
{
    const testsupport::RgbaImage sheet = testsupport::readPng(TARNVALE_SOURCE_DIR "/res/smallfonts128x128.png");
    ASSERT_TRUE(sheet.error.empty()) << sheet.error;
    ASSERT_EQ(sheet.width, 128u);
    ASSERT_EQ(sheet.height, 128u);
    const std::vector<uint8_t>& rgba = sheet.pixels;

    // The alpha the sheet must have: glyph g's bitmap at (7 (g mod 18), 13 (g div 18)).
    std::vector<uint8_t> expected(128 * 128, 0);
    for (int g = 0; g < kFixedFontGlyphCount; ++g)
        for (int row = 0; row < 12; ++row)
            for (int column = 0; column < 6; ++column)
                if (kFixedFont6x12[g][row] & (0x80 >> column))
                    expected[(13 * (g / 18) + row) * 128 + 7 * (g % 18) + column] = 255;

    int opaque = 0;
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            const uint8_t* texel = &rgba[(y * 128 + x) * 4];
            ASSERT_EQ(texel[3], expected[y * 128 + x]) << "alpha of texel (" << x << ", " << y << ")";
            ASSERT_TRUE(texel[3] == 0 || (texel[0] == 255 && texel[1] == 255 && texel[2] == 255))
                << "glyph texel (" << x << ", " << y << ") is not white";
            opaque += texel[3] != 0;
        }
    }
    EXPECT_GT(opaque, 1000);

    // Spot checks on the table itself: " " is blank, "A" is not, the cells'
    // last column (bits 1, 0) is never used.
    int inSpace = 0, inA = 0, lastColumn = 0;
    for (int row = 0; row < 12; ++row) {
        inSpace += kFixedFont6x12[0][row] != 0;
        inA += kFixedFont6x12['A' - 32][row] != 0;
        for (int g = 0; g < kFixedFontGlyphCount; ++g) lastColumn += (kFixedFont6x12[g][row] & 0x03) != 0;
    }
    EXPECT_EQ(inSpace, 0);
    EXPECT_GT(inA, 5);
    EXPECT_EQ(lastColumn, 0);
}
