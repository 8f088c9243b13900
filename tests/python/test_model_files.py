"""Model files that are not trusted: damaged, hostile or not files at all."""
import json
import random
import struct
import subprocess
import sys

import numpy as np
import pytest

from ornix import core

CONV = {"kernel_size": 3, "kernel_stride": 1, "filters": 4, "padding": 1, "activation": 1, "pool_type": 0,
        "weights_bits": 8, "output_bits": 8}
FC = {"units": 10, "weights_bits": 2, "activation": 0, "act_bits": 1}
CORRUPTED = "Cannot uncompress corrupted serialization buffer"


def layer(layer_type, params, name):
    return core.Layer(core.LayerParams(layer_type, params), name)


def small_models():
    """A convolution with input shifts, and a compiled fully connected layer with weights."""
    conv = core.Model([layer(core.InputData, {"input_width": 4, "input_height": 4, "input_channels": 2}, "input"),
                       layer(core.Conv2D, CONV, "conv")])
    conv.get_layer("conv").variables["input_shift"] = np.array([1, 2], np.uint8)
    fc = core.Model([layer(core.InputData, {"input_width": 4, "input_height": 4, "input_channels": 2}, "input"),
                     layer(core.FullyConnected, FC, "fc")])
    fc.get_layer("fc").variables["weights"] = (np.arange(320).reshape(32, 10) % 3 - 1).astype(np.int8)
    fc.compile(core.OrnixUnsupervised(num_weights=4, num_classes=5))
    return conv, fc


def varint(value):
    out = bytearray()
    while value >= 0x80:
        out.append(value & 0x7F | 0x80)
        value >>= 7
    return bytes(out + bytes([value]))


def literal_block(data):
    """A raw snappy block holding `data` as literals of at most 65536 bytes (2-byte length form)."""
    out = bytearray(varint(len(data)))
    for start in range(0, len(data), 65536):
        chunk = data[start:start + 65536]
        out += bytes([61 << 2]) + struct.pack("<H", len(chunk) - 1) + chunk
    return bytes(out)


def load_bytes(tmp_path, content):
    path = tmp_path / "m.fbz"
    path.write_bytes(content)
    return core.Model(str(path))


@pytest.mark.parametrize("content, error, text", [
    # Lengths the format cannot hold: 0xFFFFFFFF and 0x80000000.
    (b"\xff\xff\xff\xff\x0f", ValueError, CORRUPTED),
    (b"\x80\x80\x80\x80\x08" + bytes(64), ValueError, CORRUPTED),
    # 200 bytes announced, 9 bytes after the header: at most three copies of 64 bytes.
    (b"\xc8\x01" + bytes(9), ValueError, CORRUPTED),
    # A header longer than 5 bytes, a header cut short.
    (b"\x80\x80\x80\x80\x80\x01", ValueError, CORRUPTED),
    (b"\x80", ValueError, CORRUPTED),
    # A whole block of no bytes: the engine refuses an empty model buffer.
    (b"\x00", ValueError, "The model buffer is truncated or corrupt."),
])
def test_length_headers_that_cannot_be_trusted(tmp_path, content, error, text):
    with pytest.raises(error, match=f"^{text}$"):
        load_bytes(tmp_path, content)


def test_what_cannot_be_read_is_not_found(tmp_path):
    for path in (tmp_path, tmp_path / "missing.fbz", "/"):
        with pytest.raises(RuntimeError, match="^File not found.$"):
            core.Model(str(path))
    # Not the file named by what comes before the NUL.
    core.Model().save(str(tmp_path / "m.fbz"))
    with pytest.raises(ValueError, match="^embedded null byte$"):
        core.Model(str(tmp_path / "m.fbz") + "\0.old")


@pytest.mark.parametrize("name", [b"con\xff", b"co\xc0\x80", b"c\xed\xa0\x80"])
def test_layer_names_that_are_not_utf8_are_refused(tmp_path, name):
    conv, _ = small_models()
    saved = conv.to_buffer()
    assert saved.count(b"conv\x00") == 1
    content = literal_block(saved.replace(b"conv\x00", name + b"\x00"))
    with pytest.raises(ValueError, match="^The model buffer's layer 1 is invalid: its name is not UTF-8 text.$"):
        load_bytes(tmp_path, content)


