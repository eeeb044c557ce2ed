# The Debian package (cpack -G DEB, driven by scripts/package) and the files of a system install:
#
#   /usr/lib/kova-qpx/          qpx, qpx-diag, qpx-handset-sim, QPX.CHM, MODEL/, handsets.list
#   /usr/bin/qpx                the launcher: per-user workspace, then the program
#   /usr/bin/qpx-diag, qpx-handset-sim          links into /usr/lib/kova-qpx
#   /usr/share/applications/<id>.desktop, metainfo/<id>.metainfo.xml, icons/hicolor/*/apps/<id>.png
#   /usr/lib/udev/rules.d/70-kova-qpx.rules     made from packaging/handsets.list
#   /usr/share/man/man1/*.1.gz, bash-completion/completions/qpx-diag   when their sources exist
#
# Configure with -DQPX_PACKAGE=ON -DCMAKE_INSTALL_PREFIX=/usr -DQPX_INSTALL_DIR=lib/kova-qpx.
option(QPX_PACKAGE "Lay out a system install and configure the Debian package" OFF)

# The desktop file's name, the icon's name and the AppStream id; the program tells the desktop
# the same name.
set(QPX_DESKTOP_ID "org.kova.Qpx")
target_compile_definitions(qpx PRIVATE QPX_DESKTOP_ID="${QPX_DESKTOP_ID}")

if(NOT QPX_PACKAGE)
  return()
endif()

set(_pkg_dir ${PROJECT_SOURCE_DIR}/packaging)
set(_out ${CMAKE_BINARY_DIR}/packaging)
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr" OR NOT QPX_INSTALL_DIR STREQUAL "lib/kova-qpx")
  message(FATAL_ERROR "QPX_PACKAGE needs -DCMAKE_INSTALL_PREFIX=/usr -DQPX_INSTALL_DIR=lib/kova-qpx")
endif()
set(QPX_PROGRAM_DIR ${CMAKE_INSTALL_PREFIX}/${QPX_INSTALL_DIR})

# The release named first in the changelog is this version; its date is the release's date.
file(STRINGS ${_pkg_dir}/debian/changelog _changelog)
list(GET _changelog 0 _first)
if(NOT _first MATCHES "^kova-qpx \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog must start with the entry of ${PROJECT_VERSION}")
endif()
foreach(_line IN LISTS _changelog)
  if(_line MATCHES "^ -- .*  (.*)$")
    execute_process(COMMAND date -u -d "${CMAKE_MATCH_1}" +%Y-%m-%d
                    OUTPUT_VARIABLE QPX_RELEASE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    break()
  endif()
endforeach()

# The launcher, the desktop entry and the metainfo.
configure_file(${_pkg_dir}/qpx.in ${_out}/qpx @ONLY)
configure_file(${_pkg_dir}/qpx.desktop.in ${_out}/${QPX_DESKTOP_ID}.desktop @ONLY)
configure_file(${_pkg_dir}/qpx.metainfo.xml.in ${_out}/${QPX_DESKTOP_ID}.metainfo.xml @ONLY)
install(PROGRAMS ${_out}/qpx DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(_tool qpx-diag qpx-handset-sim)
  file(CREATE_LINK ../lib/kova-qpx/${_tool} ${_out}/${_tool} SYMBOLIC)
  install(FILES ${_out}/${_tool} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()
install(FILES ${_out}/${QPX_DESKTOP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_out}/${QPX_DESKTOP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The udev rule, made from the list of handsets whenever the list changes (cmake/UdevRule.cmake).
add_custom_command(OUTPUT ${_out}/70-kova-qpx.rules
                   COMMAND ${CMAKE_COMMAND} -DLIST=${_pkg_dir}/handsets.list -DOUT=${_out}/70-kova-qpx.rules
                           -P ${PROJECT_SOURCE_DIR}/cmake/UdevRule.cmake
                   DEPENDS ${_pkg_dir}/handsets.list ${PROJECT_SOURCE_DIR}/cmake/UdevRule.cmake VERBATIM)
install(FILES ${_out}/70-kova-qpx.rules DESTINATION lib/udev/rules.d)
install(FILES ${_pkg_dir}/handsets.list DESTINATION ${QPX_INSTALL_DIR})

# The icon, drawn at build time.
add_executable(qpx-icon-painter ${_pkg_dir}/IconPainter.cpp)
target_link_libraries(qpx-icon-painter PRIVATE qpx_options Qt6::Gui)
set(_icon_sizes 16 22 24 32 48 64 128 256)
set(_icons)
foreach(_s IN LISTS _icon_sizes)
  list(APPEND _icons ${_out}/icons/${_s}x${_s}/apps/${QPX_DESKTOP_ID}.png)
endforeach()
add_custom_command(OUTPUT ${_icons}
                   COMMAND qpx-icon-painter ${_out}/icons ${QPX_DESKTOP_ID} ${_icon_sizes}
                   DEPENDS qpx-icon-painter VERBATIM)

# Documents: the changelog and man pages compressed as Debian wants them, the copyright file.
set(_docs ${_out}/changelog.gz)
add_custom_command(OUTPUT ${_out}/changelog.gz
                   COMMAND sh -c "gzip -9nc '${_pkg_dir}/debian/changelog' > '${_out}/changelog.gz'"
                   DEPENDS ${_pkg_dir}/debian/changelog VERBATIM)
file(GLOB _man_pages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/*.1)
foreach(_page IN LISTS _man_pages)
  get_filename_component(_name ${_page} NAME)
  add_custom_command(OUTPUT ${_out}/man/${_name}.gz
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${_out}/man
                     COMMAND sh -c "gzip -9nc '${_page}' > '${_out}/man/${_name}.gz'"
                     DEPENDS ${_page} VERBATIM)
  list(APPEND _docs ${_out}/man/${_name}.gz)
  install(FILES ${_out}/man/${_name}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(qpx_package_files ALL DEPENDS ${_icons} ${_docs} ${_out}/70-kova-qpx.rules)
install(DIRECTORY ${_out}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${_out}/changelog.gz ${_pkg_dir}/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kova-qpx)
file(GLOB _completion CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/scripts/completion/qpx-diag.bash)
if(_completion)
  install(FILES ${_completion} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME qpx-diag)
endif()

# The package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kova-qpx)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service tool for CDMA handsets")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "KOVA QPX maintainers <qpx@kova.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The synopsis is the summary above; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "KOVA QPX finds a CDMA handset on its serial port, keeps a diagnostic link
with it and shows its identity, radio status and software versions. Model
plug-ins run the service operations: firmware upgrade, binary and script
download, PRL and ERI read and write, refurbish, phonebook to and from CSV
files, settings by category, memory backup and restore.
.
The package holds the program, the command-line companion qpx-diag, the
handset simulator qpx-handset-sim and the reference model plug-in. A udev
rule gives the ports of listed handsets to the logged-in user and keeps
ModemManager away from them.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The folder chooser's messages are Korean (a font with Hangul glyphs); the help document opens
# through xdg-open; Qt's window system plug-ins are a separate package.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-nanum, xdg-utils, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${_pkg_dir}/debian/postinst ${_pkg_dir}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
