# kestrove-cli: every command's input and output, against the fake 17TRACK server.
kestrove_add_test(clitest TIMEOUT 300)
add_dependencies(clitest kestrove-cli)
