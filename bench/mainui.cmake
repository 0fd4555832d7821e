# The main window's list with many packages (search keystroke, paint) and a large CSV import.
kestrove_add_benchmark(bench_mainui LIBS kestrove_ui Qt6::Test)
