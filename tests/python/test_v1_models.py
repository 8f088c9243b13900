"""Generation-1 models mapped by the built-in back end onto virtual IP v1 devices: the sequences, passes
and components of the mapping, the memory figures of every component, and a program the engine's
reader takes. Runs and learning on simulated devices are in hardware/v1_device_cases.py."""
import numpy as np
import pytest

from ornix import core
from ornix.core import NP
from v1_models import (CONV, NO_POOLING, component_kinds, input_conv, layer, memory_figures, model_of, sequence_layout,
                       separable_with_max_pooling, three_convolutions, three_layers, v1_device)

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


def with_variable(make, layer_name, variable, index, value):
    """The model of `make` with one value of one variable of one layer changed."""
    def changed():
        model = make()
        values = model.get_layer(layer_name).variables[variable]
        values.flat[index] = value
        model.get_layer(layer_name).variables[variable] = values
        return model
    return changed


def conv_without_act_bits():
    params = {key: value for key, value in CONV.items() if key != "act_bits"}
    return model_of(input_conv(), layer(core.Convolutional, "conv", filters=8, weights_bits=2, **params, **NO_POOLING))


def fc_without_activation(act_bits):
    return lambda: model_of(input_conv(), layer(core.FullyConnected, "fc", units=4, weights_bits=2, activation=0,
                                                 act_bits=act_bits))


def four_bit_separable():
    return model_of(input_conv(), layer(core.SeparableConvolutional, "separable", filters=8, weights_bits=4, **CONV,
                                        **NO_POOLING))


def input_conv_padded_with(value):
    return lambda: model_of(layer(core.InputConvolutional, "input_conv", input_width=8, input_height=8,
                                  input_channels=1, padding_value=value, filters=8, weights_bits=2, **CONV,
                                  **NO_POOLING))


def conv_of_8_bit_input():
    return model_of(layer(core.InputData, "input", input_width=8, input_height=8, input_channels=4, input_bits=8),
                    layer(core.Convolutional, "conv", filters=8, weights_bits=2, **CONV, **NO_POOLING))


def learning_fc(weights_bits, **learning):
    """8 flat 1-bit inputs into 2 neurons connected to all of them, learning 2 classes."""
    def make():
        model = model_of(layer(core.InputData, "input", input_width=1, input_height=1, input_channels=8,
                               input_bits=1),
                         layer(core.FullyConnected, "fc", units=2, weights_bits=weights_bits, activation=1,
                               act_bits=1))
        model.get_layer("fc").variables["weights"] = np.ones((8, 2), np.int8)
        model.compile(core.OrnixUnsupervised(num_weights=8, num_classes=2, **learning))
        return model
    return make


# Layers whose values the recorders cannot write as given: the checks refuse them by name, so
# hw_only=True stops before any program is recorded and hw_only=False runs them in software.
REFUSED = [
    ("conv of an 8-bit input", conv_of_8_bit_input, "conv", "Input bitwidth should be 1, 2 or 4."),
    ("activated conv without act_bits (stored 8)", conv_without_act_bits, "conv", "act_bits should be 1, 2 or 4."),
    ("fc without activation, act_bits 8", fc_without_activation(8), "fc",
     "Without activation, act_bits should be between 0 and 7 (got 8)."),
    ("4-bit separable weight 8", with_variable(four_bit_separable, "separable", "weights_pw", 5, 8), "separable",
     "Weights contain values out of range (-8, 7) (e.g.: 8)."),
    ("fc threshold beyond 20 bits", with_variable(three_layers, "fc", "threshold", 3, -(1 << 19) - 1), "fc",
     "Thresholds contain values out of range (-524288, 524287) (e.g.: -524289)."),
    ("input convolution padded with 256", input_conv_padded_with(256), "input_conv",
     "The parameter padding_value should be between 0 and 255 (got 256)."),
    ("learning fc with 2-bit weights", learning_fc(2), "fc", "A learning layer must have 1-bit weights."),
    ("learning fc, min_plasticity x num_weights beyond 16 bits", learning_fc(1, min_plasticity=8192), "fc",
     "The learning parameters num_weights and min_plasticity give 65536, which does not fit the 16-bit register "
     "field."),
]


