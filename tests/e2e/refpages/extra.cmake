# The real program's pages with the reference plug-in against the handset simulator; the PRL check
# code is compiled in to build test files, QTest types into the settings grid.
add_dependencies(${_exe} qpx-handset-sim qpx_reference)
target_compile_definitions(${_exe} PRIVATE QPX_REF_PLUGIN="$<TARGET_FILE:qpx_reference>")
target_include_directories(${_exe} PRIVATE ${PROJECT_SOURCE_DIR}/plugins/reference)
target_sources(${_exe} PRIVATE ${PROJECT_SOURCE_DIR}/plugins/reference/PrlImage.cpp)
target_link_libraries(${_exe} PRIVATE Qt6::Test)
