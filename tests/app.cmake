# The application shell: windows, menus, activation policy, tray item, single instance.
kestrove_add_test(apptest GUI LIBS kestrove_app)
kestrove_add_test(shelltraytest GUI LIBS kestrove_app)
# Starts the real kestrove binary.
kestrove_add_test(appprocesstest GUI LIBS kestrove_app)
if(TARGET appprocesstest)
    add_dependencies(appprocesstest kestrove)
endif()
