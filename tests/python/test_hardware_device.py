import os
import subprocess
import sys
from pathlib import Path

import pytest

from ornix import core


def test_no_device_is_discovered_without_a_driver():
    assert core.devices() == []
    assert core.devices() == []


@pytest.mark.parametrize("cases", ["device_cases.py", "v1_device_cases.py", "mapped_model_cases.py"])
def test_simulated_devices(cases):
    # devices() discovers once per process: these cases attach their drivers first, in a process of their own.
    cases = Path(__file__).parent / "hardware" / cases
    run = subprocess.run([sys.executable, "-m", "pytest", "-q", "-p", "no:cacheprovider", str(cases)],
                         capture_output=True, text=True, env=os.environ)
    assert run.returncode == 0, run.stdout + run.stderr
