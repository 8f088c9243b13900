import struct

import pytest

from ornix import core

FIGURES = ["input_memory", "input_descriptor_memory", "output_memory", "program_memory", "extra_program_memory",
           "program_descriptors_memory"]


def test_figures_of_a_mapped_program(residual):
    program = residual.model.program(0)
    required = core.get_program_memory_infos(program)
    again = core.get_program_memory_infos(program)
    values = [getattr(required, name) for name in FIGURES]
    assert values == [getattr(again, name) for name in FIGURES]
    assert required.input_memory == 8 * 8 * 8  # one byte per input element
    assert repr(required) == "<ornix.ProgramMemoryRequired(" + ", ".join(
        f"{name}={value}B" for name, value in zip(FIGURES, values)) + ")>"
    with pytest.raises(AttributeError):
        required.input_memory = 1


@pytest.mark.parametrize("program, error", [(bytearray(16), TypeError), (b"\x04\x00\x00\x00", RuntimeError),
                                            (b"", RuntimeError)])
def test_refused_programs(program, error):
    with pytest.raises(error):
        core.get_program_memory_infos(program)


def test_a_program_whose_output_the_device_cannot_hold(residual):
    # The (8, 8, 8) shape vectors (input and output alike) edited to 65535 x 65535 x 1.
    program = residual.model.program(0)
    edited = program.replace(struct.pack("<4I", 3, 8, 8, 8), struct.pack("<4I", 3, 65535, 65535, 1))
    assert edited != program
    with pytest.raises(RuntimeError, match=r"^The device program describes an output of 4294836228 bytes; the device "
                                           r"holds at most 268435456 bytes for one output\.$"):
        core.get_program_memory_infos(edited)


def test_docstrings_and_no_constructor():
    docs = {name: getattr(core.ProgramMemoryRequired, name).__doc__ for name in FIGURES}
    assert not docs["extra_program_memory"]
    assert docs["program_memory"] == "memory required (in bytes) for program"
    assert all(docs[name].startswith("memory required (in bytes) for ") for name in FIGURES if name != FIGURES[4])
    with pytest.raises(TypeError):
        core.ProgramMemoryRequired()
