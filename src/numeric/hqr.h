#pragma once

// Eigenvalues of the upper Hessenberg matrix h[1..n][1..n] by the Francis double-shift QR
// iteration. Writes real parts to wr[1..n] and imaginary parts to wi[1..n]; h is destroyed.
// After 30 sweeps on one bottom element without isolating a root it prints a warning on standard
// output and returns; the entries it did not reach keep what the caller left in them.
void hqr(float** h, int n, float wr[], float wi[]);
