# What `cmake --install` puts where, and the Debian package that `cpack -G DEB` makes from it.
#
# The layout is fixed by velmora-host: it looks for plug-ins in <program dir>/../lib/velmora/plugins,
# so the programs go to bin/ and the plug-in to lib/velmora/plugins/ under the same prefix (not the
# multiarch library folder, which the host does not search). Test programs, test plug-ins, benchmarks
# and velmora-screenshots have no install rule.

install(TARGETS velmora-host velmora-image RUNTIME DESTINATION bin)
install(TARGETS velmora_plugin LIBRARY DESTINATION lib/velmora/plugins)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/velmora-host.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/velmora-host.svg
  DESTINATION share/icons/hicolor/scalable/apps)

set(VELMORA_PACKAGE_MAINTAINER "Velmora developers <velmora@example.org>"
  CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "Velmora")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "configuration tool and serial terminal for a satellite set-top box")
# Debian wants the long description in lines of under 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Velmora reads a digital satellite set-top box's flash image, shows and edits\n"
  "its configuration block (front panel, hardware, key map, LED map) and writes\n"
  "a new image with fresh CRCs.\n"
  "\n"
  "velmora-host is the serial terminal that holds the configuration form as a\n"
  "plug-in; velmora-image does the same offline work from the command line,\n"
  "without a display.")
set(CPACK_PACKAGE_CONTACT "${VELMORA_PACKAGE_MAINTAINER}")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VELMORA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# What the programs load at run time and dpkg-shlibdeps cannot see: Qt's SVG plug-ins draw the icons,
# and the key script is unpacked by the system's gzip.
set(velmora_runtime_depends "libqt6svg6, gzip")
find_program(VELMORA_DPKG_SHLIBDEPS dpkg-shlibdeps)
mark_as_advanced(VELMORA_DPKG_SHLIBDEPS)
if(VELMORA_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${velmora_runtime_depends}")
else()
  # Debian 12's names for the libraries the programs link.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6network6 (>= 6.4), libqt6serialport6 (>= 6.4), libfmt9, zlib1g (>= 1:1.2.12), libstdc++6 (>= 12), libc6, ${velmora_runtime_depends}")
endif()

include(CPack)
