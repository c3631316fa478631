#include <gtest/gtest.h>

#include "app/Workspace.h"
#include "base/ParameterIndex.h"

using namespace korvel;

TEST(ParameterIndex, MapsEachIndexOntoItsLayerAndColumn) {
    EXPECT_EQ(LayerOf(1), 1);
    EXPECT_EQ(LayerOf(4), 1);
    EXPECT_EQ(LayerOf(5), 2);
    EXPECT_EQ(ColumnOf(5), Column::Thickness);
    EXPECT_EQ(ColumnOf(8), Column::Roughness);
    EXPECT_EQ(ParameterIndex(5, Column::Roughness), 20);
    EXPECT_STREQ(ParameterLabel(20), "Roughness");
    EXPECT_STREQ(ParameterLabel(9), "Thickness");
    EXPECT_TRUE(IsDensityParameter(6));
    EXPECT_TRUE(IsDensityParameter(7));
    EXPECT_FALSE(IsDensityParameter(8));
}

TEST(ParameterSlots, LinkedParametersShareOneCell) {
    LayerModel m;
    m.ParameterCount = 12;
    m.Allocate();
    m.SetValue(4, 3.0);
    m.Link(12, 4);
    EXPECT_EQ(m.Value(12), 3.0);
    m.SetValue(12, 7.0);
    EXPECT_EQ(m.Value(4), 7.0);
}

TEST(FreeParameters, FindsTheModelIndexOfTheKthFreeParameter) {
    FreeParameters f;
    f.FreeFlags = {false, true, false, true, true};
    EXPECT_EQ(f.ModelIndexOfFree(1), 2);
    EXPECT_EQ(f.ModelIndexOfFree(3), 5);
    EXPECT_EQ(f.ModelIndexOfFree(4), 0);
}
