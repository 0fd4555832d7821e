# Commands of kestrove-cli about one package on a large store.
kestrove_add_benchmark(bench_cli)
if(TARGET bench_cli)
    add_dependencies(bench_cli kestrove-cli)
    target_compile_definitions(bench_cli PRIVATE KESTROVE_CLI_EXECUTABLE="$<TARGET_FILE:kestrove-cli>")
endif()
