import copy

import pytest

from ornix import _testing, core

NP = core.NP

KERNEL = {"kernel_width": 3, "kernel_height": 5, "stride_x": 1, "stride_y": 2, "pooling_width": 2,
          "pooling_height": 4, "pooling_stride_x": 6, "pooling_stride_y": 7}


@pytest.mark.parametrize("entries, key, expected", [
    (KERNEL, "kernel_width", 3), (KERNEL, "kernel_size", [3, 5]), (KERNEL, "kernel_stride", [1, 2]),
    (KERNEL, "pool_size", [2, 4]), (KERNEL, "pool_stride", [6, 7]),
    ({"pool_size": 9, "pooling_width": 1, "pooling_height": 1}, "pool_size", 9),  # a plain name wins
    (KERNEL, "kernel", ValueError("Key kernel not found")),
    ({"kernel_width": 3}, "kernel_size", ValueError("Key kernel_height not found")),  # its missing plain name
])
def test_parameter_lookup(entries, key, expected):
    params = core.LayerParams(core.LayerType.Conv2D, entries)
    for read in (params.get, lambda k: getattr(params, k), lambda k: getattr(params, k, None)):
        if isinstance(expected, ValueError):
            with pytest.raises(ValueError, match=f"^{expected}$"):
                read(key)
        else:
            assert read(key) == expected


@pytest.mark.parametrize("make, text", [
    (lambda name: core.Layer(core.LayerParams(core.InputData, {}), name), "The layer name {} is not UTF-8 text."),
    (lambda name: core.LayerParams(core.Conv2D, {"filters": 1, name: 2}), "The parameter name {} is not UTF-8 text."),
])
def test_names_must_decode_as_text(make, text):
    # Bytes that are UTF-8 are accepted and read back as str.
    made = make("é".encode())
    assert made.name == "é" if isinstance(made, core.Layer) else made.get("é") == 2
    for name in (b"in\xff", b"\xed\xa0\x80", b"\xc0\x80"):  # invalid, a surrogate, an overlong form
        with pytest.raises(ValueError) as raised:
            make(name)
        assert str(raised.value) == text.format(repr(name))


def test_composite_names_are_not_parameters_and_copies_are_independent():
    params = core.LayerParams(core.LayerType.Conv2D, KERNEL)
    assert not params.has("kernel_size") and params.has("kernel_width") and dir(params) == sorted(KERNEL)
    copied = copy.copy(params)
    del params
    assert copied.layer_type == core.LayerType.Conv2D and copied.kernel_size == [3, 5]


def test_layer_type_members_and_unknown_values():
    assert core.LayerType(25) == core.LayerType.Dense1D and len(core.LayerType.__members__) == 19
    assert list(core.LayerType.__members__)[-2:] == ["StatefulRecurrent", "Dense1D"]
    assert str(core.LayerType(7)) == "LayerType.???" and repr(core.LayerType.Conv2D) == "<LayerType.Conv2D: 14>"
    assert core.LayerType.Conv2D != 14 and int(core.LayerType.Conv2D) == 14


@pytest.mark.parametrize("enum, doc, values", [
    (core.LayerType, "The layer type", {"Unknown": 0, "InputConvolutional": 2, "Add": 6, "Concatenate": 12,
                                        "DepthwiseBufferTempConv": 22}),
    (core.Padding, "Sets the effective padding of the input for convolution, thereby determining the output "
                   "dimensions. Naming conventions are the same as Keras/Tensorflow.\n\nMembers:\n\n  Valid : No "
                   "padding\n\n  Same : Padded so that output size is input size divided by the stride",
     {"Valid": 0, "Same": 1}),
    (core.PoolType, "The pooling type", {"NoPooling": 0, "Max": 1, "Average": 2}),
    (core.ActivationType, "The activation type", {"NoActivation": 0, "ReLU": 1, "LUT": 2}),
])
def test_enum_members_are_exported_to_the_module(enum, doc, values):
    assert enum.__doc__.startswith(doc)
    assert {name: int(enum.__members__[name]) for name in values} == values
    for name, member in enum.__members__.items():
        assert getattr(core, name) is member


def test_layer_outside_a_model():
    layer = core.Layer(core.LayerParams(core.LayerType.Conv2D, KERNEL), "conv")
    assert layer.name == "conv" and layer.mapping is None and layer.splittable
    parameters = layer.parameters
    del layer  # the parameters keep their layer alive
    assert parameters.kernel_size == [3, 5] and parameters.layer_type == core.Conv2D
    with pytest.raises(RuntimeError, match="^Cannot get input size before it is set.$"):
        core.Layer(parameters, "conv").input_dims
    with pytest.raises(ValueError, match="^Layer parameters must not be null.$"):
        core.Layer(None, "conv")


def test_layer_in_a_model(fc):
    layer = fc.fc
    assert layer.input_dims == [4, 4, 2] and layer.output_dims == [1, 1, 3]
    assert layer.inbounds[0] is fc.input and fc.input.inbounds == []
    assert layer.macs == 96 and not layer.splittable and layer.mapping is None
    assert (layer.input_bits, layer.output_signed, fc.input.output_signed) == (8, True, False)


@pytest.mark.parametrize("layer_type, targets", [
    (core.Conv2D, {NP.CNP1, NP.CNP2}), (core.FullyConnected, {NP.FNP2, NP.FNP3}), (core.InputConv2D, {NP.HRC}),
    (core.Add, {NP.SKIP_DMA_STORE, NP.SKIP_DMA_LOAD}), (core.BufferTempConv, {NP.TNP_B}),
    (core.StatefulRecurrent, {NP.TNP_R}), (core.InputData, set()),
])
def test_target_components(layer_type, targets):
    layer = core.Layer(core.LayerParams(layer_type, {"units": 1}), "layer")
    assert {hw_type for hw_type in NP.Type.__members__.values() if layer.is_target_component(hw_type)} == targets


@pytest.mark.parametrize("name, nps, loads, stores", [
    ("c1", 1, [], []), ("m1", 0, [], []), ("x", 1, [], [NP.SKIP_DMA_STORE]), ("z", 1, [NP.SKIP_DMA_LOAD], []),
    ("y", 1, [NP.SKIP_DMA_LOAD], [NP.SKIP_DMA_STORE]),  # the store of its second output (m1's value)
])
def test_mapped_layer_components(residual, name, nps, loads, stores):
    mapping = getattr(residual, name).mapping
    types = [[component.type for component in components] for components in
             (mapping.nps, mapping.skipdma_loads, mapping.skipdma_stores)]
    assert types == [[NP.CNP1] * nps, loads, stores]


def test_mapping_lists_are_copies_and_stores_come_in_output_order(residual):
    assert residual.m1.input_dims == [[8, 8, 8]] * 2 and [lay.name for lay in residual.m1.inbounds] == ["x", "c1"]
    mapping = residual.c1.mapping
    mapping.nps[0].ident.col = 99
    assert mapping.nps[0].ident.col != 99
    _testing.attach_two_store_mapping(residual.y)
    assert [store.ident.col for store in residual.y.mapping.skipdma_stores] == [1, 2]
