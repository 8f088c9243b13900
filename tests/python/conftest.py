import pytest

from ornix import _testing, core

CONV2D = {"kernel_size": 3, "kernel_stride": 1, "filters": 8, "padding": 1, "activation": 1, "pool_type": 0,
          "weights_bits": 8, "output_bits": 8}


class Built:
    def __init__(self, *layers):
        self.model = _testing.Model()
        for name, layer_type, params, *inbounds in layers:
            setattr(self, name, core.Layer(core.LayerParams(layer_type, params), name))
            self.model.add(getattr(self, name), [getattr(self, n) for n in inbounds])


def input_layer(width, height, channels):
    return ("input", core.InputData, {"input_width": width, "input_height": height, "input_channels": channels})


@pytest.fixture
def fc():
    return Built(input_layer(4, 4, 2), ("fc", core.FullyConnected, {"units": 3, "weights_bits": 4}))


@pytest.fixture
def residual():
    """x feeds a skip connection, y keeps m1's value in a second output, y and z load skip data."""
    built = Built(input_layer(8, 8, 8), ("x", core.Conv2D, CONV2D), ("c1", core.Conv2D, CONV2D),
                  ("m1", core.Add, {}, "x", "c1"), ("y", core.Conv2D, CONV2D), ("c3", core.Conv2D, CONV2D),
                  ("m3", core.Add, {}, "m1", "c3"), ("z", core.Conv2D, CONV2D))
    NP = core.NP
    cnps = [NP.Info(NP.Ident(col, 1, i), [NP.CNP1, NP.CNP2]) for col in range(2, 6) for i in range(4)]
    skip_dma = NP.Info(NP.Ident(6, 1, 0, 4), [NP.SKIP_DMA_STORE, NP.SKIP_DMA_LOAD])
    built.model.map(core.Device(core.Pelmo_v2, NP.Mesh(core.v2, NP.Ident(1, 1, 0), NP.Ident(1, 1, 1), None, cnps,
                                                       [skip_dma])))
    return built
