# The page tests load the recording plug-in and a plug-in without operations, and click with QTest.
target_link_libraries(${_exe} PRIVATE qpx_test_plugins)
find_package(Qt6 REQUIRED COMPONENTS Test)
target_link_libraries(${_exe} PRIVATE Qt6::Test)
if(NOT TARGET qpx_pages_noop_plugin)
  add_library(qpx_pages_noop_plugin SHARED ${CMAKE_CURRENT_LIST_DIR}/NoOperationsPlugin.c)
  target_include_directories(qpx_pages_noop_plugin PRIVATE ${PROJECT_SOURCE_DIR}/sdk)
  target_compile_options(qpx_pages_noop_plugin PRIVATE -Wall -Wextra -pedantic -Werror)
  set_target_properties(qpx_pages_noop_plugin PROPERTIES
    C_STANDARD 11 C_VISIBILITY_PRESET hidden PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-plugins)
endif()
add_dependencies(${_exe} qpx_pages_noop_plugin)
