# The end-to-end tests start the simulator and qpx-diag; the simulator's protocol pieces are also
# linked in so they can be tested directly.
add_dependencies(${_exe} qpx-handset-sim qpx-diag)
target_link_libraries(${_exe} PRIVATE qpx_sim_handset)
