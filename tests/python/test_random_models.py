"""Seeded random models of both generations, drawn around the limits of their layers, mapped on
virtual devices with random meshes (random_models.py draws and judges them). Every mapping must
succeed with programs the engine's reader takes, or fail naming a layer (on generation 1 in the
words of a check). scripts/random_models.py runs many more seeds."""
import pytest

from random_models import run_cases

CASES = 200


@pytest.mark.parametrize("generation", ["v1", "v2"])
def test_random_models_map_or_are_refused_by_name(generation):
    outcomes, problems = run_cases(generation, range(CASES))
    assert not problems, "\n".join(problems)
    # Half the cases keep to values the checks accept: the draws must still reach the recorders
    # and the program reader, and the checks.
    assert outcomes["mapped"] >= CASES // 5 and outcomes["refused"] >= CASES // 10, outcomes
