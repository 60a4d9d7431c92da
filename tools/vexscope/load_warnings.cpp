#include "load_warnings.h"

#include "vex/com/utf8_text.h"

namespace vex::scope {

com::HRESULT LoadWarnings::AddError(const com::Bstr& property_name, com::HRESULT,
                                    const com::Bstr& description) {
  const std::string text =
      description.Str().empty() ? "\"" + property_name.Str() + "\" is skipped." : description.Str();
  if (!given_.insert(property_name.Str() + '\n' + text).second) return com::S_OK;
  out_ << "vexscope: warning: " << com::EscapeForTerminal(file_) << ": "
       << com::EscapeForTerminal(text) << std::endl;
  return com::S_OK;
}

}  // namespace vex::scope
