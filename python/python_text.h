#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <string_view>

// Texts that go from C++ to Python as str: names the caller gave (possibly as bytes) and the
// messages that quote them. Every function here needs the interpreter lock.

namespace ornix::python {

namespace py = pybind11;

// Whether `text` decodes as Python decodes UTF-8 (strictly: no surrogates, no overlong forms).
bool decodes_as_text(std::string_view text);

// `text` as a Python str; bytes that are not UTF-8 become \xNN escapes.
py::str escaped_text(std::string_view text);

// Exceptions thrown by the bindings reach Python with their text, even a text that quotes bytes
// that are not UTF-8 (Python would otherwise raise the exception with an empty message).
void register_exception_text();  // for the functions of this module

// Refuses, with `message(the bytes' Python repr)`, a name that does not decode as text.
void check_name_is_text(std::string_view name, std::string (*message)(const std::string& quoted));

}  // namespace ornix::python
