include(CMakePackageConfigHelpers)

install(DIRECTORY include/nuvex DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS nuvex nuvex_c nuvex_static EXPORT nuvexTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT nuvexTargets NAMESPACE nuvex::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/nuvex)

configure_package_config_file(cmake/nuvexConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/nuvexConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/nuvex)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/nuvexConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/nuvexConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/nuvexConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/nuvex)
