"""Seeded random generation-1 models mapped on virtual IP v1 devices.

Each case builds a model of InputConvolutional, Convolutional, SeparableConvolutional and
FullyConnected layers whose parameters are drawn around their limits (some left out), fills its
variables, and maps it with `hw_only` true or false on a virtual v1 device with a random mesh.
A case passes when the mapping succeeds and every hardware program parses, or when it fails with
an exception that names a layer and holds no raw library text. Every other outcome is printed.

    PYTHONPATH=$PWD .venv/bin/python scripts/v1_random_models.py [first seed] [count]

Against the sanitizer build (scripts/test makes the sanitized package in build-sanitize/package),
run from outside the source tree with the runtime preloaded:

    cd build-sanitize/package && \
    LD_PRELOAD=$(g++ -print-file-name=libasan.so):$(g++ -print-file-name=libstdc++.so) \
    ASAN_OPTIONS=detect_leaks=0 PYTHONPATH=$PWD ../../.venv/bin/python ../../scripts/v1_random_models.py [first seed] [count]
"""
import random
import re
import sys

import numpy as np

from ornix import core
from ornix.core import NP

VERSIONS = [core.Tarvik_v1, core.KPL2200_v1, core.Vamo_v2]
# Texts that only a library or a broken invariant writes; a user never should see them.
RAW_TEXTS = re.compile(r"_M_|stoi|bad_|std::|vector|map::at|basic_string|Attempted to write value|"
                       r"cannot fit in a|Wrong requested type|out_of_range|range check")


def pick(rng, values, tame=None):
    """One of `values`, or of `tame` (values every check accepts) in a tame case."""
    if tame is not None and rng.tame:
        values = tame
    return values[rng.randrange(len(values))]


def maybe(rng, params, key, value, omit=0.15):
    if rng.random() >= (omit / 3 if rng.tame else omit):
        params[key] = value


def conv_params(rng, kernels, first):
    params = {}
    kernel = pick(rng, kernels, kernels[:4])
    maybe(rng, params, "kernel_width", kernel, 0.03)
    maybe(rng, params, "kernel_height", kernel if rng.random() < 0.9 else pick(rng, kernels), 0.03)
    stride = pick(rng, [1, 1, 1, 2, 2, 3, 4, 7, 8, 0, -1], [1, 1, 2])
    maybe(rng, params, "stride_x", stride)
    maybe(rng, params, "stride_y", stride if rng.random() < 0.9 else pick(rng, [1, 2, 3, 8]))
    maybe(rng, params, "padding", pick(rng, [core.Same, core.Same, core.Valid], [core.Same]))
    pool = pick(rng, [core.NoPooling, core.NoPooling, core.Max, core.Max, core.Average], [core.NoPooling, core.Max])
    maybe(rng, params, "pool_type", pool)
    if pool == core.Average:
        size = pick(rng, [-1, -1, 2])
    else:
        size = pick(rng, [1, 2, 2, 3, 4, 0], [1, 2])
    maybe(rng, params, "pooling_width", size)
    maybe(rng, params, "pooling_height", size if rng.random() < 0.9 else pick(rng, [1, 2, 3]))
    pstride = pick(rng, [-1, size, size, 1, 2, 3], [-1, size])
    maybe(rng, params, "pooling_stride_x", pstride)
    maybe(rng, params, "pooling_stride_y", pstride if rng.random() < 0.9 else pick(rng, [-1, 1, 2]))
    maybe(rng, params, "filters", pick(rng, [1, 2, 3, 8, 16, 17, 24, 39, 64, 65, 96, 192, 193, 512, 513]
                                       if first else [1, 2, 8, 16, 24, 39, 64, 100, 256, 2048, 2049],
                                       [8, 16, 24, 32] if first else [1, 8, 16, 24, 39, 64, 100]), 0.03)
    maybe(rng, params, "weights_bits", pick(rng, [1, 2, 4, 4, 3, 8], [2, 4] if not first else None))
    maybe(rng, params, "activation", pick(rng, [1, 1, 1, 0], [1]))
    maybe(rng, params, "act_bits", pick(rng, [1, 2, 4, 4, 3, 8], [1, 2, 4]))
    return params


def input_conv(rng):
    params = conv_params(rng, [3, 3, 5, 7, 1, 4, 9], True)
    maybe(rng, params, "input_width", pick(rng, [4, 5, 8, 16, 32, 33, 64, 255, 256], [8, 16, 32, 64]), 0.02)
    maybe(rng, params, "input_height", pick(rng, [4, 5, 8, 16, 32, 256, 257], [8, 16, 32]), 0.02)
    maybe(rng, params, "input_channels", pick(rng, [1, 1, 3, 3, 2], [1, 3]), 0.02)
    maybe(rng, params, "padding_value", pick(rng, [0, 0, 1, 255, 256], [0, 1, 255]))
    return core.InputConvolutional, params


def cnp(rng):
    layer_type = pick(rng, [core.Convolutional, core.Convolutional, core.SeparableConvolutional])
    return layer_type, conv_params(rng, [1, 3, 3, 3, 5, 7, 2, 9], False)


def fully_connected(rng):
    params = {}
    maybe(rng, params, "units", pick(rng, [1, 2, 10, 64, 100, 1024, 2048, 4096], [1, 2, 10, 64, 100]), 0.03)
    maybe(rng, params, "weights_bits", pick(rng, [1, 2, 3, 4, 4, 5, 8], [1, 2, 4]))
    maybe(rng, params, "activation", pick(rng, [1, 1, 1, 0]))
    maybe(rng, params, "act_bits", pick(rng, [1, 2, 4, 4, 3, 8], [1, 2, 4]))
    return core.FullyConnected, params


