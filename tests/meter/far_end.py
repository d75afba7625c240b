#!/usr/bin/env python3
"""The far end of the meter's test line, in the other namespace: a sink that reads a TCP
connection to its end (port 5001), a source that sends each caller the bytes given (port 5002), and
a UDP echo (port 5003), on IPv4 and IPv6 alike. Prints "ready" once it listens."""
import socket
import sys
import threading

source_bytes = int(sys.argv[1])


def serve_tcp(port, handle):
    listener = socket.socket(socket.AF_INET6, socket.SOCK_STREAM)
    listener.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("::", port))
    listener.listen(256)

    def accept():
        while True:
            caller, _ = listener.accept()
            threading.Thread(target=handle, args=(caller,), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()


def sink(caller):
    while caller.recv(1 << 16):
        pass
    caller.close()


def source(caller):
    left = source_bytes
    chunk = b"s" * (1 << 16)
    while left > 0:
        left -= caller.send(chunk[:min(left, len(chunk))])
    caller.shutdown(socket.SHUT_WR)
    while caller.recv(1 << 16):
        pass
    caller.close()


serve_tcp(5001, sink)
serve_tcp(5002, source)
echo = socket.socket(socket.AF_INET6, socket.SOCK_DGRAM)
echo.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
echo.bind(("::", 5003))
print("ready", flush=True)
while True:
    data, sender = echo.recvfrom(1 << 16)
    echo.sendto(data, sender)
