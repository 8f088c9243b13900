"""Seeded random models of both generations mapped on virtual devices, for the random-model test
and scripts/random_models.py.

A case draws a model of one generation's layer kinds with parameters around their limits (some
left out), fills its variables (mostly in range, now and then one past it), and maps it with
`hw_only` true or false on a virtual device of that generation with a random mesh. Even seeds
are tame: they keep mostly to values the checks accept, so that many maps succeed. A case passes
when the mapping succeeds and every hardware program parses, or when it fails with an exception
that names a layer (or refuses the shape of a pass) and holds no raw library text; on generation
1 it must also fail in the words of a check, not of a recorder."""
import random
import re

import numpy as np

from ornix import core
from ornix.core import NP

# Texts that only a library or a broken invariant writes; a user never should see them.
RAW_TEXTS = re.compile(r"_M_|stoi|bad_|std::|vector|map::at|basic_string|Wrong requested type|out_of_range|"
                       r"range check|Key .* not found|Variable .* not found")
# Generation 1 checks every value its recorders write, so a layer that passes its checks records.
# Generation 2's recorders refuse a few layers its checks admit (an HRC of 2 or 4 channels or
# with average pooling, a value wider than its register field), naming the layer.
UNCHECKED_TEXTS = {"v1": re.compile(r"Error when programming layer|Attempted to write value|cannot fit in a"),
                   "v2": None}
# Refusals of the shape of a pass or of a skip connection, worded without a layer's name.
UNNAMED_REFUSALS = ("Can't retrieve the first mappable layer. This pass definition is not yet supported.",
                    "Bad mapping on skip connection. Several branches.",
                    "The maximum number of descriptors is more than allowed.")
# Variables above this many values are filled with a repeated random block, and the variables of
# the layers of more multiply-accumulates than FILLED_MACS (other than the input convolutions,
# whose weights are few) keep their first values: that keeps the huge layers cheap to draw.
FILL_BLOCK = 1 << 14
FILLED_MACS = 1 << 24
INPUT_CONVOLUTIONS = (core.InputConvolutional, core.InputConv2D)
# The widest input a CNP takes, in both generations, and the most input values of a v2 FNP.
MAX_CNP_WIDTH = 4096
FNP_INPUTS = 2048


def pick(rng, values, tame=None):
    """One of `values`, or of `tame` (values every check accepts) in a tame case."""
    if tame is not None and rng.tame:
        values = tame
    return values[rng.randrange(len(values))]


def maybe(rng, params, key, value, omit=0.15):
    """Sets the parameter but in a share `omit` of the cases (a tenth of it in a tame case)."""
    if rng.random() >= (omit / 10 if rng.tame else omit):
        params[key] = value


def random_values(rng, low, high, shape, dtype):
    """Values from low to high inclusive, clipped to the range of `dtype`; a large shape repeats a
    random block."""
    gen = np.random.default_rng(rng.randrange(1 << 30))
    count = int(np.prod(shape, dtype=np.int64))
    limits = np.iinfo(dtype)
    block = np.clip(gen.integers(low, high + 1, size=min(count, FILL_BLOCK)), limits.min, limits.max).astype(dtype)
    return np.resize(block, shape) if count > FILL_BLOCK else block.reshape(shape)


def bounded(rng, low, high, shape, dtype):
    """random_values, now and then (outside the tame cases) with one bound one past its range."""
    if not rng.tame and rng.random() < 0.1:
        if rng.random() < 0.5 or low == 0:
            high += 1
        else:
            low -= 1
    return random_values(rng, low, high, shape, dtype)


# Generation 1: InputConvolutional on the HRC, Convolutional and SeparableConvolutional on CNPs,
# FullyConnected on FNPs.

V1_VERSIONS = [core.Tarvik_v1, core.KPL2200_v1, core.Vamo_v2]


