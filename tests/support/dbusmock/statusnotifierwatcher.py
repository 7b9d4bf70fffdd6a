'''dbusmock template: a panel's StatusNotifierWatcher with a registered host. Registered items are
listed in RegisteredStatusNotifierItems and announced by StatusNotifierItemRegistered.'''

import dbus

BUS_NAME = MAIN_IFACE = 'org.kde.StatusNotifierWatcher'
MAIN_OBJ = '/StatusNotifierWatcher'
SYSTEM_BUS = False


def load(mock, _parameters):
    mock.AddProperties(MAIN_IFACE, {
        'IsStatusNotifierHostRegistered': dbus.Boolean(True),
        'ProtocolVersion': dbus.Int32(0),
        'RegisteredStatusNotifierItems': dbus.Array([], signature='s'),
    })
    mock.AddMethod(MAIN_IFACE, 'RegisterStatusNotifierHost', 's', '', '')
    mock.AddMethod(MAIN_IFACE, 'RegisterStatusNotifierItem', 's', '',
                   "items = self.Get('%s', 'RegisteredStatusNotifierItems') + [args[0]]\n"
                   "self.Set('%s', 'RegisteredStatusNotifierItems', dbus.Array(items, signature='s'))\n"
                   "self.EmitSignal('%s', 'StatusNotifierItemRegistered', 's', [args[0]])"
                   % (MAIN_IFACE, MAIN_IFACE, MAIN_IFACE))
