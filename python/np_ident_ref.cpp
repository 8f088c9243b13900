#include "np_ident_ref.h"

#include <utility>

namespace ornix::python {

IdentRef::IdentRef(hw::Ident value) : member_(std::make_shared<hw::Ident>(value)) {}

IdentRef::IdentRef(std::shared_ptr<hw::Ident> member) : member_(std::move(member)) {}

IdentRef::IdentRef(InfoRef info) : info_(std::move(info)) {}

hw::Ident& IdentRef::get() const { return info_ ? info_->get().ident : *member_; }

}  // namespace ornix::python
