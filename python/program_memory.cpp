#include <cstdint>
#include <string>

#include "ornix/program_info.h"
#include "registration.h"

namespace ornix::python {

namespace {

// The bytes a serialized program needs on the device, one figure per part.
struct ProgramMemoryRequired {
  uint64_t input_memory = 0;
  uint64_t input_descriptor_memory = 0;
  uint64_t output_memory = 0;
  uint64_t program_memory = 0;
  uint64_t extra_program_memory = 0;
  uint64_t program_descriptors_memory = 0;
};

// Reads the program in place (no copy); the engine's refusal of unreadable bytes propagates.
ProgramMemoryRequired program_memory_infos(const py::bytes& program) {
  const std::string_view view(program);
  const ProgramInfo info(reinterpret_cast<const uint8_t*>(view.data()), view.size());
  ProgramMemoryRequired required;
  required.input_memory = input_memory_required(info);
  required.input_descriptor_memory = input_descriptor_memory_required(info);
  required.output_memory = output_memory_required(info);
  required.program_memory = program_data_memory_required(info);
  required.extra_program_memory = extra_program_memory_required(info);
  required.program_descriptors_memory = program_descriptors_memory_required(info);
  return required;
}

std::string program_memory_required_repr(const ProgramMemoryRequired& r) {
  auto bytes = [](uint64_t count) { return std::to_string(count) + "B"; };
  return "<ornix.ProgramMemoryRequired(input_memory=" + bytes(r.input_memory) +
         ", input_descriptor_memory=" + bytes(r.input_descriptor_memory) + ", output_memory=" + bytes(r.output_memory) +
         ", program_memory=" + bytes(r.program_memory) + ", extra_program_memory=" + bytes(r.extra_program_memory) +
         ", program_descriptors_memory=" + bytes(r.program_descriptors_memory) + ")>";
}

}  // namespace

void register_program_memory(py::module_& m) {
  py::class_<ProgramMemoryRequired>(m, "ProgramMemoryRequired")
      .def_readonly("input_memory", &ProgramMemoryRequired::input_memory, "memory required (in bytes) for one input")
      .def_readonly("input_descriptor_memory", &ProgramMemoryRequired::input_descriptor_memory,
                    "memory required (in bytes) for one input descriptor")
      .def_readonly("output_memory", &ProgramMemoryRequired::output_memory, "memory required (in bytes) for one output")
      .def_readonly("program_memory", &ProgramMemoryRequired::program_memory, "memory required (in bytes) for program")
      .def_readonly("extra_program_memory", &ProgramMemoryRequired::extra_program_memory)
      .def_readonly("program_descriptors_memory", &ProgramMemoryRequired::program_descriptors_memory,
                    "memory required (in bytes) for program descriptors")
      .def("__repr__", &program_memory_required_repr);
  m.def("get_program_memory_infos", &program_memory_infos, "Get the memory requirements for the given program");
}

}  // namespace ornix::python
