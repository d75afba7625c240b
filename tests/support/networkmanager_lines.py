'''NetworkManager for the tests: python3-dbusmock's stock template, with what a metered line
needs on top: mobile-broadband modems, devices with an IPv4 address record and a metered flag,
and an activation that walks the device through its states in steps (or fails at the modem
with a chosen reason), as the service does, instead of being connected at once.'''

import dbus
from gi.repository import GLib

import dbusmock
from dbusmock import MOCK_IFACE
from dbusmock.templates import networkmanager as stock
# The stock template's names, its mock methods included, so that they are served as well.
from dbusmock.templates.networkmanager import *  # noqa: F401,F403 pylint: disable=wildcard-import,unused-wildcard-import
from dbusmock.templates.networkmanager import (ACTIVE_CONNECTION_IFACE, DEVICE_IFACE, MANAGER_IFACE, MANAGER_OBJ,
                                               MAIN_OBJ)

IP4_IFACE = 'org.freedesktop.NetworkManager.IP4Config'

# How the next activation of a profile goes: its step in milliseconds and, if it fails, the
# device's reason.
plans = {}


def load(mock, parameters):
    stock.load(mock, parameters)
    manager = dbusmock.get_object(MANAGER_OBJ)
    manager.AddMethod(MANAGER_IFACE, 'ActivateConnection', 'ooo', 'o', 'ret = self.walk_activation(args[0], args[1])')
    manager.AddMethod(MANAGER_IFACE, 'DeactivateConnection', 'o', '', 'self.walk_deactivation(args[0])')
    manager.walk_activation = walk_activation
    manager.walk_deactivation = walk_deactivation
    manager.refuse_deactivation = False


def device_state(device_path, state, reason):
    device = dbusmock.get_object(device_path)
    old = device.Get(DEVICE_IFACE, 'State')
    device.Set(DEVICE_IFACE, 'State', dbus.UInt32(state))
    device.Set(DEVICE_IFACE, 'StateReason', dbus.Struct((dbus.UInt32(state), dbus.UInt32(reason))))
    device.EmitSignal(DEVICE_IFACE, 'StateChanged', 'uuu', [dbus.UInt32(state), old, dbus.UInt32(reason)])


def active_state(active_path, state, reason):
    active = dbusmock.get_object(active_path)
    active.Set(ACTIVE_CONNECTION_IFACE, 'State', dbus.UInt32(state))
    active.EmitSignal(ACTIVE_CONNECTION_IFACE, 'StateChanged', 'uu', [dbus.UInt32(state), dbus.UInt32(reason)])


def remove_active(active_path, device_path, reason):
    main = dbusmock.get_object(MAIN_OBJ)
    manager = dbusmock.get_object(MANAGER_OBJ)
    device = dbusmock.get_object(device_path)
    device.Set(DEVICE_IFACE, 'ActiveConnection', dbus.ObjectPath('/'))
    device.Set(DEVICE_IFACE, 'Ip4Config', dbus.ObjectPath('/'))
    device_state(device_path, 30, reason)
    actives = manager.Get(MANAGER_IFACE, 'ActiveConnections')
    if active_path in actives:
        actives.remove(dbus.ObjectPath(active_path))
        manager.Set(MANAGER_IFACE, 'ActiveConnections', actives)
    main.object_manager_emit_removed(active_path)
    main.RemoveObject(active_path)


def device_for(kind):
    wanted = {'gsm': 8, 'cdma': 8, 'bluetooth': 5}.get(kind, 1)
    for path in dbusmock.get_object(MANAGER_OBJ).GetDevices():
        if dbusmock.get_object(path).Get(DEVICE_IFACE, 'DeviceType') == wanted:
            return path
    raise dbus.exceptions.DBusException('No suitable device found for this connection.',
                                        name=MANAGER_IFACE + '.ConnectionNotAvailable')


