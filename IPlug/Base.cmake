# SPDX-License-Identifier: GPL-3.0-or-later
# The plug-in base object: lock, channels, processing frame, host identity, state and presets.
if(WIN32)
  set(IPLUG_MUTEX_PLATFORM_SOURCE IPlugMutexWin.cpp)
else()
  set(IPLUG_MUTEX_PLATFORM_SOURCE IPlugMutexPosix.cpp)
endif()

add_library(iplug STATIC
  ${CMAKE_CURRENT_LIST_DIR}/HostIdentification.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IPlugBase.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IPlugBasePresets.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IPlugBaseProcessing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IPlugMutex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/${IPLUG_MUTEX_PLATFORM_SOURCE}
  ${CMAKE_CURRENT_LIST_DIR}/IPlugPreset.cpp
)
target_include_directories(iplug PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(iplug PUBLIC iplug_core quillmere_dsp)
if(NOT WIN32)
  find_package(Threads REQUIRED)
  target_link_libraries(iplug PUBLIC Threads::Threads)
endif()
