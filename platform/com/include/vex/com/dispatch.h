// Late binding: IDispatch and the dispatch tables that describe each
// automation interface (the type library of this runtime).
//
// A dispatch table lists an interface's members with their dispatch ids, kind
// (method, property get, put or put-by-reference), parameters (name, type,
// direction, optional with a default) and the C++ member that implements
// each. Members are found by name in any letter case and invoked with
// variants:
// - arguments come first parameter first; for a property put the new value
//   is the last argument;
// - an omitted optional argument is passed as Variant::Missing() (or simply
//   left off the end); the parameter's default value, when it has one, takes
//   its place, otherwise the marker itself (VARIANT parameters) or a zero
//   value (a null string, 0) is passed;
// - out and in/out parameters are written back into the caller's argument:
//   through the reference of a VT_BYREF argument (converted to its type), or
//   by replacing the argument's value;
// - a retval parameter becomes the result.
// Errors: DISP_E_UNKNOWNNAME (name lookup), DISP_E_MEMBERNOTFOUND (no such
// member or kind), DISP_E_BADPARAMCOUNT (too many arguments),
// DISP_E_PARAMNOTOPTIONAL (a required argument missing), DISP_E_TYPEMISMATCH
// or DISP_E_OVERFLOW (an argument that does not convert), with the position of
// the offending argument in *arg_error.
//
// An object has one IDispatch: an object implementing several interfaces
// answers late-bound calls from one table holding the members of all of them.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include "vex/com/safearray.h"
#include "vex/com/variant.h"

namespace vex::com {

using DISPID = std::int32_t;
inline constexpr DISPID DISPID_VALUE = 0;
inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr DISPID DISPID_NEWENUM = -4;

enum InvokeFlags : std::uint16_t {
  DISPATCH_METHOD = 1,
  DISPATCH_PROPERTYGET = 2,
  DISPATCH_PROPERTYPUT = 4,
  DISPATCH_PROPERTYPUTREF = 8,
};

enum class MemberKind : std::uint8_t { kMethod, kGet, kPut, kPutRef };

enum ParamFlags : std::uint8_t {
  kParamIn = 1,
  kParamOut = 2,
  kParamRetval = 4,
  kParamOptional = 8,
};

struct ParamInfo {
  std::string name;
  VARTYPE vt = VT_EMPTY;  // VT_EMPTY: taken from the C++ parameter type
  std::uint8_t flags = kParamIn;
  bool has_default = false;
  Variant default_value;
};

// The number of single-letter edits (any letter case) that turn a into b;
// used to suggest the nearest valid names for a misspelt one.
std::size_t EditDistance(std::string_view a, std::string_view b);

// Parameter declarations for the table builder.
ParamInfo In(std::string name, VARTYPE vt = VT_EMPTY);
ParamInfo Opt(std::string name, VARTYPE vt = VT_EMPTY);
ParamInfo OptDefault(std::string name, Variant default_value, VARTYPE vt = VT_EMPTY);
ParamInfo Out(std::string name, VARTYPE vt = VT_EMPTY);
ParamInfo InOut(std::string name, VARTYPE vt = VT_EMPTY);
ParamInfo Retval(std::string name, VARTYPE vt = VT_EMPTY);

class DispatchTable;

struct IDispatch : IUnknown {
  using Base = IUnknown;
  static constexpr IID kIid = MakeGuid("00020400-0000-0000-C000-000000000046");
  // The table describing this object's members (owned by the object's class).
  virtual HRESULT GetTypeInfo(const DispatchTable** table) = 0;
  virtual HRESULT GetIDsOfNames(std::string_view name, DISPID* id) = 0;
  virtual HRESULT Invoke(DISPID id, std::uint16_t flags, std::span<Variant> args, Variant* result,
                         std::uint32_t* arg_error) = 0;
};

struct MemberInfo {
  using Invoker = std::function<HRESULT(void* object, std::span<Variant> slots)>;
  std::string name;
  DISPID id = 0;
  MemberKind kind = MemberKind::kMethod;
  std::vector<ParamInfo> params;  // all parameters, retval included
  std::string interface_name;
  Invoker invoke;
  bool hidden = false;
  std::string doc;  // the member's help string, shown by tools
};

// An enumeration of a type library: constants with their values.
struct EnumInfo {
  std::string name;
  std::vector<std::pair<std::string, std::int32_t>> constants;
};

class DispatchTable {
 public:
  explicit DispatchTable(std::string name = {}) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }
  const std::vector<MemberInfo>& Members() const { return members_; }
  // The interface's help string ("IResourceLib Interface"), empty when none.
  const std::string& Doc() const { return doc_; }
  void SetDoc(std::string doc) { doc_ = std::move(doc); }

