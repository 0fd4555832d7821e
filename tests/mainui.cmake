# CSV import and export, the package list and the main window view.
kestrove_add_test(csvservicetest)
kestrove_add_test(packagelistmodeltest LIBS kestrove_ui)
kestrove_add_test(mainwindowtest GUI LIBS kestrove_ui TIMEOUT 240)
kestrove_add_test(groupmanagementtest GUI LIBS kestrove_ui)
kestrove_add_test(calendarviewtest GUI LIBS kestrove_ui)
