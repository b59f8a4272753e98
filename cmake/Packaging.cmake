# Installs Kestrel where a Debian desktop looks for it (program, desktop entry, icons,
# AppStream metadata, manual page, Debian documentation) and packs that into a .deb.
# scripts/package.sh drives it; the tests under tests/packaging check what it ships.
include(GNUInstallDirs)

set(KESTREL_APP_ID "org.ardmoor.Kestrel")
# The date of this version, in the two spellings that the manual page, the AppStream
# release and the Debian changelog need; bump together with project(VERSION).
set(KESTREL_RELEASE_DATE "2026-12-07")
set(KESTREL_RELEASE_DATE_RFC2822 "Mon, 07 Dec 2026 00:00:00 +0000")

set(_pkg_src ${PROJECT_SOURCE_DIR}/packaging)
set(_pkg_gen ${PROJECT_BINARY_DIR}/packaging)

# Whatever the builder's umask, the package's directories must be 0755.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrel)
set(CPACK_PACKAGE_VENDOR Ardmoor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kestrel developers <kestrel@${KESTREL_MAKER_HOST}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen capture utility saving scaled BMP pictures")
set(CPACK_PACKAGE_DESCRIPTION
"Kestrel grabs the whole primary monitor of an X11 desktop or of a Wayland
desktop (GNOME, KDE Plasma, sway and its kin), scales it in one
step to a configured size (800 x 600 unless configured otherwise) and saves
it as a BMP file in a capture directory of its own, created at every start.
Captures come from a button in its small window, from a timer, or from the
global hot key Ctrl+F. Each file name records the capture's number, the time
of day and the mouse pointer's position in the saved picture.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_THREADS 2)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
# One package per Debian release, each with that release's library names (Debian 13 renamed
# many for 64-bit time): the revision says which release it was built on and for, e.g.
# 1.0.0-1~deb12 and 1.0.0-1~deb13, and a testing build sorts above both as plain 1.0.0-1.
set(KESTREL_DEBIAN_RELEASE "" CACHE STRING "Debian release the .deb is for (12, 13; empty: testing)")
if(NOT KESTREL_DEBIAN_RELEASE AND EXISTS /etc/os-release)
  file(STRINGS /etc/os-release _os_version REGEX "^VERSION_ID=")
  string(REGEX REPLACE "^VERSION_ID=\"?([0-9]+).*" "\\1" KESTREL_DEBIAN_RELEASE "${_os_version}")
endif()
if(KESTREL_DEBIAN_RELEASE)
  set(CPACK_DEBIAN_PACKAGE_RELEASE "1~deb${KESTREL_DEBIAN_RELEASE}")
else()
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${KESTREL_MAKER_HOST}/kestrel/")
# The libraries come from the binary; Qt's xcb platform plugin, a font to draw with, the
# URL opener and gdbus (which the desktop entry's capture action and the desktops' key
# bindings run) are loaded or run at run time, so no linker sees them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-wayland, fonts-dejavu-core, xdg-utils, libglib2.0-bin")
# The windows' captions are laid out for a face of Arial's widths; with DejaVu alone they
# still work, but some captions are cut short.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2")

configure_file(${_pkg_src}/${KESTREL_APP_ID}.metainfo.xml.in
               ${_pkg_gen}/${KESTREL_APP_ID}.metainfo.xml @ONLY)
configure_file(${_pkg_src}/kestrel.1.in ${_pkg_gen}/kestrel.1 @ONLY)
configure_file(${_pkg_src}/changelog.Debian.in ${_pkg_gen}/changelog.Debian @ONLY)

# gzip -n keeps the build time out of the files, so the package is reproducible.
foreach(_doc kestrel.1 changelog.Debian)
  add_custom_command(OUTPUT ${_pkg_gen}/${_doc}.gz
    COMMAND gzip -9nc ${_pkg_gen}/${_doc} > ${_pkg_gen}/${_doc}.gz
    DEPENDS ${_pkg_gen}/${_doc}
    VERBATIM)
  list(APPEND _pkg_outputs ${_pkg_gen}/${_doc}.gz)
endforeach()

find_program(KESTREL_RSVG_CONVERT rsvg-convert)
if(KESTREL_RSVG_CONVERT)
  add_custom_command(OUTPUT ${_pkg_gen}/${KESTREL_APP_ID}.png
    COMMAND ${KESTREL_RSVG_CONVERT} --width 48 --height 48
            --output ${_pkg_gen}/${KESTREL_APP_ID}.png ${_pkg_src}/${KESTREL_APP_ID}.svg
    DEPENDS ${_pkg_src}/${KESTREL_APP_ID}.svg
    VERBATIM)
  list(APPEND _pkg_outputs ${_pkg_gen}/${KESTREL_APP_ID}.png)
  install(FILES ${_pkg_gen}/${KESTREL_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
else()
  message(WARNING "rsvg-convert (librsvg2-bin) not found: the package will lack its 48 px "
                  "icon; scripts/install-deps.sh installs it")
endif()
add_custom_target(kestrel_packaging_files ALL DEPENDS ${_pkg_outputs})

# KWin lets a program use its screenshot interface only when a desktop entry listing that
# interface runs the very file: Exec names the installed program by its absolute path, which
# is known at install time (the package's prefix is /usr, whatever the build's).
# The session bus starts Kestrel by the same path when its name is called and it is not
# running (the entry is DBusActivatable: its capture action and a launch go through the bus).
foreach(_installed IN ITEMS "${KESTREL_APP_ID}.desktop=applications"
                            "${KESTREL_APP_ID}.service=dbus-1/services")
  string(REPLACE "=" ";" _installed "${_installed}")
  list(GET _installed 0 _name)
  list(GET _installed 1 _folder)
  install(CODE "
    file(READ \"${_pkg_src}/${_name}.in\" _text)
    string(REPLACE \"@KESTREL_PROGRAM@\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/kestrel\"
           _text \"\${_text}\")
    file(WRITE
         \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/${_folder}/${_name}\"
         \"\${_text}\")")
endforeach()
install(FILES ${_pkg_gen}/${KESTREL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_pkg_src}/${KESTREL_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${_pkg_gen}/kestrel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_pkg_gen}/changelog.Debian.gz ${_pkg_src}/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${_pkg_src}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kestrel)

# A stripped install (CPack's) also drops the compiler's .comment section, as Debian's
# own packaging does; it holds only the compiler's version.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/$<TARGET_FILE_NAME:kestrel>\"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()")

include(CPack)
