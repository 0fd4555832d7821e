# Runs first when installing: stops with a clear message when the prefix cannot be written,
# instead of failing halfway on the first file with "Permission denied".
set(kestrove_target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
# The nearest folder that exists already: the installation creates the rest below it.
set(kestrove_existing "${kestrove_target}")
while(NOT EXISTS "${kestrove_existing}" AND NOT kestrove_existing STREQUAL "")
    get_filename_component(kestrove_parent "${kestrove_existing}" DIRECTORY)
    if(kestrove_parent STREQUAL kestrove_existing)
        break()
    endif()
    set(kestrove_existing "${kestrove_parent}")
endwhile()
if(kestrove_existing STREQUAL "")
    set(kestrove_existing ".")
endif()
if(NOT IS_DIRECTORY "${kestrove_existing}")
    message(FATAL_ERROR "Cannot install Kestrove into ${kestrove_target}: ${kestrove_existing} is not a folder.")
endif()
execute_process(COMMAND test -w "${kestrove_existing}" -a -x "${kestrove_existing}" RESULT_VARIABLE kestrove_denied)
if(kestrove_denied)
    message(FATAL_ERROR "Cannot install Kestrove into ${kestrove_target}: this user may not write to "
                        "${kestrove_existing}.\nInstall as root (sudo cmake --install build), or choose a prefix "
                        "of your own: cmake --install build --prefix ~/.local")
endif()
