import numpy as np
import pytest

from ornix import core

nn = core.nn
VALID, SAME = core.Padding.Valid, core.Padding.Same
COL = [[1, 2], [3, 4], [5, 6]]  # a (3, 2) image of one channel once reshaped
W123 = np.array([1, 2, 3]).reshape(3, 1, 1, 1)  # a 3 x 1 window sliding along dimension 0


def image(rows, dtype=np.int32):
    return np.array(rows, dtype=dtype)[..., np.newaxis]


# Each row: the function, its arguments, the expected result worked out by hand.
CASES = [
    ("lshift", ([[1, -3]], [1, 2], 4), [[2, -8]]),
    ("shift", ([[5, -5]], [-1, 1], 32), [[3, -10]]),
    ("shift_out", ([[9, -5]], [-1, 0], 2), [[3, 0]]),
    ("matmul", ([[1, 2]], [[3, 4], [5, 6]], 32, False), [[13, 16]]),
    ("matmul", ([[1, 2]], [[3, 4], [5, 6]], 32, True), [[11, 17]]),
    ("add", ([[1, 2]], [[3, -4]], 2), [[1, -2]]),
    ("add", ([[1.7, -2.7]], [[0, 0]], 32), [[1, -2]]),  # float arrays are truncated
    ("concatenate", ([[1], [2]], [[3, 4], [5, 6]]), [[1, 3, 4], [2, 5, 6]]),
    ("scale_out", ([[3]], [300], [255], 32, 1), [[66]]),  # scale 44, shift -1
    ("conv2d", (image(COL), W123.astype(np.int8), 1, SAME, 32), image([[11, 16], [22, 28], [13, 16]])),
    ("conv2d", (image(COL), W123.astype(np.int8), 1, VALID, 32), image([[22, 28]])),
    ("input_conv2d", (image(COL, np.uint8), W123, 1, SAME, [10], 0), image([[21, 26], [22, 28], [43, 46]])),
    ("input_conv2d", (image(COL, np.uint8), W123, 1, SAME, [10], 12345), image([[21, 26], [22, 28], [43, 46]])),
    ("extract_token", (np.arange(12).reshape(2, 2, 3), 2**32 - 1, 0, 2), [[[6, 7]]]),
    ("conv2d_transpose", (image([[1], [2]]), W123, 2), image([[1, 0], [2, 0], [5, 0], [4, 0]])),
    ("conv2d_transpose", (image([[1]]), np.arange(1, 6).reshape(5, 1, 1, 1), 1), image([[3]])),
    ("conv2d_transpose", (image([[7]]), [[[[2]]]], 2), image([[14, 0], [0, 0]])),
    ("dequantize", ([[1, -2]], [0.5, 2.0]), np.array([[0.5, -4.0]], np.float32)),
    ("depthwise_conv2d", (image([[1], [2], [3]]), W123, 1), image([[8], [14], [8]])),
    ("relu_activation", ([[-1, 5, 9]], [4, 6, 8]), [[0, 5, 8]]),
    ("look_up", ([[-1, 1, 5]], [10, 20, 30]), [[10, 20, 30]]),
    ("global_average_pooling", ([[[1, 2]], [[2, 5]]], 32), [[[2, 4]]]),
    ("max_pooling", (-image(COL), 3, 1, 1, 1, SAME, 32), -image([[1, 2], [1, 2], [3, 4]])),
    ("max_pooling", (np.arange(9).reshape(3, 3, 1), 2, 2, 2, 2, SAME, 32), image([[4, 5], [7, 8]])),
    ("max_pooling", (np.arange(400).reshape(200, 2, 1), 200, 1, 1, 1, VALID, 32), [[[398], [399]]]),
    ("fifo_op", (COL, [7, 8]), [[3, 4], [5, 6], [7, 8]]),
    ("depth_conv_like_op", ([[1, 2], [3, 4]], [[1, -1], [2, 3]], 32), [7, 10]),
    ("subsampling_op", ([[0], [1], [2], [3], [4]], 2), [[0], [2], [4]]),
    ("upshape_op", ([[1, -3]], 2), [[4, -12]]),
    ("downshape_op", ([[5, -5]], 1), [[3, -2]]),
]


@pytest.mark.parametrize("name, args, expected", CASES)
def test_wrappers_route_to_the_engine(name, args, expected):
    args = [np.array(a) if isinstance(a, list) else a for a in args]
    before = [a.copy() for a in args if isinstance(a, np.ndarray)]
    result = getattr(nn, name)(*args)
    dtype = {"fifo_op": np.int8, "dequantize": np.float32}.get(name, np.int32)
    assert result.dtype == dtype and result.shape == np.shape(expected) and np.array_equal(result, expected)
    assert all(np.array_equal(a, b) for a, b in zip([a for a in args if isinstance(a, np.ndarray)], before))


def test_state_update_returns_both_states_and_leaves_the_arrays():
    # u = 2 x 3; decay (1.0, 0.5) with 4 fractional bits: c' = (160 - 32) / 16 + 6, d' = (80 + 64) / 16
    c, d = np.array([[10]], np.int32), np.array([[4]], np.int32)
    result = nn.stateful_main_op([[2]], [[3]], c, d, [16], [8], 4, 32)
    assert isinstance(result, tuple) and [r.tolist() for r in result] == [[[14]], [[9]]]
    assert c.tolist() == [[10]] and d.tolist() == [[4]]


@pytest.mark.parametrize("call, error, text", [
    (lambda: nn.max_pooling(image(COL), 2, 200, 1, 1, VALID, 32), TypeError, None),
    (lambda: nn.max_pooling(image(COL), 2, 1, 200, 1, VALID, 32), TypeError, None),
    (lambda: nn.concatenate([[[1]], [[2]]]), TypeError, None),
    (lambda: nn.add(x=[[1]], y=[[1]], n=32), TypeError, None),
    (lambda: nn.add([[1]], [[1]], 32, n=32), TypeError, None),
    (lambda: nn.conv2d(image(COL), W123, 1, 1, 32), TypeError, None),
    (lambda: nn.add("abc", [[1]], 32), TypeError, None),
    (lambda: nn.conv2d(image(COL), np.ones(3, np.int8), 1, SAME, 32), ValueError,
     "conv2d weights must have at least 2 dimensions, got 1."),
    (lambda: nn.conv2d_transpose([1, 2], W123, 2), ValueError,
     "conv2d_transpose input must have at least 2 dimensions, got 1."),
    (lambda: nn.depthwise_conv2d(image(COL), [1], 1), ValueError,
     "depthwise_conv2d weights must have at least 2 dimensions, got 1."),
    (lambda: nn.add(5, 5, 32), ValueError, "Cannot instantiate a Dense with 0 dimensions (min 1, max 4).\n"),
    (lambda: nn.add(np.zeros((1, 0)), [[1]], 32), RuntimeError, "Cannot have a shape with a dimension set to 0"),
])
def test_refusals(call, error, text):
    with pytest.raises(error) as raised:
        call()
    if text is not None:
        assert str(raised.value) == text


def test_docstring():
    assert nn.__doc__ == ("Ornix Neural Network software internal functions. These are meant for testing, debugging "
                          "and validation only.")
