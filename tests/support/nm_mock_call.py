#!/usr/bin/env python3
"""Calls one of the test NetworkManager's mock methods (networkmanager_lines.py) on the system bus
that DBUS_SYSTEM_BUS_ADDRESS names: METHOD ARGUMENT...; numbers go as numbers. Prints the answer."""
import sys

import dbus

mock = dbus.Interface(dbus.SystemBus().get_object('org.freedesktop.NetworkManager', '/org/freedesktop'),
                      'org.freedesktop.DBus.Mock')
arguments = [int(a) if a.isdigit() else a for a in sys.argv[2:]]
print(getattr(mock, sys.argv[1])(*arguments))
