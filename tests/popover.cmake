# The tray panel: its package list, badge and hand-over to the main window.
kestrove_add_test(popovertest GUI LIBS kestrove_ui)
