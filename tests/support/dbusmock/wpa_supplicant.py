'''wpa_supplicant mock template for python-dbusmock

Parameters: "interfaces", a list of [interface name, SSID or null]. Each interface gets an object
with Ifname and CurrentBSS; one with an SSID is associated with a BSS object carrying it.
'''

import dbus

BUS_NAME = 'fi.w1.wpa_supplicant1'
MAIN_OBJ = '/fi/w1/wpa_supplicant1'
MAIN_IFACE = 'fi.w1.wpa_supplicant1'
SYSTEM_BUS = True

INTERFACE_IFACE = 'fi.w1.wpa_supplicant1.Interface'
BSS_IFACE = 'fi.w1.wpa_supplicant1.BSS'


def load(mock, parameters):
    paths = {}
    for index, (name, ssid) in enumerate(parameters.get('interfaces', [])):
        path = f'{MAIN_OBJ}/Interfaces/{index}'
        bss = '/'
        if ssid is not None:
            bss = f'{path}/BSSs/0'
            mock.AddObject(bss, BSS_IFACE, {'SSID': dbus.ByteArray(ssid.encode('UTF-8'))}, [])
        mock.AddObject(path, INTERFACE_IFACE, {'Ifname': name, 'CurrentBSS': dbus.ObjectPath(bss)}, [])
        paths[name] = path

    mock.AddProperty(MAIN_IFACE, 'Interfaces', dbus.Array([dbus.ObjectPath(p) for p in paths.values()], signature='o'))
    mock.AddMethod(MAIN_IFACE, 'GetInterface', 's', 'o',
                   f'paths = {paths!r}\n'
                   'if args[0] not in paths:\n'
                   '    raise dbus.exceptions.DBusException("unknown interface", '
                   'name="fi.w1.wpa_supplicant1.InterfaceUnknown")\n'
                   'ret = dbus.ObjectPath(paths[args[0]])\n')
