# The end-to-end tests start the simulator and qpx-diag; the simulator's protocol pieces are also
# compiled in so they can be tested directly.
add_dependencies(${_exe} qpx-handset-sim qpx-diag qpx_reference)
# The reference plug-in for runs; ModemManager on a private bus.
target_compile_definitions(${_exe} PRIVATE QPX_REF_PLUGIN="$<TARGET_FILE:qpx_reference>")
target_link_libraries(${_exe} PRIVATE qpx_testdbus)
target_sources(${_exe} PRIVATE
  ${PROJECT_SOURCE_DIR}/tools/qpx-handset-sim/HandsetState.cpp
  ${PROJECT_SOURCE_DIR}/tools/qpx-handset-sim/NvDefaults.cpp
  ${PROJECT_SOURCE_DIR}/plugins/reference/SettingsCodec.cpp
  ${PROJECT_SOURCE_DIR}/plugins/reference/PrivateItems.cpp
  ${PROJECT_SOURCE_DIR}/tools/qpx-handset-sim/CommandDispatcher.cpp
  ${PROJECT_SOURCE_DIR}/tools/qpx-handset-sim/FaultInjector.cpp
  ${PROJECT_SOURCE_DIR}/tools/qpx-handset-sim/Efs2Server.cpp)
target_include_directories(${_exe} PRIVATE ${PROJECT_SOURCE_DIR}/tools/qpx-handset-sim
  ${PROJECT_SOURCE_DIR}/plugins/reference)