def make_active(profile_path, device_path):
    main = dbusmock.get_object(MAIN_OBJ)
    manager = dbusmock.get_object(MANAGER_OBJ)
    settings = dbusmock.get_object(profile_path).settings['connection']
    if str(device_path) == '/':
        device_path = device_for(settings['type'])
    actives = manager.Get(MANAGER_IFACE, 'ActiveConnections')
    count = 0
    while dbus.ObjectPath(f'/org/freedesktop/NetworkManager/ActiveConnection/{count}') in actives:
        count += 1
    active_path = f'/org/freedesktop/NetworkManager/ActiveConnection/{count}'
    main.AddObject(active_path, ACTIVE_CONNECTION_IFACE, {
        'Devices': dbus.Array([dbus.ObjectPath(device_path)], signature='o'),
        'Type': settings['type'], 'Id': settings['id'], 'Uuid': settings['uuid'],
        'Connection': dbus.ObjectPath(profile_path), 'SpecificObject': dbus.ObjectPath('/'),
        'State': dbus.UInt32(1), 'Vpn': False, 'Default': True, 'Default6': False,
        'Master': dbus.ObjectPath('/'),
    }, [])
    main.object_manager_emit_added(active_path)
    actives.append(dbus.ObjectPath(active_path))
    manager.Set(MANAGER_IFACE, 'ActiveConnections', actives)
    dbusmock.get_object(device_path).Set(DEVICE_IFACE, 'ActiveConnection', dbus.ObjectPath(active_path))
    return active_path, device_path


def walk_activation(profile_path, device_path):
    active_path, device_path = make_active(profile_path, device_path)
    step, failure = plans.pop(str(profile_path), (30, 0))
    states = [40, 50, 70] if failure == 0 else [40, 50]

    def next_step():
        if dbusmock.get_object(device_path).Get(DEVICE_IFACE, 'ActiveConnection') != active_path:
            return False  # taken down meanwhile
        if states:
            device_state(device_path, states.pop(0), 0)
            return True
        if failure:
            device_state(device_path, 120, failure)
            active_state(active_path, 4, 3)
            remove_active(active_path, device_path, failure)
            return False
        device = dbusmock.get_object(device_path)
        device.Set(DEVICE_IFACE, 'Ip4Config', dbus.ObjectPath(device.address_record))
        device_state(device_path, 100, 0)
        active_state(active_path, 2, 1)
        return False

    GLib.timeout_add(step, next_step)
    return active_path


def walk_deactivation(active_path):
    manager = dbusmock.get_object(MANAGER_OBJ)
    if manager.refuse_deactivation:
        raise dbus.exceptions.DBusException('Not authorized to deactivate connections',
                                            name=MANAGER_IFACE + '.PermissionDenied')
    if active_path not in manager.Get(MANAGER_IFACE, 'ActiveConnections'):
        raise dbus.exceptions.DBusException('The connection was not active.',
                                            name=MANAGER_IFACE + '.ConnectionNotActive')
    device_path = dbusmock.get_object(active_path).Get(ACTIVE_CONNECTION_IFACE, 'Devices')[0]
    active_state(active_path, 3, 2)
    device_state(device_path, 110, 39)
    active_state(active_path, 4, 2)
    remove_active(active_path, device_path, 39)


def add_device(self, name, kind, interface, ip_interface, address, metered):
    path = '/org/freedesktop/NetworkManager/Devices/' + name
    record = '/org/freedesktop/NetworkManager/IP4Config/' + name
    self.AddObject(record, IP4_IFACE, {
        'AddressData': dbus.Array([dbus.Dictionary({'address': address, 'prefix': dbus.UInt32(32)},
                                                   signature='sv')], signature='a{sv}'),
    }, [])
    self.object_manager_emit_added(record)
    self.AddObject(path, DEVICE_IFACE, {
        'DeviceType': dbus.UInt32(kind), 'State': dbus.UInt32(30),
        'StateReason': dbus.Struct((dbus.UInt32(30), dbus.UInt32(0))),
        'Interface': interface, 'IpInterface': ip_interface, 'Metered': dbus.UInt32(metered),
        'ActiveConnection': dbus.ObjectPath('/'), 'Ip4Config': dbus.ObjectPath('/'),
        'AvailableConnections': dbus.Array([], signature='o'), 'Managed': True, 'Driver': 'dbusmock',
    }, [])
    dbusmock.get_object(path).address_record = record
    self.object_manager_emit_added(path)
    manager = dbusmock.get_object(MANAGER_OBJ)
    devices = manager.Get(MANAGER_IFACE, 'Devices')
    devices.append(dbus.ObjectPath(path))
    manager.Set(MANAGER_IFACE, 'Devices', devices)
    return path


@dbus.service.method(MOCK_IFACE, in_signature='sussus', out_signature='s')
def AddLineDevice(self, name, kind, interface, ip_interface, metered, address):
    '''A device of the given NMDeviceType (8 a modem, 2 Wi-Fi), its control and traffic
    interfaces, its NMMetered value and the IPv4 address it gets when activated.'''
    return add_device(self, name, kind, interface, ip_interface, address, metered)


