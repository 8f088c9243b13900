"""Simulated D3 00 00 02 (IP v1) devices: discovery keeps them, a mapped model programs and runs them,
and a learning FullyConnected mapped on their FNP learns through the device's learn memory."""
import numpy as np
import pytest

from ornix import _testing, core
from ornix.core import NP
from v1_models import conv, input_conv, layer, model_of, sequence_layout, three_layers

_testing.attach_device(v1_fnp=NP.FNP3)
_testing.attach_device(v1_fnp=NP.FNP2)
WITH_FNP3, WITH_FNP2 = core.devices()

INPUTS, UNITS, NUM_WEIGHTS = 64, 4, 4
# An FNP3's learn memory opens with two words that are not part of the neurons' blocks.
LEADING_WORDS = {NP.FNP3: [0xDEADBEEF, 0x0BADF00D], NP.FNP2: []}


def test_discovery_keeps_the_v1_devices_and_their_fnps():
    assert core.devices() == [WITH_FNP3, WITH_FNP2]
    for device, fnp in (WITH_FNP3, NP.FNP3), (WITH_FNP2, NP.FNP2):
        assert device.version == core.Vamo_v2 and device.ip_version == core.IpVersion.v1
        mesh = device.mesh
        assert mesh.hrc is not None and mesh.hrc.types == [NP.HRC]
        assert [np_.types for np_ in mesh.nps if fnp in np_.types] == [[fnp]]
        assert sum(NP.CNP2 in np_.types for np_ in mesh.nps) == 6


def test_a_mapped_model_programs_and_runs_the_device():
    model = three_layers()
    model._map(WITH_FNP3, True)
    assert sequence_layout(model) == [[["input_conv", "conv", "fc"]]]
    programs = _testing.program_count(0)
    outputs = model.forward(np.ones((3, 8, 8, 1), np.uint8))
    # The device answers in the output geometry of the program it was given: 10 units.
    assert outputs.shape == (3, 1, 1, 10) and _testing.program_count(0) == programs + 1


def test_a_program_given_from_elsewhere_sets_the_output_geometry():
    ten_units = three_layers()
    six_units = model_of(input_conv(), conv("conv"),
                         layer(core.FullyConnected, "fc", units=6, weights_bits=2, activation=1, act_bits=1))
    for model in ten_units, six_units:
        model._map(WITH_FNP3, True)
    frames = np.ones((2, 8, 8, 1), np.uint8)
    assert ten_units.forward(frames).shape == (2, 1, 1, 10)
    assert six_units.forward(frames).shape == (2, 1, 1, 6)

    WITH_FNP3.program_external(ten_units.sequences[0].program, 0x1000)
    programs = _testing.program_count(0)
    # The device holds the very bytes of the 10-unit program: the model runs it as it is.
    assert ten_units.forward(frames).shape == (2, 1, 1, 10) and _testing.program_count(0) == programs


def learning_model(connected=True):
    """A flat 1-bit input of 64 values into 4 neurons of 1-bit weights, learning with 2 classes:
    neuron n connected to inputs n to n + 3, or as compile connects a fresh layer."""
    model = core.Model()
    model.add(layer(core.InputData, "input", input_width=1, input_height=1, input_channels=INPUTS, input_bits=1))
    fc = layer(core.FullyConnected, "fc", units=UNITS, weights_bits=1, activation=1, act_bits=1)
    model.add(fc)
    if connected:
        weights = np.zeros((INPUTS, UNITS), np.int8)
        for n in range(UNITS):
            weights[n:n + NUM_WEIGHTS, n] = 1
        fc.variables["weights"] = weights
    fc.variables["threshold"] = np.full(UNITS, 2, np.int32)
    fc.variables["act_step"] = np.ones(UNITS, np.float32)
    model.compile(core.OrnixUnsupervised(num_weights=NUM_WEIGHTS, num_classes=2))
    return model


# What the chip learned, per neuron n: weights at inputs n, 10 + n, 33 + n and 63, threshold_learning
# 0x30000 + 100 n + 5 and thswap 1000 + n.
def learned_thresholds(units=UNITS):
    return [0x30000 + 100 * n + 5 for n in range(units)]


def learned_swaps(units=UNITS):
    return [1000 + n for n in range(units)]


def learned_weights(units=UNITS):
    weights = np.zeros((INPUTS, units), np.int8)
    for n in range(units):
        weights[[n, 10 + n, 33 + n, 63], n] = 1
    return weights


def learned_blocks(units=UNITS):
    """The neurons' blocks of 6 words: threshold, step, num_weights with bits 16-19 of
    threshold_learning, bits 0-15 of threshold_learning with thswap, then inputs 0-31 and 32-63."""
    words = []
    for n, (threshold, swap) in enumerate(zip(learned_thresholds(units), learned_swaps(units))):
        words += [7, 16, (threshold & 0xF0000) | NUM_WEIGHTS, (threshold & 0xFFFF) << 16 | swap,
                  1 << n | 1 << (10 + n), 1 << (1 + n) | 1 << 31]
    return words


def fit_and_read_back(model, index, fnp, units=UNITS):
    """A fit on device `index` whose chip learned the values above; checks the layer holds them."""
    _testing.set_learn_mem(index, LEADING_WORDS[fnp] + learned_blocks(units))
    outputs = model.fit(np.ones((2, 1, 1, INPUTS), np.uint8), [0, 1])
    assert outputs.shape == (2, 1, 1, units)
    fc = model.get_layer("fc")
    np.testing.assert_array_equal(fc.variables["weights"], learned_weights(units))
    assert list(fc.variables["threshold_learning"]) == learned_thresholds(units)
    assert list(fc.variables["thswap"]) == learned_swaps(units)


DEVICES = [(0, WITH_FNP3, NP.FNP3), (1, WITH_FNP2, NP.FNP2)]


@pytest.mark.parametrize("index, device, fnp", DEVICES)
def test_a_fit_brings_the_learned_variables_back(index, device, fnp):
    model = learning_model()
    model._map(device, True)
    fc = model.get_layer("fc")
    assert [c.type for c in fc.mapping.nps] == [fnp]
    assert sequence_layout(model) == [[["fc"]]]
    fit_and_read_back(model, index, fnp)
    # What the chip learned is its own: the mapping stays current.
    assert len(model.sequences) == 1


def connection_counts(model):
    return (model.get_layer("fc").variables["weights"] != 0).sum(axis=0).tolist()


@pytest.mark.parametrize("index, device, fnp", DEVICES)
def test_a_freshly_compiled_classifier_maps_and_learns(index, device, fnp):
    model = learning_model(connected=False)
    assert connection_counts(model) == [NUM_WEIGHTS] * UNITS
    np.testing.assert_array_equal(model.get_layer("fc").variables["weights"],
                                  learning_model(connected=False).get_layer("fc").variables["weights"])
    model._map(device, True)
    fit_and_read_back(model, index, fnp)


@pytest.mark.parametrize("index, device, fnp", DEVICES)
def test_a_fitted_classifier_grows_maps_and_learns_again(index, device, fnp):
    model = learning_model()
    model._map(device, True)
    fit_and_read_back(model, index, fnp)
    model.add_classes(2)  # 4 neurons of 2 classes: 8 neurons of 4 classes
    weights = model.get_layer("fc").variables["weights"]
    np.testing.assert_array_equal(weights[:, :UNITS], learned_weights())
    assert connection_counts(model) == [NUM_WEIGHTS] * 2 * UNITS
    model._map(device, True)
    fit_and_read_back(model, index, fnp, units=2 * UNITS)
