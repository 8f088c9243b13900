import gc

import pytest

from ornix import _testing, core

NP = core.NP
V1, V2 = core.IpVersion.v1, core.IpVersion.v2


def info(col, *types, has_lut=False):
    return NP.Info(NP.Ident(col, 1, 0), list(types), has_lut)


def mesh(version=V2, **kwargs):
    return NP.Mesh(version, NP.Ident(1, 1, 0), NP.Ident(1, 1, 1), NP.Info.hrc(False),
                   [info(2, NP.CNP1), info(3, NP.FNP3)], **kwargs)


def test_ident_text_and_equality():
    assert str(NP.Ident(1, 2, 3, 4)) == repr(NP.Ident(1, 2, 3, 4)) == "(1, 2, 3)"
    assert NP.Ident(1, 2, 3) == NP.Ident(1, 2, 3, 0)
    assert NP.Ident(1, 2, 3) != NP.Ident(1, 2, 3, 1)
    assert (NP.Ident(1, 2, 3) == (1, 2, 3)) is False
    with pytest.raises(TypeError):
        hash(NP.Ident(1, 2, 3))


@pytest.mark.parametrize("make", [
    lambda: NP.Ident(256, 0, 0),
    lambda: NP.Ident(0, -1, 0),
    lambda: setattr(NP.Ident(0, 0, 0), "channel", 256),
    lambda: NP.SramSize(2 ** 31, 0),
    lambda: setattr(NP.SramSize(), "weight_bytes", -1),
    lambda: setattr(NP.SramSize(), "input_bytes", 2 ** 32),
    lambda: NP.Info.hrc(),
    lambda: NP.Info(NP.Ident(0, 0, 0), 5),
    lambda: NP.Mesh(V2, NP.Ident(0, 0, 0), NP.Ident(0, 0, 0), None, [NP.Ident(0, 0, 0)]),
    lambda: NP.Mesh(V2, NP.Ident(0, 0, 0), NP.Ident(0, 0, 0), None, [None]),
    lambda: NP.Mesh(V2, NP.Ident(0, 0, 0), NP.Ident(0, 0, 0), None, []).__setattr__("nps", [1]),
    lambda: NP.Component(),
])
def test_unconvertible_arguments_are_type_errors(make):
    with pytest.raises(TypeError):
        make()


def test_type_members_are_exported():
    values = {"HRC": 1, "CNP1": 2, "CNP2": 3, "FNP2": 4, "FNP3": 5, "TNP_B": 7, "TNP_R": 8,
              "SKIP_DMA_STORE": 6, "SKIP_DMA_LOAD": 9}
    assert list(NP.Type.__members__) == list(values)
    for name, value in values.items():
        assert getattr(NP, name) is getattr(NP.Type, name) and int(getattr(NP, name)) == value
    assert NP.Type.__doc__.startswith("Harwdare Component type")
    with pytest.raises(TypeError):
        NP.CNP1 + NP.CNP2


def test_info_types_are_an_ascending_set():
    made = NP.Info(NP.Ident(1, 1, 0), (t for t in [NP.CNP2, NP.CNP1, NP.CNP1]))
    assert made.types == [NP.CNP1, NP.CNP2] and made.has_lut is False
    made.types.append(NP.FNP2)
    assert made.types == [NP.CNP1, NP.CNP2]
    for bad in (lambda: setattr(made, "types", [NP.FNP3, 4]), lambda: NP.Info(NP.Ident(1, 1, 0), [4])):
        with pytest.raises(RuntimeError, match=r"^Unable to cast Python instance of type <class 'int'> to C\+\+ type "
                                               r"'ornix::hw::Type'$"):
            bad()
    assert made.types == [NP.CNP1, NP.CNP2]
    hrc = NP.Info.hrc(True)
    assert (hrc.ident, hrc.types, hrc.has_lut) == (NP.Ident(0, 0, 0, 0), [NP.HRC], True)
    assert hrc == NP.Info(NP.Ident(0, 0, 0), [NP.HRC], True) != NP.Info.hrc(False)


def test_plain_values():
    space, memory = NP.NpSpace(), NP.MemoryInfo()
    assert (space.x, space.y, space.shape) == (0, 0, [])
    assert (memory.input_size, memory.weight_size, memory.external_size) == (0, 0, 0)
    assert memory == NP.MemoryInfo()
    with pytest.raises(AttributeError):
        space.x = 1
    assert (NP.SramSize(-1, 7).input_bytes, NP.SramSize(-1, 7).weight_bytes) == (4294967295, 7)


