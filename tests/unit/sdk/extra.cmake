# The SDK header must compile on its own as C11 and as C++20 with the strict warning set, without
# the project's options. Both objects are linked into the test, which compares their view of the
# layout at run time.
add_library(qpx_sdk_c11 OBJECT ${CMAKE_CURRENT_LIST_DIR}/compile/header_c11.c)
set_target_properties(qpx_sdk_c11 PROPERTIES AUTOMOC OFF C_STANDARD 11 C_STANDARD_REQUIRED ON C_EXTENSIONS OFF)
target_compile_options(qpx_sdk_c11 PRIVATE -Wall -Wextra -pedantic -Werror)
target_include_directories(qpx_sdk_c11 PRIVATE ${PROJECT_SOURCE_DIR}/sdk)

add_library(qpx_sdk_cxx20 OBJECT ${CMAKE_CURRENT_LIST_DIR}/compile/header_cxx20.cpp)
set_target_properties(qpx_sdk_cxx20 PROPERTIES AUTOMOC OFF CXX_STANDARD 20 CXX_STANDARD_REQUIRED ON CXX_EXTENSIONS OFF)
target_compile_options(qpx_sdk_cxx20 PRIVATE -Wall -Wextra -pedantic -Werror)
target_include_directories(qpx_sdk_cxx20 PRIVATE ${PROJECT_SOURCE_DIR}/sdk)

target_sources(${_exe} PRIVATE $<TARGET_OBJECTS:qpx_sdk_c11> $<TARGET_OBJECTS:qpx_sdk_cxx20>)
