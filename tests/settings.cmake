# The settings window, the first-run introduction and the services behind them.
kestrove_add_test(desktopservicestest)
kestrove_add_test(settingstest GUI LIBS kestrove_ui)
