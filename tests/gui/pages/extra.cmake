# The page tests load the recording plug-in.
target_link_libraries(${_exe} PRIVATE qpx_test_plugins)
