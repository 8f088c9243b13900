import numpy as np
import pytest

from ornix import _testing

INT32, FLOAT32, UINT8, INT16, INT8, INT4, BIT = 0, 1, 2, 3, 4, 5, 9


def classes(dtype, type_code, rows, num_classes):
    data = np.array(rows, dtype)
    return _testing.predicted_classes(type_code, [len(rows), 1, 1, len(rows[0])], data.tobytes(), num_classes)


@pytest.mark.parametrize("dtype, code, rows, num_classes, expected", [
    # 10 neurons, 5 classes: neurons 2k and 2k+1 vote for class k.
    (np.int8, INT8, [[0, 5, 0, 0, 0, 0, 0, 0, 0, 0], [0, 0, 0, 0, 0, 0, 0, 0, 0, 9]], 5, [0, 4]),
    (np.int8, INT8, [[0, 7, 7, 0, 0, 0, 0, 0, 0, 0]], 5, [0]),  # a tie goes to the lower class
    (np.int8, INT8, [[-128] * 10, [-128] * 9 + [-127]], 5, [-1, 4]),  # nothing above the floor: no class
    (np.uint8, UINT8, [[0, 0, 0, 0], [0, 0, 1, 0]], 2, [-1, 1]),
    (np.int32, INT32, [[-2**31, -2**31 + 1]], 2, [1]),
    (np.float32, FLOAT32, [[-3e38, -2e38]], 2, [1]),
    (np.int8, BIT, [[0, 1]], 2, [1]),
])
def test_class_of_each_sample(dtype, code, rows, num_classes, expected):
    assert classes(dtype, code, rows, num_classes) == expected


@pytest.mark.parametrize("dtype, code, num_classes, error, text", [
    (np.int16, INT16, 2, RuntimeError, "cannot evaluate on a Tensor of type int16"),
    (np.int8, INT4, 2, RuntimeError, "cannot evaluate on a Tensor of type int4"),
    (np.int8, INT8, 1, ValueError, r"Cannot classify with 1class\(es\)."),
    (np.int8, INT8, 4, ValueError, r"The number of neurons \[6\] is not a multiple of  the number of classes \[4\]."),
])
def test_unclassifiable_outputs(dtype, code, num_classes, error, text):
    with pytest.raises(error, match=f"^{text}$"):
        classes(dtype, code, [[0] * 6], num_classes)
