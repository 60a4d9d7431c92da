#include "vex/com/bstr.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace vex::com {

struct Bstr::Data {
  std::uint32_t length;
  char text[1];
};

Bstr::Bstr(std::string_view text) {
  void* block = std::malloc(sizeof(Data) + text.size());
  if (!block) throw std::bad_alloc();
  data_ = static_cast<Data*>(block);
  data_->length = static_cast<std::uint32_t>(text.size());
  if (!text.empty()) std::memcpy(data_->text, text.data(), text.size());
  data_->text[text.size()] = '\0';
}

Bstr::Bstr(const Bstr& other) : Bstr() {
  if (other.data_) *this = Bstr(other.View());
}

Bstr& Bstr::operator=(const Bstr& other) {
  if (this != &other) *this = Bstr(other);
  return *this;
}

Bstr& Bstr::operator=(Bstr&& other) noexcept {
  if (this != &other) {
    std::free(data_);
    data_ = other.data_;
    other.data_ = nullptr;
  }
  return *this;
}

Bstr::~Bstr() {
  std::free(data_);
}

std::size_t Bstr::Length() const {
  return data_ ? data_->length : 0;
}

std::string_view Bstr::View() const {
  return data_ ? std::string_view(data_->text, data_->length) : std::string_view();
}

const char* Bstr::CStr() const {
  return data_ ? data_->text : "";
}

}  // namespace vex::com
