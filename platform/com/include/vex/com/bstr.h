// Bstr: the automation string. It holds UTF-8 text and may be null; a null
// string and an empty string are different values (IsNull tells them apart),
// though both read as "" through View(). It is one pointer wide, so a variant
// holding a string stays small; copies are deep.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace vex::com {

class Bstr {
 public:
  Bstr() = default;  // null
  Bstr(std::string_view text);
  Bstr(const char* text) : Bstr(text ? std::string_view(text) : std::string_view()) {}
  Bstr(const std::string& text) : Bstr(std::string_view(text)) {}
  Bstr(const Bstr& other);
  Bstr(Bstr&& other) noexcept : data_(other.data_) { other.data_ = nullptr; }
  Bstr& operator=(const Bstr& other);
  Bstr& operator=(Bstr&& other) noexcept {
    if (this != &other) {
      std::free(data_);
      data_ = other.data_;
      other.data_ = nullptr;
    }
    return *this;
  }
  ~Bstr() { std::free(data_); }

  static Bstr Null() { return Bstr(); }
  static Bstr Empty() { return Bstr(std::string_view()); }

  bool IsNull() const { return data_ == nullptr; }
  // Null or empty.
  bool IsEmpty() const { return Length() == 0; }
  // Length in bytes of the UTF-8 text.
  std::size_t Length() const { return data_ ? data_->length : 0; }
  std::string_view View() const {
    return data_ ? std::string_view(data_->text, data_->length) : std::string_view();
  }
  std::string Str() const { return std::string(View()); }
  // Zero-terminated text; "" for a null string.
  const char* CStr() const { return data_ ? data_->text : ""; }

  friend bool operator==(const Bstr& a, const Bstr& b) {
    return a.IsNull() == b.IsNull() && a.View() == b.View();
  }
  friend bool operator==(const Bstr& a, std::string_view b) { return !a.IsNull() && a.View() == b; }
  friend bool operator==(const Bstr& a, const std::string& b) { return a == std::string_view(b); }
  friend bool operator==(const Bstr& a, const char* b) {
    return b ? a == std::string_view(b) : a.IsNull();
  }

 private:
  // One block: the length, then the text and a terminating zero. The
  // accessors are inline: every command and reply passes through them.
  struct Data {
    std::uint32_t length;
    char text[1];
  };
  static Data* Allocate(std::string_view text);
  Data* data_ = nullptr;
};

}  // namespace vex::com
