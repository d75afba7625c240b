#!/usr/bin/env python3
"""A crowd on a running PuloPro's socket: 1100 callers that connect and say nothing, and one that
asks for the status without pause and reads its answers when it can, for the seconds given.

    socket_crowd.py SETTINGS_FILE SECONDS

The socket is found as the program names it: by the settings file's absolute path."""
import glob
import hashlib
import os
import socket
import sys
import time

settings, seconds = sys.argv[1], float(sys.argv[2])
digest = hashlib.sha1(os.path.abspath(settings).encode()).hexdigest()[:20]
uid = os.getuid()
found = glob.glob("/run/user/%d/pulopro-%d-%s" % (uid, uid, digest)) + glob.glob(
    "/tmp/pulopro-%d/pulopro-%d-%s" % (uid, uid, digest))
if not found:
    sys.exit("no socket for " + settings)
path = found[0]

held = []
for _ in range(1100):
    caller = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        caller.connect(path)
        held.append(caller)
    except OSError:
        caller.close()
asker = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
asker.connect(path)
asker.setblocking(False)
answers = 0
until = time.monotonic() + seconds
while time.monotonic() < until:
    try:
        asker.send(b"status\n" * 50)
    except BlockingIOError:
        pass
    except ConnectionError:
        # Let go for keeping its answers waiting: it comes back, as a status bar would.
        asker = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        asker.connect(path)
        asker.setblocking(False)
    try:
        answers += asker.recv(1 << 16).count(b"\n")
    except BlockingIOError:
        time.sleep(0.001)
    except ConnectionError:
        pass
print("held", len(held), "answers", answers)
if answers == 0:
    sys.exit("no answer came")
