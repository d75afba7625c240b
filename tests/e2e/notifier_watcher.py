#!/usr/bin/python3
'''A StatusNotifierItem panel of the test's own, on the session bus it is started on: it serves
org.kde.StatusNotifierWatcher with a host registered (what KDE's panel, GNOME's AppIndicator
extension and the Wayland panels offer), waits for PuloPro's item, reads the menu the item
exports (com.canonical.dbusmenu GetLayout), checks its entries and clicks Exit as a panel does.
Prints what it saw; exits 0 once Exit was clicked, 1 when the item or its menu is not right.'''

import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

WATCHER = 'org.kde.StatusNotifierWatcher'
ITEM = 'org.kde.StatusNotifierItem'
MENU = 'com.canonical.dbusmenu'
PROPERTIES = 'org.freedesktop.DBus.Properties'

INTROSPECTION = f'''<node>
 <interface name="{WATCHER}">
  <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
 </interface>
 <interface name="{PROPERTIES}">
  <method name="Get"><arg type="s" direction="in"/><arg type="s" direction="in"/>
   <arg type="v" direction="out"/></method>
  <method name="GetAll"><arg type="s" direction="in"/><arg type="a{{sv}}" direction="out"/></method>
 </interface>
</node>'''


def fail(message):
    print('FAILED:', message, flush=True)
    loop.quit()
    global result
    result = 1


def labels(layout, found):
    '''The labels of a GetLayout answer's items, with their ids, depth first.'''
    _, properties, children = layout
    if 'label' in properties:
        found.append((str(properties['label']), int(layout[0])))
    for child in children:
        labels(child, found)
    return found


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, '/StatusNotifierWatcher')
        self.bus = bus
        self.items = []

    @dbus.service.method('org.freedesktop.DBus.Introspectable', out_signature='s')
    def Introspect(self):
        return INTROSPECTION

    @dbus.service.method(PROPERTIES, in_signature='ss', out_signature='v')
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(PROPERTIES, in_signature='s', out_signature='a{sv}')
    def GetAll(self, interface):
        return {'RegisteredStatusNotifierItems': dbus.Array(self.items, signature='s'),
                'IsStatusNotifierHostRegistered': dbus.Boolean(True), 'ProtocolVersion': dbus.Int32(0)}

    @dbus.service.method(WATCHER, in_signature='s', sender_keyword='sender')
    def RegisterStatusNotifierItem(self, service, sender=None):
        name, path = (sender, service) if service.startswith('/') else (service, '/StatusNotifierItem')
        self.items.append(name + path)
        self.StatusNotifierItemRegistered(name + path)
        GLib.timeout_add(300, self.examine, name, path)

    @dbus.service.method(WATCHER, in_signature='s')
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature='s')
    def StatusNotifierItemRegistered(self, service):
        pass

    @dbus.service.signal(WATCHER, signature='s')
    def StatusNotifierItemUnregistered(self, service):
        pass

    @dbus.service.signal(WATCHER)
    def StatusNotifierHostRegistered(self):
        pass

    def examine(self, name, path):
        try:
            item = self.bus.get_object(name, path)
            menu_path = item.Get(ITEM, 'Menu', dbus_interface=PROPERTIES)
            print('item', name + path, 'menu', menu_path, flush=True)
            menu = self.bus.get_object(name, menu_path)
            menu.AboutToShow(dbus.Int32(0), dbus_interface=MENU)
            _, layout = menu.GetLayout(dbus.Int32(0), dbus.Int32(-1), dbus.Array([], signature='s'),
                                       dbus_interface=MENU)
            entries = labels(layout, [])
            print('menu', [label for label, _ in entries], flush=True)
            wanted = ['_Restore', '_Dial', 'H_ang up', 'View _Log file', '_Usage', '_Configuration', '_Mute', 'E_xit']
            missing = [label for label in wanted if label not in [found for found, _ in entries]]
            if missing:
                fail(f'the menu lacks {missing}')
                return False
            exit_id = dict(entries)['E_xit']
            menu.Event(dbus.Int32(exit_id), 'clicked', dbus.Int32(0, variant_level=1), dbus.UInt32(0),
                       dbus_interface=MENU)
            print('clicked Exit', flush=True)
            loop.quit()
        except dbus.DBusException as error:
            # Qt registers its item again on a new connection as the icon is set up; the last
            # registration is the one to read (or the test's time runs out).
            print('item', name + path, 'did not answer:', error.get_dbus_name(), flush=True)
        return False


dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
session = dbus.SessionBus()
name = dbus.service.BusName(WATCHER, session)
watcher = Watcher(session)
loop = GLib.MainLoop()
result = 0
print('ready', flush=True)
GLib.timeout_add(float(sys.argv[1]) * 1000 if len(sys.argv) > 1 else 20000,
                 lambda: fail('no item with a menu was seen') or False)
loop.run()
sys.exit(result)
