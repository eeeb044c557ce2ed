# The reference plug-in against the handset simulator.
add_dependencies(${_exe} qpx-handset-sim qpx_reference)
target_compile_definitions(${_exe} PRIVATE QPX_REF_PLUGIN="$<TARGET_FILE:qpx_reference>")