@dbus.service.method(MOCK_IFACE, in_signature='ss', out_signature='s')
def AddProfile(self, name, kind):
    '''A saved profile of the given connection type ("gsm", "802-11-wireless" ...). A mobile
    broadband profile has a stored password (a secret its settings are read without). Besides the
    stock template's Update (which saves to disk) it has Update2, which keeps the profile in memory
    when asked to, and applies a changed metered flag to its active device at once.'''
    settings = {'connection': {'id': name, 'type': kind}}
    if kind == 'gsm':
        settings['gsm'] = {'apn': 'internet', 'secrets': {'password': 'telco-secret'}}
    path = self.SettingsAddConnection(settings)
    profile = dbusmock.get_object(path)
    profile.disk = copy_settings(profile.settings)
    profile.disk_writes = 0
    profile.AddMethod(stock.CSETTINGS_IFACE, 'Update2', 'a{sa{sv}}ua{sv}', 'a{sv}',
                      'ret = self.update2(args[0], args[1])')
    profile.update2 = lambda settings, flags: update2(profile, settings, flags)
    return path


def copy_settings(settings):
    return {name: dict(values) for name, values in settings.items()}


def update2(profile, settings, flags):
    # An update replaces every setting: what it leaves out is gone, secrets included.
    profile.settings = copy_settings(settings)
    if flags & 0x2 == 0:  # not in memory: written to disk
        profile.disk = copy_settings(settings)
        profile.disk_writes += 1
    profile.Set(stock.CSETTINGS_IFACE, 'Unsaved', bool(flags & 0x2))
    profile.EmitSignal(stock.CSETTINGS_IFACE, 'Updated', '', [])
    metered = int(settings.get('connection', {}).get('metered', 0))
    manager = dbusmock.get_object(MANAGER_OBJ)
    for active_path in manager.Get(MANAGER_IFACE, 'ActiveConnections'):
        active = dbusmock.get_object(active_path)
        if str(active.Get(ACTIVE_CONNECTION_IFACE, 'Connection')) != str(profile.connection_path):
            continue
        for device_path in active.Get(ACTIVE_CONNECTION_IFACE, 'Devices'):
            device = dbusmock.get_object(device_path)
            if not hasattr(device, 'own_metered'):
                device.own_metered = int(device.Get(DEVICE_IFACE, 'Metered'))
            device.Set(DEVICE_IFACE, 'Metered', dbus.UInt32(metered if metered else device.own_metered))
    return {}


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='s')
def ProfileFacts(_self, path):
    '''What a profile holds: "metered=M disk=D writes=W unsaved=U secrets=S", M its metered flag
    in memory (0 when not set), D on disk, W how often it was written to disk since it was made, U
    whether it differs from disk, S its stored secrets.'''
    profile = dbusmock.get_object(path)
    secrets = sorted(f'{k}' for values in profile.settings.values() for k in values.get('secrets', {}))
    return 'metered=%d disk=%d writes=%d unsaved=%s secrets=%s' % (
        int(profile.settings['connection'].get('metered', 0)), int(profile.disk['connection'].get('metered', 0)),
        profile.disk_writes, profile.Get(stock.CSETTINGS_IFACE, 'Unsaved'), ','.join(secrets))


@dbus.service.method(MOCK_IFACE, in_signature='suu', out_signature='')
def PlanActivation(_self, profile_path, step, failure):
    '''How the next activation of the profile goes: its step in milliseconds, and the device's
    reason if it is to fail (0: it succeeds).'''
    plans[str(profile_path)] = (step, failure)


@dbus.service.method(MOCK_IFACE, in_signature='b', out_signature='')
def RefuseDeactivation(_self, refuse):
    dbusmock.get_object(MANAGER_OBJ).refuse_deactivation = refuse


@dbus.service.method(MOCK_IFACE, in_signature='ss', out_signature='s')
def ActivateAt(self, profile_path, device_path):
    '''A connection that is up already, as one made before the program started.'''
    active_path, device_path = make_active(profile_path, device_path)
    device = dbusmock.get_object(device_path)
    device.Set(DEVICE_IFACE, 'Ip4Config', dbus.ObjectPath(device.address_record))
    device_state(device_path, 100, 0)
    active_state(active_path, 2, 1)
    return active_path


@dbus.service.method(MOCK_IFACE, in_signature='s', out_signature='s')
def DeviceMetered(_self, path):
    '''The device's NMMetered value, as text.'''
    return str(int(dbusmock.get_object(path).Get(DEVICE_IFACE, 'Metered')))
