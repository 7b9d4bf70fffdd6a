#!/usr/bin/python3
# Prints the accessibility tree of the process PID as a screen reader sees it over AT-SPI, one object
# a line: depth, role, "focusable" or "-", name, description (tabs between, newlines escaped).
import sys

import pyatspi


def clean(text):
    return (text or "").replace("\\", "\\\\").replace("\n", "\\n").replace("\t", " ")


def walk(node, depth):
    if node is None:
        return
    states = node.getState()
    if not states.contains(pyatspi.STATE_SHOWING):
        return
    focusable = "focusable" if states.contains(pyatspi.STATE_FOCUSABLE) else "-"
    print("\t".join([str(depth), node.getRoleName(), focusable, clean(node.name), clean(node.description)]))
    for child in node:
        walk(child, depth + 1)


pid = int(sys.argv[1])
for application in pyatspi.Registry.getDesktop(0):
    if application is not None and application.get_process_id() == pid:
        for window in application:
            walk(window, 0)
        sys.exit(0)
print("no application with process id %d on the accessibility bus" % pid, file=sys.stderr)
sys.exit(1)
