'''dbusmock template: wpa_supplicant with wlp3s0 joined to nothing, wlp2s0 to "larkmead_staff"'''

import dbus

BUS_NAME = MAIN_IFACE = 'fi.w1.wpa_supplicant1'
MAIN_OBJ = '/fi/w1/wpa_supplicant1'
SYSTEM_BUS = True


def load(mock, _parameters):
    bss = MAIN_OBJ + '/BSSs/0'
    mock.AddObject(bss, MAIN_IFACE + '.BSS', {'SSID': dbus.ByteArray(b'larkmead_staff')}, [])
    paths = {name: f'{MAIN_OBJ}/Interfaces/{name}' for name in ('wlp3s0', 'wlp2s0')}
    for name, current in (('wlp3s0', '/'), ('wlp2s0', bss)):
        mock.AddObject(paths[name], MAIN_IFACE + '.Interface',
                       {'Ifname': name, 'CurrentBSS': dbus.ObjectPath(current)}, [])
    mock.AddProperty(MAIN_IFACE, 'Interfaces', dbus.Array(paths.values(), signature='o'))
    mock.AddMethod(MAIN_IFACE, 'GetInterface', 's', 'o', f'ret = {paths!r}[args[0]]')
