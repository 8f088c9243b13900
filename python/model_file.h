#pragma once

#include <memory>
#include <string>

#include "ornix/model.h"

namespace ornix::python {

// Model files: one raw snappy block holding the engine's serialized model (Model::to_buffer),
// followed by zero bytes up to snappy's maximum compressed length for that model. No header of
// their own: the engine's serialization carries and verifies everything.

// Reads a model file. std::invalid_argument for a path holding a NUL character; std::runtime_error
// "File not found." when it cannot be opened or read (a directory among others) and "File is
// empty." for a zero length; std::invalid_argument when the block's length header is unreadable, announces more than a model buffer holds or more than the
// rest of the file could decode to, or the block yields fewer bytes than it announces (a
// truncated file). Nothing of the announced length is allocated before these checks, and no more
// of the file is read than the block can take. The engine's from_buffer refuses corrupt model
// bytes.
std::unique_ptr<Model> load_model_file(const std::string& path);

// Writes `model` to `path` through a FileReplacement: a failed save leaves an existing file as
// it was, a symbolic link keeps naming its (replaced) target, and the file keeps its permission
// bits. std::invalid_argument for a path holding a NUL character and when the file cannot be
// created, std::runtime_error when writing, flushing or renaming fails.
void save_model_file(const Model& model, const std::string& path);

}  // namespace ornix::python
