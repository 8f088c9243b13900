"""Mapped models on simulated devices: the mapping describes the model as it is and the map that
made it, and a mapped run answers what the same model answers in software."""
import numpy as np
import pytest

from ornix import _testing, core
from ornix.core import NP
from v1_models import conv, fully_connected, layer, model_of

_testing.attach_device()
_testing.attach_device(v1_fnp=NP.FNP3)
V2, V1 = core.devices()  # CNPs and skip DMAs; an HRC, CNPs and one FNP3

STALE = "^The model's layers changed since it was mapped: map it again.$"
CONV = dict(kernel_size=3, kernel_stride=1, filters=4, padding=core.Same, activation=core.ReLU,
            pool_type=core.NoPooling, weights_bits=8, output_bits=8)


def input_layer(width=8, channels=4, bits=8, signed=0):
    return layer(core.InputData, "input", input_width=width, input_height=width, input_channels=channels,
                 input_bits=bits, input_signed=signed)


def chain(*layers):
    model = core.Model()
    for added in layers:
        model.add(added)
    return model


def convs(dequantized=False):
    """input -> conv -> conv2 (-> dequantizer), on V2."""
    layers = [input_layer(), layer(core.Conv2D, "conv", **CONV), layer(core.Conv2D, "conv2", **CONV)]
    if dequantized:
        layers.append(layer(core.Dequantizer, "dequantizer"))
    model = chain(*layers)
    if dequantized:
        model.get_layer("dequantizer").variables["scales"] = np.array([0.5, 0.25, 2.0, 8.0], np.float32)
    return model


def concatenated():
    """input -> a -> b; concatenate(a, b) -> c, on V2."""
    model = chain(input_layer(), layer(core.Conv2D, "a", **CONV), layer(core.Conv2D, "b", **CONV))
    model.add(layer(core.Concatenate, "cat"), [model.get_layer("a"), model.get_layer("b")])
    model.add(layer(core.Conv2D, "c", **CONV))
    return model


def learning(num_weights=4, num_classes=2):
    return core.OrnixUnsupervised(num_weights=num_weights, num_classes=num_classes)


def classifier(activation=0, act_bits=1, compiled=True):
    """64 1-bit inputs into 4 neurons, neuron n connected to inputs n to n + 3, on V1."""
    fc = layer(core.FullyConnected, "fc", units=4, weights_bits=1, activation=activation, act_bits=act_bits)
    model = chain(input_layer(width=1, channels=64, bits=1), fc)
    weights = np.zeros((64, 4), np.int8)
    for n in range(4):
        weights[n:n + 4, n] = 1
    fc.variables["weights"] = weights
    fc.variables["threshold"] = np.array([2, 0, 5, 1], np.int32)
    fc.variables["act_step"] = np.array([1, 2, 0.5, 4], np.float32)
    if compiled:
        model.compile(learning())
    return model


def zeros(model, count=2):
    return np.zeros([count] + model.input_shape, np.uint8)


def pop(model, count):
    """Pops the last `count` layers; returns them in model order."""
    popped = model.layers[-count:]
    for _ in popped:
        model.pop_layer()
    return popped


def swap_concatenation(model):
    cat, c = pop(model, 2)
    model.add(cat, [model.get_layer("b"), model.get_layer("a")])
    model.add(c)


def new_input(model):
    layers = pop(model, 3)[1:]
    model.add(input_layer(width=16))
    for added in layers:
        model.add(added)


def set_a_threshold(model):
    model.get_layer("fc").variables["threshold"] = np.zeros(4, np.int32)


class EditingHook(core.MapConstraints):
    """Runs `edit` once, when the map reaches its first layer."""

    def __init__(self, device, edit):
        super().__init__(device)
        self.edit = edit

    def next_layer_handler(self, layer_name):
        edit, self.edit = self.edit, None
        if edit:
            edit()


def map_editing(device, edit):
    """Maps the model again on `device`, `edit` made by a hook while the map runs."""
    return lambda model: model._map(device, True, EditingHook(device, lambda: edit(model)))


