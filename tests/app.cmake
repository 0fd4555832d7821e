# The application shell: windows, menus, activation policy, tray item, single instance.
kestrove_add_test(apptest GUI LIBS kestrove_app)
kestrove_add_test(shelltraytest GUI LIBS kestrove_app)
# Starts the real kestrove binary.
kestrove_add_test(appprocesstest GUI LIBS kestrove_app)
if(TARGET appprocesstest)
    add_dependencies(appprocesstest kestrove)
endif()
# Walks the real kestrove's windows over the accessibility bus. pyatspi comes from apt, so
# only Debian's own python3 sees it, not one earlier on PATH.
if(WITH_GUI_TESTS)
    find_program(KESTROVE_SYSTEM_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
    add_test(NAME accessibilitytest COMMAND ${KESTROVE_SYSTEM_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/accessibilitytest.py
                                            ${CMAKE_BINARY_DIR}/bin)
    set_tests_properties(accessibilitytest PROPERTIES TIMEOUT 60 SKIP_RETURN_CODE 77)
endif()
