"""Generation-1 models mapped by the built-in back end onto virtual IP v1 devices: the sequences, passes
and components of the mapping, the memory figures of every component, and a program the engine's
reader takes. Runs and learning on simulated devices are in hardware/v1_device_cases.py."""
import pytest

from ornix import core
from ornix.core import NP
from v1_models import (component_kinds, memory_figures, sequence_layout, separable_with_max_pooling, three_convolutions,
                       three_layers, v1_device)

VERSIONS = {"Tarvik_v1": core.Tarvik_v1, "KPL2200_v1": core.KPL2200_v1, "Vamo_v2": core.Vamo_v2}

ONE_PASS = [[["input_conv", "conv", "fc"]]]
# Two CNPs: conv_c finds both taken, and may not take conv_b's, which holds its input. Devices of
# product 0xA1 map the whole model as one sequence and start a pass there; product 0x00 starts a
# sequence there.
PASSES = [[["input_conv", "conv_a", "conv_b"], ["conv_c", "fc"]]]
SEQUENCES = [[["input_conv", "conv_a", "conv_b"]], [["conv_c", "fc"]]]
ON_TWO_CNPS = {"input_conv": [NP.HRC], "conv_a": [NP.CNP1], "conv_b": [NP.CNP1], "conv_c": [NP.CNP1],
               "fc": [NP.FNP3]}

CASES = [
    *[(f"three layers, {name}, {fnp.name}", three_layers, version, fnp, 4, ONE_PASS,
       {"input_conv": [NP.HRC], "conv": [NP.CNP1], "fc": [fnp]})
      for name, version in VERSIONS.items() for fnp in (NP.FNP3, NP.FNP2)],
    *[(f"separable with max pooling, {name}", separable_with_max_pooling, version, NP.FNP3, 4,
       [[["input_conv", "separable", "conv", "fc"]]],
       {"input_conv": [NP.HRC], "separable": [NP.CNP1], "conv": [NP.CNP1], "fc": [NP.FNP3]})
      for name, version in VERSIONS.items()],
    *[(f"several passes, {name}", three_convolutions, version, NP.FNP3, 2, PASSES, ON_TWO_CNPS)
      for name, version in VERSIONS.items() if version.product_id == 0xA1],
    ("several sequences, Vamo_v2", three_convolutions, core.Vamo_v2, NP.FNP3, 2, SEQUENCES, ON_TWO_CNPS),
]


@pytest.mark.parametrize("make, version, fnp, cnps, layout, kinds",
                         [case[1:] for case in CASES], ids=[case[0] for case in CASES])
def test_models_map_onto_every_v1_version(make, version, fnp, cnps, layout, kinds):
    model = make()
    model._map(v1_device(version, fnp, cnps), True)
    assert sequence_layout(model) == layout
    assert component_kinds(model) == kinds
    assert all(sequence.backend == core.Hardware for sequence in model.sequences)
    # Every component sized what it holds: the HRC and the FNP3 their weights, a CNP its input and
    # weights, an FNP its input, an FNP2 its weights in external memory only.
    for mapped in model.layers:
        for component in mapped.mapping.nps:
            memory = component.mem_info
            figures = (memory.input_size > 0, memory.weight_size > 0, memory.external_size > 0)
            assert figures == {NP.HRC: (False, True, False), NP.CNP1: (True, True, False),
                               NP.FNP3: (True, True, False), NP.FNP2: (True, False, True)}[component.type], mapped.name
    for sequence in model.sequences:
        required = core.get_program_memory_infos(sequence.program)
        assert required.program_memory > 0 and required.output_memory > 0
    # The HRC takes the model's input, one byte per element.
    assert core.get_program_memory_infos(model.sequences[0].program).input_memory == 8 * 8


@pytest.mark.parametrize("fnp, fc_figures", [(NP.FNP3, (64, 1440, 0)), (NP.FNP2, (64, 0, 1440))])
def test_memory_figures_of_a_small_model(fnp, fc_figures):
    # input_conv (8x8x1, 8 filters of 3x3): one group of three words per filter in the first SRAM
    # (24 words) and a threshold and a step per filter (16 words): 40 words, 160 bytes of weights.
    # conv (8 channels of 8x8 at 2 bits, 8 filters of 3x3, 2-bit weights), alone on its CNP:
    #   weights: 5 kernels per 50-bit slot, ceil(2 x 8 / 5) = 4 slots per channel, rounded to 16
    #   words, x 8 channels = 128 words = 64 slots of 50 bits: (64 x 50 + 7) / 8 = 400 bytes;
    #   input: a row of a channel takes (2 x 8 + 7) / 8 = 2 bytes, 8 channels take 4 words, over the
    #   8 rows of the NP's window (the whole input, no rows of a neighbour NP): 32 words, 128 bytes.
    # fc (8 x 8 x 8 = 512 inputs, 10 units, 2-bit weights): input (512 + 31) / 32 = 16 words, 64
    #   bytes; memory (512 / 32 x 2 planes + 4) x 10 = 360 words, 1440 bytes, held by an FNP3 or
    #   in external memory by an FNP2.
    model = three_layers()
    model._map(v1_device(core.KPL2200_v1, fnp, cnps=1), True)
    assert memory_figures(model) == {"input_conv": [(0, 160, 0)], "conv": [(128, 400, 0)], "fc": [fc_figures]}
    assert model.external_memory_size == fc_figures[2]


def test_vamo_v1_is_refused_by_the_checker():
    model = three_layers()
    with pytest.raises(RuntimeError, match="^Cannot map layer 'input_conv'. Vamo_v1 is not supported on this "
                                           r"version. Please install ornix 2.0.5 instead.$"):
        model._map(v1_device(core.Vamo_v1), True)
    assert model.sequences == []
