#pragma once

#include <pybind11/pybind11.h>

namespace pybind11::detail {

// The conversion of a value type whose Python class is bound over a reference class `Ref` (an
// object with its own value or a view, reached through Ref::get()): an argument becomes a copy
// of the value the Python object shows, a result a new Python object with a copy of its own. A
// specialization derives from it and names the Python class.
template <typename Value, typename Ref>
struct ref_value_caster {
  PYBIND11_TYPE_CASTER(Value, const_name("object"));

  bool load(handle src, bool convert) {
    if (src.is_none()) return false;
    make_caster<Ref> ref;
    if (!ref.load(src, convert)) return false;
    value = cast_op<const Ref&>(ref).get();
    return true;
  }

  static handle cast(const Value& src, return_value_policy, handle) { return pybind11::cast(Ref(src)).release(); }
};

}  // namespace pybind11::detail
