# Notification service against a fake notification server on the private session bus.
kestrove_add_test(notificationservicetest)
