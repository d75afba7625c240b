#!/usr/bin/env python3
"""Asks the meter at SOCKET to hold programs back, as PuloPro's data saver does: sends each request
given, prints each answer line, prints "holding", then keeps the connection (and so the holds),
sending each line read from standard input as a further request, until it is killed or its
standard input ends."""
import socket
import sys

caller = socket.socket(socket.AF_UNIX)
caller.connect(sys.argv[1])
answers = caller.makefile("r")


def ask(request):
    caller.sendall(request.encode() + b"\n")
    print(answers.readline().strip(), flush=True)


for request in sys.argv[2:]:
    ask(request)
print("holding", flush=True)
for line in sys.stdin:
    ask(line.strip())
