#!/usr/bin/python3
# Prints the accessibility tree of the process PID as a screen reader sees it over AT-SPI, one showing
# object a line: role, "focusable" or "-", name (tabs between, line breaks as spaces).
import sys
import time

import pyatspi


def walk(node):
    states = node.getState()
    if states.contains(pyatspi.STATE_SHOWING):
        focusable = "focusable" if states.contains(pyatspi.STATE_FOCUSABLE) else "-"
        print("\t".join([node.getRoleName(), focusable, " ".join((node.name or "").split())]))
        for child in node:
            walk(child)


pid = int(sys.argv[1])
for attempt in range(100):  # the application registers a moment after the accessibility bus starts
    applications = [a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.get_process_id() == pid]
    if applications:
        break
    time.sleep(0.1)
for window in applications[0] if applications else sys.exit("no application %d on the accessibility bus" % pid):
    walk(window)
