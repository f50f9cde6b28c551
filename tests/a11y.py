#!/usr/bin/python3
"""The program as a screen reader sees it: the built program in an X server
(tools/xvfb runs this), with a D-Bus session and an AT-SPI bus of its own,
against the recording IO.DLL.
Walks both windows' trees, and drives the program through AT-SPI actions.

    tools/xvfb a11y.py PROGRAM RECORDING-IO.DLL
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
try:
    import pyatspi
except ImportError:
    print("SKIP: pyatspi is not installed (Debian's python3-pyatspi)")
    sys.exit(SKIP)

VERSION = subprocess.run([os.path.join(os.path.dirname(__file__), "..", "tools", "version")], check=True,
                         capture_output=True, text=True).stdout.strip()
# Roles are compared as AT-SPI's numbers: their names change between
# releases (a push button is "button" since AT-SPI 2.50).
FRAME, DIALOG, BUTTON, MENU_ITEM, LABEL, IMAGE = (pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG, pyatspi.ROLE_PUSH_BUTTON,
                                                  pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_LABEL, pyatspi.ROLE_IMAGE)
# window's (role, name), then each control's, in any order
EXPECTED = {
    (FRAME, "Ventrolik"): [
        (BUTTON, "Ukljuci"), (BUTTON, "Iskljuci"),
        (MENU_ITEM, "Akcija"), (MENU_ITEM, "Ukljuci"), (MENU_ITEM, "Iskljuci"), (MENU_ITEM, "O Autoru"),
    ],
    (DIALOG, "O Autoru"): [
        (IMAGE, "Ventrolik"), (BUTTON, "OK"),
        (LABEL, "Kestrova Ventrolik, Autor: Tamrelo"), (LABEL, "Verzija: " + VERSION),
        (LABEL, "tamrelo@example.org"),
        (LABEL, "Upozorenje: Autor programa ne odgovara za eventualnu stetu nastalu koriscenjem ovog programa"),
    ],
}
# Roles that are controls of our own, each of which must have a name.
CONTROLS = {BUTTON, LABEL, IMAGE, MENU_ITEM}

processes = []


def start(*command, **options):
    # Each in a process group of its own, which takes along what it starts
    # (the buses start the AT-SPI registry and a bus of their own).
    process = subprocess.Popen(command, start_new_session=True, **options)
    processes.append(process)
    return process


def eventually(check, seconds=15):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        result = check()
        if result:
            return result
        time.sleep(0.2)
    return None


def walk(node):
    """(role, name) of every node below `node`, and the nodes by that pair."""
    found = {}
    for child in node:
        if child is None:
            continue
        found.setdefault((child.getRole(), child.name), child)
        for pair, grandchild in walk(child).items():
            found.setdefault(pair, grandchild)
    return found


def window(role, name):
    for app in pyatspi.Registry.getDesktop(0):
        for top in app or []:
            if top is not None and (top.getRole(), top.name) == (role, name):
                return top
    return None


def act(node, action):
    actions = node.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    actions.doAction(names.index(action))


def main():
    work = tempfile.mkdtemp()
    shutil.copy(sys.argv[1], os.path.join(work, "ventrolik"))
    # With the trial's helper beside it, as installed: without it the trial
    # forks the program, whose accessibility thread may hold a lock that the
    # copy then waits on for good.
    shutil.copy(os.path.join(os.path.dirname(sys.argv[1]), "ventrolik-trial"), work)
    shutil.copy(sys.argv[2], os.path.join(work, "IO.DLL"))
    faults = []

    bus = start("dbus-daemon", "--session", "--nofork", "--print-address=1", stdout=subprocess.PIPE,
                stderr=subprocess.DEVNULL, text=True)
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    start("/usr/libexec/at-spi-bus-launcher", "--launch-immediately", stderr=subprocess.DEVNULL)

    calls = os.path.join(work, "calls")
    environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", IO_DRIVER_ANSWER="1",
                       IO_RECORD_FILE=calls)
    environment.pop("QT_QPA_PLATFORM", None)
    start(os.path.join(work, "ventrolik"), env=environment, stderr=subprocess.DEVNULL)

    main_window = eventually(lambda: window(FRAME, "Ventrolik"))
    if not main_window:
        return ["the main window is not a frame named 'Ventrolik' on the bus"]
    controls = walk(main_window)
    if (BUTTON, "Ukljuci") not in controls or (MENU_ITEM, "O Autoru") not in controls:
        return [f"the main window has no push button and menu item to press: {list(controls)}"]
    act(controls[(BUTTON, "Ukljuci")], "Press")
    if not eventually(lambda: os.path.exists(calls) and "PortWordOut 888 1" in open(calls).read()):
        faults.append("the Ukljuci button's Press action did not switch the fan on")
    act(controls[(MENU_ITEM, "O Autoru")], "Press")
    if not eventually(lambda: window(DIALOG, "O Autoru")):
        faults.append("O Autoru's Press action did not open a dialog named 'O Autoru'")

    for (role, name), expected in EXPECTED.items():
        top = window(role, name)
        if not top:
            continue
        seen = walk(top)
        faults += [f"{name}: no {role} '{control}'" for role, control in expected if (role, control) not in seen]
        faults += [f"{name}: a {role} without a name" for role, control in seen if role in CONTROLS and not control]
    return faults


if __name__ == "__main__":
    try:
        faults = main()
    finally:
        for process in reversed(processes):
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
    for fault in faults:
        print("FAIL:", fault)
    print(f"a11y: {'not ok' if faults else 'ok'}")
    sys.exit(1 if faults else 0)
