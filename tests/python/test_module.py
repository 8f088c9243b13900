import pickle

import pytest

from ornix import core


def test_module_text():
    assert core.__doc__ == "Ornix core library"
    assert core.__version__ == "2.0.0-stand-in"
    assert core.soc.__doc__ == "Ornix Vamo specific functions"


def test_backend_type_values_are_exported_to_the_module():
    assert int(core.BackendType.Hybrid) == 2
    assert core.Hardware is core.BackendType.Hardware
    assert core.Software is core.BackendType.Software


def test_clock_mode_lives_in_soc_only():
    assert int(core.soc.ClockMode.LowPower) == 5000000
    assert core.soc.Performance is core.soc.ClockMode.Performance
    assert not hasattr(core, "Performance")
    assert not hasattr(core, "ClockMode")
    assert core.soc.ClockMode.__doc__.startswith("Clock mode configuration")


def test_ip_version_is_an_integer_enum_without_arithmetic():
    assert core.IpVersion(2) == core.IpVersion.v2
    assert core.none is core.IpVersion.none
    assert core.IpVersion.v1 != 1
    assert core.IpVersion.v2.name == "v2" and core.IpVersion.v2.value == 2
    assert str(core.IpVersion.v1) == "IpVersion.v1"
    assert pickle.loads(pickle.dumps(core.IpVersion.v2)) == core.IpVersion.v2
    with pytest.raises(TypeError):
        core.IpVersion.v1 + core.IpVersion.v1
    with pytest.raises(TypeError):
        core.IpVersion.v1 < core.IpVersion.v2


def fc_model():
    model = core.Model()
    model.add(core.Layer(core.LayerParams(core.InputData, {"input_width": 1, "input_height": 1,
                                                           "input_channels": 4}), "input"))
    model.add(core.Layer(core.LayerParams(core.FullyConnected, {"units": 2, "weights_bits": 2}), "fc"))
    return model


# A name given as bytes that are not UTF-8 is quoted in the refusal with escapes, not dropped.
@pytest.mark.parametrize("call, error, text", [
    (lambda: fc_model().get_layer(b"f\xffc"), ValueError, r"f\xffc"),
    (lambda: fc_model().get_layer("fc").variables[b"w\xe9ights"], ValueError, r"w\xe9ights"),
    (lambda: core.LayerParams(core.Conv2D, {"filters": 2}).get(b"\xc0\x80"), ValueError, r"Key \xc0\x80 not found"),
    (lambda: fc_model().metrics[b"\xff"], ValueError, r"\xff"),
    (lambda: fc_model().metrics["\0"], ValueError, r"\x00 : no such metrics"),  # a NUL would end the text
])
def test_refusals_quoting_bytes_that_are_not_text_keep_their_message(call, error, text):
    with pytest.raises(error) as raised:
        call()
    assert text in str(raised.value)
