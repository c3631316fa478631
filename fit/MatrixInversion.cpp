// LU decomposition with implicit pivoting (each row scaled by its largest entry when
// choosing the pivot), forward and back substitution, and the column-by-column inverse.

#include "fit/MatrixInversion.h"

#include <cmath>
#include <utility>

namespace korvel {

Matrix IdentityMatrix(int n) {
    Matrix m(n, std::vector<double>(n, 0.0));
    for (int i = 0; i < n; ++i) m[i][i] = 1.0;
    return m;
}

int LUDecompose(Matrix& a, std::vector<int>& index, double zeroPivot) {
    const int n = static_cast<int>(a.size());
    index.assign(n, 0);
    std::vector<double> scale(n);
    for (int i = 0; i < n; ++i) {
        double big = 0.0;
        for (int j = 0; j < n; ++j) big = std::max(big, std::fabs(a[i][j]));
        if (big == 0.0) throw SingularMatrixError(i + 1);
        scale[i] = 1.0 / big;
    }
    int parity = 1;
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < j; ++i) {
            double sum = a[i][j];
            for (int k = 0; k < i; ++k) sum -= a[i][k] * a[k][j];
            a[i][j] = sum;
        }
        // A column with nothing nonzero left keeps its diagonal row as pivot.
        int pivot = j;
        double big = 0.0;
        for (int i = j; i < n; ++i) {
            double sum = a[i][j];
            for (int k = 0; k < j; ++k) sum -= a[i][k] * a[k][j];
            a[i][j] = sum;
            const double weight = scale[i] * std::fabs(sum);
            if (weight > big) {
                big = weight;
                pivot = i;
            }
        }
        if (pivot != j) {
            std::swap(a[pivot], a[j]);
            parity = -parity;
            scale[pivot] = scale[j];
        }
        index[j] = pivot;
        if (a[j][j] == 0.0) a[j][j] = zeroPivot;
        if (j < n - 1) {
            const double inverse = 1.0 / a[j][j];
            for (int i = j + 1; i < n; ++i) a[i][j] *= inverse;
        }
    }
    return parity;
}

void LUBackSubstitute(const Matrix& a, const std::vector<int>& index, std::vector<double>& b) {
    const int n = static_cast<int>(a.size());
    int firstNonzero = -1;
    for (int i = 0; i < n; ++i) {
        const int p = index[i];
        double sum = b[p];
        b[p] = b[i];
        if (firstNonzero >= 0) {
            for (int k = firstNonzero; k < i; ++k) sum -= a[i][k] * b[k];
        } else if (sum != 0.0) {
            firstNonzero = i;
        }
        b[i] = sum;
    }
    for (int i = n - 1; i >= 0; --i) {
        double sum = b[i];
        for (int k = i + 1; k < n; ++k) sum -= a[i][k] * b[k];
        b[i] = sum / a[i][i];
    }
}

Matrix InvertMatrix(const Matrix& a, double zeroPivot) {
    const int n = static_cast<int>(a.size());
    Matrix result = IdentityMatrix(n);
    Matrix lu = a;
    std::vector<int> index;
    LUDecompose(lu, index, zeroPivot);
    std::vector<double> column(n);
    for (int m = 0; m < n; ++m) {
        for (int i = 0; i < n; ++i) column[i] = result[i][m];
        LUBackSubstitute(lu, index, column);
        for (int i = 0; i < n; ++i) result[i][m] = column[i];
    }
    return result;
}

}  // namespace korvel
