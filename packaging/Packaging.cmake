# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 The Tindrel developers

# Installing Tindrel, and its Debian package.
#
# The programs load the audio engine and look for Option.ini and Plugins in
# their own folder, so they live together in one program folder,
# <prefix>/libexec/tindrel, with links to them in <prefix>/bin. The links are
# resolved at run time, so the programs still find their folder.

set(TINDREL_APP_ID org.tindrel.Tindrel)
set(TINDREL_INSTALL_PROGRAM_DIR libexec/tindrel)

install(TARGETS tindrel tindrel-cli RUNTIME DESTINATION ${TINDREL_INSTALL_PROGRAM_DIR})
# basswma finds bass beside itself through its $ORIGIN run path.
install(TARGETS tindrel_bass tindrel_basswma tindrel-cli-player LIBRARY DESTINATION ${TINDREL_INSTALL_PROGRAM_DIR})
install(DIRECTORY DESTINATION ${TINDREL_INSTALL_PROGRAM_DIR}/Plugins)
install(CODE [[
  foreach(program tindrel tindrel-cli)
    set(link "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin/${program}")
    file(MAKE_DIRECTORY "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin")
    file(REMOVE "${link}")
    file(CREATE_LINK "../libexec/tindrel/${program}" "${link}" SYMBOLIC)
    message(STATUS "Installing: ${link}")
  endforeach()
]])

set(packaging_dir ${CMAKE_CURRENT_LIST_DIR})
install(FILES ${packaging_dir}/${TINDREL_APP_ID}.desktop DESTINATION share/applications)

# The manual pages come from the manual the Help window shows; they and the
# package's change log are compressed as Debian wants them, without a time
# stamp, so the package is the same from one build to the next.
set(man_dir ${CMAKE_BINARY_DIR}/man)
set(man_pages ${man_dir}/tindrel.1.gz ${man_dir}/tindrel-cli.1.gz)
add_custom_command(OUTPUT ${man_pages} ${man_dir}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
  COMMAND python3 ${PROJECT_SOURCE_DIR}/docs/manual/make-man.py
    ${PROJECT_SOURCE_DIR}/docs/manual/manual.md ${PROJECT_VERSION} ${man_dir}
  COMMAND gzip -9n -c ${packaging_dir}/changelog > ${man_dir}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/manual/manual.md ${PROJECT_SOURCE_DIR}/docs/manual/make-man.py
    ${packaging_dir}/changelog
  VERBATIM)
add_custom_target(tindrel_man ALL DEPENDS ${man_pages} ${man_dir}/changelog.gz)
install(FILES ${man_pages} DESTINATION share/man/man1)
install(FILES ${packaging_dir}/copyright ${man_dir}/changelog.gz DESTINATION share/doc/tindrel)
install(FILES ${packaging_dir}/${TINDREL_APP_ID}.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${packaging_dir}/${TINDREL_APP_ID}.metainfo.xml DESTINATION share/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tindrel)
set(CPACK_PACKAGE_VENDOR "The Tindrel developers")
set(CPACK_PACKAGE_CONTACT "The Tindrel developers <tindrel@users.noreply.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cut, join and tag MP3 files")
# Each line of the long description is kept under 80 columns.
set(CPACK_PACKAGE_DESCRIPTION "Tindrel cuts pieces out of MP3 files, joins MP3 files and edits their
ID3v1 and ID3v2 tags, in a small window with a preview player and a
waveform, or from scripts with tindrel-cli.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_LICENSE GPL-3.0-or-later)
# The library dependencies are read from the programs and the engine; the
# engine's own two libraries are private to the program folder. The engine
# loads SDL (for a sound device) and the WMA add-on loads FFmpeg only when
# first needed, so those are named here: they are not linked.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsdl2-2.0-0, libavformat59, libavcodec59, libavutil57, libswresample4")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
include(CPack)
