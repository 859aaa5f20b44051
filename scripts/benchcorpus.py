"""A deterministic product-like payload for the benchmarks: text documents, code-like modules and
already-compressed media, with log-normal sizes scaled to a total, the same bytes for the same seed."""
import random


def text_pool(rng, size):
    words = [w.encode() for w in (
        "the of and to in is that for it as was with be by on not he this are or his from at which but have "
        "an had they you were their one all we can her has there been if more when will would who so no "
        "install setup product window dialog file folder registry service update version license user data "
        "configuration network printer message error warning option value default program system").split()]
    out = bytearray()
    while len(out) < size:
        line = b" ".join(rng.choice(words) for _ in range(rng.randint(4, 14)))
        out += line.capitalize() + b".\n"
    return bytes(out)


def executable(rng, size, pool):
    # Code-like: repeated instruction patterns with random operands, tables and embedded strings.
    out = bytearray(b"MZ\x90\x00" + bytes(60))
    while len(out) < size:
        kind = rng.random()
        if kind < 0.6:
            out += bytes([0x48, 0x89, rng.randrange(256), 0xE8]) + rng.randbytes(4)
        elif kind < 0.8:
            start = rng.randrange(len(pool) - 64)
            out += pool[start:start + rng.randint(8, 64)] + b"\x00"
        else:
            out += rng.randbytes(rng.randint(4, 32))
    return bytes(out[:size])


def product_files(count, total, seed, huge=0):
    """Yields (name, data) for count files of about total bytes in all (a "data/huge.bin" of huge bytes
    first when huge is set), in folders product/docs|bin|media/NN."""
    rng = random.Random(seed)
    pool = text_pool(rng, 2 << 20)
    sizes = [rng.lognormvariate(0, 1.2) for _ in range(count)]
    scale = total / sum(sizes)
    if huge:
        yield "data/huge.bin", executable(rng, huge, pool)
    for i, s in enumerate(sizes):
        size = max(1, int(s * scale))
        kind = i % 10
        folder = "product/%s/%02d" % (("docs", "bin", "media")[0 if kind < 5 else 1 if kind < 8 else 2], i % 37)
        if kind < 5:
            start = rng.randrange(len(pool) - min(size, len(pool) - 1))
            yield "%s/file%05d.txt" % (folder, i), (pool[start:] + pool)[:size]
        elif kind < 8:
            yield "%s/module%05d.dll" % (folder, i), executable(rng, size, pool)
        else:
            yield "%s/image%05d.jpg" % (folder, i), rng.randbytes(size)
