#include "np_info_ref.h"

#include <map>
#include <utility>

namespace ornix::python {

// The entries of one mesh field as its views see them: the field itself until it is
// assigned, then the entries it held, moved here.
class MeshEntries {
 public:
  MeshEntries(std::shared_ptr<Mesh> mesh, const void* field) : mesh_(std::move(mesh)), field_(field) {}
  MeshEntries(const MeshEntries&) = delete;
  MeshEntries& operator=(const MeshEntries&) = delete;
  ~MeshEntries();

  np::Info& at(size_t index) {
    if (detached_) return (*detached_)[index];
    if (field_ == &mesh_->hrc) return *mesh_->hrc;
    return field_ == &mesh_->nps ? mesh_->nps[index] : mesh_->skip_dmas[index];
  }
  void detach(std::vector<np::Info> entries) { detached_ = std::move(entries); }

 private:
  std::shared_ptr<Mesh> mesh_;
  const void* field_;
  std::optional<std::vector<np::Info>> detached_;
};

namespace {

// The live entries of each mesh field that has views, by the field's address. A mesh cannot
// die while its entries live (they share it), so an address names one field. Used under the
// interpreter lock only; never destroyed, so that views released at exit find it.
std::map<const void*, std::weak_ptr<MeshEntries>>& live_entries() {
  static auto* entries = new std::map<const void*, std::weak_ptr<MeshEntries>>;
  return *entries;
}

std::shared_ptr<MeshEntries> entries_of(const std::shared_ptr<Mesh>& mesh, const void* field) {
  std::weak_ptr<MeshEntries>& slot = live_entries()[field];
  std::shared_ptr<MeshEntries> entries = slot.lock();
  if (!entries) {
    entries = std::make_shared<MeshEntries>(mesh, field);
    slot = entries;
  }
  return entries;
}

// The entries that views of the field hold now, if any; the next views get new ones.
std::shared_ptr<MeshEntries> take_entries(const void* field) {
  auto it = live_entries().find(field);
  if (it == live_entries().end()) return nullptr;
  std::shared_ptr<MeshEntries> entries = it->second.lock();
  live_entries().erase(it);
  return entries;
}

}  // namespace

MeshEntries::~MeshEntries() {
  auto it = live_entries().find(field_);
  if (it != live_entries().end() && it->second.expired()) live_entries().erase(it);
}

InfoRef::InfoRef(np::Info value) : own_(std::make_shared<np::Info>(std::move(value))) {}

InfoRef::InfoRef(std::shared_ptr<MeshEntries> entries, size_t index) : entries_(std::move(entries)), index_(index) {}

np::Info& InfoRef::get() const { return entries_ ? entries_->at(index_) : *own_; }

py::object hrc_view(const std::shared_ptr<Mesh>& mesh) {
  if (!mesh->hrc) return py::none();
  return py::cast(InfoRef(entries_of(mesh, &mesh->hrc), 0));
}

py::list entry_views(const std::shared_ptr<Mesh>& mesh, std::vector<np::Info> Mesh::*field) {
  std::vector<np::Info>& entries = (*mesh).*field;
  py::list views;
  if (entries.empty()) return views;
  std::shared_ptr<MeshEntries> shared = entries_of(mesh, &entries);
  for (size_t i = 0; i < entries.size(); ++i) views.append(py::cast(InfoRef(shared, i)));
  return views;
}

void set_hrc(Mesh& mesh, std::optional<np::Info> hrc) {
  std::shared_ptr<MeshEntries> views = take_entries(&mesh.hrc);
  if (views && mesh.hrc) views->detach({*mesh.hrc});
  mesh.hrc = std::move(hrc);
}

void set_entries(Mesh& mesh, std::vector<np::Info> Mesh::*field, std::vector<np::Info> entries) {
  std::vector<np::Info>& current = mesh.*field;
  // Moving the vector keeps its elements where the views found them.
  if (std::shared_ptr<MeshEntries> views = take_entries(&current)) views->detach(std::move(current));
  current = std::move(entries);
}

std::set<hw::Type> to_types(const py::iterable& types) {
  std::set<hw::Type> kinds;
  for (py::handle type : types) kinds.insert(type.cast<hw::Type>());
  return kinds;
}

}  // namespace ornix::python
