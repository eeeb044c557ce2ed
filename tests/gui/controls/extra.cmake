# The control tests drive widgets with QTest's mouse and key helpers.
find_package(Qt6 REQUIRED COMPONENTS Test)
target_link_libraries(${_exe} PRIVATE Qt6::Test)
