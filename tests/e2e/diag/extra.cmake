# The end-to-end tests start the simulator and qpx-diag; the simulator's protocol pieces are also
# linked in so they can be tested directly.
add_dependencies(${_exe} qpx-handset-sim qpx-diag qpx_reference)
# The reference plug-in for runs; ModemManager on a private bus.
target_compile_definitions(${_exe} PRIVATE QPX_REF_PLUGIN="$<TARGET_FILE:qpx_reference>")
target_link_libraries(${_exe} PRIVATE qpx_testdbus qpx_sim_handset)
