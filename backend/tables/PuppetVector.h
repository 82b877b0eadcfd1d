// PuppetVector<T> is a std::vector<T> with a fill value. Writing through the
// non-const operator[] past the end grows the vector with fill values up to
// and including that position; reading through the const operator[] past
// the end returns the fill value without growing anything. A pivot table
// keeps its row, column and layer lists in PuppetVector<short> with fill -1,
// so a caller can write `table.Rows()[3] = 0` into an empty list.
//
// Copying and assignment copy the elements and the fill value. Used from
// one thread at a time.

#ifndef OMTREE_BACKEND_TABLES_PUPPETVECTOR_H_
#define OMTREE_BACKEND_TABLES_PUPPETVECTOR_H_

#include <cstddef>
#include <vector>

template <typename T>
class PuppetVector : public std::vector<T> {
 public:
  explicit PuppetVector(const T& fill) : _fill(fill) {}

  // Element i, after growing the vector with fill values to hold it.
  T& operator[](std::size_t i) {
    if (i >= this->size()) {
      this->reserve(i + 1);
      this->resize(i + 1, _fill);
    }
    return std::vector<T>::operator[](i);
  }

  // Element i, or the fill value when i is past the end.
  const T& operator[](std::size_t i) const {
    return i < this->size() ? std::vector<T>::operator[](i) : _fill;
  }

  const T& Fill() const { return _fill; }

 private:
  T _fill;
};

#endif  // OMTREE_BACKEND_TABLES_PUPPETVECTOR_H_