def v1_conv_params(rng, kernels, first):
    params = {}
    kernel = pick(rng, kernels, kernels[:4])
    maybe(rng, params, "kernel_width", kernel, 0.01)
    maybe(rng, params, "kernel_height", kernel if rng.tame or rng.random() < 0.9 else pick(rng, kernels), 0.01)
    stride = pick(rng, [1, 1, 1, 1, 2, 2, 3, 4, 7, 8, 0], [1, 1, 2] if kernel == 3 else [1])
    maybe(rng, params, "stride_x", stride)
    maybe(rng, params, "stride_y", stride if rng.tame or rng.random() < 0.9 else pick(rng, [1, 2, 3, 8]))
    maybe(rng, params, "padding", pick(rng, [core.Same, core.Same, core.Valid], [core.Same]))
    pool = pick(rng, [core.NoPooling, core.NoPooling, core.Max, core.Max, core.Average],
                [core.NoPooling, core.NoPooling, core.NoPooling, core.Max])
    maybe(rng, params, "pool_type", pool)
    if pool == core.Average:
        size = pick(rng, [-1, -1, 2])
    else:
        size = pick(rng, [1, 2, 2, 2, 3, 4, 0], [1, 2])
    maybe(rng, params, "pooling_width", size, 0.05)
    maybe(rng, params, "pooling_height", size if rng.tame or rng.random() < 0.9 else pick(rng, [1, 2, 3]), 0.05)
    pstride = pick(rng, [-1, size, size, 1, 2, 3], [-1, size])
    maybe(rng, params, "pooling_stride_x", pstride)
    maybe(rng, params, "pooling_stride_y", pstride if rng.tame or rng.random() < 0.9 else pick(rng, [-1, 1, 2]))
    maybe(rng, params, "filters", pick(rng, [1, 2, 3, 8, 16, 17, 24, 39, 64, 65, 96, 192, 193, 512, 513]
                                       if first else [1, 2, 8, 16, 24, 39, 64, 100, 256, 2048, 2049],
                                       [8, 16, 24, 32] if first else [1, 8, 16, 24, 39, 64, 100]), 0.01)
    maybe(rng, params, "weights_bits", pick(rng, [1, 2, 4, 4, 3, 8], [2, 4] if not first else None))
    maybe(rng, params, "activation", pick(rng, [1, 1, 1, 0], [1]))
    maybe(rng, params, "act_bits", pick(rng, [1, 2, 4, 4, 3, 8], [1, 2, 4]))
    return params


def v1_input_conv(rng):
    params = v1_conv_params(rng, [3, 3, 5, 7, 1, 4, 9], True)
    # Frames far wider than any CNP takes: the HRC alone may still take them.
    maybe(rng, params, "input_width", pick(rng, [4, 5, 8, 16, 32, 33, 64, 255, 256, 4097, 1 << 20, 253431024],
                                           [8, 16, 32, 64, 8, 16, 1 << 20, 1 << 22, 1 << 24, 253431024]), 0.02)
    maybe(rng, params, "input_height", pick(rng, [1, 4, 5, 8, 16, 32, 256, 257], [8, 16, 32]), 0.02)
    maybe(rng, params, "input_channels", pick(rng, [1, 1, 3, 3, 2], [1, 3]), 0.02)
    maybe(rng, params, "padding_value", pick(rng, [0, 0, 1, 255, 256], [0, 1, 255]))
    return core.InputConvolutional, params


def v1_cnp(rng):
    layer_type = pick(rng, [core.Convolutional, core.Convolutional, core.SeparableConvolutional])
    kernels = [1, 3, 3, 3, 5, 7, 2, 9] if layer_type == core.Convolutional else [3, 3, 5, 7, 1, 2, 9]
    return layer_type, v1_conv_params(rng, kernels, False)


