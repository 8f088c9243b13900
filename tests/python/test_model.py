import os
import stat
import struct
import subprocess
import sys

import numpy as np
import pytest

from ornix import _testing, core
from ornix.core import NP
import v1_models

CONV = {"kernel_size": 3, "kernel_stride": 1, "filters": 4, "padding": 1, "activation": 1, "pool_type": 0,
        "weights_bits": 8, "output_bits": 8}
V1_FC = {"units": 10, "weights_bits": 2, "activation": 0, "act_bits": 1}


def layer(layer_type, params, name):
    return core.Layer(core.LayerParams(layer_type, params), name)


def input_layer(width=4, height=4, channels=2, signed=0):
    return layer(core.InputData, {"input_width": width, "input_height": height, "input_channels": channels,
                                  "input_signed": signed}, "input")


def conv_model(signed=0):
    model = core.Model()
    model.add(input_layer(signed=signed))
    model.add(layer(core.Conv2D, CONV, "conv"))
    return model


def fc_model():
    model = core.Model()
    model.add(input_layer())
    model.add(layer(core.FullyConnected, V1_FC, "fc"))
    return model


def virtual_v2():
    nps = [NP.Info(NP.Ident(col, 1, i), [NP.CNP1, NP.CNP2]) for col in (2, 3) for i in range(4)]
    return core.Device(core.Pelmo_v2, NP.Mesh(core.IpVersion.v2, NP.Ident(1, 1, 0), NP.Ident(1, 1, 1), None, nps))


def virtual_v1():
    nps = [NP.Info(NP.Ident(col, 1, 0), [NP.CNP1, NP.FNP2]) for col in (2, 3)]
    return core.Device(core.Tarvik_v1, NP.Mesh(core.IpVersion.v1, NP.Ident(1, 1, 0), NP.Ident(1, 1, 1), None, nps))


def compiled_fc_model():
    model = fc_model()
    model.compile(core.OrnixUnsupervised(num_weights=4, num_classes=5))
    return model


def fc_after_compiled_fc():
    """The compiled fc (10 units, 5 classes), then fc2, which does not learn."""
    model = compiled_fc_model()
    model.add(layer(core.FullyConnected, dict(V1_FC, units=6), "fc2"))
    return model


@pytest.mark.parametrize("make", [core.Model, lambda: core.Model([])])
def test_empty_model(make):
    model = make()
    assert (model.layer_count, model.layers, model.device, model.learning) == (0, [], None, None)
    assert (model.component_count, model.external_memory_size, model.power_events) == ({}, 0, [])


def test_save_writes_the_padded_block_and_loads_back(tmp_path):
    model = conv_model()
    model.get_layer("conv").variables["input_shift"] = np.array([1, 2], np.uint8)
    path = tmp_path / "m.fbz"
    model.save(str(path))
    n = len(model.to_buffer())
    data = path.read_bytes()
    assert len(data) == 32 + n + n // 6
    # The zero tail is not needed and any number of zeros after the block is accepted.
    path.write_bytes(data + bytes(100))
    loaded = core.Model(str(path))
    assert loaded.to_buffer() == model.to_buffer()
    assert [layer.name for layer in loaded.layers] == ["input", "conv"]
    assert list(tmp_path.iterdir()) == [path]


@pytest.mark.parametrize("content, error, text", [
    (None, RuntimeError, "File not found."),
    (b"", RuntimeError, "File is empty."),
    (b"\xff" * 12, ValueError, "Cannot uncompress corrupted serialization buffer"),
])
def test_unreadable_model_files(tmp_path, content, error, text):
    path = tmp_path / "m.fbz"
    if content is not None:
        path.write_bytes(content)
    with pytest.raises(error, match=f"^{text}$"):
        core.Model(str(path))


def test_truncated_model_file_is_refused(tmp_path):
    path = tmp_path / "m.fbz"
    conv_model().save(str(path))
    path.write_bytes(path.read_bytes()[:40])
    with pytest.raises(ValueError):
        core.Model(str(path))


