#include "backend/tables/MultiBase.h"

#include "backend/tables/Assertion.h"

namespace {
constexpr char kSource[] = "backend/tables/MultiBase";
}  // namespace

std::vector<unsigned> MultiBase::Decompose(std::size_t position) const {
  const std::size_t size = _bases.size();
  std::vector<unsigned> digits(size, 0);
  if (size == 0) return digits;
  std::uint64_t rest = position;
  std::size_t i = size - 1;
  for (; i >= 1 && rest != 0; --i) {
    const unsigned b = _bases[i];
    OM_ASSERT(b > 0, "b>0", kSource, __LINE__);
    digits[i] = static_cast<unsigned>(rest % b);
    rest /= b;
  }
  digits[i] = static_cast<unsigned>(rest);
  return digits;
}

std::size_t MultiBase::Compose(const std::vector<unsigned>& digits) const {
  const std::size_t size = _bases.size();
  std::uint64_t position = 0;
  std::size_t i = 0;
  auto digit = digits.begin();
  const auto end = digits.end();
  for (; digit != end && i < size; ++digit, ++i)
    position = position * _bases[i] + *digit;
  OM_ASSERT(digit == end && i == size && i > 0, "digit == end && i == size", kSource, __LINE__);
  return static_cast<std::size_t>(position);
}
