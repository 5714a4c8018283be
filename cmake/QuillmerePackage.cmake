# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts where, and the Debian package CPack makes of it. Plug-ins go where hosts look for
# them without any path set: lib/vst, lib/vst3, lib/clap, lib/lv2 under the prefix (/usr in the package).
include(GNUInstallDirs)
set(QUILLMERE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/quillmere)
option(QUILLMERE_DEBIAN_LAYOUT "Install documentation as a Debian package wants it (compressed, with copyright)" OFF)

install(TARGETS quillmere-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS Quillmere LIBRARY DESTINATION lib/vst)
install(TARGETS QuillmereVST3 LIBRARY DESTINATION lib/vst3/Quillmere.vst3/Contents/x86_64-linux)
install(TARGETS QuillmereClap LIBRARY DESTINATION lib/clap)
install(TARGETS quillmere_lv2 LIBRARY DESTINATION lib/lv2/quillmere.lv2)
install(FILES ${QUILLMERE_LV2_BUNDLE}/manifest.ttl ${QUILLMERE_LV2_BUNDLE}/quillmere.ttl
        DESTINATION lib/lv2/quillmere.lv2)
# The factory presets: in the LV2 bundle, as VST 3 presets where hosts look for them, and as VST 2 program files.
install(FILES ${QUILLMERE_LV2_BUNDLE}/presets.ttl DESTINATION lib/lv2/quillmere.lv2)
install(DIRECTORY ${QUILLMERE_PRESET_DIR}/vst3/ DESTINATION ${CMAKE_INSTALL_DATADIR}/vst3/presets/Quillmere/Quillmere)
install(DIRECTORY ${QUILLMERE_PRESET_DIR}/vst2/ DESTINATION ${CMAKE_INSTALL_DATADIR}/quillmere/presets/vst2)

install(FILES ${PROJECT_SOURCE_DIR}/docs/response.png DESTINATION ${QUILLMERE_DOC_DIR}/docs)  # the README shows it
configure_file(${PROJECT_SOURCE_DIR}/docs/quillmere-render.1.in ${PROJECT_BINARY_DIR}/docs/quillmere-render.1 @ONLY)
if(QUILLMERE_DEBIAN_LAYOUT)
  # Debian ships binaries without the compiler's notes: the .comment and .note sections go, after any stripping.
  foreach(installed "${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:quillmere-render>"
                    "lib/vst/$<TARGET_FILE_NAME:Quillmere>"
                    "lib/vst3/Quillmere.vst3/Contents/x86_64-linux/$<TARGET_FILE_NAME:QuillmereVST3>"
                    "lib/clap/$<TARGET_FILE_NAME:QuillmereClap>"
                    "lib/lv2/quillmere.lv2/$<TARGET_FILE_NAME:quillmere_lv2>")
    install(CODE "execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment --remove-section=.note
                                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${installed}\" COMMAND_ERROR_IS_FATAL ANY)")
  endforeach()
  # The changelog's date is the release's (SOURCE_DATE_EPOCH, which tools/release.sh takes from the commit).
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    string(TIMESTAMP QUILLMERE_DEBIAN_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
  else()
    set(QUILLMERE_DEBIAN_DATE "Tue, 08 Dec 2026 12:00:00 +0000")
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/docs/changelog @ONLY)
  foreach(file quillmere-render.1 changelog)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/docs/${file}.gz
                       COMMAND gzip -9 -n -c ${PROJECT_BINARY_DIR}/docs/${file} > ${PROJECT_BINARY_DIR}/docs/${file}.gz
                       DEPENDS ${PROJECT_BINARY_DIR}/docs/${file})
  endforeach()
  add_custom_target(quillmere_compressed_docs ALL
                    DEPENDS ${PROJECT_BINARY_DIR}/docs/quillmere-render.1.gz ${PROJECT_BINARY_DIR}/docs/changelog.gz)
  install(FILES ${PROJECT_BINARY_DIR}/docs/quillmere-render.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_BINARY_DIR}/docs/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
          DESTINATION ${QUILLMERE_DOC_DIR})
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION ${QUILLMERE_DOC_DIR})
  # What lintian reports by design (the VST 3 preset folder names the vendor and the plug-in, both Quillmere).
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
          RENAME quillmere)
else()
  install(FILES ${PROJECT_BINARY_DIR}/docs/quillmere-render.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md
          DESTINATION ${QUILLMERE_DOC_DIR})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmere)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quillmere)
set(CPACK_PACKAGE_CONTACT "Quillmere developers <developers@quillmere.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
set(CPACK_DEBIAN_FILE_NAME quillmere_${PROJECT_VERSION}_amd64.deb)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
# The virtual packages Debian's other plug-in packages provide, by which hosts and users find plug-ins.
set(CPACK_DEBIAN_PACKAGE_PROVIDES "lv2-plugin, vst-plugin")
# Depends come from dpkg-shlibdeps run on these files when cpack runs (packaging/CPackDepends.cmake).
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/QuillmerePackageBinaries.cmake CONTENT
     "set(QUILLMERE_PACKAGE_BINARIES \"$<TARGET_FILE:quillmere-render>;$<TARGET_FILE:Quillmere>;\
$<TARGET_FILE:QuillmereVST3>;$<TARGET_FILE:QuillmereClap>;$<TARGET_FILE:quillmere_lv2>\")\n")
set(CPACK_QUILLMERE_BINARIES_FILE ${PROJECT_BINARY_DIR}/QuillmerePackageBinaries.cmake)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/packaging/CPackDepends.cmake)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "stereo band-split and placement effect plug-in
Quillmere splits a stereo signal into a low and a high band, places each band
in the stereo field by an angle with a slowly changing random part, and limits
the peaks. It comes as VST 2, VST 3, CLAP and LV2 plug-ins, installed where
Linux hosts look for them, and as the command-line renderer quillmere-render,
which runs WAV, AIFF and FLAC files through the effect.")
include(CPack)