def test_save_to_an_unopenable_path(tmp_path):
    for target in (tmp_path, tmp_path / "missing" / "m.fbz"):
        with pytest.raises(ValueError, match=f"^Unable to open file for saving model: {target}$"):
            conv_model().save(str(target))


def test_failed_save_is_reported_and_keeps_the_old_file(tmp_path):
    path = tmp_path / "m.fbz"
    path.write_bytes(b"old")
    # A file size limit makes the write fail part way.
    script = ("import resource, signal, sys\n"
              "from test_model import conv_model\n"
              "signal.signal(signal.SIGXFSZ, signal.SIG_IGN)\n"
              "resource.setrlimit(resource.RLIMIT_FSIZE, (16, 16))\n"
              "try:\n    conv_model().save(sys.argv[1])\n"
              "except RuntimeError as e:\n    print(e)\n")
    run = subprocess.run([sys.executable, "-c", script, str(path)], capture_output=True, text=True,
                         cwd=__file__.rsplit("/", 1)[0], check=True)
    assert run.stdout == f"Unable to write the model file: {path}\n"
    assert sorted(tmp_path.iterdir()) == [path] and path.read_bytes() == b"old"


@pytest.mark.parametrize("save_as", [
    "m.fbz",         # a new file
    "link.fbz",      # a symbolic link to an existing file, which is replaced
    "dangling.fbz",  # a symbolic link to a missing file, which is created
])
def test_save_replaces_the_target_and_nothing_else(tmp_path, save_as):
    (tmp_path / "m.fbz.tmp").write_bytes(b"the user's own file")
    (tmp_path / "real.fbz").write_bytes(b"old")
    (tmp_path / "link.fbz").symlink_to("real.fbz")
    (tmp_path / "dangling.fbz").symlink_to("created.fbz")
    before = sorted(p.name for p in tmp_path.iterdir())
    model = conv_model()
    model.save(str(tmp_path / save_as))
    assert core.Model(str(tmp_path / save_as)).to_buffer() == model.to_buffer()
    assert (tmp_path / "m.fbz.tmp").read_bytes() == b"the user's own file"
    assert os.readlink(tmp_path / "link.fbz") == "real.fbz" and os.readlink(tmp_path / "dangling.fbz") == "created.fbz"
    made = {"m.fbz": ["m.fbz"], "link.fbz": [], "dangling.fbz": ["created.fbz"]}[save_as]
    assert sorted(p.name for p in tmp_path.iterdir()) == sorted(before + made)


def test_save_keeps_the_permission_bits(tmp_path):
    kept, new = tmp_path / "kept.fbz", tmp_path / "new.fbz"
    kept.write_bytes(b"old")
    kept.chmod(0o600)
    umask = os.umask(0o022)
    try:
        conv_model().save(str(kept))
        conv_model().save(str(new))
    finally:
        os.umask(umask)
    # A new file gets what the umask leaves of read and write for all.
    assert (kept.stat().st_mode & 0o7777, new.stat().st_mode & 0o7777) == (0o600, 0o644)


@pytest.mark.parametrize("save_as", ["pipe", "link"])  # the pipe itself, a symbolic link to it
def test_save_writes_into_a_pipe_instead_of_replacing_it(tmp_path, save_as):
    # A device or a pipe cannot be replaced by a regular file: it gets the bytes, as with open().
    pipe = tmp_path / "pipe"
    os.mkfifo(pipe)
    (tmp_path / "link").symlink_to("pipe")
    model = conv_model()
    model.save(str(tmp_path / "m.fbz"))
    reader = os.open(pipe, os.O_RDONLY | os.O_NONBLOCK)  # a reader lets the save open the pipe
    try:
        model.save(str(tmp_path / save_as))
        assert stat.S_ISFIFO(os.lstat(pipe).st_mode) and os.readlink(tmp_path / "link") == "pipe"
        assert os.read(reader, 1 << 16) == (tmp_path / "m.fbz").read_bytes()
    finally:
        os.close(reader)
    assert sorted(p.name for p in tmp_path.iterdir()) == ["link", "m.fbz", "pipe"]


