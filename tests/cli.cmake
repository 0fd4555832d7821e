# kestrove-cli: every command's input and output, against the fake 17TRACK server.
# The command runner itself is linked in, for what a process cannot show (a command that throws).
kestrove_add_test(clitest TIMEOUT 300 SOURCES ${PROJECT_SOURCE_DIR}/src/cli/clicommand.cpp
                                          ${PROJECT_SOURCE_DIR}/src/cli/cliservices.cpp)
add_dependencies(clitest kestrove-cli)
