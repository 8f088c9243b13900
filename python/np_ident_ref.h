#pragma once

// Python NP.Ident objects: values of their own, or views of an identifier held elsewhere that
// never refer to released storage.

#include <memory>
#include <optional>

#include <pybind11/pybind11.h>

#include "np_info_ref.h"
#include "ornix/hw/ident.h"
#include "ref_value_caster.h"

namespace ornix::python {

// The C++ side of a Python NP.Ident: its own value, or a view that keeps its holder alive. A
// view of a plain member (a mesh's DMA endpoints, a component's ident) reads and writes that
// member; a view of an NP.Info's ident follows the Info, so that it detaches with the Info when
// the mesh entry behind it is replaced (mesh.hrc, mesh.nps, mesh.skip_dmas).
class IdentRef {
 public:
  explicit IdentRef(hw::Ident value);
  explicit IdentRef(std::shared_ptr<hw::Ident> member);
  explicit IdentRef(InfoRef info);

  hw::Ident& get() const;

 private:
  std::shared_ptr<hw::Ident> member_;  // own value or member view; null for an Info view
  std::optional<InfoRef> info_;
};

}  // namespace ornix::python

namespace pybind11::detail {

// An NP.Ident argument becomes a copy of its value; an hw::Ident result a new NP.Ident. Every
// file that converts an hw::Ident includes this header.
template <>
struct type_caster<ornix::hw::Ident> : ref_value_caster<ornix::hw::Ident, ornix::python::IdentRef> {
  static constexpr auto name = const_name("ornix.core.NP.Ident");
};

}  // namespace pybind11::detail
