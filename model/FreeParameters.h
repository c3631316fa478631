#pragma once
// The free-parameter vector of a fit and its simplex. Free parameters are numbered
// k = 1 .. FreeCount in increasing order of their model index j. During a search a
// vertex holds angles u with value = FreeMid + FreeHalfRange * cos(u), so no step
// can leave the bounds. Stored 0-based: free parameter k is element k - 1, vertex
// i is Vertices[i - 1]; model-indexed arrays hold parameter j at element j - 1.

#include <cstdint>
#include <vector>

namespace korvel {

// Keeps the thickness of one period of the repeat unit constant while fitting.
struct RepeatUnitConstraint {
    int DependentThickness = 0;             // model index of the thickness absorbing the rest
    std::vector<int> RepeatUnitDivisor;     // per repeat-unit layer l = 1 .. n2 (element l - 1)
    double RepeatUnitLength = 0.0;          // sum of the period's thicknesses, angstrom
    double FixedRepeatUnitPart = 0.0;       // the part held by fixed thicknesses
};

struct FreeParameters {
    // Per model parameter j (element j - 1).
    std::vector<double> StepPercent;  // after reading: link target layer, else 0
    std::vector<bool> FreeFlags;

    std::uint16_t FreeCount = 0;    // at most 99
    std::uint16_t VertexCount = 1;  // FreeCount + 1
    std::vector<std::vector<double>> Vertices;  // VertexCount vectors of FreeCount doubles
    std::vector<double> FreeMid;                // c = (lo + hi) / 2
    std::vector<double> FreeHalfRange;          // h = (hi - lo) / 2
    std::vector<double> VertexMerit;            // y[i], figure of merit of vertex i
    // The three work vectors of the simplex: centroid, reflected trial, second trial.
    std::vector<double> Centroid;
    std::vector<double> Trial;
    std::vector<double> SecondTrial;
    // The values a vertex maps to at the start of an evaluation, kept from one
    // evaluation to the next so that no evaluation needs memory of its own.
    std::vector<double> MappedValues;

    bool VertexHoldsValues = false;  // vertices hold plain values instead of angles
    RepeatUnitConstraint RepeatUnit;

    // Model index j of free parameter k (both 1-based); 0 if there is none.
    int ModelIndexOfFree(int k) const;
    // Sizes the simplex arrays for the current FreeCount.
    void AllocateSimplex();
};

}  // namespace korvel
