import gc

import pytest

from ornix import core

NP = core.NP


def mesh(ip):
    return NP.Mesh(ip, NP.Ident(1, 1, 0), NP.Ident(1, 1, 1), None, [NP.Info(NP.Ident(2, 1, 0), [NP.CNP1])])


@pytest.mark.parametrize("version, ip, desc", [
    ((0xD3, 0xA2, 1, 0), core.IpVersion.v2, "VirtualDevice/D3.A2.001.000"),
    ((0xD3, 0x00, 0, 2), core.IpVersion.v1, "VirtualDevice/D3.00.000.002"),
    ((0xD3, 0xA1, 3, 9), core.IpVersion.v1, "VirtualDevice/D3.A1.003.009"),
])
def test_virtual_device(version, ip, desc):
    device = core.Device(core.HwVersion(*version), mesh(ip))
    assert device.desc == desc
    assert device.version == core.HwVersion(*version)
    assert device.ip_version == ip
    assert device.mesh == mesh(ip)


@pytest.mark.parametrize("version, ip, message", [
    ((0xD3, 0xA2, 1, 0), core.IpVersion.v1,
     "Incompatible hardware and Ip versions: HW Version is 211.162.1.0 with product id = 162 while IP version is v1."),
    ((0xD3, 0xA3, 1, 0), core.IpVersion.v2,
     "Incompatible hardware and Ip versions: HW Version is 211.163.1.0 with product id = 163 while IP version is v2."),
    ((1, 0, 0, 0), core.IpVersion.v2,
     "Incompatible hardware and Ip versions: HW Version is 1.0.0.0 with product id = 0 while IP version is v2."),
])
def test_version_and_mesh_must_agree(version, ip, message):
    with pytest.raises(ValueError) as error:
        core.Device(core.HwVersion(*version), mesh(ip))
    assert str(error.value) == message


def test_arguments_are_positional_and_typed():
    with pytest.raises(TypeError):
        core.Device(core.Pelmo_v2, mesh=mesh(core.IpVersion.v2))
    with pytest.raises(TypeError):
        core.Device(mesh(core.IpVersion.v2), core.Pelmo_v2)


@pytest.mark.parametrize("change", [
    lambda m: setattr(m, "nps", []),
    lambda m: setattr(m, "hrc", NP.Info.hrc(True)),
    lambda m: setattr(m.nps[0], "has_lut", True),
    lambda m: setattr(m.nps[0].ident, "col", 7),
    lambda m: setattr(m.dma_event, "col", 9),
    lambda m: setattr(m.np_sram_size, "input_bytes", 1),
])
def test_the_mesh_of_a_device_is_read_only(change):
    given = mesh(core.IpVersion.v2)
    device = core.Device(core.Pelmo_v2, given)
    given.nps = []  # the device keeps its own copy
    change(device.mesh)
    assert device.mesh == mesh(core.IpVersion.v2)
    # What the device hands out outlives the device.
    copy = device.mesh
    del device
    gc.collect()
    assert copy.dma_event == NP.Ident(1, 1, 0) and copy.nps[0].types == [NP.CNP1]