def v1_fully_connected(rng):
    params = {}
    maybe(rng, params, "units", pick(rng, [1, 2, 10, 64, 100, 1024, 2048, 4096], [1, 2, 10, 64, 100]), 0.01)
    maybe(rng, params, "weights_bits", pick(rng, [1, 2, 3, 4, 4, 5, 8], [1, 2, 4]))
    maybe(rng, params, "activation", pick(rng, [1, 1, 1, 0]))
    maybe(rng, params, "act_bits", pick(rng, [1, 2, 4, 4, 3, 8], [1, 2, 4]))
    return core.FullyConnected, params


def v1_input_data(rng):
    params = {"input_width": pick(rng, [1, 1, 4, 8, 16, 32, 33, 64], [1, 8, 16, 32]),
              "input_height": pick(rng, [1, 1, 4, 8, 16, 32], [1, 8, 16, 32]),
              "input_channels": pick(rng, [1, 3, 8, 16, 64, 512, 2048, 2049, 100000], [1, 3, 8, 16, 64])}
    maybe(rng, params, "input_bits", pick(rng, [1, 2, 4, 4, 8], [1, 2, 4]))
    return core.InputData, params


def v1_layer_kinds(rng):
    kinds = [v1_input_conv(rng) if rng.random() < 0.5 else v1_input_data(rng)]
    if kinds[0][1].get("input_width", 0) > MAX_CNP_WIDTH and rng.random() < 0.7:
        return kinds  # a frame that only the HRC takes, alone
    # Up to six convolutions: more than a small mesh's CNPs take in one pass.
    for _ in range(rng.choice([0, 0, 1, 2, 3, 6])):
        kinds.append(v1_cnp(rng))
    if rng.tame and len(kinds) > 1:
        kinds[-1][1].pop("pool_type", None)  # max pooling may not end a sequence
    for _ in range(rng.randrange(0, 3)):
        kinds.append(v1_fully_connected(rng))
    if rng.random() < 0.05:
        kinds.append((core.Dense1D, {"units": 4, "weights_bits": 4}))
    return kinds


def v1_weights(rng, bits, shape):
    high = 1 if bits in (1, 2) else (1 << (bits - 1)) - 1 if 0 < bits < 9 else 7
    low = 0 if bits == 1 and rng.tame else -high
    if rng.random() < 0.1 and not rng.tame:
        high += 1  # one past the range now and then
    if not rng.tame and rng.random() < 0.05:
        return np.zeros(shape, np.int8)
    return random_values(rng, low, high, shape, np.int8)


def v1_fill_variables(rng, added, params):
    variables = added.variables
    for name in variables.names:
        shape = variables[name].shape
        if name.startswith("weights"):
            variables[name] = v1_weights(rng, params.get("weights_bits", 8), shape)
        elif name == "threshold":
            high = pick(rng, [8, 100, 1 << 19, 1 << 23, 1 << 30], [8, 100, 1 << 19])
            variables[name] = random_values(rng, -high, high - 1, shape, np.int32)
        elif name == "act_step":
            high = pick(rng, [1.0, 16.0, 65536.0, 1048576.0, 1e7], [1.0, 16.0, 65535.0])
            gen = np.random.default_rng(rng.randrange(1 << 30))
            variables[name] = gen.uniform(0, high, size=shape).astype(np.float32)


def v1_learn(rng, model, fc):
    """Makes the last FullyConnected layer learn: `num_weights` inputs per neuron set to 1."""
    weights = fc.variables["weights"]
    inputs, units = weights.shape
    num_weights = min(inputs, pick(rng, [1, 2, 4, 9, 64, 1000], [1, 2, 4, 9]))
    connected = np.zeros(weights.shape, np.int8)
    for n in range(units):
        connected[(np.arange(num_weights) + n) % inputs, n] = 1
    fc.variables["weights"] = connected
    model.compile(core.OrnixUnsupervised(
        num_weights=num_weights, num_classes=pick(rng, [1, 2, units, 1024], [1, 2]),
        initial_plasticity=pick(rng, [1.0, 0.5, 1e4, -1.0], [1.0, 0.5]),
        learning_competition=pick(rng, [0.0, 0.5, -1e5, 2.0], [0.0, 0.5]),
        min_plasticity=pick(rng, [0.1, 0.0, 1e4], [0.1, 0.0]), plasticity_decay=pick(rng, [0.25, 1.0, 1e5], [0.25])))


