<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>APIKeysSettingsTab</name>
    <message>
        <source>Tracking Provider</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (Coming Soon)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Default Provider</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter API Key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>API Key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Test Connection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Testing the API key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 support is coming soon. Using 17track in the meantime.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 API Key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Get an API key from %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 tracking numbers left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configured</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Invalid</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not Configured</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AboutSettingsTab</name>
    <message>
        <source>Kestrove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Download Update</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Checking for updates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Report a Bug</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrove Website</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Version %1 is available!</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>AddPackageDialog</name>
    <message>
        <source>Add Package</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tracking Number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Paste from clipboard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Label (Optional)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>e.g., New iPhone</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Label</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Carrier</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Auto-Detect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Manual</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Detection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select a carrier...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Color Tag (Optional)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No color</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set estimated delivery date</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delivery Date</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Groups (Optional)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter a tracking number to auto-detect the carrier</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not detect carrier -- consider selecting manually</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1% confidence</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Other possibilities</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1%</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>BatchActionBar</name>
    <message>
        <source>Archive</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add to Group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 selected</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CalendarDayCell</name>
    <message>
        <source>%1, 1 delivery: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, %2 deliveries</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>+%1 more</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CalendarView</name>
    <message>
        <source>Sun</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mon</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Wed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Thu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fri</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sat</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delivery calendar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Previous Month</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next Month</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Today</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No packages have estimated delivery dates. Set a delivery date when adding a package or from the package detail view.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No deliveries expected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Deliveries</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Deliveries on %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ChipStrip</name>
    <message>
        <source>Scroll left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Scroll right</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ClipboardBanner</name>
    <message>
        <source>Tracking number detected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dismiss</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CsvImportJob</name>
    <message>
        <source>The store was closed during the import.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DeliveryCountdown</name>
    <message>
        <source>Today</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tomorrow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>in %1d</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1d late</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 hr</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 day</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 days</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 wk</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 mo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 yr</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 ago</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>in %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delivered</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 day overdue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 days overdue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Arriving Today</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Arriving Tomorrow</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Arriving in %1 days</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 sec</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>GeneralSettingsTab</name>
    <message>
        <source>Startup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Launch at Login</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrove lives in your system tray. It appears in the taskbar and Alt+Tab only when a window is open.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Default Refresh Interval</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>How often Kestrove checks for tracking updates. Longer intervals are ideal for customs or international shipments.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Automation</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Monitor clipboard for tracking numbers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>When enabled, Kestrove will detect tracking numbers copied to your clipboard and offer to add them.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>When a package is delivered</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Auto-archive on delivery</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Archived packages stay in your records but are hidden from the active list.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Auto-delete delivered packages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete after</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delivered packages are permanently removed after the selected time period.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>GroupChipBar</name>
    <message>
        <source>Groups</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Manage Groups</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add Groups</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Manage Groups...</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>GroupColorPicker</name>
    <message>
        <source>selected</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>GroupManagementView</name>
    <message>
        <source>Name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Manage Groups</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Groups</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No Groups Yet</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Create a group below to organize your packages.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New group name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add Group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rename</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change Color</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select a Group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose a group from the left to assign packages.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No Packages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add packages to start organizing.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Packages</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>JourneyWindow</name>
    <message>
        <source>Package Journey</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Looking up locations</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close (Esc)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>KestroveApp</name>
    <message>
        <source>Kestrove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could not create ModelContainer: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Some changes could not be saved.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>If you quit now, they are lost.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Try Again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit Without Saving</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Kestrove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add Package...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit Kestrove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Archive Selected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh All</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Undo Delete</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MainWindowView</name>
    <message>
        <source>Comma-separated values (*.csv)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Main</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>List</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Calendar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add Package</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add Package (Ctrl+N)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh (F5)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refreshing...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sort</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sort packages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Batch select packages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Import CSV...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export CSV...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tracking API key not configured.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search packages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select a Package</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose a package from the sidebar to view its details.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Import CSV</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Importing packages...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Import Complete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export CSV</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dismiss</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>17track asked Kestrove to wait. The next try is at %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>More Tools</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your changes are not saved yet; Kestrove keeps trying.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clear Search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Search</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Undo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Undo (Ctrl+Z)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Package deleted</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 packages deleted</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MapCanvas</name>
    <message>
        <source>Journey map</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom in (+)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom out</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom out (-)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>© OpenStreetMap contributors</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n places; latest: %1</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>%1 km</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 m</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MenuBarPopoverView</name>
    <message>
        <source>Kestrove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add Package</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No packages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Click + to start tracking a package</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Kestrove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit Kestrove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View all %1 packages...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Packages</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>NotificationSettingsTab</name>
    <message>
        <source>Global Notifications</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enable Notifications</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Notify on Status Changes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Notification Sound</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Individual packages can override these settings from their detail view.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quiet Hours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enable Quiet Hours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quiet hours start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quiet hours end</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>End</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Notifications will be silenced during quiet hours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Do Not Disturb</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrove respects your desktop&apos;s Do Not Disturb mode. Delivery and exception notifications are marked as critical, while status updates use the normal urgency.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>OnboardingView</name>
    <message>
        <source>Welcome to Kestrove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Get Started</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Page %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Track all your packages in one place.
