#include <gtest/gtest.h>

#include <vector>

#include "OpenGL_Image_Utilities.h"

namespace {

// The tile edges along one dimension, walked the way upload and drawing walk them.
std::vector<int32_t> Walk(int32_t dimension, int16_t maxSize)
{
    std::vector<int32_t> edges;
    const int32_t count = GetTextureNumFromTextureDim(dimension, maxSize);
    int32_t left = dimension;
    for (int32_t i = 0; i < count; ++i) {
        edges.push_back(GetNextTextureSize(left, maxSize));
        left -= edges.back();
    }
    return edges;
}

TEST(TextureTiles, CountsPerDimension)
{
    EXPECT_EQ(GetTextureNumFromTextureDim(256, 256), 1);
    EXPECT_EQ(GetTextureNumFromTextureDim(0, 256), 0);
    EXPECT_EQ(GetTextureNumFromTextureDim(257, 256), 2);
    EXPECT_EQ(GetTextureNumFromTextureDim(255, 256), 8);
    EXPECT_EQ(GetTextureNumFromTextureDim(600, 256), 5);
    EXPECT_EQ(GetTextureNumFromTextureDim(200, 256), 3);
    EXPECT_EQ(GetTextureNumFromTextureDim(1, 256), 1);
}

TEST(TextureTiles, NextSize)
{
    EXPECT_EQ(GetNextTextureSize(300, 256), 256);
    EXPECT_EQ(GetNextTextureSize(44, 256), 32);
    EXPECT_EQ(GetNextTextureSize(0, 256), 0);
    EXPECT_EQ(GetNextTextureSize(256, 256), 256);
    EXPECT_EQ(GetNextTextureSize(1, 256), 1);
}

TEST(TextureTiles, ExampleImage600By200Gives15TilesColumnByColumn)
{
    EXPECT_EQ(Walk(600, 256), (std::vector<int32_t>{256, 256, 64, 16, 8}));
    EXPECT_EQ(Walk(200, 256), (std::vector<int32_t>{128, 64, 8}));
    const int32_t textureX = GetTextureNumFromTextureDim(600, 256);
    const int32_t textureY = GetTextureNumFromTextureDim(200, 256);
    EXPECT_EQ(textureX * textureY, 15);
    // Column 2, row 1 is tile number 7.
    EXPECT_EQ(2 * textureY + 1, 7);
}

TEST(TextureTiles, WalkCoversEveryDimensionExactlyWithPowersOfTwo)
{
    for (int16_t maxSize : {int16_t(1), int16_t(64), int16_t(256), int16_t(8192)}) {
        for (int32_t dimension = 0; dimension <= 5000; ++dimension) {
            const std::vector<int32_t> edges = Walk(dimension, maxSize);
            int32_t sum = 0;
            for (int32_t edge : edges) {
                ASSERT_GT(edge, 0);
                ASSERT_LE(edge, maxSize);
                ASSERT_EQ(edge & (edge - 1), 0) << edge << " is not a power of two";
                sum += edge;
            }
            ASSERT_EQ(sum, dimension) << "dimension " << dimension << " max " << maxSize;
            // At most the full tiles plus one per remaining bit.
            ASSERT_LE(int32_t(edges.size()), dimension / maxSize + 13);
        }
    }
}

TEST(TextureTiles, ZeroMaximumGivesNoTilesInsteadOfCrashing)
{
    EXPECT_EQ(GetTextureNumFromTextureDim(100, 0), 0);
}

} // namespace
