// MultiBase numbers the category combinations of one axis of a table (its
// rows, columns or layers) in mixed radix: one digit per dimension of the
// axis, digit 0 the most significant, the last digit varying fastest. The
// radices are the category counts of the axis's dimensions. Digit 0 is never
// reduced: it absorbs whatever is left of a position, so the radix of digit 0
// bounds nothing.
//
// Positions are unsigned 64-bit; digits and radices unsigned 32-bit.
// Compose and Decompose are inverse for digits within their radices.
//
// Copyable value type; used from one thread at a time.

#ifndef OMTREE_BACKEND_TABLES_MULTIBASE_H_
#define OMTREE_BACKEND_TABLES_MULTIBASE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

class MultiBase {
 public:
  explicit MultiBase(std::vector<unsigned> bases) : _bases(std::move(bases)) {}

  // The digits of position, one per radix. Stops dividing as soon as the
  // rest is 0, so a radix of 0 is only reached by a position that needs it.
  // REQUIRES (checked): every radix that is divided by is not 0.
  std::vector<unsigned> Decompose(std::size_t position) const;

  // The position of digits.
  // REQUIRES (checked): as many digits as radices, and at least one.
  std::size_t Compose(const std::vector<unsigned>& digits) const;

  std::vector<unsigned> Bases() const { return _bases; }

 private:
  std::vector<unsigned> _bases;
};

#endif  // OMTREE_BACKEND_TABLES_MULTIBASE_H_