# (model, device, edit, what mapping the model again gives: None when it maps)
EDITS = {
    "pop": (convs, V2, lambda m: m.pop_layer(), None),
    "add": (convs, V2, lambda m: m.add(layer(core.Conv2D, "conv3", **CONV)), None),
    "the same layer back": (convs, V2, lambda m: m.add(pop(m, 1)[0]), None),
    "swapped concatenation": (concatenated, V2, swap_concatenation, None),
    "new input layer": (convs, V2, new_input, None),
    "variable set": (classifier, V1, set_a_threshold, None),
    "compile again": (classifier, V1, lambda m: m.compile(learning()), None),
    "compile with other values": (classifier, V1, lambda m: m.compile(learning(num_classes=4)), None),
    "compile with a num_weights the map refuses": (
        classifier, V1, lambda m: m.compile(learning(num_weights=3)),
        "Cannot map layer 'fc'. The number of weights per neuron should match the num_weights OrnixUnsupervised "
        "parameter."),
    "add_classes": (classifier, V1, lambda m: m.add_classes(2), None),
    "an add while mapping": (convs, V2, map_editing(V2, lambda m: m.add(layer(core.Conv2D, "conv3", **CONV))), None),
    "a variable set while mapping": (classifier, V1, map_editing(V1, set_a_threshold), None),
}


@pytest.mark.parametrize("make, device, edit, remapped", EDITS.values(), ids=EDITS.keys())
def test_an_edit_makes_the_mapping_stale_until_mapped_again(make, device, edit, remapped):
    model = make()
    model._map(device, True)
    edit(model)
    runs = [lambda: model.sequences, lambda: model.forward(zeros(model))]
    if model.learning is not None:
        runs.append(lambda: model.fit(zeros(model), [0]))
    for run in runs:
        with pytest.raises(RuntimeError, match=STALE):
            run()
    if remapped is not None:
        with pytest.raises(RuntimeError) as refused:
            model._map(device, True)
        assert str(refused.value) == remapped
        return
    model._map(device, True)
    assert model.forward(zeros(model)).shape == tuple([2] + model.output_shape)
    assert model.sequences


# (model, device, edit, error): each edit is refused and leaves the mapping current.
REFUSED_EDITS = {
    "a name already used": (convs, V2, lambda m: m.add(layer(core.Conv2D, "conv", **CONV)), ValueError),
    "a layer of the model": (convs, V2, lambda m: m.add(m.get_layer("conv")), ValueError),
    "compile a convolution": (convs, V2, lambda m: m.compile(learning()), RuntimeError),
    "compile with no weight": (classifier, V1, lambda m: m.compile(learning(num_weights=0)), ValueError),
    "add no class": (classifier, V1, lambda m: m.add_classes(0), ValueError),
    "grow beyond a layer's memory": (classifier, V1, lambda m: m.add_classes(2**22), ValueError),
}


@pytest.mark.parametrize("make, device, edit, error", REFUSED_EDITS.values(), ids=REFUSED_EDITS.keys())
def test_a_refused_edit_leaves_the_mapping_current(make, device, edit, error):
    model = make()
    model._map(device, True)
    sequences = model.sequences
    with pytest.raises(error):
        edit(model)
    assert [s.program for s in model.sequences] == [s.program for s in sequences]
    assert model.forward(zeros(model)).shape == tuple([2] + model.output_shape)


def without_fnp(version):
    nps = [NP.Info(NP.Ident(2, 1, i), [NP.CNP1, NP.CNP2]) for i in range(4)]
    return core.Device(version, NP.Mesh(core.IpVersion.v1, NP.Ident(1, 1, 0), NP.Ident(1, 1, 1), NP.Info.hrc(False),
                                        nps))


def mapped_layers(model):
    return {mapped.name: sorted((c.type for c in mapped.mapping.nps), key=int)
            for mapped in model.layers if mapped.mapping}


def v1_chain():
    """input -> conv (a CNP) -> fc (the FNP3), on V1."""
    model = model_of(input_layer(channels=8, bits=1), conv("conv"), fully_connected())
    model._map(V1, True)
    assert model.component_count == {NP.CNP1: 1, NP.FNP3: 1}
    return model


# (map again on, hw_only, what stays mapped): no layer keeps a mapping from the earlier map.
REMAPS = {
    "a mesh without an FNP": (without_fnp(core.Vamo_v2), False, {"conv": [NP.CNP1]}),
    "a version that refuses every layer": (without_fnp(core.Vamo_v1), False, {}),
    "a version that refuses every layer, hardware only": (without_fnp(core.Vamo_v1), True, {}),
}


@pytest.mark.parametrize("device, hw_only, mapped", REMAPS.values(), ids=REMAPS.keys())
def test_a_map_describes_itself_only(device, hw_only, mapped):
    model = v1_chain()
    if hw_only:
        with pytest.raises(RuntimeError, match="^Cannot map layer 'conv'. Vamo_v1 is not supported"):
            model._map(device, hw_only)
    else:
        model._map(device, hw_only)
    assert mapped_layers(model) == mapped
    assert model.component_count == {kind: 1 for kinds in mapped.values() for kind in kinds}
    if not mapped:
        assert model.sequences == [] and model.external_memory_size == 0
        assert model.forward(zeros(model)).shape == (2, 1, 1, 10)  # in software


