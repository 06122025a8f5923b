// Coefficients of the twiddle polynomials (see twid_value.hpp). Both evaluate cos(pi*t/4) and
// sin(pi*t/4) for -1 < t <= 1 in z = t*t; each array is indexed by the power of z it multiplies.
#pragma once

namespace tov::fft::detail {

// Plain polynomial (float and _Float16 tables): degree 6 in z, about 2e-16 absolute error.
inline constexpr double kPlainCos[7] = {
    1.0,
    -0.3084251375340387,
    0.01585434424374607,
    -0.000325991886492447,
    3.590859186029691e-06,
    -2.460950643876011e-08,
    1.1365306958762847e-10,
};
// The sine lane approximates sin(pi*t/4)/t and is multiplied by t at the end.
inline constexpr double kPlainSin[7] = {
    0.7853981633974483,      -0.08074551218827976,   0.00249039457018263,
    -3.6576204137696544e-05, 3.1336158729412047e-07, -1.7571219475089096e-09,
    6.8687242527667575e-12,
};

// Compensated polynomial (double tables): degree 7 in z. C0 and C1 are the rounded Taylor terms, so
// the evaluation carries their rounding error (the tail), the error of z = t*t, and the remainder
// of the division that gave t, through first-order corrections.
struct CompensatedLane {
  double c[8];
  double tail;    // added times z (cosine lane) or times 1 (sine lane)
  double slope0;  // slope0 + slope1*z: the lane's derivative in t (divided by t for cos)
  double slope1;
};

inline constexpr CompensatedLane kCompensatedCos = {
    {1.0, -0.30842513753404244, 0.015854344243815426, -0.00032599188692675695,
     3.590860446054159e-06, -2.461136404503038e-08, 1.1500511493824433e-10,
     -3.8581452429999683e-13},
    -1.652434131973271e-17,
    -0.6165983375101485,
    0.0614647937344156,
};
inline constexpr CompensatedLane kCompensatedSin = {
    {0.7853981633974483, -0.08074551218828079, 0.0024903945701927636, -3.6576204182389566e-05,
     3.133616895381225e-07, -1.7572482531810194e-09, 6.948719813531658e-12, -2.037882725780115e-14},
    3.067150379707556e-17,
    0.7836144412142877,
    -0.22951535599595763,
};

}  // namespace tov::fft::detail
