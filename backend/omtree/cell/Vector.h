// OmVector<T> is the growable array that the object model uses wherever
// storage must come from a memory region rather than from the global heap:
// the bytes of string cells, child-index lists and child blocks of category
// trees, footnote lists, the pointer arrays of the cell store, and the lists
// of the display layout.
//
// Storage: one block from the vector's region (never null once constructed;
// a null region given to a constructor means OmMemoryRegion::DefaultHeap()).
// The block is allocated with OmMemoryRegion::Allocate and returned with
// OmMemoryRegion::Release.
//
// Growth rule: when an append or insert finds the vector full, the capacity
// becomes the smallest 4 * 2^k (4, 8, 16, ...) strictly greater than the
// element count. reserve(n) and resize(n, value) grow to exactly n. The
// capacity never shrinks, except through assignment, which reallocates to the
// source's element count.
//
// Relocation: elements are moved bitwise (memcpy/memmove), never through
// copy constructors or destructors, when the block grows and when elements
// shift for an insertion or erasure. A T kept in an OmVector must therefore
// stay valid when its bytes move (it must not point into itself). Elements
// are copy-constructed only when they enter the vector and destroyed only
// when they leave it.
//
// Invalidation: any growth invalidates every pointer into the vector; an
// insertion or erasure invalidates pointers at and after its position.
//
// Element access is not bounds-checked; callers that need a check make it.
// An empty vector that never allocated has all three element pointers null.
//
// Copying is deliberate: the copy lives in the source's region and owns
// copies of the elements. A vector is used from one thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_CELL_VECTOR_H_
#define OMTREE_BACKEND_OMTREE_CELL_VECTOR_H_

#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "omcell/OmMemoryRegion.h"

template <typename T>
class OmVector {
 public:
  using value_type = T;
  using iterator = T*;
  using const_iterator = const T*;
  using size_type = std::size_t;

  // An empty vector in region; when initialCapacity is positive, a block of
  // that many elements is allocated at once.
  explicit OmVector(OmMemoryRegion* region = nullptr, std::size_t initialCapacity = 0);

  // A copy in other's region, with a capacity equal to other's size.
  OmVector(const OmVector& other);

  // Destroys the elements, releases the block and reallocates to exactly
  // other's size in this vector's own region, then copies other's elements.
  OmVector& operator=(const OmVector& other);

  ~OmVector();

  // Grows the capacity to exactly n when it is less than n. Never shrinks.
  void reserve(std::size_t n);

  // Appends a copy of value and returns its address.
  T* push_back(const T& value);

  // Inserts a copy of value before position and returns its address.
  // REQUIRES: begin() <= position <= end().
  T* insert(const T* position, const T& value);

  // Constructs an element from args before position (at the end) and
  // returns its address. Grows as insert and push_back do.
  // REQUIRES: begin() <= position <= end(); args do not refer into this
  // vector.
  template <typename... Args>
  T* emplace(const T* position, Args&&... args);
  template <typename... Args>
  T* emplace_back(Args&&... args);

  // Exchanges the contents, capacities and regions of the two vectors,
  // without touching an element.
  void swap(OmVector& other);

  // Destroys the element at position and shifts the following ones down.
  // REQUIRES: begin() <= position < end().
  void erase(const T* position);

  // Destroys the elements of [first, last) and shifts the following ones down.
  // REQUIRES: begin() <= first <= last <= end().
  void erase(const T* first, const T* last);

  // Grows to n elements by appending copies of value (reserving exactly n
  // first), or shrinks to n by erasing the elements from n on.
  void resize(std::size_t n, const T& value);

  // The capacity that an append or insert gives a full vector of count
  // elements: the smallest 4 * 2^k greater than count.
  static std::size_t GrownCapacity(std::size_t count);

  std::size_t size() const { return static_cast<std::size_t>(_end - _first); }
  std::size_t capacity() const { return static_cast<std::size_t>(_capacityEnd - _first); }
  bool empty() const { return _end == _first; }
  OmMemoryRegion* region() const { return _region; }

  T* begin() { return _first; }
  T* end() { return _end; }
  const T* begin() const { return _first; }
  const T* end() const { return _end; }

  T& operator[](std::size_t i) { return _first[i]; }
  const T& operator[](std::size_t i) const { return _first[i]; }

 private:
  static void Relocate(T* destination, const T* source, std::size_t count) {
    if (count != 0) {
      std::memmove(static_cast<void*>(destination), static_cast<const void*>(source),
                   count * sizeof(T));
    }
  }

  bool Holds(const T& value) const { return &value >= _first && &value < _end; }
  void DestroyAndRelease();
  T* AppendWithinCapacity(const T& value);
  T* InsertAt(std::size_t index, const T& value);
  template <typename... Args>
  T* EmplaceAt(std::size_t index, Args&&... args);