def test_sram_constants_cannot_change():
    assert (NP.SramSize_v1.input_bytes, NP.SramSize_v1.weight_bytes) == (43008, 44800)
    assert (NP.SramSize_v2.input_bytes, NP.SramSize_v2.weight_bytes) == (65536, 51200)
    with pytest.raises(AttributeError, match="^SramSize_v1 and SramSize_v2 are constants and cannot be changed.$"):
        NP.SramSize_v1.input_bytes = 1
    copy = mesh(V1).np_sram_size
    copy.weight_bytes = 2
    assert mesh(V1).np_sram_size.weight_bytes == NP.SramSize_v1.weight_bytes == 44800


def test_mesh_construction():
    assert (mesh().np_sram_size.input_bytes, mesh().np_sram_size.weight_bytes) == (65536, 51200)
    sized = mesh(np_sram_size=NP.SramSize(1, 2))
    assert (sized.np_sram_size.input_bytes, sized.np_sram_size.weight_bytes) == (1, 2)
    seven = NP.Mesh(V1, NP.Ident(1, 1, 0), NP.Ident(1, 1, 1), None, [], [], NP.SramSize(3, 4))
    assert seven.np_sram_size.input_bytes == 3 and seven.hrc is None and seven.skip_dmas == []
    for extra in ({}, {"np_sram_size": NP.SramSize(1, 2)}):
        with pytest.raises(RuntimeError, match="^The mesh should have a valid IP version.$"):
            mesh(core.IpVersion.none, **extra)


@pytest.mark.parametrize("change", [
    lambda m: setattr(m.dma_conf, "id", 5),
    lambda m: setattr(m, "hrc", None),
    lambda m: setattr(m.hrc, "has_lut", True),
    lambda m: setattr(m.nps[1], "types", [NP.FNP2]),
    lambda m: setattr(m, "skip_dmas", [info(6, NP.SKIP_DMA_LOAD)]),
    lambda m: setattr(m.np_sram_size, "input_bytes", 0),
])
def test_mesh_equality_sees_every_field(change):
    changed = mesh()
    assert changed == mesh()
    change(changed)
    assert changed != mesh()
    assert mesh(V1, np_sram_size=NP.SramSize_v2) != mesh(V2)
    with pytest.raises(TypeError):
        hash(changed)


def test_mesh_views_write_through_and_keep_the_mesh_alive():
    m = mesh()
    event, first, hrc = m.dma_event, m.nps[0], m.hrc
    del m
    gc.collect()
    event.col, first.has_lut, hrc.types = 7, True, [NP.HRC, NP.CNP1]
    first.ident.row = 4
    owner = event  # the views share one mesh
    assert owner.col == 7 and first.ident == NP.Ident(2, 4, 0) and hrc.types == [NP.HRC, NP.CNP1]


def test_lists_are_new_and_old_views_stay_safe_after_reassignment():
    m = mesh()
    nps = m.nps
    nps.append(info(4, NP.CNP2))
    assert len(m.nps) == 2
    m.nps = nps
    assert [n.ident.col for n in m.nps] == [2, 3, 4]
    old, old_ident, old_hrc, old_hrc_ident = m.nps[0], m.nps[0].ident, m.hrc, m.hrc.ident
    m.nps = [info(9, NP.TNP_B)] * 40
    m.hrc = None
    gc.collect()
    # The old views keep the entries they showed, detached from the mesh.
    assert old.types == [NP.CNP1] and old_ident.col == 2 and old_hrc.types == [NP.HRC]
    assert old_hrc_ident == NP.Ident(0, 0, 0)
    old.has_lut, old_hrc.has_lut = True, True
    assert m.hrc is None and not any(n.has_lut for n in m.nps)
    m.hrc = NP.Info(NP.Ident(5, 1, 0), [NP.HRC], True)
    assert old_hrc_ident == old_hrc.ident == NP.Ident(0, 0, 0)
    old_hrc_ident.col, old_ident.col = 8, 9
    assert m.hrc.ident == NP.Ident(5, 1, 0) and [n.ident.col for n in m.nps] == [9] * 40
    assert old_hrc.ident.col == 8 and old.ident.col == 9


def test_components_without_and_with_an_np_share(residual):
    load = residual.y.mapping.skipdma_loads[0]
    space = load.spatial_partition
    assert (load.type, load.filters, load.start_neuron, load.single_buffer) == (NP.SKIP_DMA_LOAD, 0, 0, True)
    assert (space.x, space.y, space.shape) == (0, 0, [])
    share = _testing.np_component(False, 0)
    assert (share.filters, share.single_buffer, share.spatial_partition.shape) == (8, False, [8, 8, 8])
    ident, memory = share.ident, share.mem_info
    del share
    gc.collect()
    assert ident == NP.Ident(2, 1, 0) and memory == NP.MemoryInfo()


def test_component_equality_skips_buffering_but_not_the_padded_window():
    assert _testing.np_component(True, 0) == _testing.np_component(False, 0)
    assert _testing.np_component(True, 0) != _testing.np_component(True, 1)
    with pytest.raises(TypeError):
        hash(_testing.np_component(True, 0))
