# CSV import and export, the package list, the main window view and their command-line commands.
kestrove_add_test(csvservicetest)
kestrove_add_test(csvclitest)
add_dependencies(csvclitest kestrove-cli)
kestrove_add_test(packagelistmodeltest LIBS kestrove_ui)
kestrove_add_test(mainwindowtest GUI LIBS kestrove_ui TIMEOUT 240)
kestrove_add_test(groupmanagementtest GUI LIBS kestrove_ui)
