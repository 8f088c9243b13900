import numpy as np
import pytest

from ornix import _testing, core

_testing.attach_device()
_testing.attach_device(flash=True)
_testing.attach_device(soc=True)
PLAIN, FLASH, SOC = core.devices()
INT8, BIT, FLOAT32, INT16 = 4, 9, 1, 3


@pytest.fixture
def device():
    _testing.set_output(0, [1, 1, 10], INT8)
    PLAIN.program = b"program"
    return PLAIN


def test_the_list_hands_out_the_same_devices():
    again = core.devices()
    assert again == [PLAIN, FLASH, SOC] and PLAIN != FLASH and PLAIN != core.Device(PLAIN.version, PLAIN.mesh)
    assert isinstance(PLAIN, core.Device) and PLAIN.ip_version == core.IpVersion.v2
    assert PLAIN.desc == "simulated driver"
    with pytest.raises(TypeError, match="unhashable"):
        {PLAIN}


def test_programming():
    PLAIN.unprogram()
    assert PLAIN.program is None
    _testing.poke(0, "program_clock", 77)
    before = _testing.program_count(0)
    PLAIN.program = b"abc"
    PLAIN.program = b"abc"
    assert (PLAIN.program, PLAIN.metrics["program_clk"], _testing.program_count(0) - before) == (b"abc", 77, 2)
    PLAIN.program = b""
    assert PLAIN.program is None
    PLAIN.program_external(b"info", 0xFFFFFFFF)
    assert PLAIN.program == b"info"
    with pytest.raises(TypeError):
        PLAIN.program_external(b"info", 1 << 32)
    with pytest.raises(TypeError):
        PLAIN.program = "abc"


def test_learning_switch_is_written_only_on_change():
    PLAIN.learn_enabled = False
    before = _testing.writes(0, "learn_enable")
    PLAIN.learn_enabled = True
    PLAIN.learn_enabled = True
    assert PLAIN.learn_enabled and _testing.writes(0, "learn_enable") - before == 1


@pytest.mark.parametrize("words, data, expected", [
    (0, b"", None),
    (4, bytes(range(16)), bytes(range(16))),
    (4, bytes(range(19)), bytes(range(16))),
    (4, bytes(15), "Unexpected input buffer size."),
    (4, bytes(20), "Unexpected input buffer size."),
])
def test_learned_memory(words, data, expected):
    _testing.poke(0, "learn_mem_size", words)
    before = PLAIN.learn_mem
    if isinstance(expected, str):
        with pytest.raises(RuntimeError, match=expected):
            PLAIN.learn_mem = data
        assert PLAIN.learn_mem == before
    else:
        PLAIN.learn_mem = data
        assert PLAIN.learn_mem == expected


def test_memory_figures():
    _testing.poke(0, "memory", 512)
    _testing.poke(0, "memory_top", 4096)
    assert PLAIN.memory == (512, 4096)
    PLAIN.reset_top_memory()
    assert PLAIN.memory == (512, 512)


def test_plain_drivers_have_no_soc():
    assert PLAIN.soc is None and FLASH.soc is None


@pytest.mark.parametrize("run, output_type, dtype", [
    ("forward", INT8, np.int8), ("forward", BIT, np.uint8), ("predict", FLOAT32, np.float32),
    ("fit", INT8, np.int8),
])
def test_outputs_are_stacked(device, run, output_type, dtype):
    _testing.set_output(0, [1, 1, 10], output_type)
    _testing.set_clock(0, 4294967280, 32)
    metrics = device.metrics
    outputs = getattr(device, run)(np.full((4, 10), 300.0))
    assert outputs.dtype == dtype and outputs.shape == (4, 1, 1, 10) and not outputs.any()
    assert (metrics["inference_frames"], metrics["inference_clk"]) == (4, 32)
    assert 0 <= metrics["inference_end"] - metrics["inference_start"] and _testing.peek(0, "busy") == 0


def test_an_unlisted_output_type_is_refused_after_the_metrics(device):
    _testing.set_clock(0, 0, 5)
    _testing.set_output(0, [2, 2, 1], INT16)
    with pytest.raises(RuntimeError, match="^Unexpected output type.$"):
        device.forward(np.zeros((1, 4, 4, 1)))
    assert device.metrics["inference_clk"] == 5


