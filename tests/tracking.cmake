# Tracking service, adaptive polling, the visible-list rule and the command-line tracking commands.
kestrove_add_test(pollingtest)
kestrove_add_test(packagelisttest)
kestrove_add_test(trackingservicetest)
kestrove_add_test(trackingclitest TIMEOUT 300)
add_dependencies(trackingclitest kestrove-cli)
# The application's receivers of notification actions.
kestrove_add_test(trackingapptest GUI LIBS kestrove_app)
