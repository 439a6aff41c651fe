# What `cmake --install` puts under the prefix: the shared library with its SONAME links, the
# public headers, the velmira program, a pkg-config file and a CMake package, so that both
#   pkg-config --cflags --libs velmira        and        find_package(velmira)
# work for an application. The static library and the test helpers stay in the build tree.
include(CMakePackageConfigHelpers)

set(VELMIRA_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/velmira)
set_target_properties(velmira PROPERTIES EXPORT_NAME velmira)
# The program finds the library beside it in any prefix, also one that the loader's cache
# does not know.
set_target_properties(velmira_cli PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")

install(TARGETS velmira EXPORT velmiraTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS velmira_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/include/velmira DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${CMAKE_SOURCE_DIR}/examples/hello.c DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# CMake package: imported target velmira::velmira, relocatable with the prefix.
install(EXPORT velmiraTargets NAMESPACE velmira:: DESTINATION ${VELMIRA_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/velmiraConfig.cmake.in
  ${CMAKE_BINARY_DIR}/velmiraConfig.cmake INSTALL_DESTINATION ${VELMIRA_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/velmiraConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/velmiraConfig.cmake ${CMAKE_BINARY_DIR}/velmiraConfigVersion.cmake
  DESTINATION ${VELMIRA_CMAKE_DIR})

# The pkg-config file names the prefix given at install time (`cmake --install --prefix`),
# not the one of the configure step, so it is written while installing. DESTDIR is left out:
# it stages files for a package whose prefix is the real one.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  message(FATAL_ERROR "velmira.pc needs library and include folders relative to the prefix")
endif()
set(VELMIRA_PC ${CMAKE_BINARY_DIR}/pkgconfig/velmira.pc)
install(CODE "
  set(PC_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
  set(PC_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
  set(PC_VERSION \"${PROJECT_VERSION}\")
  configure_file(\"${CMAKE_CURRENT_LIST_DIR}/velmira.pc.in\" \"${VELMIRA_PC}\" @ONLY)")
install(FILES ${VELMIRA_PC} DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# A library put into a folder of the loader's search path (/usr/local/lib by default) is only
# found by programs once the loader's cache is rebuilt; do it when installing there as root.
install(CODE "
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(uid STREQUAL \"0\" AND \"\$ENV{DESTDIR}\" STREQUAL \"\" AND
     CMAKE_INSTALL_PREFIX MATCHES \"^/usr(/local)?/?\$\")
    execute_process(COMMAND ldconfig)
  endif()")
