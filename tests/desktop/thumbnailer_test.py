#!/usr/bin/env python3
"""scrivlet-thumbnailer over the sample pages, damaged copies of them and the
corpus: every thumbnail's longer side is SIZE, a refused file gives exit
status 1 and leaves no file, and nothing but OUTPUT is ever written.

Usage: thumbnailer_test.py THUMBNAILER SOURCE_DIR SHARED_DIR"""
import os
import struct
import subprocess
import sys
import tempfile

thumbnailer, source, shared = sys.argv[1:4]
failures = []


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def run(page, size, expect_ok=None):
    """Runs the thumbnailer on `page` into a fresh folder; returns whether a
    thumbnail was made."""
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "thumb.png")
        result = subprocess.run([thumbnailer, "-s", str(size), page, out],
                                capture_output=True, timeout=120)
        left = sorted(os.listdir(folder))
        name = os.path.relpath(page, source) if page.startswith(source) else page
        if result.returncode < 0 or result.returncode > 2:
            failures.append(f"{name}: ended with status {result.returncode} {result.stderr!r}")
            return False
        if result.returncode == 0:
            dims = png_size(out) if left == ["thumb.png"] else None
            if dims is None or max(dims) != size or min(dims) < 1:
                failures.append(f"{name}: files {left}, size {dims}, not a PNG of longer side {size}")
            if expect_ok is False:
                failures.append(f"{name}: a thumbnail of a file that should be refused")
            return True
        if left:
            failures.append(f"{name}: refused (status {result.returncode}) but left {left}")
        if not result.stderr:
            failures.append(f"{name}: refused without saying why")
        if expect_ok is True:
            failures.append(f"{name}: refused: {result.stderr!r}")
        return False


samples = [os.path.join(source, "samples", "emf", f"page{i:04d}.emf") for i in (1, 2, 3)]
for page in samples:
    for size in (256, 128, 1):
        run(page, size, expect_ok=True)

# Damaged copies: cut short inside the header, empty, not a metafile, and a
# frame so small that no resolution gives the size.
with open(samples[1], "rb") as f:
    good = f.read()
small_frame = bytearray(good)
small_frame[24:40] = struct.pack("<iiii", 0, 0, 0, 0)
with tempfile.TemporaryDirectory() as folder:
    for label, data in [("cut", good[:60]), ("empty", b""), ("text", b"not a metafile\n" * 20),
                        ("empty frame", bytes(small_frame))]:
        path = os.path.join(folder, label.replace(" ", "_") + ".emf")
        with open(path, "wb") as f:
            f.write(data)
        run(path, 256, expect_ok=False)
    run(os.path.join(folder, "missing.emf"), 256, expect_ok=False)

# Usage errors give status 2 and no file.
with tempfile.TemporaryDirectory() as folder:
    out = os.path.join(folder, "t.png")
    for args in (["-s", "0", samples[0], out], ["-s", "abc", samples[0], out], [samples[0], out],
                 ["-s", "256", samples[0]], ["-s", "256", "-x", samples[0], out]):
        result = subprocess.run([thumbnailer] + args, capture_output=True, timeout=60)
        if result.returncode != 2 or os.listdir(folder):
            failures.append(f"usage {args}: status {result.returncode}, files {os.listdir(folder)}")

corpus = os.path.join(shared, "corpus")
if os.path.isdir(corpus):
    made = refused = 0
    for folder in ("emf", "emf-noref", "emf-corrupted", "spool/pages"):
        for root, _, names in os.walk(os.path.join(corpus, folder)):
            for name in sorted(names):
                if name.lower().endswith((".emf", ".spl")) or folder == "emf-corrupted":
                    if run(os.path.join(root, name), 256):
                        made += 1
                    else:
                        refused += 1
    print(f"corpus: {made} thumbnails, {refused} refused")
    if made == 0:
        failures.append("no corpus page gave a thumbnail")
else:
    print("corpus absent: the corpus run is skipped")

for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)
