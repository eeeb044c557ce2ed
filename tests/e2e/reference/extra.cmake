# The reference plug-in against the handset simulator.
add_dependencies(${_exe} qpx-handset-sim qpx_reference)
target_compile_definitions(${_exe} PRIVATE QPX_REF_PLUGIN="$<TARGET_FILE:qpx_reference>")
# The simulator's item rules, tested directly.
target_link_libraries(${_exe} PRIVATE qpx_sim_handset)
