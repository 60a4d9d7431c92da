#include "analog_channels_vexr7100.h"

#include "model_table.h"

namespace vex::server {

namespace {
constexpr MemberFailure kItemFailure{"IAnalogChannelsVexR7100::Item (read) property failed.", 29};
constexpr MemberFailure kCountFailure{"IAnalogChannelsVexR7100::Count (read) property failed.", 2};
constexpr MemberFailure kEnumFailure{"IAnalogChannelsVexR7100::_NewEnum (read) property failed.",
                                     msg::kHelpDefault};
}  // namespace

CAnalogChannelsVexR7100::CAnalogChannelsVexR7100()
    : SubsystemWrapper("CAnalogChannelsVexR7100", "Analog Channels Collection") {
  for (int i = 0; i < kChannels; ++i) {
    channels_[i] = com::MakeObject<CAnalogChannelVexR7100>();
    (void)channels_[i]->_SetChannelIndex(static_cast<std::int16_t>(i + 1));
  }
}

HRESULT CAnalogChannelsVexR7100::_Link(IUnknown* core) {
  HRESULT hr = SubsystemWrapper::_Link(core);
  for (auto& channel : channels_) {
    if (FAILED(hr)) break;
    hr = channel ? channel->_Link(core) : com::E_FAIL;
  }
  if (FAILED(hr)) {
    ReleaseChannels();
    (void)SubsystemWrapper::_Unlink();
  }
  return hr;
}

HRESULT CAnalogChannelsVexR7100::_Unlink() {
  ReleaseChannels();
  return SubsystemWrapper::_Unlink();
}

void CAnalogChannelsVexR7100::ReleaseChannels() {
  for (auto& channel : channels_) {
    if (channel) (void)channel->_Unlink();
    channel = nullptr;
  }
}

HRESULT CAnalogChannelsVexR7100::Item(std::int32_t index, IAnalogChannelVexR7100** channel) {
  if (!channel) return com::E_POINTER;
  *channel = nullptr;
  if (index < 1 || index > kChannels) {
    return Refuse(msg::kNotLegal, com::E_FAIL, kItemFailure.help_id);
  }
  return Forward(kItemFailure, [&](ICoreVexR7100&) -> HRESULT {
    auto& object = channels_[static_cast<std::size_t>(index - 1)];
    if (!object) throw std::runtime_error("The channel object has been released.");
    return object->QueryInterface(IAnalogChannelVexR7100::kIid, reinterpret_cast<void**>(channel));
  });
}

HRESULT CAnalogChannelsVexR7100::get_Count(std::int32_t* value) {
  if (!value) return com::E_POINTER;
  return Forward(kCountFailure, [&](ICoreVexR7100& core) -> HRESULT {
    const ModelRecord* models = nullptr;
    HRESULT hr = core._ModelsTable(&models);
    if (FAILED(hr) || !models) throw std::runtime_error("The model table is not available.");
    *value = models->AnalogChannels();
    return com::S_OK;
  });
}

HRESULT CAnalogChannelsVexR7100::get__NewEnum(IUnknown** enumerator) {
  if (!enumerator) return com::E_POINTER;
  *enumerator = nullptr;
  std::int32_t count = 0;
  HRESULT hr = get_Count(&count);
  if (FAILED(hr)) return Fail(kEnumFailure, com::PeekErrorDetails().description.Str());
  return Forward(kEnumFailure, [&](ICoreVexR7100&) -> HRESULT {
    std::vector<Variant> items;
    for (std::int32_t i = 0; i < count && i < kChannels; ++i) {
      com::ComPtr<IDispatch> dispatch;
      HRESULT got = channels_[static_cast<std::size_t>(i)].As(&dispatch);
      if (FAILED(got)) return got;
      items.emplace_back(dispatch.Get());
    }
    com::IEnumVARIANT* out = nullptr;
    HRESULT made = com::CreateVariantEnumerator(std::move(items), &out);
    if (SUCCEEDED(made)) *enumerator = out;
    return made;
  });
}

}  // namespace vex::server
