# The connection tests start the handset simulator and load the recording plug-in.
target_link_libraries(${_exe} PRIVATE qpx_test_plugins)
add_dependencies(${_exe} qpx-handset-sim)
add_dependencies(${_exe} qpx-diag qpx)
