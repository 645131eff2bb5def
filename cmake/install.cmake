# Installed files (make install) and the Debian packages (make deb): the
# programs and the library in the component (and package) "tavin", the
# header, pkg-config file and unversioned library link in "dev" (tavin-dev).
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME tavin)
set(doc_dir ${CMAKE_BINARY_DIR}/install/doc)
# Installing (and packaging) needs only what the programs target builds, not
# the tests and benchmarks the whole build holds; the Makefile builds it first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Directories as Debian wants them, whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Manual pages, written in scdoc and compressed as Debian keeps them.
find_program(SCDOC_EXECUTABLE scdoc)
find_program(GZIP_EXECUTABLE gzip)
set(TAVIN_MAN_PAGES docx2html)
if(TAVIN_VIEWER)
  list(APPEND TAVIN_MAN_PAGES tavin)
endif()
if(SCDOC_EXECUTABLE AND GZIP_EXECUTABLE)
  set(man_outputs)
  foreach(page IN LISTS TAVIN_MAN_PAGES)
    set(src ${CMAKE_SOURCE_DIR}/data/man/${page}.1.scd)
    set(out ${CMAKE_BINARY_DIR}/man/${page}.1)
    add_custom_command(
      OUTPUT ${out} ${out}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND sh -c "\"$0\" < \"$1\" > \"$2\" && \"$3\" -9nc \"$2\" > \"$2.gz\"" ${SCDOC_EXECUTABLE} ${src} ${out} ${GZIP_EXECUTABLE}
      DEPENDS ${src}
      COMMENT "Writing the manual page ${page}(1)"
      VERBATIM)
    list(APPEND man_outputs ${out}.gz)
    install(FILES ${out}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  add_custom_target(manpages ALL DEPENDS ${man_outputs})
else()
  message(WARNING "scdoc or gzip not found (scripts/install-deps installs them): no manual pages")
endif()

install(TARGETS docx2html RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS tavin_engine LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_SKIP)
install(TARGETS tavin_engine LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_ONLY COMPONENT dev)
install(FILES include/tavin/tavin.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tavin COMPONENT dev)
# The pkg-config file names the prefix installed into, known only then.
set(pc_out ${CMAKE_BINARY_DIR}/install/tavin.pc)
install(CODE "
    set(TAVIN_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
    set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
    set(PROJECT_VERSION \"${PROJECT_VERSION}\")
    configure_file(\"${CMAKE_SOURCE_DIR}/data/tavin.pc.in\" \"${pc_out}\" @ONLY)" COMPONENT dev)
install(FILES ${pc_out} DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
install(FILES data/bash-completion/docx2html DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

if(TAVIN_VIEWER)
  install(TARGETS tavin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The desktop entry names the installed program, so it is written when
  # installing: the prefix may be given only then (cmake --install --prefix,
  # or the package's /usr).
  set(desktop_out ${CMAKE_BINARY_DIR}/install/tavin.desktop)
  install(CODE "
    set(TAVIN_INSTALLED_EXE \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tavin\")
    configure_file(\"${CMAKE_SOURCE_DIR}/data/tavin.desktop.in\" \"${desktop_out}\" @ONLY)")
  install(FILES ${desktop_out} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES data/tavin.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES data/tavin.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # File managers' previews of .docx files: tavin --thumbnail.
  install(FILES data/tavin.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
  install(FILES data/help.htm DESTINATION ${CMAKE_INSTALL_DATADIR}/tavin)
  install(FILES data/bash-completion/tavin DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()

# The Python module, where Debian's python3 looks (PREFIX/lib/python3/dist-packages).
if(TAVIN_PYTHON_BUILT)
  set(python_dir lib/python3/dist-packages/tavin)
  install(TARGETS tavin_python LIBRARY DESTINATION ${python_dir} COMPONENT python)
  install(FILES ${PYTHON_SOURCES} DESTINATION ${python_dir} COMPONENT python)
  install(FILES ${doc_dir}/changelog.gz data/debian/copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/python3-tavin COMPONENT python)
  install(CODE "
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
      file(GLOB modules \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${python_dir}/_tavin*.so\")
      foreach(module IN LISTS modules)
        file(RPATH_REMOVE FILE \"\${module}\")
      endforeach()
    endif()" COMPONENT python)
endif()

# Under /usr the system finds the library by itself: no search path in the
# installed programs (the Debian package's, which lintian checks).
install(CODE "
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
      foreach(program docx2html tavin)
        set(file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\")
        if(EXISTS \"\${file}\")
          file(RPATH_REMOVE FILE \"\${file}\")
        endif()
      endforeach()
    endif()")

# The package's change log and copyright notice, where Debian keeps them.
file(MAKE_DIRECTORY ${doc_dir})
add_custom_command(
  OUTPUT ${doc_dir}/changelog.gz
  COMMAND sh -c "\"$0\" -9nc \"$1\" > \"$2\"" ${GZIP_EXECUTABLE} ${CMAKE_SOURCE_DIR}/data/debian/changelog ${doc_dir}/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/data/debian/changelog
  VERBATIM)
add_custom_target(package_docs ALL DEPENDS ${doc_dir}/changelog.gz)
install(FILES ${doc_dir}/changelog.gz data/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavin)
install(FILES ${doc_dir}/changelog.gz data/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavin-dev COMPONENT dev)

# The Debian package, built by CPack from the install rules above, so the
# package and make install can never disagree about what goes where.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavin)
set(CPACK_PACKAGE_VENDOR "Tavin")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tavin maintainers <maintainers@users.noreply.c-seed-4be0d70c.example>")
# Each package's description starts with its own synopsis line, so the
# common summary stays CPack's default, which CPackDeb then leaves out.
set(tavin_synopsis "viewer and HTML converter for Word documents")
set(CPACK_PACKAGE_DESCRIPTION "Tavin shows Word documents (.docx) in a window: it extracts the
document's package, converts its body to one HTML page and displays it
without running scripts or loading anything from the network. It can also
write the page as a PDF file without a display.

The package also holds docx2html, the same conversion as a command for
scripts and servers, which writes HTML pages from .docx files or from
standard input.")
# Installed into /usr whatever CMAKE_INSTALL_PREFIX is; the install step
# then sees /usr as its prefix (written into the desktop entry).
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Depends from the libraries the programs link (dpkg-shlibdeps: among them
# libwmf-0.2-7, libwmflite-0.2-7, libemf2svg1, libtiff6 and libpng16-16,
# which convert the pictures a web engine cannot show), plus the platform
# plugins a window needs, which no library names, and the fonts that stand
# in for the ones documents name (scripts/install-deps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(tavin_font_depends
    "fonts-dejavu-core, fonts-dejavu-extra, fonts-crosextra-carlito, fonts-crosextra-caladea, fonts-liberation2, fonts-urw-base35")
# The Python module links the library of the main package, on which it
# depends by version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
if(TAVIN_VIEWER)
  set(CPACK_DEBIAN_TAVIN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-wayland, ${tavin_font_depends}")
else()
  set(CPACK_DEBIAN_TAVIN_PACKAGE_DEPENDS "${tavin_font_depends}")
endif()
# One package a component; the library's shlibs file (and ldconfig
# trigger) come with the main package.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tavin dev)
if(TAVIN_PYTHON_BUILT)
  list(APPEND CPACK_COMPONENTS_ALL python)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-tavin)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  # The module is built for this python3's version.
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
      "tavin (= ${PROJECT_VERSION}), python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}), python3 (<< ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}.999), python3-dask, python3-distributed")
  set(CPACK_COMPONENT_PYTHON_DESCRIPTION "Python module for Tavin, the .docx to HTML converter
The module tavin converts Word documents (.docx files, extracted packages
or bytes in memory) to HTML pages exactly as docx2html does, with the
page's text, pictures and document properties; conversions release the
GIL. tavin.batch converts many documents on a Dask cluster, on one
machine or many, and can be stopped and started again.")
endif()
set(CPACK_DEBIAN_TAVIN_PACKAGE_NAME tavin)
# Our own shlibs file and an ldconfig trigger (CPack's generated ones call
# ldconfig from maintainer scripts instead).
file(WRITE ${CMAKE_BINARY_DIR}/install/control/shlibs
     "libtavin ${PROJECT_VERSION_MAJOR} tavin (>= ${PROJECT_VERSION})\n")
file(WRITE ${CMAKE_BINARY_DIR}/install/control/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_TAVIN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_BINARY_DIR}/install/control/shlibs ${CMAKE_BINARY_DIR}/install/control/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_COMPONENT_TAVIN_DESCRIPTION "${tavin_synopsis}\n${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME tavin-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "tavin (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_DEV_DESCRIPTION "development files for libtavin, the .docx to HTML converter
libtavin converts Word documents (.docx files, extracted packages or bytes
in memory) to HTML pages exactly as docx2html does, from C or C++, on any
number of threads at once.
.
This package holds the header tavin/tavin.h, the pkg-config file tavin.pc
and the link to the shared library.")
include(CPack)
