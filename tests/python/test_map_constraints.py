import pytest

from conftest import CONV2D, Built, input_layer
from ornix import core

NP = core.NP


def v2_device():
    cnps = [NP.Info(NP.Ident(col, 1, i), [NP.CNP1, NP.CNP2]) for col in range(2, 4) for i in range(4)]
    return core.Device(core.Pelmo_v2, NP.Mesh(core.v2, NP.Ident(1, 1, 0), NP.Ident(1, 1, 1), None, cnps))


def two_convs():
    return Built(input_layer(8, 8, 8), ("a", core.Conv2D, CONV2D), ("b", core.Conv2D, CONV2D))


def mapped_nps(constraints):
    built = two_convs()
    built.model.map(constraints.device, constraints)
    return [[str(np.ident) for np in layer.mapping.nps] for layer in (built.a, built.b)]


def test_limits_defaults_and_setters():
    constraints = core.MapConstraints(v2_device())
    assert (constraints.cnp_max_width_default, constraints.cnp_max_height_default,
            constraints.cnp_max_filters_default) == (64, 256, 512)
    assert (constraints.cnp_max_width, constraints.cnp_max_height, constraints.cnp_max_filters) == (64, 256, 512)
    for value in (0, 513):
        with pytest.raises(ValueError, match=rf"^Invalid cnp max filters: {value}\. Expected value in range \[1, 512\]\.$"):
            constraints.cnp_max_filters = value
    assert constraints.cnp_max_filters == 512
    constraints.cnp_max_filters = 1
    assert constraints.cnp_max_filters == 1
    with pytest.raises(TypeError):
        constraints.cnp_max_width = -1
    constraints.hwpr_loopitself = True
    assert constraints.hwpr_loopitself
    with pytest.raises(ValueError, match="^Invalid device passed to MapConstraints.$"):
        core.MapConstraints(None)


def test_loop_itself_is_refused_on_ip_v1():
    mesh = NP.Mesh(core.v1, NP.Ident(1, 1, 0), NP.Ident(1, 1, 1), None, [])
    constraints = core.MapConstraints(core.Device(core.Tarvik_v1, mesh))
    assert constraints.cnp_max_width_default == 32
    with pytest.raises(ValueError, match="^HWPR NP loopitself feature is not supported for IP v1.$"):
        constraints.hwpr_loopitself = True
    assert not constraints.hwpr_loopitself


class FirstN(core.MapConstraints):
    def select_nps(self, source_nps, num_nps, type):
        return source_nps[:num_nps]


class Reversed(core.MapConstraints):
    def select_nps(self, source_nps, num_nps, type):
        return list(reversed(source_nps))[:num_nps]


class ThroughSuper(core.MapConstraints):
    def select_nps(self, source_nps, num_nps, type):
        self.calls = getattr(self, "calls", []) + [(len(source_nps), num_nps, type)]
        return super().select_nps(source_nps, num_nps, type)


def test_select_nps_overrides_steer_the_mapping():
    device = v2_device()
    plain = mapped_nps(core.MapConstraints(device))
    assert mapped_nps(FirstN(device)) == plain
    through_super = ThroughSuper(device)
    assert mapped_nps(through_super) == plain and through_super.calls[0][2] == NP.CNP1
    reversed_nps = mapped_nps(Reversed(device))
    assert reversed_nps != plain and set(reversed_nps[0]).isdisjoint(plain[0])


class Names(core.MapConstraints):
    def __init__(self, device):
        super().__init__(device)
        self.names = []

    def next_layer_handler(self, layer_name):
        self.names.append(layer_name)


class WrongName(core.MapConstraints):
    names = []

    def next_layer(self, layer_name):
        self.names.append(layer_name)


def test_next_layer_handler_sees_each_layer_once():
    device = v2_device()
    names = Names(device)
    mapped_nps(names)
    assert names.names == ["a", "b"]
    names.next_layer("x")
    assert names.names[-1] == "x"
    wrong = WrongName(device)
    mapped_nps(wrong)
    assert wrong.names == []
    core.MapConstraints(device).next_layer("x")  # the base does nothing


class Raises(core.MapConstraints):
    def select_nps(self, source_nps, num_nps, type):
        raise KeyError("chosen by the test")


@pytest.mark.parametrize("result, python_type", [(None, "NoneType"), ([1], "list"), ("abc", "str"), (5, "int")])
def test_select_nps_results_that_are_not_idents(result, python_type):
    class Returns(core.MapConstraints):
        def select_nps(self, source_nps, num_nps, type):
            return result

    with pytest.raises(RuntimeError, match=f"^Unable to cast Python instance of type <class '{python_type}'> to C\\+\\+ "
                                           r"type '.*Ident.*'$"):
        mapped_nps(Returns(v2_device()))


class RewritesTheMesh(core.MapConstraints):
    def next_layer_handler(self, layer_name):
        mesh = self.device.mesh
        mesh.nps = mesh.nps[:1]
        mesh.nps[0].types = [NP.FNP3]


def test_hooks_cannot_rewrite_the_mesh_of_the_device():
    device = v2_device()
    before = device.mesh
    assert mapped_nps(RewritesTheMesh(device)) == mapped_nps(core.MapConstraints(device))
    assert device.mesh == before and len(device.mesh.nps) == 8


def test_python_errors_of_overrides_leave_the_mapping():
    with pytest.raises(KeyError, match="chosen by the test"):
        mapped_nps(Raises(v2_device()))
