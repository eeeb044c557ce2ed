# The catalogue and plug-in tests load the recording plug-ins.
target_link_libraries(${_exe} PRIVATE qpx_test_plugins)
