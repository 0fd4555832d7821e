# Records, object store, PackageStore and preferences.
kestrove_add_test(modeltest)
kestrove_add_test(modelpreferencestest)
kestrove_add_test(storeretentiontest)
kestrove_add_test(storetest)
# Child process that StoreTest kills in the middle of a save.
add_executable(storekillhelper storekillhelper.cpp)
target_link_libraries(storekillhelper PRIVATE kestrove_core)
add_dependencies(storetest storekillhelper)