@pytest.mark.parametrize("labels, error, message", [
    ([1, 2], RuntimeError, "Number of labels should be the same as number of inputs."),
    (2.5, ValueError, "fit method expects integers as labels"),
    (3e9, ValueError, "fit method expects integers as labels"),
    (["a"], ValueError, "fit method expects integers as labels"),
    ([1 << 40], ValueError, "fit method expects integers as labels"),
    (np.array([1.0]), ValueError, "fit method expects integers as labels"),
])
def test_refused_labels_leave_the_device_as_it_was(device, labels, error, message):
    frames = _testing.writes(0, "run_frames")
    with pytest.raises(error, match=message):
        device.fit(np.zeros((3, 10)), labels)
    assert (_testing.writes(0, "run_frames"), _testing.peek(0, "busy")) == (frames, 0)


@pytest.mark.parametrize("labels", [[5], [], 3, 3.0, np.int64(3), np.array([1, 2, 3], dtype=np.uint8)])
def test_accepted_labels(device, labels):
    assert device.fit(np.zeros((3, 10)), labels).shape == (3, 1, 1, 10)
    assert device.fit(np.zeros((3, 10))).shape == (3, 1, 1, 10)


def test_wrong_input_dimensions_do_not_reach_the_device(device):
    frames = _testing.writes(0, "run_frames")
    with pytest.raises(RuntimeError, match=r"^Input dimensions are not correct \(Should be 4 or 2\).$"):
        device.forward(np.zeros((2, 8, 8)))
    assert _testing.writes(0, "run_frames") == frames


def test_an_engine_error_does_not_leave_the_device_busy():
    PLAIN.unprogram()
    with pytest.raises(RuntimeError, match="The device holds no program."):
        PLAIN.forward(np.zeros((2, 10)))
    assert (_testing.peek(0, "busy"), _testing.peek(0, "run_frames")) == (0, 0)


def test_board_flash():
    assert core.boardKpl2200.__doc__ == "Spi flash controller for the kpl2200meant for testing, debugging and validation only."
    with pytest.raises(ValueError, match="^The device does not contain an KPL2200 flash$"):
        core.boardKpl2200.get_flash(PLAIN)
    for not_hardware in (core.Device(PLAIN.version, PLAIN.mesh), None):
        with pytest.raises(TypeError, match="incompatible function arguments"):
            core.boardKpl2200.get_flash(not_hardware)
    flash = core.boardKpl2200.get_flash(FLASH)
    with pytest.raises(RuntimeError, match="^get_id function is not yet implemented$"):
        flash.get_id()


def test_soc_devices_report_their_power_events():
    soc = SOC.soc
    assert soc is not None and not soc.power_measurement_enabled
    soc.clock_mode = core.soc.Economy
    assert soc.clock_mode == core.soc.Economy
    _testing.set_output(2, [1, 1, 10], INT8)
    SOC.program = b"program"
    SOC.forward(np.zeros((1, 10)))
    assert SOC.inference_power_events == []
    soc.power_measurement_enabled = True
    _testing.log_power(2, 1, 900000, 500)
    SOC.forward(np.zeros((1, 10)))
    events = SOC.inference_power_events
    assert [(e.ts, e.power) for e in events] == [(1, 450)] and soc.power_meter.floor == 450.0


def test_a_model_ending_in_a_dequantizer_predicts_on_the_device():
    conv = {"kernel_size": 3, "kernel_stride": 1, "filters": 4, "padding": 1, "activation": 1, "pool_type": 0,
            "weights_bits": 8, "output_bits": 8}
    model = core.Model()
    model.add(core.Layer(core.LayerParams(core.InputData, {"input_width": 4, "input_height": 4, "input_channels": 2}),
                         "input"))
    model.add(core.Layer(core.LayerParams(core.Conv2D, conv), "conv"))
    dequantizer = core.Layer(core.LayerParams(core.Dequantizer, {}), "dequantizer")
    model.add(dequantizer)
    dequantizer.variables["scales"] = np.array([0.5, 0.25, 2.0, 8.0], np.float32)
    model._map(PLAIN, True)
    outputs = model.predict(np.zeros((3, 4, 4, 2), np.uint8))
    # The device takes the sequence's program and answers one float frame of its output shape per sample.
    assert PLAIN.program == model.sequences[0].program
    assert outputs.dtype == np.float32 and outputs.shape == (3, 4, 4, 4)
    # New scales are not in the device's program until the model is mapped again.
    dequantizer.variables["scales"] = np.ones(4, np.float32)
    for stale in (lambda: model.predict(np.zeros((1, 4, 4, 2), np.uint8)), lambda: model.sequences):
        with pytest.raises(RuntimeError, match="^The model's layers changed since it was mapped: map it again.$"):
            stale()
    model._map(PLAIN, True)
    assert model.predict(np.zeros((1, 4, 4, 2), np.uint8)).shape == (1, 4, 4, 4)