def test_save_refuses_a_path_holding_a_nul_character(tmp_path):
    with pytest.raises(ValueError, match="^embedded null byte$"):
        conv_model().save(str(tmp_path / "m.fbz\0x"))
    assert list(tmp_path.iterdir()) == []


def compiled_with_an_idle_neuron():
    model = compiled_fc_model()
    weights = model.get_layer("fc").variables["weights"]
    weights[:, 3] = 0  # the copy's compile connects a fresh layer's neurons: the copied weights hold
    model.get_layer("fc").variables["weights"] = weights
    return model


def shifted_conv_model():
    model = conv_model()
    model.get_layer(1).variables["input_shift"] = np.array([3, 4], np.uint8)
    return model


@pytest.mark.parametrize("make", [shifted_conv_model, compiled_with_an_idle_neuron])
def test_a_whole_copy_is_the_same_model(make):
    source = make()
    assert core.Model(source.layers).to_buffer() == source.to_buffer()


def test_a_copy_without_the_input_layer_gets_one():
    source = shifted_conv_model()
    tail = core.Model(source.layers[1:])
    assert [layer.name for layer in tail.layers] == ["InputData", "conv"]
    assert tail.get_layer("InputData").parameters.input_channels == 2
    assert list(tail.get_layer("conv").variables["input_shift"]) == [3, 4]
    assert tail.get_layer(1) is not source.get_layer(1)


@pytest.mark.parametrize("layers, text", [
    (lambda: [conv_model().get_layer(0), None], "Invalid layer received"),
    # A first layer outside any model has no input geometry for the input layer to add.
    (lambda: [layer(core.Conv2D, CONV, "free")], "Cannot copy layer 'free': Cannot get input size before it is set."),
])
def test_layer_lists_that_cannot_be_copied(layers, text):
    with pytest.raises(RuntimeError) as raised:
        core.Model(layers())
    assert str(raised.value) == text


@pytest.mark.parametrize("model, count, error, text", [
    (fc_model(), 0, ValueError, "The number of classes to add must be positive."),
    (core.Model(), 1, RuntimeError, "The model must have at least one layer."),
    (conv_model(), 1, RuntimeError, "The last layer must be a FullyConnected layer."),
    (fc_model(), 1, RuntimeError, "The last layer must be compiled."),
    (fc_after_compiled_fc(), 1, RuntimeError, "The last layer must be compiled."),
])
def test_add_classes_refusals_leave_the_model(model, count, error, text):
    before = model.to_buffer()
    with pytest.raises(error, match=f"^{text}$"):
        model.add_classes(count)
    assert model.to_buffer() == before


def classifier_beside(make_conv):
    """input_conv -> conv, and input_conv -> fc: the compiled classifier (10 units, 5 classes) does not
    read the layer added before it."""
    model = v1_models.model_of(v1_models.input_conv(), make_conv())
    fc = v1_models.fully_connected()
    model.add(fc, [model.get_layer("input_conv")])
    fc.variables["weights"] = np.random.default_rng(3).integers(-1, 2, fc.variables["weights"].shape, np.int8)
    model.compile(core.OrnixUnsupervised(num_weights=4, num_classes=5))
    return model


@pytest.mark.parametrize("make_conv", [
    lambda: v1_models.conv("conv"),  # its output has the classifier's input geometry
    lambda: v1_models.layer(core.Convolutional, "conv", filters=8, weights_bits=2, **v1_models.CONV,
                            **v1_models.MAX_POOL_2X2),
], ids=["same geometry", "pooled"])
def test_add_classes_grows_the_classifier_where_it_stands(make_conv):
    model = classifier_beside(make_conv)
    inputs = np.random.default_rng(4).integers(0, 256, (3, 8, 8, 1), np.uint8)
    before = model.forward(inputs)
    model.add_classes(1)
    fc = model.get_layer("fc")
    assert [added.name for added in model.layers] == ["input_conv", "conv", "fc"]
    assert [inbound.name for inbound in fc.inbounds] == ["input_conv"]
    assert fc.parameters.get("units") == 12 and model.learning.get("num_classes") == 6.0
    np.testing.assert_array_equal(model.forward(inputs)[..., :10], before)


