# The plug-in choice test lists the recording plug-in on the plug-in page.
target_link_libraries(${_exe} PRIVATE qpx_test_plugins)
