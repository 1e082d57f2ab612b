"""The session bus through jeepney: calls, and a monitor of the notification traffic."""

import threading
import time

from jeepney import (DBusAddress, HeaderFields, MatchRule, MessageType, new_method_call,
                     new_signal)
from jeepney.wrappers import unwrap_msg
from jeepney.bus_messages import Monitoring
from jeepney.io.blocking import open_dbus_connection

NOTIFICATIONS = "org.freedesktop.Notifications"


class Bus:
    def __init__(self, address):
        self.conn = open_dbus_connection(address)
        self._lock = threading.Lock()

    def call(self, dest, path, interface, method, signature=None, *args):
        msg = new_method_call(DBusAddress(path, dest, interface), method, signature, args)
        with self._lock:
            return unwrap_msg(self.conn.send_and_get_reply(msg, timeout=20))

    def get(self, dest, path, interface, prop):
        return self.call(dest, path, "org.freedesktop.DBus.Properties", "Get", "ss", interface,
                         prop)[0][1]

    def has_owner(self, name):
        return self.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                         "NameHasOwner", "s", name)[0]

    def signal(self, path, interface, member, signature, *args):
        with self._lock:
            self.conn.send(new_signal(DBusAddress(path, interface=interface), member, signature,
                                      args))

    def close(self):
        self.conn.close()


class NotificationMonitor:
    """Notify calls (dicts: summary, body, actions, hints, timeout, id, time) and the
    server's NotificationClosed signals, as the bus carries them."""

    def __init__(self, address):
        self.calls, self.closed = [], []
        self.conn = open_dbus_connection(address)
        rules = [MatchRule(type="method_call", interface=NOTIFICATIONS),
                 MatchRule(type="signal", interface=NOTIFICATIONS), MatchRule(type="method_return")]
        # Monitoring has begun once the bus answers.
        self.conn.send_and_get_reply(Monitoring().BecomeMonitor([r.serialise() for r in rules]))
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        pending = {}  # (sender, serial) of a Notify call: the call
        while True:
            try:
                msg = self.conn.receive()
            except Exception:  # closed
                return
            kind, fields = msg.header.message_type, msg.header.fields
            member = fields.get(HeaderFields.member)
            if kind == MessageType.method_call and member == "Notify":
                _app, _replaces, _icon, summary, body, actions, hints, timeout = msg.body
                call = {"summary": summary, "body": body, "actions": list(actions),
                        "hints": {k: v[1] for k, v in hints.items()}, "timeout": timeout,
                        "id": None, "time": time.time()}  # the bench times rings by it
                pending[(fields.get(HeaderFields.sender), msg.header.serial)] = call
                self.calls.append(call)
            elif kind == MessageType.method_return:
                key = (fields.get(HeaderFields.destination), fields.get(HeaderFields.reply_serial))
                if key in pending:
                    pending.pop(key)["id"] = msg.body[0]
            elif member == "NotificationClosed":
                self.closed.append(tuple(msg.body))

    def wait_for_notify(self, count=1, timeout=15):
        from .core import wait_until

        def answered():
            done = [c for c in self.calls if c["id"] is not None]
            return done[count - 1] if len(done) >= count else None
        return wait_until(answered, timeout, what="%d Notify call(s)" % count)

    def close(self):
        self.conn.close()
