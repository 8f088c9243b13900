import copy

import pytest

from ornix import core

NAMES = ["initial_plasticity", "learning_competition", "min_plasticity", "num_classes", "num_weights",
         "plasticity_decay"]


@pytest.mark.parametrize("args, kwargs, expected", [
    ((), {"num_weights": 7}, [1.0, 0.0, 0.10000000149011612, 1.0, 7.0, 0.25]),
    ((7, 10, 0.5, 0.2, 0.05, 0.1), {}, [0.5, 0.2, 0.05, 10.0, 7.0, 0.1]),
])
def test_ornix_unsupervised_values(args, kwargs, expected):
    optimizer = core.OrnixUnsupervised(*args, **kwargs)
    assert dir(optimizer) == NAMES and optimizer.learning_type == 0
    assert [optimizer.get(name) for name in NAMES] == expected
    assert [getattr(optimizer, name) for name in NAMES] == expected
    assert isinstance(optimizer.num_weights, float)


@pytest.mark.parametrize("args", [(-1,), (2**32,), (1.5,), (), (3, 1, "fast")])
def test_ornix_unsupervised_refuses_unconvertible_arguments(args):
    with pytest.raises(TypeError):
        core.OrnixUnsupervised(*args)


def test_missing_names_and_copies():
    optimizer = core.OrnixUnsupervised(5, 2)
    for read in (optimizer.get, lambda key: getattr(optimizer, key)):
        with pytest.raises(ValueError, match="^Key learning_rate not found$"):
            read("learning_rate")
    copied = copy.copy(optimizer)
    assert copied is not optimizer and [copied.get(n) for n in NAMES] == [optimizer.get(n) for n in NAMES]
    assert copied.learning_type == optimizer.learning_type
