#pragma once

// Python NP.Info objects: values of their own, or views of a mesh's HRC, NP and skip-DMA
// entries that never refer to released storage.

#include <cstddef>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include <pybind11/pybind11.h>

#include "hardware/mesh.h"
#include "hardware/np_info.h"
#include "ref_value_caster.h"

namespace ornix::python {

namespace py = pybind11;

class MeshEntries;

// The C++ side of a Python NP.Info: its own value, or a view of one entry of a mesh field.
// A view reads and writes the mesh while the field holds the entry; once the field is
// assigned, it keeps the old entry as a private copy. Either way it keeps the mesh alive.
class InfoRef {
 public:
  explicit InfoRef(np::Info value);
  InfoRef(std::shared_ptr<MeshEntries> entries, size_t index);

  np::Info& get() const;

 private:
  std::shared_ptr<np::Info> own_;
  std::shared_ptr<MeshEntries> entries_;
  size_t index_ = 0;
};

// The Python views of mesh.hrc (None when absent) and of each entry of mesh.nps or
// mesh.skip_dmas, in a new list.
py::object hrc_view(const std::shared_ptr<Mesh>& mesh);
py::list entry_views(const std::shared_ptr<Mesh>& mesh, std::vector<np::Info> Mesh::*field);

// Assign mesh.hrc, or mesh.nps or mesh.skip_dmas; views of the replaced entries keep them.
void set_hrc(Mesh& mesh, std::optional<np::Info> hrc);
void set_entries(Mesh& mesh, std::vector<np::Info> Mesh::*field, std::vector<np::Info> entries);

// The kinds of an iterable of NP.Type; an element of another type raises py::cast_error.
std::set<hw::Type> to_types(const py::iterable& types);

}  // namespace ornix::python

namespace pybind11::detail {

// An NP.Info argument becomes a copy of its value; an np::Info result a new NP.Info.
template <>
struct type_caster<ornix::np::Info> : ref_value_caster<ornix::np::Info, ornix::python::InfoRef> {
  static constexpr auto name = const_name("ornix.core.NP.Info");
};

}  // namespace pybind11::detail
