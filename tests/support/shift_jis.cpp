#include "support/shift_jis.h"

#include <cerrno>
#include <cstddef>
#include <stdexcept>
#include <string>

#include <iconv.h>

namespace fwu::test {

namespace {

class Converter {
 public:
  Converter() : handle_(iconv_open("UTF-8", "CP932")) {
    // (iconv_t)-1 is iconv_open's documented failure value.
    if (handle_ == reinterpret_cast<iconv_t>(-1)) {  // NOLINT(performance-no-int-to-ptr)
      throw std::runtime_error("iconv has no CP932 to UTF-8 conversion");
    }
  }
  ~Converter() { iconv_close(handle_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  iconv_t Handle() const { return handle_; }

 private:
  iconv_t handle_;
};

}  // namespace

std::string ShiftJisToUtf8(std::string_view shift_jis) {
  Converter converter;
  // A code page 932 character of one or two bytes never needs more than three UTF-8 bytes.
  std::string utf8(shift_jis.size() * 3, '\0');
  // iconv's interface takes a non-const input pointer but does not write through it.
  char* in = const_cast<char*>(shift_jis.data());
  std::size_t in_left = shift_jis.size();
  char* out = utf8.data();
  std::size_t out_left = utf8.size();
  while (in_left > 0) {
    if (iconv(converter.Handle(), &in, &in_left, &out, &out_left) == static_cast<std::size_t>(-1)) {
      const int error = errno;
      throw std::invalid_argument("not code page 932 text at byte " +
                                  std::to_string(shift_jis.size() - in_left) +
                                  (error == EINVAL ? " (incomplete character)" : ""));
    }
  }
  utf8.resize(utf8.size() - out_left);
  return utf8;
}

}  // namespace fwu::test