  OmMemoryRegion* _region;
  T* _first = nullptr;
  T* _end = nullptr;
  T* _capacityEnd = nullptr;
};

// Implementation details.

template <typename T>
OmVector<T>::OmVector(OmMemoryRegion* region, std::size_t initialCapacity)
    : _region(region != nullptr ? region : OmMemoryRegion::DefaultHeap()) {
  if (initialCapacity > 0) reserve(initialCapacity);
}

template <typename T>
OmVector<T>::OmVector(const OmVector& other) : _region(other._region) {
  if (other.empty()) return;
  reserve(other.size());
  try {
    for (const T& element : other)
      AppendWithinCapacity(element);
  } catch (...) {
    DestroyAndRelease();
    throw;
  }
}

template <typename T>
OmVector<T>& OmVector<T>::operator=(const OmVector& other) {
  if (this == &other) return *this;
  DestroyAndRelease();
  reserve(other.size());
  for (const T& element : other)
    AppendWithinCapacity(element);
  return *this;
}

template <typename T>
OmVector<T>::~OmVector() {
  DestroyAndRelease();
}

template <typename T>
void OmVector<T>::DestroyAndRelease() {
  for (T* element = _first; element != _end; ++element)
    element->~T();
  OmMemoryRegion::Release(_first);
  _first = _end = _capacityEnd = nullptr;
}

template <typename T>
void OmVector<T>::reserve(std::size_t n) {
  static_assert(alignof(T) <= OmMemoryRegion::kAlignment,
                "region blocks are aligned for ordinary types only");
  if (capacity() >= n) return;
  if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_alloc();
  T* block = static_cast<T*>(_region->Allocate(n * sizeof(T)));
  const std::size_t count = size();
  Relocate(block, _first, count);
  OmMemoryRegion::Release(_first);
  _first = block;
  _end = block + count;
  _capacityEnd = block + n;
}

template <typename T>
std::size_t OmVector<T>::GrownCapacity(std::size_t count) {
  std::size_t grown = 4;
  while (grown <= count)
    grown *= 2;
  return grown;
}

template <typename T>
T* OmVector<T>::AppendWithinCapacity(const T& value) {
  T* slot = new (static_cast<void*>(_end)) T(value);
  ++_end;
  return slot;
}

template <typename T>
T* OmVector<T>::push_back(const T& value) {
  return InsertAt(size(), value);
}

template <typename T>
T* OmVector<T>::insert(const T* position, const T& value) {
  return InsertAt(static_cast<std::size_t>(position - _first), value);
}

template <typename T>
T* OmVector<T>::InsertAt(std::size_t index, const T& value) {
  if (Holds(value) && (_end == _capacityEnd || index < size())) {
    // Growing would release the block that holds value, and shifting would
    // move it: insert a copy of it instead.
    const T copy(value);
    return EmplaceAt(index, copy);
  }
  return EmplaceAt(index, value);
}

template <typename T>
template <typename... Args>
T* OmVector<T>::emplace(const T* position, Args&&... args) {
  return EmplaceAt(static_cast<std::size_t>(position - _first), std::forward<Args>(args)...);
}

template <typename T>
template <typename... Args>
T* OmVector<T>::emplace_back(Args&&... args) {
  return EmplaceAt(size(), std::forward<Args>(args)...);
}

template <typename T>
template <typename... Args>
T* OmVector<T>::EmplaceAt(std::size_t index, Args&&... args) {
  if (_end == _capacityEnd) reserve(GrownCapacity(size()));
  T* slot = _first + index;
  Relocate(slot + 1, slot, size() - index);
  try {
    new (static_cast<void*>(slot)) T(std::forward<Args>(args)...);
  } catch (...) {
    Relocate(slot, slot + 1, size() - index);
    throw;
  }
  ++_end;
  return slot;
}

template <typename T>
void OmVector<T>::swap(OmVector& other) {
  std::swap(_region, other._region);
  std::swap(_first, other._first);
  std::swap(_end, other._end);
  std::swap(_capacityEnd, other._capacityEnd);
}

template <typename T>
void OmVector<T>::erase(const T* position) {
  erase(position, position + 1);
}

template <typename T>
void OmVector<T>::erase(const T* first, const T* last) {
  T* begin = _first + (first - _first);
  T* stop = _first + (last - _first);
  for (T* element = begin; element != stop; ++element)
    element->~T();
  Relocate(begin, stop, static_cast<std::size_t>(_end - stop));
  _end -= stop - begin;
}

template <typename T>
void OmVector<T>::resize(std::size_t n, const T& value) {
  if (n < size()) {
    erase(_first + n, _end);
    return;
  }
  if (n > capacity() && Holds(value)) {
    const T copy(value);
    resize(n, copy);
    return;
  }
  reserve(n);
  while (size() < n)
    AppendWithinCapacity(value);
}

#endif  // OMTREE_BACKEND_OMTREE_CELL_VECTOR_H_
