#!/usr/bin/python3
"""Walks Kestrove's windows through the accessibility bus, as a screen reader sees them, and
fails on every interactive control without a name.

Usage: accessibilitytest.py BIN_DIR. Runs inside scripts/run-tests.sh (private session bus,
X display); starts the accessibility bus when none is running, fills a store of its own in a
temporary home with kestrove-cli and starts the real kestrove, with a stand-in tray host. It
walks the introduction, the main window, the add sheet (Ctrl+N) and the settings window
(Ctrl+,), the detail pane of the package chosen with the arrow keys, its settings pop-up, the
group sheet and the tray panel: each window's whole tree, hidden parts included, since they
show in other states. Every window is closed with Escape, so that is checked too.
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77  # CTest's SKIP_RETURN_CODE for this test
DEADLINE = time.monotonic() + 50  # the whole walk, start-up included

try:
    import gi

    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi, Gio, GLib
    import pyatspi
except (ImportError, ValueError) as error:
    sys.exit(f"accessibilitytest: pyatspi is missing ({error}); scripts/setup.sh installs python3-pyatspi")

INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON,
    pyatspi.ROLE_TOGGLE_BUTTON,
    pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_COMBO_BOX,
    pyatspi.ROLE_TEXT,
    pyatspi.ROLE_ENTRY,
    pyatspi.ROLE_PASSWORD_TEXT,
    pyatspi.ROLE_SPIN_BUTTON,
    pyatspi.ROLE_SLIDER,
    pyatspi.ROLE_MENU_ITEM,
    pyatspi.ROLE_CHECK_MENU_ITEM,
    pyatspi.ROLE_RADIO_MENU_ITEM,
    pyatspi.ROLE_PAGE_TAB,
    pyatspi.ROLE_LIST,
    pyatspi.ROLE_TABLE,
    pyatspi.ROLE_TREE,
}
# Rows, cells and containers (a scroll area is a Tab stop) count only where the keyboard can
# reach them. Labels take their name from their text, which they have whenever they show.
FOCUSABLE_ITEMS = {pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE_CELL, pyatspi.ROLE_TREE_ITEM, pyatspi.ROLE_FILLER,
                   pyatspi.ROLE_PANEL, pyatspi.ROLE_SCROLL_PANE, pyatspi.ROLE_LAYERED_PANE, pyatspi.ROLE_SPLIT_PANE}


def fail(message):
    sys.exit(f"accessibilitytest: {message}")


def wait_for(what, condition, seconds):
    """Polls condition until it returns something true; fails naming what did not happen."""
    end = min(time.monotonic() + seconds, DEADLINE)
    context = GLib.MainContext.default()
    while time.monotonic() < end:
        # Registry events (new applications and windows) arrive through the main loop.
        while context.iteration(False):
            pass
        result = condition()
        if result:
            return result
        time.sleep(0.2)
    fail(f"timed out waiting for {what}")


def accessibility_bus_address(session):
    try:
        reply = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                                  GLib.VariantType.new("(s)"), Gio.DBusCallFlags.NO_AUTO_START, 2000, None)
        return reply.unpack()[0]
    except GLib.Error:
        return None


def start_accessibility_bus(processes):
    """Starts the accessibility bus launcher unless one serves the session; returns the session bus."""
    try:
        session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    except GLib.Error as error:
        fail(f"no session bus ({error.message}); run through scripts/run-tests.sh")
    if accessibility_bus_address(session):
        return session
    launcher = next((path for path in ("/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher")
                     if os.access(path, os.X_OK)), None)
    if not launcher:
        fail("at-spi-bus-launcher not found; scripts/setup.sh installs at-spi2-core")
    # In a process group of its own, so that its bus and registry end with it; its output
    # goes nowhere, or they would hold CTest's pipe open.
    processes.append(subprocess.Popen([launcher, "--launch-immediately"], start_new_session=True,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    wait_for("the accessibility bus (org.a11y.Bus)", lambda: accessibility_bus_address(session), 10)
    return session


WATCHER_INTERFACE = """<node><interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
</interface></node>"""


def serve_tray(session):
    """Stands in for a panel that shows tray icons; returns the bus names of the icons that register."""
    items = []

    def call(connection, sender, path, interface, method, parameters, invocation):
        if method == "RegisterStatusNotifierItem":
            items.append(parameters.unpack()[0])
        invocation.return_value(None)

    def get(connection, sender, path, interface, name):
        values = {"RegisteredStatusNotifierItems": GLib.Variant("as", items),
                  "IsStatusNotifierHostRegistered": GLib.Variant("b", True), "ProtocolVersion": GLib.Variant("i", 0)}
        return values[name]

    interface = Gio.DBusNodeInfo.new_for_xml(WATCHER_INTERFACE).interfaces[0]
    session.register_object("/StatusNotifierWatcher", interface, call, get, None)
    owned = []
    Gio.bus_own_name_on_connection(session, "org.kde.StatusNotifierWatcher", Gio.BusNameOwnerFlags.NONE,
                                   lambda *_: owned.append(True), None)
    wait_for("the tray host's bus name", lambda: owned, 5)
    return items


def stop_process(process):
    """Ends a started process, with its process group when it leads one (the bus launcher)."""
    for stop in (signal.SIGTERM, signal.SIGKILL):
        try:
            if process.poll() is not None:
                return
            if os.getpgid(process.pid) == process.pid:
                os.killpg(process.pid, stop)
            else:
                process.send_signal(stop)
            process.wait(5)
            return
        except (ProcessLookupError, subprocess.TimeoutExpired):
            pass


def fill_store(bin_dir, environment):
    rows = [
        "trackingNumber,carrier,label,status,dateAdded,estimatedDelivery,notes,groups,colorTag",
        "1Z999AA10123456784,ups,New boots,inTransit,2026-01-10T10:00:00+00:00,2026-01-14T10:00:00+00:00,"
        "Leave at the door,,",
        "JD014600006281230571,dhl,Books,delivered,2026-01-02T10:00:00+00:00,,,,",
        "9400111899223197428490,usps,,exception,2026-01-05T10:00:00+00:00,,,,",
    ]
    csv = os.path.join(environment["HOME"], "packages.csv")
    with open(csv, "w", encoding="utf-8") as file:
        file.write("\n".join(rows) + "\n")
    cli = os.path.join(bin_dir, "kestrove-cli")
    subprocess.run([cli, "import", csv], env=environment, check=True, timeout=20, stdout=subprocess.DEVNULL)


def exited(process):
    if process.poll() is not None:
        fail(f"kestrove ended with status {process.returncode} before it showed on the accessibility bus")
    return None


def find_application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    desktop.clear_cache()
    for index in range(desktop.childCount):
        application = desktop.getChildAtIndex(index)
        if application is not None and application.get_process_id() == pid:
            return application
    return None


def frames(application):
    application.clear_cache()
    return [application.getChildAtIndex(i) for i in range(application.childCount)]


def has_state(accessible, state):
    accessible.clear_cache()  # states change under us; ask again
    return accessible.getState().contains(state)


def showing_window(application, title):
    return next((f for f in frames(application)
                 if f is not None and f.name == title and has_state(f, pyatspi.STATE_SHOWING)), None)


focused = []


def remember_focus(event):
    if event.detail1:
        focused.append(event.source)


def focused_within(name):
    """The showing ancestor called name of the control that last took the focus."""
    node = focused[-1] if focused else None
    try:
        while node is not None and node.getRole() != pyatspi.ROLE_APPLICATION:
            if node.name == name:
                return node if has_state(node, pyatspi.STATE_SHOWING) else None
            node = node.parent
    except GLib.Error:  # the control is gone, and its pop-up with it
        pass
    return None


def showing_control(root, name):
    return pyatspi.findDescendant(root, lambda a: a is not None and a.name == name
                                  and has_state(a, pyatspi.STATE_SHOWING))


def describe(accessible):
    """The control's place in the tree: its ancestors' roles and names, so it can be found."""
    path = []
    node = accessible
    while node is not None and node.getRole() != pyatspi.ROLE_APPLICATION:
        index = node.getIndexInParent()
        label = f"{node.getRoleName()}[{index}]" + (f" '{node.name}'" if node.name else "")
        path.append(label)
        node = node.parent
    # Qt reports a tool tip as the description: often the quickest way to the control.
    hint = f" (description: '{accessible.description}')" if accessible.description else ""
    return " > ".join(reversed(path)) + hint


WINDOWS = {pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG, pyatspi.ROLE_WINDOW, pyatspi.ROLE_ALERT}


def unnamed_controls(root):
    # A window that is not announced as one is as lost to a screen reader as a nameless button.
    found = []
    if root.getRole() not in WINDOWS:
        found.append(f"{describe(root)} is announced as a {root.getRoleName()}, not a window")
    stack = [root]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        role = node.getRole()
        # A combo box's pop-up list goes by the combo box's name.
        in_combo_box = role == pyatspi.ROLE_LIST and node.parent.getRole() == pyatspi.ROLE_COMBO_BOX
        if not node.name.strip() and not in_combo_box:
            if role in INTERACTIVE or (role in FOCUSABLE_ITEMS and node.getState().contains(pyatspi.STATE_FOCUSABLE)):
                found.append(describe(node))
        stack.extend(node.getChildAtIndex(i) for i in range(node.childCount))
    return found


# X keysyms of the keys the walk presses, and X's Control modifier mask.
KEYSYMS = {"comma": 0x2C, "n": 0x6E, "Escape": 0xFF1B, "Down": 0xFF54}
CONTROL_MASK = 1 << 2


def press(key, control=True):
    """Types key (with Ctrl held) through the registry, as a keyboard would."""
    if control:
        Atspi.generate_keyboard_event(CONTROL_MASK, None, Atspi.KeySynthType.LOCKMODIFIERS)
    Atspi.generate_keyboard_event(KEYSYMS[key], None, Atspi.KeySynthType.SYM)
    if control:
        Atspi.generate_keyboard_event(CONTROL_MASK, None, Atspi.KeySynthType.UNLOCKMODIFIERS)


def main():
    if len(sys.argv) != 2:
        fail("usage: accessibilitytest.py BIN_DIR")
    bin_dir = sys.argv[1]
    if not os.environ.get("DISPLAY"):
        print("accessibilitytest: needs an X display; run through scripts/run-tests.sh")
        return SKIP
    # Every call on the accessibility bus gives up after two seconds instead of hanging.
    Atspi.set_timeout(2000, 5000)
    home = tempfile.mkdtemp(prefix="kestrove-a11y-")
    processes = []
    try:
        environment = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
                           XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_CACHE_HOME=os.path.join(home, "cache"),
                           QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", KESTROVE_17TRACK_BASE_URL="http://127.0.0.1:9",
                           KESTROVE_UPDATE_MANIFEST_URL="http://127.0.0.1:9/update.json",
                           KESTROVE_GEOCODER_URL="http://127.0.0.1:9",
                           KESTROVE_TILE_URL="http://127.0.0.1:9/{z}/{x}/{y}.png")
        session = start_accessibility_bus(processes)
        tray_icons = serve_tray(session)
        pyatspi.Registry.registerEventListener(remember_focus, "object:state-changed:focused")
        fill_store(bin_dir, environment)
        kestrove = subprocess.Popen([os.path.join(bin_dir, "kestrove")], env=environment)
        processes.append(kestrove)
        application = wait_for("Kestrove on the accessibility registry",
                               lambda: exited(kestrove) or find_application(kestrove.pid), 20)
        main_window = wait_for("the main window", lambda: showing_window(application, "Kestrove"), 10)
        problems = {}

        def walk_window(title, opening, find=None):
            """Walks the window that appears once opening is done, then closes it with Escape."""
            find = find or (lambda: showing_window(application, title))
            opening()
            window = wait_for(f"{title} to open", find, 10)
            problems[title] = unnamed_controls(window)
            wait_for(f"{title} to take the keyboard", lambda: has_state(window, pyatspi.STATE_ACTIVE), 5)
            press("Escape", control=False)
            wait_for(f"{title} to close on Escape", lambda: not find(), 5)

        def activate():
            # Without a window manager nobody hands the focus back when a window closes: ask
            # Kestrove to bring its main window forward, as a second start would. Only when it is
            # not active already: Kestrove answers before it acts, so the window would be brought
            # forward later, over the window the next key opens.
            if has_state(main_window, pyatspi.STATE_ACTIVE):
                return
            session.call_sync("com.kestrove.app", "/com/kestrove/app", "com.kestrove.app", "Activate", None, None,
                              Gio.DBusCallFlags.NO_AUTO_START, 2000, None)
            wait_for("the main window to become active", lambda: has_state(main_window, pyatspi.STATE_ACTIVE), 5)

        # The first start shows the introduction over the main window.
        walk_window("Welcome to Kestrove", lambda: None)
        problems["Kestrove"] = unnamed_controls(main_window)
        for title, key in (("Add Package", "n"), ("Kestrove Settings", "comma")):
            walk_window(title, lambda: (activate(), press(key)))

        # Choose the first package from the keyboard, then open its settings pop-up from the detail pane.
        activate()
        press("Down", control=False)
        gear = wait_for("the detail pane after Down in the list",
                        lambda: showing_control(main_window, "Package settings"), 5)
        # A pop-up is no child of the application, nor of its parent window: reach it through the focus.
        walk_window("Package Settings", lambda: gear.queryAction().doAction(0),
                    lambda: focused_within("Package Settings"))
        groups = showing_control(main_window, "Add Groups") or showing_control(main_window, "Manage Groups")
        walk_window("Manage Groups", lambda: (activate(), groups.queryAction().doAction(0)))

        problems["Kestrove (package chosen)"] = unnamed_controls(main_window)

        # A click on the tray icon opens the panel of packages on their way, a pop-up too.
        tray_icon = wait_for("Kestrove's tray icon", lambda: tray_icons, 5)[0]
        walk_window("Kestrove Packages",
                    lambda: session.call_sync(tray_icon, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "Activate",
                                              GLib.Variant("(ii)", (0, 0)), None, Gio.DBusCallFlags.NONE, 2000, None),
                    lambda: focused_within("Kestrove Packages"))
        missing = [(window, path) for window, paths in problems.items() for path in paths]
        for window, path in missing:
            print(f"unnamed control in {window}: {path}")
        if missing:
            fail(f"{len(missing)} interactive control(s) without an accessible name")
        print("every interactive control has a name: " + ", ".join(problems))
        return 0
    except GLib.Error as error:
        fail(f"a call on the accessibility bus failed: {error.message}")
    finally:
        for process in reversed(processes):
            stop_process(process)
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
