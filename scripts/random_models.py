"""Seeded random models of one generation mapped on virtual devices of that generation, many more
than tests/python/test_random_models.py runs.

Each case builds a model of the generation's layer kinds whose parameters are drawn around their
limits (some left out), fills its variables, and maps it with `hw_only` true or false on a
virtual device with a random mesh (tests/python/random_models.py draws them). A case passes when
the mapping succeeds and every hardware program parses, or when it fails with an exception that
names a layer and holds no raw library text. Every other outcome is printed.

    PYTHONPATH=$PWD .venv/bin/python scripts/random_models.py v1|v2 [first seed] [count]

Against the sanitizer build (scripts/test makes the sanitized package in build-sanitize/package),
run from outside the source tree with the runtime preloaded:

    cd build-sanitize/package && \\
    LD_PRELOAD=$(g++ -print-file-name=libasan.so):$(g++ -print-file-name=libstdc++.so) \\
    ASAN_OPTIONS=detect_leaks=0 PYTHONPATH=$PWD ../../.venv/bin/python ../../scripts/random_models.py v1|v2 \\
    [first seed] [count]
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "python"))

from random_models import GENERATIONS, run_cases  # noqa: E402 - found through the path set above


def main():
    if len(sys.argv) < 2 or sys.argv[1] not in GENERATIONS:
        sys.exit(__doc__)
    generation = sys.argv[1]
    first = int(sys.argv[2]) if len(sys.argv) > 2 else 0
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 500
    outcomes, lines = run_cases(generation, range(first, first + count), lambda line: print(line, flush=True))
    print(f"{count} cases: {outcomes}, {len(lines)} with problems")
    return 1 if lines else 0


if __name__ == "__main__":
    sys.exit(main())
