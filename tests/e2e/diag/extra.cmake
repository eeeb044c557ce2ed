# qpx-diag and the simulator as children; the reference plug-in for runs; ModemManager on a
# private bus.
add_dependencies(${_exe} qpx-handset-sim qpx-diag qpx_reference)
target_compile_definitions(${_exe} PRIVATE QPX_REF_PLUGIN="$<TARGET_FILE:qpx_reference>")
target_link_libraries(${_exe} PRIVATE qpx_testdbus)
# A recording plug-in variant without the Bin export, for "not offered".
target_link_libraries(${_exe} PRIVATE qpx_test_plugins)
