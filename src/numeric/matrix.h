#pragma once

// Single-precision matrices whose rows and columns are numbered over arbitrary integer ranges.
// The root finder works on rows and columns 1..50, so its loops read like the algorithm text.

// Makes a matrix with rows first_row..last_row and columns first_col..last_col. The elements are
// not initialised. On allocation failure the process ends through numeric_error.
float** matrix(int first_row, int last_row, int first_col, int last_col);

// Releases a matrix made by matrix(); first_row and first_col must be those used to make it.
// last_row and last_col are taken for symmetry with matrix() and not used.
void matrix_free(float** m, int first_row, int last_row, int first_col, int last_col);
