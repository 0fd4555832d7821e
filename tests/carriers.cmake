# Carrier catalogue, carrier detection, carrier logos and credential storage.
kestrove_add_test(carriertest)
kestrove_add_test(carrierdetectortest)
kestrove_add_test(carrierlogoservicetest)

# The keychain test runs twice: against the private Secret Service of run-tests.sh, and with
# no session bus at all, where only the private fallback file can answer.
kestrove_add_test(keychainmanagertest LIBS Qt6Keychain::Qt6Keychain)
add_test(NAME keychainmanagertest_nosecret
         COMMAND ${CMAKE_COMMAND} -E env --unset=DBUS_SESSION_BUS_ADDRESS --unset=DISPLAY
                 KESTROVE_TEST_NO_SECRET_SERVICE=1 $<TARGET_FILE:keychainmanagertest>)
set_tests_properties(keychainmanagertest_nosecret PROPERTIES TIMEOUT 120)
# The clipboard monitor, which asks the carrier detection whether a copied text is a number.
kestrove_add_test(clipboardmonitortest GUI)