def input_data(rng):
    params = {"input_width": pick(rng, [1, 1, 4, 8, 16, 32, 33, 64], [1, 8, 16, 32]),
              "input_height": pick(rng, [1, 1, 4, 8, 16, 32], [1, 8, 16, 32]),
              "input_channels": pick(rng, [1, 3, 8, 16, 64, 512, 2048, 2049, 100000], [1, 3, 8, 16, 64])}
    maybe(rng, params, "input_bits", pick(rng, [1, 2, 4, 4, 8], [1, 2, 4]))
    return core.InputData, params


def layer_kinds(rng):
    kinds = []
    if rng.random() < 0.5:
        kinds.append(input_conv(rng))
    else:
        kinds.append(input_data(rng))
    for _ in range(rng.randrange(0, 4)):
        kinds.append(cnp(rng))
    for _ in range(rng.randrange(0, 3)):
        kinds.append(fully_connected(rng))
    if rng.random() < 0.05:
        kinds.append((core.Dense1D, {"units": 4, "weights_bits": 4}))
    return kinds


def weight_values(rng, bits, shape):
    bound = 1 if bits in (1, 2) else (1 << (bits - 1)) - 1 if 0 < bits < 9 else 7
    if rng.random() < 0.1 and not rng.tame:
        bound += 1  # one past the range now and then
    values = np.random.default_rng(rng.randrange(1 << 30)).integers(-bound, bound + 1, size=shape)
    if rng.random() < 0.05:
        values[...] = 0
    return values.astype(np.int8)


def fill_variables(rng, added, params):
    variables = added.variables
    for name in variables.names:
        current = variables[name]
        shape = current.shape
        gen = np.random.default_rng(rng.randrange(1 << 30))
        if name.startswith("weights"):
            variables[name] = weight_values(rng, params.get("weights_bits", 8), shape)
        elif name == "threshold":
            high = pick(rng, [8, 100, 1 << 19, 1 << 23, 1 << 30], [8, 100, 1 << 19])
            variables[name] = gen.integers(-high, high, size=shape, dtype=np.int64).astype(np.int32)
        elif name == "act_step":
            high = pick(rng, [1.0, 16.0, 65536.0, 1048576.0, 1e7], [1.0, 16.0, 65535.0])
            variables[name] = gen.uniform(0, high, size=shape).astype(np.float32)


def learn(rng, model, fc):
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


def device(rng):
    cnps = pick(rng, [0, 1, 1, 2, 4, 8, 16])
    nps = [NP.Info(NP.Ident(2 + i // 4, 1, i % 4), [NP.CNP1, NP.CNP2]) for i in range(cnps)]
    fnp = pick(rng, [NP.FNP3, NP.FNP2, None])
    if fnp is not None:
        nps.append(NP.Info(NP.Ident(7, 1, 0), [fnp]))
    hrc = NP.Info.hrc(False) if rng.random() < 0.85 else None
    mesh = NP.Mesh(core.IpVersion.v1, NP.Ident(1, 1, 0), NP.Ident(1, 1, 1), hrc, nps)
    if rng.random() < 0.05:
        mesh.np_sram_size = NP.SramSize(pick(rng, [1024, 43008, 1 << 20]), pick(rng, [1024, 44800, 1 << 20]))
    return core.Device(pick(rng, VERSIONS), mesh)


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
        if mapped.mapping is not None:
            for component in mapped.mapping.nps:
                component.mem_info.input_size  # noqa: B018 - reading the figures is the check
    return problems


def judge_failure(error, names):
    text = str(error)
    problems = []
    if RAW_TEXTS.search(text):
        problems.append("raw text")
    if not any(name in text for name in names):
        problems.append("no layer named")
    if "Error when programming layer" in text:
        problems.append("passed the checks, failed recording")
    return problems


def run_case(seed):
    rng = random.Random(seed)
    rng.tame = seed % 2 == 0  # half the cases keep to values the checks accept
    model = core.Model()
    names = []
    try:
        for index, (layer_type, params) in enumerate(layer_kinds(rng)):
            name = f"l{index}_{layer_type.name}"
            added = core.Layer(core.LayerParams(layer_type, params), name)
            model.add(added)
            names.append(name)
            fill_variables(rng, added, params)
        if layer_type == core.FullyConnected and rng.random() < 0.4:
            learn(rng, model, added)
    except (ValueError, RuntimeError) as error:
        return "build", str(error), judge_failure(error, names + ["input"]) if RAW_TEXTS.search(str(error)) else []
    target = device(rng)
    hw_only = rng.random() < 0.5
    try:
        model._map(target, hw_only)
    except (ValueError, RuntimeError) as error:
        return "refused", str(error), judge_failure(error, names)
    return "mapped", "", check_success(model)


def main():
    first = int(sys.argv[1]) if len(sys.argv) > 1 else 0
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 500
    outcomes = {}
    bad = 0
    for seed in range(first, first + count):
        outcome, text, problems = run_case(seed)
        outcomes[outcome] = outcomes.get(outcome, 0) + 1
        if problems:
            bad += 1
            print(f"seed {seed}: {outcome}: {', '.join(problems)}: {text}", flush=True)
    print(f"{count} cases: {outcomes}, {bad} with problems")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
