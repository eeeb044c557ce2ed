# The reference plug-in's settings table and codec, and the simulator's factory values built from
# the same table.
target_link_libraries(${_exe} PRIVATE qpx_sim_handset qpx_reference_common)