  // Case-insensitive; DISP_E_UNKNOWNNAME when absent.
  [[nodiscard]] HRESULT IdOfName(std::string_view name, DISPID* id) const;
  // The first member with this id (of any kind), or null.
  const MemberInfo* FindById(DISPID id) const;
  const MemberInfo* Find(DISPID id, MemberKind kind) const;
  // Member names sorted by closeness to `name` (edit distance), for messages
  // about a misspelt member.
  std::vector<std::string> NearestNames(std::string_view name, std::size_t count) const;

  // Runs the member on `object` (the concrete object the table was built for).
  [[nodiscard]] HRESULT Invoke(void* object, DISPID id, std::uint16_t flags,
                               std::span<Variant> args, Variant* result,
                               std::uint32_t* arg_error) const;

  void Add(MemberInfo member) { members_.push_back(std::move(member)); }
  MemberInfo* LastMember() { return members_.empty() ? nullptr : &members_.back(); }

 private:
  std::string name_;
  std::string doc_;
  std::vector<MemberInfo> members_;
};

namespace detail {

// How a C++ parameter type travels in a variant.
template <class T>
constexpr VARTYPE DefaultVt() {
  using U = std::remove_cvref_t<T>;
  if constexpr (std::is_same_v<U, std::int16_t>)
    return VT_I2;
  else if constexpr (std::is_same_v<U, std::int32_t>)
    return VT_I4;
  else if constexpr (std::is_same_v<U, std::uint32_t>)
    return VT_UI4;
  else if constexpr (std::is_same_v<U, std::uint8_t>)
    return VT_UI1;
  else if constexpr (std::is_same_v<U, float>)
    return VT_R4;
  else if constexpr (std::is_same_v<U, double>)
    return VT_R8;
  else if constexpr (std::is_same_v<U, Bstr>)
    return VT_BSTR;
  else if constexpr (std::is_same_v<U, Variant>)
    return VT_VARIANT;
  else if constexpr (std::is_same_v<U, SafeArray>)
    return VT_ARRAY | VT_VARIANT;
  else if constexpr (std::is_enum_v<U>)
    return VT_I4;
  else if constexpr (std::is_same_v<U, IDispatch*>)
    return VT_DISPATCH;
  else if constexpr (std::is_pointer_v<U>)
    return VT_UNKNOWN;  // interface pointers
  else
    return VT_EMPTY;
}

// The value of a slot (already converted to the declared type) as a C++ value.
template <class U>
U FromSlot(const Variant& slot) {
  if constexpr (std::is_same_v<U, std::int16_t>) {
    return slot.vt() == VT_BOOL ? slot.BoolVal() : slot.I2();
  } else if constexpr (std::is_same_v<U, std::int32_t>) {
    return slot.I4();
  } else if constexpr (std::is_same_v<U, double>) {
    return slot.R8();
  } else if constexpr (std::is_same_v<U, Bstr>) {
    return slot.BstrVal();
  } else if constexpr (std::is_same_v<U, Variant>) {
    return slot;
  } else if constexpr (std::is_same_v<U, SafeArray>) {
    return slot.Array() ? *slot.Array() : SafeArray();
  } else if constexpr (std::is_enum_v<U>) {
    return static_cast<U>(slot.I4());
  } else if constexpr (std::is_same_v<U, std::uint32_t>) {
    return slot.UI4();
  } else if constexpr (std::is_same_v<U, std::uint8_t>) {
    return slot.UI1();
  } else if constexpr (std::is_same_v<U, float>) {
    return slot.R4();
  } else {
    static_assert(sizeof(U) == 0, "unsupported parameter type");
  }
}

// A C++ value put into a result or out slot with the declared type.
// The value is taken over (arrays are moved, not copied).
Variant ToSlot(Variant value, VARTYPE vt);

template <class U>
Variant ValueToVariant(U&& value) {
  using V = std::remove_cvref_t<U>;
  if constexpr (std::is_enum_v<V>) {
    return Variant(static_cast<std::int32_t>(value));
  } else if constexpr (std::is_same_v<V, SafeArray>) {
    return Variant(std::move(value));
  } else if constexpr (std::is_pointer_v<V>) {
    return Variant(static_cast<IUnknown*>(value));
  } else if constexpr (std::is_same_v<V, std::uint32_t>) {
    return Variant::UI4Value(value);
  } else {
    return Variant(std::forward<U>(value));
  }
}

// Holds the local value for one parameter during a call.
template <class P>
struct Slot {
  using Raw = std::remove_cvref_t<P>;
  static constexpr bool kIsInterfaceIn =
      std::is_pointer_v<Raw> && std::is_base_of_v<IUnknown, std::remove_pointer_t<Raw>>;
  static constexpr bool kIsOut = std::is_pointer_v<Raw> && !kIsInterfaceIn;
  using Pointee = std::conditional_t<kIsOut, std::remove_pointer_t<Raw>, Raw>;
  static constexpr bool kIsInterfaceOut =
      kIsOut && std::is_pointer_v<Pointee> &&
      std::is_base_of_v<IUnknown, std::remove_pointer_t<Pointee>>;