def test_a_refused_add_classes_keeps_the_compiled_last_layer():
    model = compiled_fc_model()
    before, fc = model.to_buffer(), model.get_layer("fc")
    # The grown layer would need more variable memory than a layer may hold.
    with pytest.raises(ValueError, match="^Layer fc would need"):
        model.add_classes(2**27)
    assert model.to_buffer() == before and model.layer_count == 2 and model.get_layer("fc") is fc
    assert model.learning.get("num_classes") == 5.0
    assert model.fit(np.full((1, 4, 4, 2), 200, np.uint8), [0]).shape[0] == 1  # still compiled


@pytest.mark.parametrize("device", [virtual_v1, virtual_v2])
def test_a_model_holding_only_its_input_layer_maps_to_no_sequence(device):
    model = core.Model()
    model.add(input_layer())
    model._map(device())
    assert model.sequences == [] and model.device is not None


@pytest.mark.parametrize("constraints", [5, "constraints", virtual_v2])
def test_map_constraints_must_be_map_constraints(constraints):
    model = conv_model()
    with pytest.raises(TypeError, match="incompatible function arguments"):
        model._map(virtual_v2(), True, constraints() if callable(constraints) else constraints)
    assert model.device is None
    assert "MapConstraints = None" in core.Model._map.__doc__.splitlines()[0]


def test_mapping_fills_the_figures():
    model = conv_model()
    model._map(virtual_v2(), True)
    assert model.device.version == core.Pelmo_v2
    assert model.component_count == {NP.CNP2: 1} or model.component_count == {NP.CNP1: 1}
    assert model.external_memory_size == 0


def dequantized_model(scales):
    model = conv_model()
    dequantizer = layer(core.Dequantizer, {}, "dequantizer")
    model.add(dequantizer)
    assert dequantizer.variables["scales"].tolist() == [1.0] * 4  # one per channel of the convolution
    dequantizer.variables["scales"] = np.array(scales, np.float32)
    return model


def test_a_model_ending_in_a_dequantizer_maps_with_its_scales(tmp_path):
    scales = [0.5, 0.25, 2.0, 8.0]
    model = dequantized_model(scales)
    model._map(virtual_v2(), True)
    info = model.sequences[0].program_parts.program_info
    # The program's scales vector: its length, then the values as set.
    assert struct.pack("<I4f", 4, *scales) in info
    # They are saved with the model.
    model.save(str(tmp_path / "model.fbz"))
    loaded = core.Model(str(tmp_path / "model.fbz"))
    assert loaded.get_layer("dequantizer").variables["scales"].tolist() == scales


def mapped_conv(params):
    model = core.Model()
    model.add(input_layer())
    model.add(layer(core.Conv2D, params, "conv"))
    try:
        model._map(virtual_v2(), True)
    except (RuntimeError, ValueError) as error:
        return str(error)
    return [sequence.program for sequence in model.sequences]


@pytest.mark.parametrize("left_out, stored, maps", [
    ("weights_bits", 8, True), ("pool_type", 0, True), ("activation", 0, True), ("kernel_stride", 1, True),
    ("padding", 0, False),  # Valid, which the CNP refuses as it would when given
])
def test_a_layer_without_a_key_maps_as_with_its_stored_default(left_out, stored, maps):
    without = {key: value for key, value in CONV.items() if key != left_out}
    assert layer(core.Conv2D, without, "conv").parameters.get(left_out) == stored
    result = mapped_conv(without)
    assert result == mapped_conv(dict(CONV, **{left_out: stored}))
    assert isinstance(result, list) == maps
    if not maps:
        assert result.startswith("Cannot map layer 'conv'.")