def v1_model(rng, model, names):
    for index, (layer_type, params) in enumerate(v1_layer_kinds(rng)):
        added = core.Layer(core.LayerParams(layer_type, params), f"l{index}_{layer_type.name}")
        model.add(added)
        names.append(added.name)
        if added.macs <= FILLED_MACS or layer_type in INPUT_CONVOLUTIONS:
            v1_fill_variables(rng, added, params)
    learnable = not rng.tame or params.get("weights_bits") == 1
    if layer_type == core.FullyConnected and learnable and added.macs <= FILLED_MACS and rng.random() < 0.4:
        v1_learn(rng, model, added)


def v1_device(rng):
    cnps = pick(rng, [0, 1, 1, 2, 4, 8, 16], [1, 2, 4, 8, 16])
    nps = [NP.Info(NP.Ident(2 + i // 4, 1, i % 4), [NP.CNP1, NP.CNP2]) for i in range(cnps)]
    fnp = pick(rng, [NP.FNP3, NP.FNP2, None], [NP.FNP3, NP.FNP2])
    if fnp is not None:
        nps.append(NP.Info(NP.Ident(7, 1, 0), [fnp]))
    hrc = NP.Info.hrc(False) if rng.tame or rng.random() < 0.85 else None
    mesh = NP.Mesh(core.IpVersion.v1, NP.Ident(1, 1, 0), NP.Ident(1, 1, 1), hrc, nps)
    if rng.random() < 0.05:
        mesh.np_sram_size = NP.SramSize(pick(rng, [1024, 43008, 1 << 20]), pick(rng, [1024, 44800, 1 << 20]))
    return core.Device(pick(rng, V1_VERSIONS), mesh)


# Generation 2: InputConv2D on the HRC; Conv2D, DepthwiseConv2D and the transposed forms on
# CNPs; the buffered temporal layers on TNP-Bs; Dense1D on FNPs; Add and Concatenate joining
# branches on skip-DMA engines; a Dequantizer at the end.

ACTIVATIONS = [core.ReLU, core.ReLU, core.ReLU, core.NoActivation, core.LUT, 3]


def v2_output_params(rng, params):
    maybe(rng, params, "activation", pick(rng, ACTIVATIONS, [core.ReLU, core.ReLU, core.ReLU, core.NoActivation]))
    maybe(rng, params, "output_bits", pick(rng, [8, 8, 4, 28, 32, 1, 16], [8]), 0.3)


def v2_conv(rng, layer_type, closing=False):
    """A CNP layer's parameters; a tame one that closes the model does not max-pool."""
    params = {}
    if layer_type in (core.Conv2D, core.DepthwiseConv2D):
        kernels = [1, 3, 3, 5, 7] if layer_type == core.Conv2D else [3, 3, 5, 7]
        maybe(rng, params, "kernel_size", pick(rng, kernels + [2, 4, 9], kernels), 0.01)
        pool = pick(rng, [core.NoPooling, core.NoPooling, core.Max, core.Max, core.Average],
                    [core.NoPooling] if closing else [core.NoPooling, core.NoPooling, core.Max])
        maybe(rng, params, "pool_type", pool)
        maybe(rng, params, "kernel_stride", pick(rng, [1, 1, 1, 1, 2, 2, 3, 0], [1, 1, 2] if pool == core.NoPooling
                                                 else [1]))
        maybe(rng, params, "padding", pick(rng, [core.Same, core.Same, core.Valid], [core.Same]), 0.05)
        size = pick(rng, [-1, -1, 2]) if pool == core.Average else pick(rng, [1, 2, 2, 2, 3], [2])
        maybe(rng, params, "pool_size", size)
        maybe(rng, params, "pool_stride", pick(rng, [-1, size, size, 1, 3], [-1, size]))
    else:  # the transposed forms double the plane unless told otherwise
        maybe(rng, params, "kernel_size", pick(rng, [3, 4, 4, 1, 5], [3, 4]), 0.01)
        maybe(rng, params, "kernel_stride", pick(rng, [2, 2, 2, 1, 3, 64], [2]))
    if layer_type in (core.Conv2D, core.Conv2DTranspose):
        maybe(rng, params, "filters", pick(rng, [1, 3, 8, 16, 17, 32, 64, 100, 512, 2048, 2049],
                                           [1, 3, 8, 16, 17, 32, 64]), 0.01)
    maybe(rng, params, "weights_bits", pick(rng, [8, 8, 4, 4, 2, 1], [8]))
    v2_output_params(rng, params)
    return layer_type, params


def v2_temporal(rng, layer_type):
    params = {}
    maybe(rng, params, "fifo_size", pick(rng, [1, 2, 3, 5, 12, 13, 64], [1, 2, 3, 5, 12]), 0.01)
    if layer_type == core.BufferTempConv:
        maybe(rng, params, "filters", pick(rng, [1, 4, 8, 16, 33, 2048, 2049], [4, 8, 16]), 0.01)
    maybe(rng, params, "weights_bits", pick(rng, [8, 8, 4], [8]))
    maybe(rng, params, "activation", pick(rng, [core.ReLU, core.NoActivation, core.LUT], [core.ReLU]))
    maybe(rng, params, "output_bits", pick(rng, [8, 8, 4, 28], [8]), 0.3)
    return layer_type, params


def v2_dense(rng):
    params = {}
    maybe(rng, params, "units", pick(rng, [1, 2, 10, 64, 100, 1024, 2048, 65535, 65536], [1, 2, 10, 64, 100]), 0.01)
    maybe(rng, params, "weights_bits", pick(rng, [8, 8, 4, 2], [8]))
    v2_output_params(rng, params)
    return core.Dense1D, params


def v2_input_conv(rng):
    params = {}
    kernel = pick(rng, [3, 3, 4, 5, 7, 1, 9], [3, 3, 4, 5, 7])
    maybe(rng, params, "kernel_size", kernel, 0.01)
    maybe(rng, params, "kernel_stride", pick(rng, [1, 1, 2, 3, 6, 7], [1, 1, 2]))
    maybe(rng, params, "padding", pick(rng, [core.Same, core.Same, core.Valid], [core.Same, core.Valid]))
    pool = pick(rng, [core.NoPooling, core.NoPooling, core.Max, core.Average], [core.NoPooling, core.Max])
    maybe(rng, params, "pool_type", pool)
    maybe(rng, params, "pool_size", pick(rng, [2, 3, 1, -1], [2, 3]))
    maybe(rng, params, "pool_stride", pick(rng, [2, 2, 1, 3], [2]))
    maybe(rng, params, "filters", pick(rng, [1, 4, 8, 16, 32, 512, 513], [1, 4, 8, 16, 32]), 0.01)
    maybe(rng, params, "weights_bits", pick(rng, [8, 8, 4], [8]))
    params["activation"] = pick(rng, [core.ReLU, core.ReLU, core.LUT, core.NoActivation], [core.ReLU])
    maybe(rng, params, "output_bits", pick(rng, [8, 8, 4, 2], [8]), 0.3)
    return core.InputConv2D, params


def v2_input_data(rng, hrc):
    if hrc:  # frames far wider than any CNP takes: the HRC alone may still take them
        width = pick(rng, [5, 8, 32, 64, 640, 4097, 1 << 20, 253431024],
                     [8, 32, 64, 640, 8, 32, 1 << 20, 1 << 22, 1 << 24, 253431024])
        height = pick(rng, [5, 8, 16, 32, 384, 385, 4], [8, 16, 32])
        channels = pick(rng, [1, 3, 3, 2, 4], [1, 3])
    else:
        width = pick(rng, [1, 4, 8, 16, 33, 64, 65, 4096, 4097], [1, 4, 8, 16, 33, 64])
        height = pick(rng, [1, 4, 8, 16, 33, 256, 4097], [1, 4, 8, 16, 33])
        channels = pick(rng, [1, 3, 8, 16, 64, 100, 2048, 2049], [1, 3, 8, 16, 64, 100])
    params = {"input_width": width, "input_height": height, "input_channels": channels}
    maybe(rng, params, "input_bits", pick(rng, [8, 8, 4, 1, 16], [8]), 0.5)
    maybe(rng, params, "input_signed", pick(rng, [0, 1]), 0.5)
    return core.InputData, params


CNP_KINDS = [core.Conv2D, core.Conv2D, core.Conv2D, core.DepthwiseConv2D, core.DepthwiseConv2D, core.Conv2DTranspose,
             core.DepthwiseConv2DTranspose, core.BufferTempConv, core.DepthwiseBufferTempConv]


def v2_processing(rng, closing):
    layer_type = pick(rng, CNP_KINDS)
    if layer_type in (core.BufferTempConv, core.DepthwiseBufferTempConv):
        return v2_temporal(rng, layer_type)
    return v2_conv(rng, layer_type, closing)


def v2_same_shape_conv(rng, channels):
    """A Conv2D whose output keeps its input's plane and has `channels` channels (in a tame case)."""
    layer_type, params = v2_conv(rng, core.Conv2D)
    if rng.tame or rng.random() < 0.7:
        params.update(kernel_size=pick(rng, [1, 3]), kernel_stride=1, padding=core.Same, pool_type=core.NoPooling,
                      filters=channels)
    return layer_type, params


def v2_merge_shifts(rng, variables):
    """Add shifts: |a - b| at most 15 and max(a, b) + output_shift from -4 to 3, in a tame case."""
    channels = variables["a_shift"].shape
    a = random_values(rng, 0, 7, channels, np.int32)
    b = a if rng.random() < 0.5 else random_values(rng, 0, 7, channels, np.int32)
    out = -np.maximum(a, b) + random_values(rng, -4, 3, channels, np.int32)
    if not rng.tame and rng.random() < 0.3:
        (a if rng.random() < 0.5 else out)[0] += pick(rng, [16, 8, -8])
    variables["a_shift"] = np.clip(a, 0, 255).astype(np.uint8)
    variables["b_shift"] = np.clip(b, 0, 255).astype(np.uint8)
    variables["output_shift"] = np.clip(out, -128, 127).astype(np.int8)


# Per variable of the generation-2 layers: (low, high) of the values the checks accept.
V2_RANGES = {"input_shift": (0, 7), "padding_value": (0, 255), "output_shift": (-32, 31), "output_scales": (0, 255),
             "bias_shift": (0, 31), "bias": (-128, 127)}


def v2_fill_variables(rng, added, layer_type, params):
    variables = added.variables
    if layer_type == core.Add:
        v2_merge_shifts(rng, variables)
        return
    for name in variables.names:
        current = variables[name]
        if name == "weights":
            high = 7 if params.get("weights_bits", 8) == 4 else 127
            values = bounded(rng, -high, high, current.shape, current.dtype)
            if layer_type == core.InputConv2D or rng.random() < 0.9:
                values.flat[0] = high  # one value not zero: the HRC refuses all-zero weights
            variables[name] = values
        elif name == "scales":
            gen = np.random.default_rng(rng.randrange(1 << 30))
            variables[name] = gen.uniform(-4, 4, size=current.shape).astype(np.float32)
        elif name in V2_RANGES and rng.random() < 0.7:
            # Shifts and scales left as they are (0, and 1 for the scales) are what a layer
            # without activation and an output above 8 bits needs.
            variables[name] = bounded(rng, *V2_RANGES[name], current.shape, current.dtype)


class V2Builder:
    """Adds layers to a generation-2 model one after the other, or on inbound layers it is given."""

    def __init__(self, rng, model, names):
        self.rng, self.model, self.names = rng, model, names

    def add(self, layer_type, params, inbounds=()):
        added = core.Layer(core.LayerParams(layer_type, params), f"l{len(self.names)}_{layer_type.name}")
        self.model.add(added, list(inbounds))
        self.names.append(added.name)
        if added.macs <= FILLED_MACS or layer_type in INPUT_CONVOLUTIONS:
            v2_fill_variables(self.rng, added, layer_type, params)
        return added

    def branches(self, source):
        """Two branches from `source` joined by an Add or a Concatenate, then a convolution (the
        layer a merge feeds must be on a CNP)."""
        rng = self.rng
        channels = source.output_dims[2]
        first = self.add(*v2_same_shape_conv(rng, channels), [source])
        second = source if rng.random() < 0.4 else self.add(*v2_same_shape_conv(rng, channels), [source])
        merge = pick(rng, [core.Add, core.Concatenate])
        params = {}
        maybe(rng, params, "output_bits", pick(rng, [8, 8, 4], [8]), 0.7)
        joined = self.add(merge, params, pick(rng, [[first, second], [second, first]]))
        if rng.tame or rng.random() < 0.8:
            joined = self.add(*v2_conv(rng, core.Conv2D, True))
        return joined


def v2_model(rng, model, names):
    builder = V2Builder(rng, model, names)
    hrc = rng.random() < 0.35
    input_type, input_params = v2_input_data(rng, hrc)
    last = builder.add(input_type, input_params)
    if hrc:
        last = builder.add(*v2_input_conv(rng))
        if input_params["input_width"] > MAX_CNP_WIDTH and rng.random() < 0.7:
            return  # a frame that only the HRC takes, alone
    # At least one layer after the input data.
    processing = rng.choice([0, 1, 1, 2, 3, 5]) if hrc else rng.choice([1, 1, 2, 3, 5])
    dense = rng.choice([0, 0, 1, 1, 2])
    for index in range(processing):
        # A tame case does not branch from the first layer: an HRC layer feeds one layer only, and
        # a pass may not start with two layers.
        if rng.random() < 0.25 and not (rng.tame and index == 0):
            last = builder.branches(last)
        else:
            last = builder.add(*v2_processing(rng, dense == 0 and index == processing - 1))
    if rng.tame and np.prod(last.output_dims) > FNP_INPUTS:
        dense = 0
    for _ in range(dense):
        builder.add(*v2_dense(rng))
    if rng.random() < 0.03:
        builder.add(core.StatefulRecurrent, {"out_channels": 4, "subsample_ratio": 1})
    if rng.random() < 0.3:
        builder.add(core.Dequantizer, {})


NP_KINDS = [[NP.CNP1, NP.CNP2], [NP.CNP1, NP.CNP2], [NP.CNP1, NP.CNP2, NP.TNP_B], [NP.TNP_B], [NP.FNP3],
            [NP.FNP2], [NP.FNP3, NP.TNP_B, NP.TNP_R]]


def v2_device(rng):
    count = pick(rng, [1, 2, 4, 8, 16, 24], [1, 2, 4, 8, 16])
    lut = rng.random() < 0.3
    nps = [NP.Info(NP.Ident(2 + i // 4, 1, i % 4), pick(rng, NP_KINDS, NP_KINDS[:3] + NP_KINDS[-1:]), lut)
           for i in range(count)]
    if rng.tame or rng.random() < 0.7:
        nps.append(NP.Info(NP.Ident(9, 1, 0), [NP.CNP1, NP.CNP2], lut))
        nps.append(NP.Info(NP.Ident(9, 1, 1), [pick(rng, [NP.FNP3, NP.FNP2])], lut))
    # Skip-DMA engines, the channel count in the ident's channel byte (the first engine's counts).
    channels = pick(rng, [0, 1, 1, 2, 4], [2, 4])
    skip_dmas = [NP.Info(NP.Ident(10, 1, engine, channels), [NP.SKIP_DMA_STORE, NP.SKIP_DMA_LOAD])
                 for engine in range(pick(rng, [0, 1, 1, 2], [1, 2]))]
    hrc = NP.Info.hrc(lut) if rng.tame or rng.random() < 0.8 else None
    mesh = NP.Mesh(core.IpVersion.v2, NP.Ident(1, 1, 0), NP.Ident(1, 1, 1), hrc, nps, skip_dmas)
    if rng.random() < 0.05:
        mesh.np_sram_size = NP.SramSize(pick(rng, [1024, 1 << 16, 1 << 20]), pick(rng, [1024, 1 << 16, 1 << 20]))
    return core.Device(core.Pelmo_v2, mesh)


GENERATIONS = {"v1": (v1_model, v1_device), "v2": (v2_model, v2_device)}


def check_success(model):
    """Problems of a model the mapping accepted."""
    problems = []
    for sequence in model.sequences:
        if sequence.backend == core.Hardware:
            try:
                core.get_program_memory_infos(sequence.program)
            except Exception as error:  # noqa: BLE001 - any refusal is the finding
                problems.append(f"program does not parse: {error}")
    for mapped in model.layers:
        mapping = mapped.mapping
        if mapping is not None:
            for component in mapping.nps + mapping.skipdma_loads + mapping.skipdma_stores:
                component.mem_info.input_size  # noqa: B018 - reading the figures is the check
    return problems


def judge_failure(generation, error, names):
    text = str(error)
    problems = []
    if RAW_TEXTS.search(text):
        problems.append("raw text")
    if not any(name in text for name in names) and text not in UNNAMED_REFUSALS:
        problems.append("no layer named")
    unchecked = UNCHECKED_TEXTS[generation]
    if unchecked is not None and unchecked.search(text):
        problems.append("passed the checks, failed recording")
    return problems


def run_case(generation, seed):
    """(outcome, text, problems): outcome "build" (the model was refused while built), "refused"
    (by the mapping) or "mapped"; the refusal's text; what is wrong with the outcome, if anything."""
    make_model, make_device = GENERATIONS[generation]
    rng = random.Random(seed)
    rng.tame = seed % 2 == 0
    model = core.Model()
    names = []
    try:
        make_model(rng, model, names)
    except (ValueError, RuntimeError) as error:
        # A model refused while it is built names what it refuses; only a library's text is a fault.
        return "build", str(error), ["raw text"] if RAW_TEXTS.search(str(error)) else []
    except Exception as error:  # noqa: BLE001 - any other kind of exception is the finding
        return "build", f"{type(error).__name__}: {error}", ["unexpected exception"]
    device = make_device(rng)
    hw_only = rng.random() < 0.5
    try:
        model._map(device, hw_only)
    except (ValueError, RuntimeError) as error:
        return "refused", str(error), judge_failure(generation, error, names)
    except Exception as error:  # noqa: BLE001 - any other kind of exception is the finding
        return "refused", f"{type(error).__name__}: {error}", ["unexpected exception"]
    return "mapped", "", check_success(model)


def run_cases(generation, seeds, report=None):
    """Outcome counts, and one line per case with problems, each also given to `report` as soon as
    it is found."""
    outcomes = {"build": 0, "refused": 0, "mapped": 0}
    lines = []
    for seed in seeds:
        outcome, text, problems = run_case(generation, seed)
        outcomes[outcome] += 1
        if problems:
            lines.append(f"{generation} seed {seed}: {outcome}: {', '.join(problems)}" + (f": {text}" if text else ""))
            if report is not None:
                report(lines[-1])
    return outcomes, lines
