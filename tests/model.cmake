# Records, object store, PackageStore, preferences and the store commands of kestrove-cli.
kestrove_add_test(modeltest)
kestrove_add_test(modelpreferencestest)
kestrove_add_test(storeretentiontest)
kestrove_add_test(storetest)
# Child process that StoreTest kills in the middle of a save.
add_executable(storekillhelper storekillhelper.cpp)
target_link_libraries(storekillhelper PRIVATE kestrove_core)
add_dependencies(storetest storekillhelper)
kestrove_add_test(clitest)
add_dependencies(clitest kestrove-cli)
