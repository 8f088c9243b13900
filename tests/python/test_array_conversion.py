import numpy as np
import pytest

from ornix import _testing, core

INT32, FLOAT32, UINT8, INT16, INT8, INT4, INT2, UINT4, UINT2, BIT = range(10)


@pytest.mark.parametrize("code, stored, dims, reversed_, expected", [
    # Narrow types come back one value per byte, signed ones as int8, unsigned ones as uint8.
    (INT4, np.array([-8, 7, 0], np.int8), [3], False, np.array([-8, 7, 0], np.int8)),
    (INT2, np.array([-2, 1], np.int8), [2], False, np.array([-2, 1], np.int8)),
    (BIT, np.array([1, 0, 1], np.int8), [3], False, np.array([1, 0, 1], np.int8)),
    (UINT4, np.array([15, 0], np.uint8), [2], False, np.array([15, 0], np.uint8)),
    (UINT2, np.array([3, 1], np.uint8), [2], False, np.array([3, 1], np.uint8)),
    (INT32, np.arange(6, dtype=np.int32), [2, 3], False, np.arange(6, dtype=np.int32).reshape(2, 3)),
    (FLOAT32, np.array([0.5, -2.0], np.float32), [2], False, np.array([0.5, -2.0], np.float32)),
    # Reversed: dimension 0 is contiguous, so tensor (k, j, i) is stored at k + 2j + 6i and NumPy's
    # [i, j, k] reads it.
    (INT8, np.arange(24, dtype=np.int8), [2, 3, 4], True, np.arange(24, dtype=np.int8).reshape(4, 3, 2)),
    (INT16, np.arange(6, dtype=np.int16), [2, 3], True, np.arange(6, dtype=np.int16).reshape(3, 2)),
])
def test_tensor_comes_back_in_numpy_order_and_storage_dtype(code, stored, dims, reversed_, expected):
    array = _testing.tensor_to_numpy(code, dims, reversed_, stored.tobytes())
    assert array.dtype == expected.dtype
    np.testing.assert_array_equal(array, expected)
    assert array.flags.owndata and array.flags.writeable


@pytest.mark.parametrize("array, message", [
    (np.array(3, np.int8), "Cannot instantiate a Dense with 0 dimensions (min 1, max 4).\n"),
    (np.zeros((1,) * 5, np.int8), "Cannot instantiate a Dense with 5 dimensions (min 1, max 4).\n"),
])
def test_dimension_count_is_one_to_four(array, message):
    with pytest.raises(ValueError) as error:
        core.evaluate_bitwidth(array)
    assert str(error.value) == message


def test_zero_dimension_is_refused():
    with pytest.raises(RuntimeError, match="^Cannot have a shape with a dimension set to 0$"):
        core.evaluate_bitwidth(np.zeros((2, 0, 3), np.int8))


@pytest.mark.parametrize("labels, expected", [
    (np.array([0, 4], np.uint64), [0, 4]),
    (np.array([[-128, 127]], np.int8), [-128, 127]),
    (np.array([2**31 - 1], np.int64), [2**31 - 1]),
])
def test_integer_labels(labels, expected):
    assert _testing.labels_to_int_vector(labels) == expected


@pytest.mark.parametrize("dtype", [np.float32, np.bool_, object])
def test_labels_must_be_integers(dtype):
    with pytest.raises(ValueError, match="^fit method expects integers as labels$"):
        _testing.labels_to_int_vector(np.array([1], dtype))


def test_label_outside_int32_fails_the_cast():
    with pytest.raises(RuntimeError):
        _testing.labels_to_int_vector(np.array([2**31], np.int64))
