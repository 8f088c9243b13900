import numpy as np
import pytest

from ornix import _testing, core

INT32, FLOAT32, UINT8, INT16, INT8, INT4, INT2, UINT4, UINT2, BIT = range(10)


@pytest.mark.parametrize("code, stored, dims, reversed_", [
    # Narrow types come back one value per byte, signed ones as int8, unsigned ones as uint8.
    (INT4, np.array([-8, 7, 0], np.int8), [3], False), (BIT, np.array([1, 0, 1], np.int8), [3], False),
    (UINT2, np.array([3, 1], np.uint8), [2], False), (FLOAT32, np.array([0.5, -2.0], np.float32), [2], False),
    (INT32, np.arange(6, dtype=np.int32), [2, 3], False),
    # Reversed (a, b, c): dimension 0 is contiguous, so the tensor's (k, j, i) is NumPy's [i, j, k].
    (INT8, np.arange(24, dtype=np.int8), [2, 3, 4], True), (INT16, np.arange(6, dtype=np.int16), [2, 3], True),
])
def test_tensor_comes_back_in_numpy_order_and_storage_dtype(code, stored, dims, reversed_):
    array = _testing.tensor_to_numpy(code, dims, reversed_, stored.tobytes())
    assert array.dtype == stored.dtype and array.flags.owndata and array.flags.writeable
    np.testing.assert_array_equal(array, stored.reshape(dims[::-1] if reversed_ else dims))


@pytest.mark.parametrize("shape, error, message", [
    ((), ValueError, "Cannot instantiate a Dense with 0 dimensions (min 1, max 4).\n"),
    ((1,) * 5, ValueError, "Cannot instantiate a Dense with 5 dimensions (min 1, max 4).\n"),
    ((2, 0, 3), RuntimeError, "Cannot have a shape with a dimension set to 0"),
])
def test_arrays_refused_as_tensors(shape, error, message):
    with pytest.raises(error) as raised:
        core.evaluate_bitwidth(np.zeros(shape, np.int8))
    assert str(raised.value) == message


def view_of(shape, dtype):
    """An array of `shape` that takes no memory: one element seen everywhere."""
    return np.broadcast_to(np.zeros(1, dtype), shape)


def fc_model():
    model = core.Model()
    model.add(core.Layer(core.LayerParams(core.InputData, {"input_width": 4, "input_height": 4, "input_channels": 2}),
                         "input"))
    model.add(core.Layer(core.LayerParams(core.FullyConnected, {"units": 3, "weights_bits": 4}), "fc"))
    return model


HUGE = (1 << 21, 1 << 20)  # 2^41 elements: terabytes once copied


# Each is refused before NumPy copies the view, whatever the element type it is cast to.
@pytest.mark.parametrize("call", [
    lambda: core.evaluate_bitwidth(view_of(HUGE, np.int8)),
    lambda: fc_model().forward(view_of(HUGE + (1, 1), np.uint8)),
    lambda: fc_model().get_layer("fc").variables.__setitem__("weights", view_of(HUGE, np.int8)),
    lambda: _testing.labels_to_int_vector(view_of(HUGE, np.int64)),
    lambda: fc_model().fit(np.zeros((1, 4, 4, 2), np.uint8), view_of(HUGE, np.int64)),
])
def test_views_larger_than_a_tensor_are_refused_before_any_copy(call):
    with pytest.raises(ValueError, match=r"^An array of 2199023255552 elements cannot become a tensor "
                                         r"\(at most 4294967295 elements\)\.$"):
        call()


@pytest.mark.parametrize("labels, expected", [
    (np.array([0, 4], np.uint64), [0, 4]), (np.array([[-128, 127]], np.int8), [-128, 127]),
    (np.array([2**31], np.int64), RuntimeError),  # the cast to int32 fails
    (np.array([1], np.float32), ValueError), (np.array([True]), ValueError),
])
def test_labels(labels, expected):
    if isinstance(expected, list):
        assert _testing.labels_to_int_vector(labels) == expected
        return
    with pytest.raises(expected, match=None if expected is RuntimeError else "^fit method expects integers as labels$"):
        _testing.labels_to_int_vector(labels)
