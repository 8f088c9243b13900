"""Generation-1 models mapped by the built-in back end onto virtual IP v1 devices: the sequences, passes
and components of the mapping, the memory figures of every component, and a program the engine's
reader takes. Learning on a simulated device is in hardware/v1_device_cases.py."""
import numpy as np
import pytest

from ornix import core
from ornix.core import NP

VERSIONS = {"Tarvik_v1": core.Tarvik_v1, "KPL2200_v1": core.KPL2200_v1, "Vamo_v2": core.Vamo_v2}

NO_POOLING = dict(pool_type=core.NoPooling, pooling_width=1, pooling_height=1, pooling_stride_x=1, pooling_stride_y=1)
MAX_POOL_2X2 = dict(pool_type=core.Max, pooling_width=2, pooling_height=2, pooling_stride_x=2, pooling_stride_y=2)
# 3x3 kernels, stride 1, Same padding, 2-bit activations.
CONV = dict(kernel_width=3, kernel_height=3, stride_x=1, stride_y=1, padding=core.Same, activation=1, act_bits=2)


def layer(layer_type, name, **params):
    return core.Layer(core.LayerParams(layer_type, params), name)


# Every layer gets every parameter its checks and its recorder read; 8 filters or 10 units of 2-bit weights.
def input_conv():
    return layer(core.InputConvolutional, "input_conv", input_width=8, input_height=8, input_channels=1,
                 padding_value=0, filters=8, weights_bits=2, **CONV, **NO_POOLING)


def conv(name):
    return layer(core.Convolutional, name, filters=8, weights_bits=2, **CONV, **NO_POOLING)


def separable_with_max_pool(name):
    return layer(core.SeparableConvolutional, name, filters=8, weights_bits=2, **CONV, **MAX_POOL_2X2)


def fully_connected():
    return layer(core.FullyConnected, "fc", units=10, weights_bits=2, activation=1, act_bits=1)


def model_of(*layers):
    """The layers in a chain, each weight -1, 0 or 1, thresholds 0 to 7 and steps of 1."""
    model = core.Model()
    rng = np.random.default_rng(7)
    for added in layers:
        model.add(added)
        variables = added.variables
        for name in variables.names:
            shape = variables[name].shape
            if name.startswith("weights"):
                variables[name] = rng.integers(-1, 2, size=shape, dtype=np.int8)
            elif name == "threshold":
                variables[name] = rng.integers(0, 8, size=shape, dtype=np.int32)
            elif name == "act_step":
                variables[name] = np.ones(shape, np.float32)
    return model


def v1_device(version, fnp=NP.FNP3, cnps=4):
    """An HRC, `cnps` CNPs in column 2 and one FNP of kind `fnp` in column 3, the DMA in column 1."""
    nps = [NP.Info(NP.Ident(2, 1, i), [NP.CNP1, NP.CNP2]) for i in range(cnps)]
    nps.append(NP.Info(NP.Ident(3, 1, 0), [fnp]))
    mesh = NP.Mesh(core.IpVersion.v1, NP.Ident(1, 1, 0), NP.Ident(1, 1, 1), NP.Info.hrc(False), nps)
    return core.Device(version, mesh)


def sequence_layout(model):
    """Per sequence, per pass, the names of its layers."""
    return [[[mapped.name for mapped in p.layers] for p in sequence.passes] for sequence in model.sequences]


def component_kinds(model):
    """Per mapped layer, the kinds of its components."""
    return {mapped.name: sorted({c.type for c in mapped.mapping.nps}, key=int) for mapped in model.layers
            if mapped.mapping is not None}


def memory_figures(model):
    """Per mapped layer, (input, weight, external) bytes of each of its components."""
    return {mapped.name: [(c.mem_info.input_size, c.mem_info.weight_size, c.mem_info.external_size)
                          for c in mapped.mapping.nps] for mapped in model.layers if mapped.mapping is not None}


def three_layers():
    return model_of(input_conv(), conv("conv"), fully_connected())


def separable_with_max_pooling():
    return model_of(input_conv(), separable_with_max_pool("separable"), conv("conv"), fully_connected())


def three_convolutions():
    return model_of(input_conv(), conv("conv_a"), conv("conv_b"), conv("conv_c"), fully_connected())


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
