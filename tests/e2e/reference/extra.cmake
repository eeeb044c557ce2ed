# The reference plug-in against the handset simulator; the PRL check code is compiled in to build
# test files.
add_dependencies(${_exe} qpx-handset-sim qpx-diag qpx_reference)
target_compile_definitions(${_exe} PRIVATE QPX_REF_PLUGIN="$<TARGET_FILE:qpx_reference>")
target_include_directories(${_exe} PRIVATE ${PROJECT_SOURCE_DIR}/plugins/reference)
target_sources(${_exe} PRIVATE ${PROJECT_SOURCE_DIR}/plugins/reference/PrlImage.cpp)
# The simulator's handset state, dispatcher, file system and download protocols, tested directly.
target_sources(${_exe} PRIVATE
  ${PROJECT_SOURCE_DIR}/tools/qpx-handset-sim/HandsetState.cpp
  ${PROJECT_SOURCE_DIR}/tools/qpx-handset-sim/NvDefaults.cpp
  ${PROJECT_SOURCE_DIR}/plugins/reference/SettingsCodec.cpp
  ${PROJECT_SOURCE_DIR}/plugins/reference/PrivateItems.cpp
  ${PROJECT_SOURCE_DIR}/plugins/reference/SettingsMap.cpp
  ${PROJECT_SOURCE_DIR}/tools/qpx-handset-sim/CommandDispatcher.cpp
  ${PROJECT_SOURCE_DIR}/tools/qpx-handset-sim/Efs2Server.cpp
  ${PROJECT_SOURCE_DIR}/tools/qpx-handset-sim/DownloadMode.cpp)
target_include_directories(${_exe} PRIVATE ${PROJECT_SOURCE_DIR}/tools/qpx-handset-sim)
# A recording plug-in variant without the Bin export, for "not offered".
target_link_libraries(${_exe} PRIVATE qpx_test_plugins)
# ModemManager on a private bus for the program's runs.
target_link_libraries(${_exe} PRIVATE qpx_testdbus)
