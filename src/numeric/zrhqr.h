#pragma once

// All roots of the real polynomial a[0] + a[1] x + ... + a[m] x^m (in: a[0..m]), as the
// eigenvalues of its balanced companion matrix, sorted by increasing real part.
// out: wr[1..m] real parts, wi[1..m] imaginary parts; index 0 is never touched.
// m below 0 or above 50, or a[m] == 0, ends the process through numeric_error
// ("bad args in zrhqr").
void zrhqr(const float a[], int m, float wr[], float wi[]);
