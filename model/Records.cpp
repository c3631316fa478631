// The small member functions of the plain records.

#include "model/CurveArrays.h"
#include "model/FreeParameters.h"
#include "model/LayerModel.h"

namespace korvel {

void LayerModel::Allocate() {
    ParameterCells.assign(ParameterCount, 0.0);
    ParameterSlots.resize(ParameterCount);
    for (int j = 1; j <= ParameterCount; ++j) ParameterSlots[j - 1] = j;
}

void CurveArrays::Resize(std::uint16_t n) {
    PointCount = n;
    for (auto* a : {&Angle, &MeasuredIntensity, &CalculatedCurve, &SmearedCurve,
                    &SpreadSmearedCurve, &Uncertainty, &BestCurve, &CosSquared})
        a->assign(n, 0.0);
    Resolution.clear();
}

int FreeParameters::ModelIndexOfFree(int k) const {
    int seen = 0;
    for (std::size_t j = 0; j < FreeFlags.size(); ++j)
        if (FreeFlags[j] && ++seen == k) return static_cast<int>(j) + 1;
    return 0;
}

void FreeParameters::AllocateSimplex() {
    VertexCount = static_cast<std::uint16_t>(FreeCount + 1);
    Vertices.assign(VertexCount, std::vector<double>(FreeCount, 0.0));
    FreeMid.assign(FreeCount, 0.0);
    FreeHalfRange.assign(FreeCount, 0.0);
    VertexMerit.assign(VertexCount, 0.0);
    Centroid.assign(FreeCount, 0.0);
    Trial.assign(FreeCount, 0.0);
    SecondTrial.assign(FreeCount, 0.0);
}

}  // namespace korvel
