# SPDX-License-Identifier: GPL-3.0-or-later
# Containers, parameters and the state chunk.
add_library(iplug_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/IHeapBuffer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IStateChunk.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IPlugParam.cpp
)
target_include_directories(iplug_core PUBLIC ${PROJECT_SOURCE_DIR})
