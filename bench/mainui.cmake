# The main window's list with many packages (search keystroke, paint) and a large CSV import.
kestrove_add_benchmark(bench_mainui LIBS kestrove_ui Qt6::Test)
if(TARGET bench_mainui)
    # The screens' services, wired as the tests wire them.
    target_include_directories(bench_mainui PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
endif()
