# The run tests load the recording plug-ins.
target_link_libraries(${_exe} PRIVATE qpx_test_plugins)
