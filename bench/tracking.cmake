# The tracking service: applying results with de-duplication, and refreshAll's request pacing
# against the fake 17TRACK server of the tests (so only with BUILD_TESTING).
if(TARGET testsupport)
    kestrove_add_benchmark(bench_tracking LIBS testsupport)
endif()
