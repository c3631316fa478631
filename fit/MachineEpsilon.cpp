// Machine epsilon by descent: shrink eps by a factor d until 1 + eps no longer
// exceeds 1, step back once, and repeat with d ever closer to 1 (0.1, 0.9, 0.99, ...).

#include "fit/MachineEpsilon.h"

namespace korvel {

namespace {

// Forces the sum to be rounded to double before it is compared.
bool ExceedsOne(double eps) {
    volatile double sum = 1.0 + eps;
    return sum > 1.0;
}

}  // namespace

double ComputeMachineEpsilon() {
    double eps = 1.0;
    double d = 0.1;
    double b = 1.0;
    while (d < 1.0) {
        if (ExceedsOne(eps)) {
            do {
                const double t = eps * d;
                if (t >= eps) return eps;
                eps = t;
            } while (ExceedsOne(eps));
        }
        eps = eps / d;
        b = b / 10.0;
        d = 1.0 - b;
    }
    return eps;
}

}  // namespace korvel
