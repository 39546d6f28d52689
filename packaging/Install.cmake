# What `make install` and the Debian package put in place besides the two
# programs: the desktop entry, the icons, the AppStream metadata, the man pages
# and the package documents.

# The media types in the desktop entry and the metadata, and the extensions in
# the man pages, come from the format table (cmake/Formats.cmake).
configure_file(data/${FRAMELOT_APP_ID}.desktop ${CMAKE_BINARY_DIR}/${FRAMELOT_APP_ID}.desktop @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${FRAMELOT_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

configure_file(data/${FRAMELOT_APP_ID}.metainfo.xml ${CMAKE_BINARY_DIR}/${FRAMELOT_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${FRAMELOT_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The PNG sizes are rendered from the SVG (rsvg-convert -w N -h N) and kept
# in the source tree, so building needs no SVG renderer.
install(FILES data/icons/framelot.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${FRAMELOT_APP_ID}.svg)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES data/icons/framelot-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${FRAMELOT_APP_ID}.png)
endforeach()

# Man pages and the changelog carry the version; installed compressed, with
# no time stamp in the gzip header so that builds are reproducible.
set(compressed)
foreach(source man/framelot.1 man/framelot-cli.1 packaging/changelog)
  get_filename_component(name ${source} NAME)
  configure_file(${source} ${CMAKE_BINARY_DIR}/packaging/${name} @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/${name}.gz
    COMMAND gzip -n -9 -f -k ${CMAKE_BINARY_DIR}/packaging/${name}
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/${name} ${source})
  list(APPEND compressed ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
endforeach()
add_custom_target(framelot_documents ALL DEPENDS ${compressed})
install(FILES ${CMAKE_BINARY_DIR}/packaging/framelot.1.gz ${CMAKE_BINARY_DIR}/packaging/framelot-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The copyright file names the libraries linked in statically, with their
# licences.
include(cmake/EmbeddedLicences.cmake)
FramelotDebianCopyright(${CMAKE_SOURCE_DIR}/packaging/copyright "${FRAMELOT_EMBEDDED_PREFIX}"
  ${CMAKE_BINARY_DIR}/packaging/copyright)
install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/framelot)

# The Debian package: `make package`.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME framelot)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Framelot developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "split animated GIF, PNG, WebP, AVIF and JPEG XL images into PNG frames")
# The synopsis comes from the summary; CPack indents these lines and turns the
# empty one into the paragraph separator.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Framelot writes every frame of an animated GIF, PNG (APNG), WebP, AVIF
or JPEG XL image as a numbered PNG file with transparency, each frame
composed over what the earlier frames left by the format's own rules for
disposing and blending.
It never overwrites a file.

The package holds the desktop program framelot, a small window that takes
dropped files or files opened with it from a file manager, and the command
framelot-cli for terminals and scripts.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Framelot developers <framelot@framelot.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/build.*/;/\\\\.git/")

# One package a component: framelot (the programs), and python3-framelot
# (the Python module) when it is built.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL framelot)
set(CPACK_DEBIAN_FRAMELOT_PACKAGE_NAME framelot)
set(CPACK_DEBIAN_FRAMELOT_FILE_NAME DEB-DEFAULT)
if(FRAMELOT_PYTHON_PACKAGE_BUILT)
  list(APPEND CPACK_COMPONENTS_ALL python)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-framelot)
  set(CPACK_DEBIAN_PYTHON_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  # Built for Debian's Python 3.11; dpkg-shlibdeps adds the libraries.
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3 (>= 3.11~), python3 (<< 3.12), python3-numpy")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "python3-dask, python3-distributed")
  # CPack puts the summary above: the synopsis is the programs' too.
  set(CPACK_COMPONENT_PYTHON_DESCRIPTION "This package holds the Python 3 module framelot, which reads the frames
of animated GIF, PNG (APNG), WebP, AVIF and JPEG XL images as NumPy
arrays, composed by each format's own rules for disposing and blending,
and converts files as the command framelot-cli does, with its options as
keywords.

With Dask's distributed scheduler (python3-distributed), framelot.dask
spreads conversions over the workers of a cluster.")
endif()
include(CPack)
