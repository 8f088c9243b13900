import pytest

from ornix import core


@pytest.mark.parametrize("name, text, ip", [
    ("Vamo_v1", "D3.00.000.001", core.IpVersion.v1),
    ("Vamo_v2", "D3.00.000.002", core.IpVersion.v1),
    ("Tarvik_v1", "D3.A1.003.006", core.IpVersion.v1),
    ("KPL2200_v1", "D3.A1.003.009", core.IpVersion.v1),
    ("Pelmo_v2", "D3.A2.001.000", core.IpVersion.v2),
])
def test_named_versions(name, text, ip):
    version = getattr(core, name)
    assert str(version) == repr(version) == text
    assert version.ip_version == ip
    assert not hasattr(core.HwVersion, name)


def test_value_equality_and_ip_version():
    assert core.HwVersion(0xD3, 0xA2, 1, 0) == core.Pelmo_v2
    assert core.HwVersion(0xD3, 0xA2, 1, 1) != core.Pelmo_v2
    assert core.HwVersion(0, 0xA3, 0, 0).ip_version == core.IpVersion.none
    assert str(core.HwVersion(0x0A, 0xFF, 255, 7)) == "0A.FF.255.007"
    assert (core.Vamo_v1 == 1) is False and core.Vamo_v1 != 1
    with pytest.raises(TypeError):
        hash(core.Vamo_v1)


@pytest.mark.parametrize("args", [(256, 0, 0, 0), (0, 0, 0, -1), (0, 0, 0.5, 0), (0, 0, 0), (0, 0, 0, 0, 0)])
def test_bad_constructor_arguments(args):
    with pytest.raises(TypeError):
        core.HwVersion(*args)


@pytest.mark.parametrize("field", ["vendor_id", "product_id", "major_rev", "minor_rev"])
def test_fields_are_read_only(field):
    version = core.HwVersion(0, 0, 0, 0)
    assert getattr(version, field) == 0
    with pytest.raises(AttributeError):
        setattr(version, field, 1)
    with pytest.raises(AttributeError):
        setattr(core.Pelmo_v2, field, 1)
