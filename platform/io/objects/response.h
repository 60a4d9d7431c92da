// The reply of one Read, and its values in the reply formats clients ask
// for (see io_interfaces.h for the codes).
#pragma once

#include <cstdint>
#include <vector>

#include "vex/io/io_interfaces.h"

namespace vex::io {

// What was read: the reply's bytes without the termination character, and
// for a definite-length block, where its data starts.
struct Reply {
  com::ByteVector bytes;
  bool block = false;
  std::size_t header_size = 0;  // "#<n><length>"; the data follows
  // A block's bytes are handed to the first value read in a block format
  // instead of being copied (waveform records run to megabytes).
  bool handed_over = false;
};

class Response : public com::Object<IIOResponse> {
 public:
  explicit Response(Reply reply) : reply_(std::move(reply)) {}
  HRESULT get_Values(IIOResponseValues** values) override;
  VEX_COM_IMPLEMENT_DISPATCH(Response, Table())

  Reply& reply() { return reply_; }

 private:
  static const com::DispatchTable& Table();
  Reply reply_;
};

// A view of a response's reply in one format; it keeps the response alive.
class ResponseValues : public com::Object<IIOResponseValues> {
 public:
  explicit ResponseValues(Response* response) : response_(response) {}

  HRESULT get_Format(std::int16_t* code) override;
  HRESULT put_Format(std::int16_t code) override;
  HRESULT get_Value(Variant* value) override;
  HRESULT Item(std::int32_t index, Variant* value) override;
  HRESULT get_Count(std::int32_t* count) override;

  VEX_COM_IMPLEMENT_DISPATCH(ResponseValues, Table())

 private:
  static const com::DispatchTable& Table();
  // The items of a split reply (formats 2 and 11), made on first use.
  const std::vector<Variant>& Items();
  HRESULT BlockData(Variant* value, std::size_t skip);

  Reply& reply() { return response_->reply(); }

  com::ComPtr<Response> response_;
  std::int16_t format_ = 0;
  std::vector<Variant> items_;
  std::int16_t items_format_ = -1;
};

// Splits a reply at commas; numbers where an item parses as one (format 2),
// otherwise text.
std::vector<Variant> SplitReply(std::string_view text, bool numbers);

}  // namespace vex::io
