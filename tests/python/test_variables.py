import numpy as np
import pytest

from ornix import _testing, core


def test_fully_connected_weights_read_in_numpy_order_and_write_back(fc):
    variables = fc.fc.variables
    del fc.fc, fc.model  # the variables keep their layer alive
    assert variables.names == ["act_step", "threshold", "weights"]
    weights, again = variables["weights"], variables["weights"]  # 3 units of 32 inputs, units contiguous
    assert weights.shape == (32, 3) and weights.dtype == np.int8
    weights[:] = np.arange(96).reshape(32, 3) % 15 - 7
    assert not again.any() and not variables["weights"].any()  # reads are copies
    for value in weights, np.asfortranarray(weights), np.repeat(weights, 2, axis=0)[::2]:  # any memory order
        variables["weights"] = value
        np.testing.assert_array_equal(variables["weights"], weights)


@pytest.mark.parametrize("name, value, error, message", [
    ("weights", np.zeros((32, 3), np.int16), ValueError,  # int4 weights take int8 arrays only
     "Unsupported variable type for weights expected int8 received int16"),
    ("act_step", np.ones(3), ValueError, "Unsupported variable type for act_step expected float32 received float64"),
    ("threshold", np.ones(3, np.int64), ValueError,
     "Unsupported variable type for threshold expected int32 received int64"),
    ("bias", np.ones(3, np.int8), ValueError, "Variable bias not found"),
    ("act_step", [1.0, 2.0, 3.0], TypeError, None),  # arrays only
])
def test_refused_writes_leave_the_variable_unchanged(fc, name, value, error, message):
    variables = fc.fc.variables
    with pytest.raises(error) as raised:
        variables[name] = value
    assert message is None or str(raised.value) == message
    assert not variables["weights"].any() and (variables["act_step"] == 1).all()  # as the layer made them


@pytest.mark.parametrize("values, dtype, bits", [
    ([1e9, -3.5], np.float32, 0), ([-8, 7], np.int8, 4), ([8], np.int8, 5), ([0, 31], np.uint8, 5),
    ([32], np.uint8, 6), ([-32768], np.int16, 16), ([2**20], np.int32, 22),
    *[([0], dtype, RuntimeError) for dtype in (np.int64, np.float64, np.uint16, np.bool_)],
])
def test_evaluate_bitwidth(values, dtype, bits):
    if bits is RuntimeError:
        with pytest.raises(RuntimeError, match=r"^Wrong py::array type: cannot evaluate the bitwidth\.$"):
            core.evaluate_bitwidth(np.array(values, dtype))
    else:
        assert core.evaluate_bitwidth(np.array(values, dtype)) == bits


def test_metrics_read_by_name():
    metrics = _testing.metrics({"inference_clk": 2**40, "inference_frames": -1})
    assert sorted(metrics.names) == ["inference_clk", "inference_frames"] and metrics["inference_clk"] == 2**40
    assert _testing.metrics({}).names == []
    with pytest.raises(ValueError, match="^x : no such metrics$"):
        _testing.metrics({})["x"]