# Runs in a child process whose address space may grow by ALLOWED bytes only: each file named on
# a line of the input is loaded, what a loaded model holds is read, and the outcome is printed as
# one JSON line.
LIMITED_LOADER = """
import json, resource, sys
import numpy
from ornix import core
with open("/proc/self/status") as status:
    size = next(int(line.split()[1]) * 1024 for line in status if line.startswith("VmSize:"))
resource.setrlimit(resource.RLIMIT_AS, (size + int(sys.argv[1]), resource.RLIM_INFINITY))
for path in sys.stdin.read().splitlines():
    try:
        model = core.Model(path)
    except Exception as error:
        print(json.dumps([type(error).__name__, str(error)]))
        continue
    try:
        model.to_buffer()
        for layer in model.layers:
            params = layer.parameters
            [layer.name, params.layer_type] + [params.get(k) for k in dir(params)] + [
                layer.variables[n] for n in layer.variables.names]
        print(json.dumps(["loaded", ""]))
    except Exception as error:
        print(json.dumps(["loaded, then " + type(error).__name__, str(error)]))
"""
ALLOWED = 32 << 20


def limited_loads(paths):
    run = subprocess.run([sys.executable, "-c", LIMITED_LOADER, str(ALLOWED)], input="\n".join(map(str, paths)),
                         capture_output=True, text=True, timeout=120)
    assert run.returncode == 0, run.stderr[-3000:]
    return [tuple(json.loads(line)) for line in run.stdout.splitlines()]


def test_announced_lengths_are_not_allocated_before_they_are_checked(tmp_path):
    paths = []
    for i, content in enumerate([b"\xff\xff\xff\xff\x07", b"\xff\xff\xff\xff\x07" + bytes(100),
                                 b"\xfe\xff\xff\xff\x07\x00\x00"]):
        paths.append(tmp_path / f"{i}.fbz")
        paths[-1].write_bytes(content)
    assert limited_loads(paths) == [("ValueError", CORRUPTED)] * 3


def mutations(saved_files, model_buffers, seed, count):
    """`count` damaged model files: bit flips, truncations, changed length headers and splices of
    the saved files, and saved model bytes with flipped bits in a sound block."""
    rng = random.Random(seed)
    for i in range(count):
        data = bytearray(saved_files[i % len(saved_files)])
        other = saved_files[(i + 1) % len(saved_files)]
        kind = i % 5
        if kind == 0:
            for _ in range(rng.randint(1, 4)):
                data[rng.randrange(len(data))] ^= 1 << rng.randrange(8)
        elif kind == 1:
            del data[rng.randrange(len(data)):]
        elif kind == 2:
            header = len(varint(len(model_buffers[i % len(model_buffers)])))
            announced = rng.choice([0, 1, rng.randrange(1 << 32), 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF,
                                    len(model_buffers[i % len(model_buffers)]) + rng.randint(-64, 64)])
            data[:header] = varint(max(announced, 0))
        elif kind == 3:
            cut = rng.randrange(len(data))
            start = rng.randrange(len(other))
            data = data[:cut] + other[start:start + rng.randint(1, 256)] + data[cut + rng.randint(0, 64):]
        else:
            model = bytearray(model_buffers[i % len(model_buffers)])
            for _ in range(rng.randint(1, 3)):
                model[rng.randrange(len(model))] ^= 1 << rng.randrange(8)
            data = literal_block(bytes(model))
        yield bytes(data)


def test_damaged_model_files_load_or_are_refused_clearly(tmp_path):
    models = small_models()
    saved_files = []
    for i, model in enumerate(models):
        model.save(str(tmp_path / f"source{i}.fbz"))
        saved_files.append((tmp_path / f"source{i}.fbz").read_bytes())
    paths = []
    for i, content in enumerate(mutations(saved_files, [m.to_buffer() for m in models], 20261207, 2000)):
        paths.append(tmp_path / f"case{i}.fbz")
        paths[-1].write_bytes(content)
    outcomes = limited_loads(paths)
    assert len(outcomes) == len(paths)
    for path, (outcome, text) in zip(paths, outcomes):
        assert outcome in ("loaded", "ValueError", "RuntimeError"), (path.name, outcome, text)
        assert outcome == "loaded" or (text and "::" not in text and "_M_" not in text), (path.name, text)
    # The damage reaches every stage: the length header, the block and the engine's verification.
    texts = {text for _, text in outcomes}
    assert {"", CORRUPTED, "The model buffer is truncated or corrupt."} <= texts
    assert any(text.startswith("The model buffer's layer ") for text in texts)
