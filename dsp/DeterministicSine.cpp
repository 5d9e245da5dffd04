#include "DeterministicSine.h"

double DeterministicSine(double x) {
    // Taylor series to x^19: for |x| <= 0.5 the first omitted term is below 1e-22 of x.
    // Evaluated as x + x^3 * P(x^2) so the leading term is exact.
    constexpr double c3 = -1.0 / 6.0;
    constexpr double c5 = 1.0 / 120.0;
    constexpr double c7 = -1.0 / 5040.0;
    constexpr double c9 = 1.0 / 362880.0;
    constexpr double c11 = -1.0 / 39916800.0;
    constexpr double c13 = 1.0 / 6227020800.0;
    constexpr double c15 = -1.0 / 1307674368000.0;
    constexpr double c17 = 1.0 / 355687428096000.0;
    constexpr double c19 = -1.0 / 121645100408832000.0;
    const double x2 = x * x;
    const double p =
        c3 +
        x2 * (c5 +
              x2 * (c7 + x2 * (c9 + x2 * (c11 + x2 * (c13 + x2 * (c15 + x2 * (c17 + x2 * c19)))))));
    return x + (x * x2) * p;
}
