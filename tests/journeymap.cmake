# The journey map: location rules, geocoding runs, tiles and the map widgets.
kestrove_add_test(locationrulestest)
kestrove_add_test(geocodingtest)
kestrove_add_test(journeymaptest GUI LIBS kestrove_ui)
