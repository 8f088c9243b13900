#include "python_text.h"

#include <exception>
#include <new>
#include <stdexcept>

namespace ornix::python {

namespace {

// The Python exception type the binding library gives `error` by default.
py::handle default_python_type(const std::exception& error) {
  if (const auto* builtin = dynamic_cast<const py::builtin_exception*>(&error)) {
    builtin->set_error();
    py::error_already_set raised;  // fetches the error just set, leaving none pending
    return raised.type();
  }
  if (dynamic_cast<const std::bad_alloc*>(&error)) return PyExc_MemoryError;
  if (dynamic_cast<const std::out_of_range*>(&error)) return PyExc_IndexError;
  if (dynamic_cast<const std::overflow_error*>(&error)) return PyExc_OverflowError;
  if (dynamic_cast<const std::invalid_argument*>(&error) || dynamic_cast<const std::domain_error*>(&error) ||
      dynamic_cast<const std::length_error*>(&error) || dynamic_cast<const std::range_error*>(&error)) {
    return PyExc_ValueError;
  }
  return PyExc_RuntimeError;
}

}  // namespace

bool decodes_as_text(std::string_view text) {
  PyObject* decoded = PyUnicode_DecodeUTF8(text.data(), py::ssize_t(text.size()), "strict");
  if (decoded == nullptr) {
    PyErr_Clear();
    return false;
  }
  Py_DECREF(decoded);
  return true;
}

py::str escaped_text(std::string_view text) {
  return py::reinterpret_steal<py::str>(PyUnicode_DecodeUTF8(text.data(), py::ssize_t(text.size()), "backslashreplace"));
}

void check_name_is_text(std::string_view name, std::string (*message)(const std::string& quoted)) {
  if (decodes_as_text(name)) return;
  throw std::invalid_argument(message(py::repr(py::bytes(name.data(), name.size()))));
}

void register_exception_text() {
  py::register_local_exception_translator([](std::exception_ptr raised) {
    try {
      std::rethrow_exception(raised);
    } catch (const py::error_already_set&) {
      throw;
    } catch (const std::exception& error) {
      if (decodes_as_text(error.what())) throw;  // the binding library's own translation serves
      const py::handle type = default_python_type(error);
      PyErr_SetObject(type.ptr(), escaped_text(error.what()).ptr());
    }
  });
}

}  // namespace ornix::python
