# Tracking providers: the contract, the 17TRACK records, mapping, flows and HTTP handling,
# and `kestrove-cli fetch` against the fake 17TRACK server.
kestrove_add_test(providercontracttest)
kestrove_add_test(providerdecodingtest)
kestrove_add_test(providermappingtest)
kestrove_add_test(providerflowtest)
kestrove_add_test(providerprotocoltest)
kestrove_add_test(providerclitest)
if(TARGET providerclitest)
    add_dependencies(providerclitest kestrove-cli)
endif()
