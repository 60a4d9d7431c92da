#include "response.h"

#include <algorithm>
#include <string_view>

#include "vex/com/hot_path.h"

namespace vex::io {
namespace {
constexpr const char* kSource = "VexIOUtils.Response";

std::string_view TextOf(const Reply& reply) {
  return std::string_view(reinterpret_cast<const char*>(reply.bytes.data()), reply.bytes.size());
}
}  // namespace

std::vector<Variant> SplitReply(std::string_view text, bool numbers) {
  std::vector<Variant> items;
  std::size_t start = 0;
  while (true) {
    std::size_t comma = text.find(',', start);
    std::string_view item = text.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    if (numbers) {
      auto number = com::ParseDoubleStrict(item);
      items.push_back(number ? Variant(*number) : Variant(com::TrimBlanks(item)));
    } else {
      items.push_back(Variant(item));
    }
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return items;
}

HRESULT ResponseValues::get_Format(std::int16_t* code) {
  if (!code) return com::E_POINTER;
  *code = format_;
  return com::S_OK;
}

HRESULT ResponseValues::put_Format(std::int16_t code) {
  format_ = code;
  return com::S_OK;
}

const std::vector<Variant>& ResponseValues::Items() {
  if (items_format_ != format_) {
    items_ = SplitReply(TextOf(reply()), format_ == kFormatNumbers);
    items_format_ = format_;
  }
  return items_;
}

HRESULT ResponseValues::BlockData(Variant* value, std::size_t skip) {
  if (reply().handed_over) {
    return com::ReportRichError(com::E_FAIL, "The block data of this reply was read already.",
                                kSource);
  }
  reply().handed_over = true;
  *value = Variant(SafeArray::AdoptBytes(std::move(reply().bytes), skip));
  reply().bytes.clear();
  return com::S_OK;
}

VEX_HOT HRESULT ResponseValues::get_Value(Variant* value) {
  if (!value) return com::E_POINTER;
  switch (format_) {
    case kFormatBlockWithHeader:
      return BlockData(value, 0);
    case kFormatBlockData:
    case kFormatBlockData7:
      if (!reply().block) {
        return com::ReportRichError(com::E_FAIL, "The reply is not a definite-length block.",
                                    kSource);
      }
      return BlockData(value, reply().header_size);
    case kFormatNumbers:
    case kFormatStrings: {
      const auto& items = Items();
      SafeArray array;
      VARTYPE vt = format_ == kFormatStrings ? com::VT_BSTR : com::VT_VARIANT;
      HRESULT hr = SafeArray::Create(vt, {{static_cast<std::uint32_t>(items.size()), 0}}, &array);
      if (FAILED(hr)) return hr;
      for (std::size_t i = 0; i < items.size(); ++i) {
        hr = array.PutElement({static_cast<std::int32_t>(i)}, items[i]);
        if (FAILED(hr)) return hr;
      }
      *value = Variant(std::move(array));
      return com::S_OK;
    }
    default:
      if (reply().handed_over) return BlockData(value, 0);
      *value = Variant(TextOf(reply()));
      return com::S_OK;
  }
}

HRESULT ResponseValues::Item(std::int32_t index, Variant* value) {
  if (!value) return com::E_POINTER;
  if (format_ != kFormatNumbers && format_ != kFormatStrings) {
    if (index != 0) return com::DISP_E_BADINDEX;
    return get_Value(value);
  }
  const auto& items = Items();
  if (index < 0 || static_cast<std::size_t>(index) >= items.size()) return com::DISP_E_BADINDEX;
  *value = items[static_cast<std::size_t>(index)];
  return com::S_OK;
}

HRESULT ResponseValues::get_Count(std::int32_t* count) {
  if (!count) return com::E_POINTER;
  *count = format_ == kFormatNumbers || format_ == kFormatStrings
               ? static_cast<std::int32_t>(Items().size())
               : 1;
  return com::S_OK;
}

const com::DispatchTable& ResponseValues::Table() {
  static const com::DispatchTable table =
      com::DispatchTableBuilder<ResponseValues>("IIOResponseValues", "IIOResponseValues")
          .Method("Item", com::DISPID_VALUE, &IIOResponseValues::Item,
                  {com::In("Index"), com::Retval("Value")})
          .Get("Value", 1, &IIOResponseValues::get_Value)
          .Get("Count", 2, &IIOResponseValues::get_Count)
          .Get("Format", 3, &IIOResponseValues::get_Format)
          .Put("Format", 3, &IIOResponseValues::put_Format, {com::In("Code")})
          .Build();
  return table;
}

VEX_HOT HRESULT Response::get_Values(IIOResponseValues** values) {
  if (!values) return com::E_POINTER;
  *values = com::MakeObject<ResponseValues>(this).Detach();
  return com::S_OK;
}

const com::DispatchTable& Response::Table() {
  static const com::DispatchTable table =
      com::DispatchTableBuilder<Response>("IIOResponse", "IIOResponse")
          .Get("Values", 1, &IIOResponse::get_Values)
          .Build();
  return table;
}

}  // namespace vex::io
