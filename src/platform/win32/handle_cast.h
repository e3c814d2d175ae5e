#pragma once

#include <type_traits>

namespace fwu::win32 {

// The core keeps the system's handles as integers of pointer size, and window messages carry
// pointers in their integer parameters; this is where such an integer becomes the handle or
// pointer it stands for.
template <typename Pointer, typename Integer>
Pointer PointerFrom(Integer value) {
  static_assert(std::is_pointer_v<Pointer> && std::is_integral_v<Integer> &&
                sizeof(Integer) == sizeof(void*));
  return reinterpret_cast<Pointer>(value);  // NOLINT(performance-no-int-to-ptr)
}

}  // namespace fwu::win32
