# Start-up of the application against a bare Qt window, on a large store.
kestrove_add_benchmark(bench_startup)
if(TARGET bench_startup)
    add_executable(startup_bare_window startup_bare_window.cpp)
    target_link_libraries(startup_bare_window PRIVATE kestrove_settings Qt6::Widgets)
    add_dependencies(bench_startup startup_bare_window kestrove)
    target_compile_definitions(bench_startup PRIVATE KESTROVE_EXECUTABLE="$<TARGET_FILE:kestrove>"
                               BARE_WINDOW_EXECUTABLE="$<TARGET_FILE:startup_bare_window>")
endif()
