"""Imports the core module and shows what it offers so far."""
from ornix import core

print(f"ornix.core {core.__version__}: {core.__doc__}")
print("backends:", ", ".join(core.BackendType.__members__))
print("IP versions:", ", ".join(core.IpVersion.__members__))
print("clock modes:", ", ".join(f"{name} {int(mode)} Hz" for name, mode in core.soc.ClockMode.__members__.items()))
