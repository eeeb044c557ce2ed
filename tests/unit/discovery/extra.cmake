# QSignalSpy for the watcher tests.
find_package(Qt6 REQUIRED COMPONENTS Test)
target_link_libraries(${_exe} PRIVATE Qt6::Test)
# The ModemManager request, against a stand-in on a private bus.
target_link_libraries(${_exe} PRIVATE qpx_testdbus qpx_dbus)