@pytest.mark.parametrize("model, inputs, text", [
    (core.Model(), np.zeros((1, 4, 4, 2), np.float32), "Cannot perform an inference on a model with no layers"),
    (conv_model(), np.zeros((1, 4, 4, 2), np.int8), "Input dtype should be uint8"),
    (conv_model(signed=1), np.zeros((1, 4, 4, 2), np.float32), "Input dtype should be int8 or int16"),
    (conv_model(), np.zeros((1, 4, 4, 3), np.uint8), "(?i).*shape.*"),
])
def test_refused_inputs(model, inputs, text):
    for run in (model.forward, model.predict, model.fit):
        with pytest.raises(ValueError, match=text):
            run(inputs)
    assert model.metrics.names == []


@pytest.mark.parametrize("labels", [2.5, float("nan"), 1e10, np.array([1.0]), [1, "a"], [2**31],
                                    np.zeros((1, 2), np.int32), np.array([2**31], np.int64)])
def test_fit_refuses_labels_that_are_not_integers(labels):
    with pytest.raises(TypeError, match="^fit method expects integers as labels$"):
        fc_model().fit(np.zeros((1, 4, 4, 2), np.uint8), labels)


@pytest.mark.parametrize("labels", [3.0, 3, np.array([3], np.int64), [3], []])
def test_fit_takes_integer_labels(labels):
    # Past the label conversion the engine refuses the uncompiled model.
    with pytest.raises(RuntimeError):
        fc_model().fit(np.zeros((1, 4, 4, 2), np.uint8), labels)


@pytest.mark.parametrize("inputs, labels, text", [
    (np.zeros((2, 4, 4, 2), np.uint8), np.zeros((2, 1), np.int32), "Labels must be 1-D."),
    (np.zeros((2, 4, 4, 2), np.uint8), np.zeros(3, np.int32), "Inputs and labels must have the same size."),
    (np.zeros((2, 4, 4, 2), np.uint8), np.zeros(2, np.int64), "Labels must be int32."),
])
def test_evaluate_checks_the_labels(inputs, labels, text):
    with pytest.raises(ValueError, match=f"^{text}$"):
        fc_model().evaluate(inputs, labels)


def test_a_sample_without_class_never_counts_as_correct():
    model = core.Model()
    model.add(input_layer())
    model.add(layer(core.Dense1D, {"units": 4, "weights_bits": 8, "activation": 1, "output_bits": 8}, "dense"))
    inputs = np.ones((2, 4, 4, 2), np.uint8)
    assert not model.forward(inputs).any()  # zero weights: no neuron rises above 0
    assert model.evaluate(inputs, np.array([-1, -1], np.int32), 2) == 0.0
    assert sorted(model.metrics.names) == ["inference_end", "inference_frames", "inference_start"]
    assert model.metrics["inference_frames"] == 2


@pytest.mark.parametrize("predicted, labels, expected", [
    ([0, -1, 2], [0, -1, 1], 1 / 3),  # a sample without a class never matches
    ([1], [1, 1], 0.5),               # over the number of labels
    ([0, 1, 1], [0, 1], "The model answered 3 samples for 2 labels."),
])
def test_accuracy_reads_no_label_past_the_last(predicted, labels, expected):
    if isinstance(expected, str):
        with pytest.raises(RuntimeError, match=f"^{expected}$"):
            _testing.accuracy(predicted, labels)
    else:
        assert _testing.accuracy(predicted, labels) == pytest.approx(expected)


def test_add_classes_keeps_the_old_neurons_and_compile_is_shared():
    model = fc_model()
    weights = (np.arange(32 * 10).reshape(32, 10) % 3 - 1).astype(np.int8)  # (inputs, units), 2-bit values
    model.get_layer("fc").variables["weights"] = weights
    optimizer = core.OrnixUnsupervised(num_weights=4, num_classes=5)
    model.compile(optimizer)
    assert model.learning.get("num_classes") == 5.0
    model.add_classes(2)
    fc = model.get_layer("fc")
    assert fc.parameters.get("units") == 14 and model.learning.get("num_classes") == 7.0
    grown = fc.variables["weights"]
    assert grown.shape == (32, 14) and (grown[:, :10] == weights).all()
    fit_output = model.fit(np.full((2, 4, 4, 2), 200, np.uint8), [0, 6])
    assert fit_output.shape[0] == 2 and model.metrics["inference_frames"] == 2
