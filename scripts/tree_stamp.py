#!/usr/bin/env python3
"""Prints the identity of a code tree: a short hash of every file's relative path, mode and bytes
(a link's target in place of bytes). The mode is the one git keeps, executable or not, so a
rebuild from the same sources gives the same stamp whatever the umask.
Usage: tree_stamp.py TREE [OUTPUT]"""
import hashlib
import os
import sys

root = sys.argv[1]
digest = hashlib.sha256()
for folder, dirs, files in os.walk(root):
    dirs.sort()
    # A link to a folder is an entry of its own, not a folder to walk into.
    for name in sorted(files + [d for d in dirs if os.path.islink(os.path.join(folder, d))]):
        path = os.path.join(folder, name)
        if os.path.islink(path):
            mode, data = "link", os.fsencode(os.readlink(path))
        else:
            mode = "755" if os.stat(path).st_mode & 0o100 else "644"
            with open(path, "rb") as f:
                data = f.read()
        head = os.fsencode(os.path.relpath(path, root)) + b"\0" + mode.encode() + b"\0%d\0" % len(data)
        digest.update(head + data)
stamp = digest.hexdigest()[:16] + "\n"
if len(sys.argv) > 2:
    with open(sys.argv[2], "w") as f:
        f.write(stamp)
else:
    sys.stdout.write(stamp)
