#include "vex/com/bstr.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "vex/com/hot_path.h"

namespace vex::com {

VEX_HOT Bstr::Data* Bstr::Allocate(std::string_view text) {
  void* block = std::malloc(sizeof(Data) + text.size());
  if (!block) throw std::bad_alloc();
  auto* data = static_cast<Data*>(block);
  data->length = static_cast<std::uint32_t>(text.size());
  if (!text.empty()) std::memcpy(data->text, text.data(), text.size());
  data->text[text.size()] = '\0';
  return data;
}

VEX_HOT Bstr::Bstr(std::string_view text) : data_(Allocate(text)) {}

Bstr::Bstr(const Bstr& other) : data_(other.data_ ? Allocate(other.View()) : nullptr) {}

Bstr& Bstr::operator=(const Bstr& other) {
  if (this != &other) *this = Bstr(other);
  return *this;
}

}  // namespace vex::com
