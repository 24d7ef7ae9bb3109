"""Writes the test skin file: the ".SHE" mark, every byte value, then pseudo-random
bytes (NULs included), 7,122 bytes in all, the same on every run."""
import random
import sys

rng = random.Random(5122)
body = b".SHE" + bytes(range(256))
body += bytes(rng.randrange(256) for _ in range(7122 - len(body)))
with open(sys.argv[1], "wb") as f:
    f.write(body)
