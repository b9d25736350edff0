#pragma once

// Balances the n x n matrix h[1..n][1..n] in place by powers of two, which leaves the
// eigenvalues unchanged and adds no rounding error.
void balance_matrix(float** h, int n);
