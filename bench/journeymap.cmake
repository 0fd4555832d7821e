# The journey map: first draw with warm caches, tile memory after a long pan.
if(TARGET testsupport)
    kestrove_add_benchmark(bench_journeymap LIBS kestrove_ui testsupport)
endif()