Fast updates, smart notifications, and a clean native Linux experience.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Get a Free API Key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter Your Key in Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You can add your API key later in Settings (Ctrl+,)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tracking API Key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrove uses 17track to fetch tracking data from carriers worldwide. You&apos;ll need a free API key to get started.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Notifications</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Get alerts when packages are delivered or have issues</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clipboard Monitoring</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Auto-detect tracking numbers you copy (optional, off by default)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keyring Access</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Securely store your API key in the system keyring</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enable Notifications</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Permissions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrove works best with these permissions enabled:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+N</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add a new package</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+R</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh all packages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ctrl+,</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>You&apos;re All Set!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start by adding your first package using the + button or Ctrl+N. Kestrove lives in your system tray for quick access.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PackageDetailView</name>
    <message>
        <source>Package Details</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tracking History</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Notes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>API Key Not Configured</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add your 17track API key in Settings to enable tracking updates.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Retry</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add a label...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Package Label</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy tracking number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pin to top</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Package settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Estimated Delivery</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy Tracking</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Track Online</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Archive</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add notes about this package...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unpin package</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unarchive</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last updated: %1 ago</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete Package</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are you sure you want to delete &quot;%1&quot;? This cannot be undone.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PackageListView</name>
    <message>
        <source>No Packages in Group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Assign packages to this group from the package detail view.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No Results for “%1”</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check the spelling or try a new search.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No Packages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add a package to start tracking.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No Packages In Transit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Packages currently in transit will appear here.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No Delivered Packages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delivered packages will appear here.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No Exceptions</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Packages with delivery issues will appear here.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No Archived Packages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Archived packages will appear here.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy Tracking Number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Track on %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unpin</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pin to Top</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add to Group</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Color Tag</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove Color</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unarchive</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Archive</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Packages</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PackageMapSection</name>
    <message>
        <source>Journey Map</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Map</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open the journey map in its own window</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PackageMapView</name>
    <message>
        <source>Loading locations...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No Location Data</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This package doesn&apos;t have any events with location information.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PackageRowView</name>
    <message>
        <source>%1, %2, %3, %4</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PackageSettingsPopover</name>
    <message>
        <source>Package Settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Groups</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Color Tag</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Custom Icon</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check Interval</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Estimated Delivery</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Notifications</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove color tag</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose Image...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remove custom icon</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Use custom interval</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Interval</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set delivery date</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No delivery date set. Carriers may provide one automatically.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delivery Date</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enable notifications</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status changes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Location updates</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delivery date changes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Using default: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose Image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Images (*.png *.jpg *.jpeg)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PackageSummaryView</name>
    <message>
        <source>Estimated delivery: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last updated: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No tracking events yet</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RefreshIntervalChoices</name>
    <message>
        <source>1 minute</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>5 minutes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>15 minutes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>30 minutes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 hour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>2 hours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>6 hours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>12 hours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 day</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>3 days</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 week</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SettingsForm</name>
    <message>
        <source>1 minute</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>5 minutes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>15 minutes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>30 minutes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 hour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>2 hours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>6 hours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>12 hours</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 day</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>3 days</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 week</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>24 hours</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SettingsView</name>
    <message>
        <source>General</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>API Keys</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Notifications</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>Kestrove Settings</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StatusItem</name>
    <message>
        <source>Kestrove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Kestrove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settings...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quit Kestrove</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>View all %1 packages...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No packages</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add Package...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrove Packages</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TrackingTimelineView</name>
    <message>
        <source>Tracking History</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No tracking events yet</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>formatInterval</name>
    <message>
        <source>%1 min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1h</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1h %2m</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1d</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1d %2h</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
