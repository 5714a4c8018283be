# SPDX-License-Identifier: GPL-3.0-or-later
# quillmere_add_format(<module target>
#   CORE <library target>          binding sources and the effect class, compiled against the binding; tests link it
#   BINDING_HEADER <header>        the binding class's header, relative to the source root (e.g. vst/IPlugVST.h)
#   SOURCES <file>...              the binding's sources
#   ENTRY <file>...                the exported entry points, compiled into the module only
#   OUTPUT_NAME <name>             the module's file name without suffix
#   [SUFFIX <suffix>]              file name suffix instead of the platform's (.so, .dll)
#   [OUTPUT_DIRECTORY <dir>]       where the module is written (a bundle's binary folder, say)
#   [EXPORT_MAP <file>]            a linker version script listing the only symbols a Linux module exports
#   [LINK_LIBRARIES <lib>...])     further libraries of the binding (header locations, say)
#
# The module exports only its entry points (hidden visibility), and on Linux links with no undefined symbol. The
# plug-in's description reaches the sources with the project version (quillmere_description, effect/CMakeLists.txt).
function(quillmere_add_format target)
  cmake_parse_arguments(F "" "CORE;BINDING_HEADER;OUTPUT_NAME;SUFFIX;OUTPUT_DIRECTORY;EXPORT_MAP"
                        "SOURCES;ENTRY;LINK_LIBRARIES" ${ARGN})
  foreach(required CORE BINDING_HEADER OUTPUT_NAME SOURCES ENTRY)
    if(NOT F_${required})
      message(FATAL_ERROR "quillmere_add_format(${target}): ${required} is missing")
    endif()
  endforeach()

  add_library(${F_CORE} STATIC ${F_SOURCES} ${PROJECT_SOURCE_DIR}/effect/ZvAudioPlugin.cpp)
  target_include_directories(${F_CORE} PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_definitions(${F_CORE} PUBLIC "IPLUG_BINDING_HEADER=\"${F_BINDING_HEADER}\"")
  target_link_libraries(${F_CORE} PUBLIC iplug iplug_core quillmere_engine quillmere_description
                                         ${F_LINK_LIBRARIES})

  add_library(${target} MODULE ${F_ENTRY})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${F_OUTPUT_NAME} PREFIX "")
  if(F_SUFFIX)
    set_target_properties(${target} PROPERTIES SUFFIX ${F_SUFFIX})
  endif()
  if(F_OUTPUT_DIRECTORY)
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${F_OUTPUT_DIRECTORY}
                                               RUNTIME_OUTPUT_DIRECTORY ${F_OUTPUT_DIRECTORY})
  endif()
  target_link_libraries(${target} PRIVATE ${F_CORE})
  if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    if(F_EXPORT_MAP)
      target_link_options(${target} PRIVATE "LINKER:--version-script=${F_EXPORT_MAP}")
      set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${F_EXPORT_MAP})
    endif()
    # Sanitizer runtimes leave symbols for the executable to provide.
    if(NOT QUILLMERE_SANITIZE)
      target_link_options(${target} PRIVATE "LINKER:-z,defs")
    endif()
  endif()
endfunction()
