# The reference plug-in's settings table and codec, and the simulator's factory values built from
# the same table.
target_sources(${_exe} PRIVATE
  ${PROJECT_SOURCE_DIR}/plugins/reference/SettingsCodec.cpp
  ${PROJECT_SOURCE_DIR}/plugins/reference/SettingsMap.cpp
  ${PROJECT_SOURCE_DIR}/plugins/reference/PrivateItems.cpp
  ${PROJECT_SOURCE_DIR}/tools/qpx-handset-sim/NvDefaults.cpp
  ${PROJECT_SOURCE_DIR}/tools/qpx-handset-sim/HandsetState.cpp)
target_include_directories(${_exe} PRIVATE
  ${PROJECT_SOURCE_DIR}/plugins/reference
  ${PROJECT_SOURCE_DIR}/tools/qpx-handset-sim)
