# `cmake --install` puts the engine (qm_archive with qm_crypto and qm_platform below it) and its
# public headers in the prefix, with a CMake package so that another project can write
#   find_package(QuillmarkEngine REQUIRED)
#   target_link_libraries(app PRIVATE quillmark::archive)
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QM_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/QuillmarkEngine)

set_target_properties(qm_platform PROPERTIES EXPORT_NAME platform)
set_target_properties(qm_crypto PROPERTIES EXPORT_NAME crypto)
set_target_properties(qm_archive PROPERTIES EXPORT_NAME archive)
# qm_warnings travels only as a link-time name of the static libraries; it carries no flags to
# the consumer.
set_target_properties(qm_warnings PROPERTIES EXPORT_NAME internal_warnings)

install(TARGETS qm_platform qm_crypto qm_archive qm_warnings
        EXPORT QuillmarkEngineTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT engine)
# Only the engine's face is installed: the archiver and its vocabulary (options, events, the
# search result, types, errors, prompts) and the platform interfaces they are written in. The
# layers inside the engine stay private, so that they can change without breaking a consumer.
# The headers keep their folders, so that includes read as they do inside this repository
# ("archive/zip_archiver.h").
file(GLOB QM_FACE_HEADERS ${PROJECT_SOURCE_DIR}/src/archive/*.h)
file(GLOB QM_PLATFORM_HEADERS ${PROJECT_SOURCE_DIR}/src/platform/*.h)
install(FILES ${QM_FACE_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quillmark/archive
        COMPONENT engine)
install(FILES ${QM_PLATFORM_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quillmark/platform
        COMPONENT engine)
install(EXPORT QuillmarkEngineTargets NAMESPACE quillmark:: DESTINATION ${QM_PACKAGE_DIR}
        COMPONENT engine)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QuillmarkEngineConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/QuillmarkEngineConfig.cmake
                              INSTALL_DESTINATION ${QM_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuillmarkEngineConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QuillmarkEngineConfig.cmake
              ${PROJECT_BINARY_DIR}/QuillmarkEngineConfigVersion.cmake
        DESTINATION ${QM_PACKAGE_DIR} COMPONENT engine)
