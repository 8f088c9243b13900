import gc

from ornix import core


def test_hardware_sequence_program_and_passes(residual):
    sequences = residual.model.sequences
    assert len(sequences) == 1
    sequence = sequences[0]
    assert sequence.backend == core.Hardware and isinstance(sequence.name, str)
    parts = sequence.program_parts
    assert parts.program_info + parts.program_data == sequence.program
    assert [layer.name for p in sequence.passes for layer in p.layers] == ["x", "c1", "m1", "y", "c3", "m3", "z"]
    assert all(isinstance(layer, core.Layer) for layer in sequence.passes[0].layers)


def test_program_parts_outlive_their_model(residual):
    parts = residual.model.sequences[0].program_parts
    program = residual.model.sequences[0].program
    del residual.model
    gc.collect()
    assert parts.program_info + parts.program_data == program
