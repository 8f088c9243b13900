"""Builds a small IP v2 model and a small IP v1 model, maps each onto a virtual device (a mesh
description with no hardware behind it) and prints what the mapping made: each layer's
components with their memory figures, the component counts and the external memory, and each
sequence with its passes, program size and the memory its program needs. Then runs
an unmapped copy of the v2 model in software, and saves the model to a file and loads it back."""
import os
import tempfile

import numpy as np

from ornix import core
from ornix.core import NP


def layer(layer_type, name, **params):
    return core.Layer(core.LayerParams(layer_type, params), name)


def v2_model():
    conv = dict(kernel_size=3, kernel_stride=1, padding=core.Same, activation=core.ReLU, pool_type=core.NoPooling,
                weights_bits=8, output_bits=8)
    model = core.Model()
    model.add(layer(core.InputData, "input", input_width=8, input_height=8, input_channels=8))
    conv_a = layer(core.Conv2D, "conv_a", filters=16, **conv)
    conv_b = layer(core.Conv2D, "conv_b", filters=16, **conv)
    model.add(conv_a)
    model.add(conv_b)
    model.add(layer(core.Add, "add"), [conv_a, conv_b])
    model.add(layer(core.Conv2D, "conv_c", filters=32, **conv))
    model.add(layer(core.DepthwiseConv2D, "depthwise", kernel_size=3, kernel_stride=1, padding=core.Same,
                    activation=core.ReLU, pool_type=core.Average, pool_size=-1, pool_stride=1, weights_bits=8,
                    output_bits=8))
    model.add(layer(core.Dense1D, "dense", units=10, weights_bits=8, activation=core.ReLU, output_bits=8))
    return model


def v1_model():
    """An input convolution on the HRC, a convolution on CNPs and a classifier on an FNP, each with
    weights, thresholds and activation steps drawn in the ranges of its bit widths."""
    conv = dict(kernel_width=3, kernel_height=3, stride_x=1, stride_y=1, padding=core.Same, pool_type=core.NoPooling,
                pooling_width=1, pooling_height=1, pooling_stride_x=1, pooling_stride_y=1, activation=1, act_bits=2)
    model = core.Model()
    model.add(layer(core.InputConvolutional, "input_conv", input_width=8, input_height=8, input_channels=1,
                    padding_value=0, filters=8, weights_bits=4, **conv))
    model.add(layer(core.Convolutional, "conv", filters=16, weights_bits=2, **conv))
    model.add(layer(core.FullyConnected, "classifier", units=10, weights_bits=2, activation=0, act_bits=1))
    rng = np.random.default_rng(1)
    for mapped, bits in zip(model.layers, (4, 2, 2)):
        variables = mapped.variables
        high = 2 ** (bits - 1) - 1
        variables["weights"] = rng.integers(-high, high + 1, size=variables["weights"].shape, dtype=np.int8)
        count = variables["threshold"].shape
        variables["threshold"] = rng.integers(0, 64, size=count, dtype=np.int32)
        variables["act_step"] = rng.uniform(1, 4, size=count).astype(np.float32)
    return model


def v2_device():
    """Four columns of four CNPs and an FNP3, the DMA in column 1, one skip-DMA engine."""
    nps = [NP.Info(NP.Ident(col, 1, i), [NP.CNP1, NP.CNP2]) for col in range(2, 6) for i in range(4)]
    nps.append(NP.Info(NP.Ident(6, 2, 0), [NP.FNP3]))
    skip_dmas = [NP.Info(NP.Ident(6, 1, 0, 4), [NP.SKIP_DMA_STORE, NP.SKIP_DMA_LOAD])]
    mesh = NP.Mesh(core.IpVersion.v2, NP.Ident(1, 1, 0), NP.Ident(1, 1, 1), None, nps, skip_dmas)
    return core.Device(core.Pelmo_v2, mesh)


def v1_device():
    """An HRC, four CNPs and two FNP3s, the DMA in column 1."""
    nps = [NP.Info(NP.Ident(2, 1, i), [NP.CNP1, NP.CNP2]) for i in range(4)]
    nps += [NP.Info(NP.Ident(3, 1, i), [NP.FNP3]) for i in range(2)]
    mesh = NP.Mesh(core.IpVersion.v1, NP.Ident(1, 1, 0), NP.Ident(1, 1, 1), NP.Info.hrc(False), nps)
    return core.Device(core.KPL2200_v1, mesh)


def show_mapping(model, device):
    """Maps every layer of the model onto the device's hardware (hw_only) and prints the result."""
    print(f"\n{model.layer_count} layers ({model.ip_version.name}), {model.macs} MACs, onto {device.desc}:")
    model._map(device, hw_only=True)
    for mapped in model.layers:
        if mapped.mapping is None:
            continue
        print(f"  {mapped.name}")
        mapping = mapped.mapping
        for component in mapping.nps + mapping.skipdma_loads + mapping.skipdma_stores:
            memory = component.mem_info
            print(f"    {component.type.name} {component.ident}: input {memory.input_size} B, "
                  f"weights {memory.weight_size} B, external {memory.external_size} B")
    counts = ", ".join(f"{count} {kind.name}" for kind, count in model.component_count.items())
    print(f"  components: {counts}; external memory {model.external_memory_size} B")
    for sequence in model.sequences:
        passes = " | ".join(", ".join(layer.name for layer in p.layers) for p in sequence.passes)
        print(f"  sequence {sequence.name} ({sequence.backend.name}): passes [{passes}]")
        if sequence.program is not None:
            print(f"    program {len(sequence.program)} B: {core.get_program_memory_infos(sequence.program)}")


def main():
    print(f"ornix {core.__version__}")
    model = v2_model()
    show_mapping(model, v2_device())
    show_mapping(v1_model(), v1_device())

    unmapped = v2_model()
    inputs = np.random.default_rng(0).integers(0, 256, size=(2, 8, 8, 8), dtype=np.uint8)
    outputs = unmapped.forward(inputs)
    print(f"\nIn software: {inputs.shape} inputs give {outputs.dtype} outputs of shape {outputs.shape} "
          f"({unmapped.metrics['inference_frames']} frames)")

    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "model.fbz")
        model.save(path)
        loaded = core.Model(path)
        print(f"\nSaved and loaded {os.path.getsize(path)} bytes: {loaded.layer_count} layers, "
              f"same model: {loaded.to_buffer() == model.to_buffer()}")


if __name__ == "__main__":
    main()
