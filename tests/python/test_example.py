import os
import re
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).parents[2]
EXAMPLE = ROOT / "examples" / "map_models.py"


def test_the_main_example_maps_both_generations_on_hardware():
    run = subprocess.run([sys.executable, str(EXAMPLE)], capture_output=True, text=True, env=os.environ)
    assert run.returncode == 0, run.stdout + run.stderr
    v1 = run.stdout[run.stdout.index("(v1)"):]
    # Every layer on its component, with its memory figures.
    for name, kind in ("input_conv", "HRC"), ("conv", "CNP1"), ("classifier", "FNP3"):
        assert re.search(rf"\n  {name}\n    {kind} .*: input \d+ B, weights [1-9]\d* B, external 0 B\n", v1), name
    assert "sequence HW/input_conv-classifier (Hardware): passes [input_conv, conv, classifier]" in v1
    assert re.search(r"\n    program \d+ B: <ornix.ProgramMemoryRequired\(input_memory=64B, ", v1)


def test_the_readme_snippet_runs_as_written(tmp_path):
    readme = (ROOT / "README.md").read_text()
    snippet = readme[readme.index("## From Python"):readme.index("## What it does not do")]
    code = "\n".join(line[4:] for line in snippet.splitlines() if line.startswith("    "))
    run = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, env=os.environ, cwd=tmp_path)
    assert run.returncode == 0, run.stderr
    assert (tmp_path / "model.fbz").exists()
