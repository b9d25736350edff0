#include "numeric/matrix.h"

#include <cstddef>
#include <cstdlib>

#include "numeric/numeric_error.h"

// Both blocks begin with one spare entry, and the handle and every row pointer are shifted back
// by (first index - 1). For a range starting at 1, such as the root finder's 1..50, the shift is
// zero: the handle is the row table itself and row i starts (i - 1) * ncol floats into the
// element block, so no pointer ever points outside its block. A range whose first index lies
// between -count and 0 (count being the number of rows or columns) still keeps every pointer
// inside its block or one past it. A first index above 1 leaves the shifted pointer in front of
// its block; the language does not define such a pointer, although on the flat address spaces we
// build for it indexes the intended elements.

float** matrix(int first_row, int last_row, int first_col, int last_col) {
  const std::ptrdiff_t nrow = static_cast<std::ptrdiff_t>(last_row) - first_row + 1;
  const std::ptrdiff_t ncol = static_cast<std::ptrdiff_t>(last_col) - first_col + 1;

  auto** table =
      static_cast<float**>(std::malloc(static_cast<std::size_t>(nrow + 1) * sizeof(float*)));
  if (table == nullptr) numeric_error("allocation failure 1 in matrix()");

  auto* block =
      static_cast<float*>(std::malloc(static_cast<std::size_t>(nrow * ncol + 1) * sizeof(float)));
  if (block == nullptr) numeric_error("allocation failure 2 in matrix()");

  // table[0] and block[0] are the spares; the offsets are summed as integers first so that each
  // pointer is formed in one step.
  for (std::ptrdiff_t r = 0; r < nrow; ++r) table[1 + r] = block + (1 + r * ncol - first_col);
  return table + (1 - static_cast<std::ptrdiff_t>(first_row));
}

void matrix_free(float** m, int first_row, int /*last_row*/, int first_col, int /*last_col*/) {
  std::free(m[first_row] + (static_cast<std::ptrdiff_t>(first_col) - 1));
  std::free(m + (static_cast<std::ptrdiff_t>(first_row) - 1));
}
