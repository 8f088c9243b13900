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
