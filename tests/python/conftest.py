# Shared setup of the vexscope package tests: the package from the build
# tree, a class registry of the test's own (VEXCOM_REGISTRY, set by ctest),
# and one connection to the simulated instrument on the in-process bus.
import pytest

import vexscope


@pytest.fixture(scope="session")
def scope():
    top = vexscope.connect("GPIB0::7::INSTR")
    yield top
    top.Close()


@pytest.fixture
def long_record(scope):
    """A one-channel record of a million points."""
    scope.Output(":SIM:PATT ON;:WAV:SOUR CHAN1;:WAV:FORM BYTE;:WAV:POIN 1000000")
    yield 1000000
    scope.Output(":WAV:POIN 1000")