@pytest.mark.parametrize("make, name, message", [case[1:] for case in REFUSED], ids=[case[0] for case in REFUSED])
def test_values_the_recorders_cannot_write_are_refused_by_the_checks(make, name, message):
    model = make()
    with pytest.raises(RuntimeError) as refused:
        model._map(v1_device(core.Vamo_v2), True)
    assert str(refused.value) == f"Cannot map layer '{name}'. {message}"
    model = make()
    model._map(v1_device(core.Vamo_v2), False)
    assert model.get_layer(name).mapping is None


def one_to_one_classifier(**params):
    """4 flat 4-bit inputs into 4 neurons of 2-bit weights, neuron n reading input n only; its steps
    and thresholds are left as a fresh layer holds them."""
    model = core.Model()
    model.add(layer(core.InputData, "input", input_width=1, input_height=1, input_channels=4, input_bits=4))
    fc = layer(core.FullyConnected, "fc", units=4, weights_bits=2, **params)
    model.add(fc)
    fc.variables["weights"] = np.eye(4, dtype=np.int8)
    return model


SAMPLES = np.array([[3, 0, 1, 0], [0, 5, 0, 2], [1, 2, 9, 0], [0, 0, 4, 15]], np.uint8).reshape(4, 1, 1, 4)


def test_fresh_steps_pass_the_potentials_on():
    model = one_to_one_classifier(activation=0, act_bits=0)
    np.testing.assert_array_equal(model.predict(SAMPLES), SAMPLES.astype(np.float32))
    assert model.evaluate(SAMPLES, np.array([0, 1, 2, 3], np.int32)) == 1.0
    # With an activation, each potential counts in steps of one instead of saturating.
    model = one_to_one_classifier(activation=1, act_bits=4)
    np.testing.assert_array_equal(model.forward(SAMPLES), SAMPLES)


def test_a_stale_mapping_hands_out_no_program():
    stale = "^The model's layers changed since it was mapped: map it again.$"
    model = three_layers()
    device = v1_device(core.KPL2200_v1)
    model._map(device, True)
    programs = [sequence.program for sequence in model.sequences]
    fc = model.get_layer("fc")
    fc.variables["threshold"] = fc.variables["threshold"] + 1
    with pytest.raises(RuntimeError, match=stale):
        model.sequences
    model._map(device, True)
    assert [sequence.program for sequence in model.sequences] != programs
    model.add(layer(core.FullyConnected, "fc2", units=2, weights_bits=2, activation=1, act_bits=1))
    with pytest.raises(RuntimeError, match=stale):
        model.sequences


# Outputs one frame of which takes more than the 256 MiB a device holds for it: the map refuses the layer
# that would end the sequence.
HUGE_OUTPUTS = [
    ("input convolution 253431024 wide, int32 values", lambda: model_of(
        layer(core.InputConvolutional, "input_conv", input_width=253431024, input_height=16, input_channels=1,
              padding_value=0, filters=1, weights_bits=2, **CONV, **NO_POOLING)), "input_conv", 253431024 * 16 * 4),
]


@pytest.mark.parametrize("make, name, frame_bytes", [case[1:] for case in HUGE_OUTPUTS],
                         ids=[case[0] for case in HUGE_OUTPUTS])
def test_an_output_no_device_holds_is_refused_when_mapped(make, name, frame_bytes):
    model = make()
    with pytest.raises(RuntimeError) as refused:
        model._map(v1_device(core.KPL2200_v1), True)
    assert str(refused.value) == (f"Cannot map layer '{name}'. Its output takes {frame_bytes} bytes per frame; a "
                                  "device holds at most 268435456 bytes for one output.")
    assert model.sequences == []
    model._map(v1_device(core.KPL2200_v1), False)
    assert model.sequences == [] and model.get_layer(name).mapping is None