  static constexpr VARTYPE DeducedVt() {
    if constexpr (kIsInterfaceOut) {
      return std::is_same_v<Pointee, IDispatch*> ? VT_DISPATCH : VT_UNKNOWN;
    } else if constexpr (kIsInterfaceIn) {
      return std::is_same_v<Raw, IDispatch*> ? VT_DISPATCH : VT_UNKNOWN;
    } else {
      return DefaultVt<Pointee>();
    }
  }
};

template <class P>
struct SlotValue {
  using S = Slot<P>;
  std::conditional_t<S::kIsInterfaceIn, ComPtr<std::remove_pointer_t<typename S::Raw>>,
                     typename S::Pointee>
      value{};

  void Load(const Variant& slot) {
    if constexpr (S::kIsInterfaceIn) {
      using I = std::remove_pointer_t<typename S::Raw>;
      IUnknown* unknown = slot.Unknown();
      value = nullptr;
      if (unknown) {
        if constexpr (std::is_same_v<I, IUnknown>) {
          value = unknown;
        } else {
          (void)ComPtr<IUnknown>(unknown).As(&value);
        }
      }
    } else if constexpr (S::kIsInterfaceOut) {
      value = nullptr;
    } else {
      value = FromSlot<typename S::Pointee>(slot);
    }
  }
  decltype(auto) Arg() {
    if constexpr (S::kIsInterfaceIn) {
      return value.Get();
    } else if constexpr (S::kIsOut) {
      return &value;
    } else {
      return static_cast<P>(value);
    }
  }
  void Store(Variant& slot, VARTYPE vt) {
    if constexpr (S::kIsInterfaceOut) {
      // The callee handed over a reference: the variant takes its own, then
      // the callee's is released.
      slot =
          value ? Variant(static_cast<IUnknown*>(value)) : Variant(static_cast<IUnknown*>(nullptr));
      if (value) {
        if (vt == VT_DISPATCH) {
          ComPtr<IDispatch> dispatch;
          (void)ComPtr<IUnknown>(static_cast<IUnknown*>(value)).As(&dispatch);
          slot = Variant(dispatch.Get());
        }
        value->Release();
        value = nullptr;
      }
    } else if constexpr (S::kIsOut) {
      slot = ToSlot(ValueToVariant(std::move(value)), vt);
    }
  }
};

}  // namespace detail

// Builds the dispatch table of a concrete class C from its members.
template <class C>
class DispatchTableBuilder {
 public:
  explicit DispatchTableBuilder(std::string table_name, std::string interface_name = {})
      : table_(std::move(table_name)), interface_(std::move(interface_name)) {}

  // Members added next belong to this interface (for messages and tools).
  DispatchTableBuilder& Interface(std::string name) {
    interface_ = std::move(name);
    return *this;
  }

  template <class I, class... Args>
  DispatchTableBuilder& Method(std::string name, DISPID id, HRESULT (I::*fn)(Args...),
                               std::vector<ParamInfo> params = {}) {
    return Add(std::move(name), id, MemberKind::kMethod, fn, std::move(params));
  }
  // A property get: without declarations, the last parameter is the retval.
  template <class I, class... Args>
  DispatchTableBuilder& Get(std::string name, DISPID id, HRESULT (I::*fn)(Args...),
                            std::vector<ParamInfo> params = {}) {
    if (params.empty() && sizeof...(Args) > 0) {
      for (std::size_t i = 0; i + 1 < sizeof...(Args); ++i) params.push_back(In("Arg"));
      params.push_back(Retval("Value"));
    }
    return Add(std::move(name), id, MemberKind::kGet, fn, std::move(params));
  }
  // A property put: without declarations, every parameter is in.
  template <class I, class... Args>
  DispatchTableBuilder& Put(std::string name, DISPID id, HRESULT (I::*fn)(Args...),
                            std::vector<ParamInfo> params = {}) {
    return Add(std::move(name), id, MemberKind::kPut, fn, std::move(params));
  }
  template <class I, class... Args>
  DispatchTableBuilder& PutRef(std::string name, DISPID id, HRESULT (I::*fn)(Args...),
                               std::vector<ParamInfo> params = {}) {
    return Add(std::move(name), id, MemberKind::kPutRef, fn, std::move(params));
  }
  // Marks the member added last as hidden (for hosts' own use, not users').
  DispatchTableBuilder& Hidden() {
    if (MemberInfo* last = table_.LastMember()) last->hidden = true;
    return *this;
  }

