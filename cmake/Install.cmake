include(CMakePackageConfigHelpers)

install(TARGETS tzsndmsg EXPORT tzsndmsgTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/tzsndmsg DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_BINARY_DIR}/include/tzsndmsg/Version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tzsndmsg)
install(EXPORT tzsndmsgTargets NAMESPACE tzsndmsg::
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tzsndmsg)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/tzsndmsgConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/tzsndmsgConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tzsndmsg)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/tzsndmsgConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tzsndmsgConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/tzsndmsgConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tzsndmsg)
