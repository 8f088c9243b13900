import pytest

from ornix import _testing, core


def conv2d(filters):
    return {"kernel_size": 3, "kernel_stride": 1, "filters": filters, "padding": 1, "activation": 1,
            "pool_type": 0, "weights_bits": 8, "output_bits": 8}


class Built:
    """A model assembled from Python layers; layers are reached by name as attributes."""

    def __init__(self):
        self.model = _testing.Model()

    def add(self, name, layer_type, params, inbounds=()):
        layer = core.Layer(core.LayerParams(layer_type, params), name)
        self.model.add(layer, [getattr(self, n) for n in inbounds])
        setattr(self, name, layer)
        return self


def with_input(width, height, channels):
    return Built().add("input", core.InputData,
                       {"input_width": width, "input_height": height, "input_channels": channels})


@pytest.fixture
def fc():
    """InputData 4x4x2 -> FullyConnected of 3 units with 4-bit weights."""
    return with_input(4, 4, 2).add("fc", core.FullyConnected, {"units": 3, "weights_bits": 4})


@pytest.fixture
def residual():
    """x -> c1, m1 = x + c1 -> y -> c3, m3 = m1 + c3 -> z, mapped on a virtual v2 device: x feeds a
    skip connection, y keeps m1's value in a second output, y and z load skip data."""
    built = with_input(8, 8, 8).add("x", core.Conv2D, conv2d(8)).add("c1", core.Conv2D, conv2d(8))
    built.add("m1", core.Add, {}, ["x", "c1"]).add("y", core.Conv2D, conv2d(8)).add("c3", core.Conv2D, conv2d(8))
    built.add("m3", core.Add, {}, ["m1", "c3"]).add("z", core.Conv2D, conv2d(8))
    built.model.map_on_virtual_v2()
    return built
