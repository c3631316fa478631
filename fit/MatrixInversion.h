#pragma once
// Inversion of a small dense matrix by LU decomposition (Crout's method with
// implicit partial pivoting), for the Newton step and the uncertainty estimate.
// Matrices are stored row by row, 0-based.

#include <string>
#include <vector>

#include "base/RunError.h"

namespace korvel {

// "Singular matrix.": row `Row` (1-based) of the matrix holds only zeros.
class SingularMatrixError : public RunError {
  public:
    explicit SingularMatrixError(int row)
        : RunError("Singular matrix.", "row " + std::to_string(row)), row_(row) {}
    int Row() const { return row_; }

  private:
    int row_;
};

using Matrix = std::vector<std::vector<double>>;

Matrix IdentityMatrix(int n);

// Decomposes `a` in place into L (unit diagonal, below) and U (on and above the
// diagonal) of its row permutation; index[j] is the row swapped into row j.
// A zero pivot is replaced by `zeroPivot` (the run's machine epsilon). A row of
// zeros throws SingularMatrixError. Returns the parity.
int LUDecompose(Matrix& a, std::vector<int>& index, double zeroPivot);
// Solves LU x = b for one right-hand side, in place.
void LUBackSubstitute(const Matrix& a, const std::vector<int>& index, std::vector<double>& b);
// The inverse of `a`, which is left unchanged.
Matrix InvertMatrix(const Matrix& a, double zeroPivot);

}  // namespace korvel
