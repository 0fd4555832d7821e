# Tracking providers: the 17TRACK records and mapping (fixture files), the client against a fake
# server, and `kestrove-cli fetch` (in clitest).
kestrove_add_test(providerparsingtest)
kestrove_add_test(providerclienttest)
