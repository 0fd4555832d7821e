# Tracking service, adaptive polling and the visible-list rule.
kestrove_add_test(pollingtest)
kestrove_add_test(packagelisttest)
kestrove_add_test(trackingservicetest)
# The application's receivers of notification actions.
kestrove_add_test(trackingapptest GUI LIBS kestrove_app)
