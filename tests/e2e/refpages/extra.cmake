# The real program's pages with the reference plug-in against the handset simulator; QTest types
# into the settings grid.
add_dependencies(${_exe} qpx-handset-sim qpx_reference)
target_compile_definitions(${_exe} PRIVATE QPX_REF_PLUGIN="$<TARGET_FILE:qpx_reference>")
target_link_libraries(${_exe} PRIVATE Qt6::Test)
# ModemManager on a private bus.
target_link_libraries(${_exe} PRIVATE qpx_testdbus)