def test_layers_join_another_model_unmapped():
    source = v1_chain()
    conv, fc = pop(source, 2)
    model = core.Model()
    model.add(input_layer(channels=8, bits=1))
    model.add(conv)
    model.add(fc)
    assert (conv.mapping, fc.mapping, model.component_count) == (None, None, {})


# (model, device, run): on zero inputs the device and the software compute the same values, and
# a mapped run returns them as the software run does.
RUNS = {
    "classifier forward": (classifier, V1, "forward"),
    "classifier predict": (classifier, V1, "predict"),
    "classifier evaluate": (classifier, V1, "evaluate"),
    "1-bit activations": (lambda: classifier(activation=1, act_bits=1), V1, "forward"),
    "4-bit activations": (lambda: classifier(activation=1, act_bits=4), V1, "forward"),
    "convolutions": (convs, V2, "forward"),
    "dequantized forward": (lambda: convs(dequantized=True), V2, "forward"),
    "dequantized predict": (lambda: convs(dequantized=True), V2, "predict"),
}


@pytest.mark.parametrize("make, device, run", RUNS.values(), ids=RUNS.keys())
def test_a_mapped_run_answers_as_software(make, device, run):
    mapped, software = make(), make()
    mapped._map(device, True)
    if run == "evaluate":
        labels = np.array([1, 1], np.int32)  # predict's values -2, 0, -10, -0.25 rank neuron 1 first
        assert mapped.evaluate(zeros(mapped), labels) == software.evaluate(zeros(software), labels) == 1.0
        return
    on_device, in_software = getattr(mapped, run)(zeros(mapped)), getattr(software, run)(zeros(software))
    assert on_device.dtype == in_software.dtype
    np.testing.assert_array_equal(on_device, in_software)


def taking(bits, signed=0):
    """input (8 x 8 x 4 values of `bits` bits) -> a convolution of 4-bit weights, on V2."""
    return chain(input_layer(bits=bits, signed=signed), layer(core.Conv2D, "conv", **dict(CONV, weights_bits=4)))


RUN = {
    "forward": lambda model, inputs: model.forward(inputs),
    "predict": lambda model, inputs: model.predict(inputs),
    "evaluate": lambda model, inputs: model.evaluate(inputs, np.zeros(len(inputs), np.int32)),
    "fit": lambda model, inputs: model.fit(inputs, [0]),
}

# (model, device, run, input dtype, a value the inputs cannot hold, what they hold)
OUT_OF_RANGE = {
    "4-bit inputs": (lambda: taking(4), V2, "forward", np.uint8, 255, "4-bit unsigned"),
    "signed inputs, below": (lambda: taking(8, signed=1), V2, "forward", np.int16, -129, "8-bit signed"),
    "signed inputs, above": (lambda: taking(8, signed=1), V2, "forward", np.int16, 128, "8-bit signed"),
    "1-bit inputs, predict": (classifier, V1, "predict", np.uint8, 2, "1-bit unsigned"),
    "1-bit inputs, evaluate": (classifier, V1, "evaluate", np.uint8, 2, "1-bit unsigned"),
    "1-bit inputs, fit": (classifier, V1, "fit", np.uint8, 2, "1-bit unsigned"),
}


@pytest.mark.parametrize("make, device, run, dtype, value, holds", OUT_OF_RANGE.values(), ids=OUT_OF_RANGE.keys())
def test_a_mapped_run_refuses_values_the_inputs_cannot_hold(make, device, run, dtype, value, holds):
    mapped, software = make(), make()
    mapped._map(device, True)
    inputs = np.zeros([2] + mapped.input_shape, dtype)
    inputs[1, -1, -1, -1] = value
    index = 0 if device is V2 else 1
    reached = lambda: (_testing.program_count(index), _testing.writes(index, "run_frames"))  # noqa: E731
    before = reached()
    text = f"Input value {value} does not fit the model's {holds} inputs."
    with pytest.raises(ValueError, match=f"^{text}$"):
        RUN[run](mapped, inputs)
    assert reached() == before
    with pytest.raises(ValueError, match=f": {text}$"):
        RUN[run](software, inputs)
    inputs[1, -1, -1, -1] = 0
    mapped.forward(inputs)
    assert reached() != before  # what a run leaves on the device