  // Sets the help string of the member added last.
  DispatchTableBuilder& Doc(std::string doc) {
    if (MemberInfo* last = table_.LastMember()) last->doc = std::move(doc);
    return *this;
  }
  // Sets the help string of the table as a whole.
  DispatchTableBuilder& TableDoc(std::string doc) {
    table_.SetDoc(std::move(doc));
    return *this;
  }

  DispatchTable Build() { return std::move(table_); }

 private:
  template <class I, class... Args>
  DispatchTableBuilder& Add(std::string name, DISPID id, MemberKind kind, HRESULT (I::*fn)(Args...),
                            std::vector<ParamInfo> params) {
    static_assert(std::is_base_of_v<I, C> || std::is_same_v<I, C>, "member of another class");
    if (params.empty()) {
      for (std::size_t i = 0; i < sizeof...(Args); ++i) params.push_back(In("Arg"));
    }
    if (params.size() != sizeof...(Args)) throw std::logic_error("parameter list of " + name);
    FillTypes<Args...>(params, std::index_sequence_for<Args...>{});
    MemberInfo member;
    member.name = std::move(name);
    member.id = id;
    member.kind = kind;
    member.params = std::move(params);
    member.interface_name = interface_;
    std::vector<VARTYPE> types;
    for (const auto& p : member.params) types.push_back(p.vt);
    member.invoke = [fn, types](void* object, std::span<Variant> slots) -> HRESULT {
      I* self = static_cast<I*>(static_cast<C*>(object));
      return Call<I, Args...>(self, fn, slots, types, std::index_sequence_for<Args...>{});
    };
    table_.Add(std::move(member));
    return *this;
  }

  template <class... Args, std::size_t... N>
  static void FillTypes(std::vector<ParamInfo>& params, std::index_sequence<N...>) {
    ((params[N].vt = params[N].vt != VT_EMPTY ? params[N].vt : detail::Slot<Args>::DeducedVt()),
     ...);
  }

  template <class I, class... Args, std::size_t... N>
  static HRESULT Call(I* self, HRESULT (I::*fn)(Args...), std::span<Variant> slots,
                      const std::vector<VARTYPE>& types, std::index_sequence<N...>) {
    std::tuple<detail::SlotValue<Args>...> locals;
    (void)slots;
    (void)types;
    (std::get<N>(locals).Load(slots[N]), ...);
    HRESULT hr = (self->*fn)(std::get<N>(locals).Arg()...);
    (std::get<N>(locals).Store(slots[N], types[N]), ...);
    return hr;
  }

  DispatchTable table_;
  std::string interface_;
};

// Implements IDispatch's three members for a class whose table is given by
// the expression `table_expr` (a const DispatchTable&, usually a function-local
// static built once).
#define VEX_COM_IMPLEMENT_DISPATCH(Class, table_expr)                                          \
  ::vex::com::HRESULT GetTypeInfo(const ::vex::com::DispatchTable** table) override {          \
    if (!table) return ::vex::com::E_POINTER;                                                  \
    *table = &(table_expr);                                                                    \
    return ::vex::com::S_OK;                                                                   \
  }                                                                                            \
  ::vex::com::HRESULT GetIDsOfNames(std::string_view name, ::vex::com::DISPID* id) override {  \
    return (table_expr).IdOfName(name, id);                                                    \
  }                                                                                            \
  ::vex::com::HRESULT Invoke(::vex::com::DISPID id, std::uint16_t flags,                       \
                             std::span<::vex::com::Variant> args, ::vex::com::Variant* result, \
                             std::uint32_t* arg_error) override {                              \
    return (table_expr).Invoke(static_cast<Class*>(this), id, flags, args, result, arg_error); \
  }

// Late-bound helpers for clients: look a member up by name and invoke it.
[[nodiscard]] HRESULT InvokeByName(IDispatch* object, std::string_view name, std::uint16_t flags,
                                   std::span<Variant> args, Variant* result);
[[nodiscard]] HRESULT GetProperty(IDispatch* object, std::string_view name, Variant* result);
[[nodiscard]] HRESULT PutProperty(IDispatch* object, std::string_view name, const Variant& value);
[[nodiscard]] HRESULT CallMethod(IDispatch* object, std::string_view name,
                                 std::initializer_list<Variant> args, Variant* result);

}  // namespace vex::com
