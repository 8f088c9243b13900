"""Generation-1 layers with every parameter, models of them with weights in range, virtual IP v1
devices, and what a mapping made of a model, for the generation-1 tests."""
import numpy as np

from ornix import core
from ornix.core import NP

NO_POOLING = dict(pool_type=core.NoPooling, pooling_width=1, pooling_height=1, pooling_stride_x=1, pooling_stride_y=1)
MAX_POOL_2X2 = dict(pool_type=core.Max, pooling_width=2, pooling_height=2, pooling_stride_x=2, pooling_stride_y=2)
# 3x3 kernels, stride 1, Same padding, 2-bit activations.
CONV = dict(kernel_width=3, kernel_height=3, stride_x=1, stride_y=1, padding=core.Same, activation=1, act_bits=2)


def layer(layer_type, name, **params):
    return core.Layer(core.LayerParams(layer_type, params), name)


# Every layer gets every parameter its checks and its recorder read; 8 filters or 10 units of 2-bit weights.
def input_conv():
    return layer(core.InputConvolutional, "input_conv", input_width=8, input_height=8, input_channels=1,
                 padding_value=0, filters=8, weights_bits=2, **CONV, **NO_POOLING)


def conv(name):
    return layer(core.Convolutional, name, filters=8, weights_bits=2, **CONV, **NO_POOLING)


def separable_with_max_pool(name):
    return layer(core.SeparableConvolutional, name, filters=8, weights_bits=2, **CONV, **MAX_POOL_2X2)


def fully_connected():
    return layer(core.FullyConnected, "fc", units=10, weights_bits=2, activation=1, act_bits=1)


def model_of(*layers):
    """The layers in a chain, each weight -1, 0 or 1, thresholds 0 to 7 and steps of 1."""
    model = core.Model()
    rng = np.random.default_rng(7)
    for added in layers:
        model.add(added)
        variables = added.variables
        for name in variables.names:
            shape = variables[name].shape
            if name.startswith("weights"):
                variables[name] = rng.integers(-1, 2, size=shape, dtype=np.int8)
            elif name == "threshold":
                variables[name] = rng.integers(0, 8, size=shape, dtype=np.int32)
            elif name == "act_step":
                variables[name] = np.ones(shape, np.float32)
    return model


def v1_device(version, fnp=NP.FNP3, cnps=4):
    """An HRC, `cnps` CNPs in column 2 and one FNP of kind `fnp` in column 3, the DMA in column 1."""
    nps = [NP.Info(NP.Ident(2, 1, i), [NP.CNP1, NP.CNP2]) for i in range(cnps)]
    nps.append(NP.Info(NP.Ident(3, 1, 0), [fnp]))
    mesh = NP.Mesh(core.IpVersion.v1, NP.Ident(1, 1, 0), NP.Ident(1, 1, 1), NP.Info.hrc(False), nps)
    return core.Device(version, mesh)


def sequence_layout(model):
    """Per sequence, per pass, the names of its layers."""
    return [[[mapped.name for mapped in p.layers] for p in sequence.passes] for sequence in model.sequences]


def component_kinds(model):
    """Per mapped layer, the kinds of its components."""
    return {mapped.name: sorted({c.type for c in mapped.mapping.nps}, key=int) for mapped in model.layers
            if mapped.mapping is not None}


def memory_figures(model):
    """Per mapped layer, (input, weight, external) bytes of each of its components."""
    return {mapped.name: [(c.mem_info.input_size, c.mem_info.weight_size, c.mem_info.external_size)
                          for c in mapped.mapping.nps] for mapped in model.layers if mapped.mapping is not None}


def three_layers():
    return model_of(input_conv(), conv("conv"), fully_connected())


def separable_with_max_pooling():
    return model_of(input_conv(), separable_with_max_pool("separable"), conv("conv"), fully_connected())


def three_convolutions():
    return model_of(input_conv(), conv("conv_a"), conv("conv_b"), conv("conv_c"), fully_connected())
