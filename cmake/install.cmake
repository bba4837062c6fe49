# `cmake --install` and the packages (CPack: a ZIP on Windows, a .tar.gz on
# Linux).  The folders are set in the top-level CMakeLists.txt, before the
# tools, which are built knowing where the plug-in is installed.

# The plug-in.  Its import library (Windows) is not part of the install: a
# host loads the DLL by path and nothing links against it.
install(TARGETS ddsimage
  RUNTIME DESTINATION ${DDSIMAGE_INSTALL_PLUGINDIR}
  LIBRARY DESTINATION ${DDSIMAGE_INSTALL_PLUGINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development EXCLUDE_FROM_ALL)

# The tools and the stand-in host library they run with.  On Linux they find
# it through a run path relative to their own folder; on Windows it is beside
# them.
if(DDSIMAGE_BUILD_TOOLS)
  set(installed_tools ddsimport ddsinfo)
  if(NOT WIN32)
    set_target_properties(${installed_tools} PROPERTIES INSTALL_RPATH "$ORIGIN/${DDSIMAGE_HOSTLIB_DIR_FROM_TOOLS}")
  endif()
  install(TARGETS ${installed_tools} RUNTIME DESTINATION ${DDSIMAGE_INSTALL_TOOLSDIR})
  install(TARGETS qvapilib
    RUNTIME DESTINATION ${DDSIMAGE_INSTALL_HOSTLIBDIR}
    LIBRARY DESTINATION ${DDSIMAGE_INSTALL_HOSTLIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development EXCLUDE_FROM_ALL)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${DDSIMAGE_INSTALL_DOCSDIR})

# Packages: the install tree as it is.  The Windows ZIP has no top folder, so
# that ddsimage.dll is at its top, ready for the host's plug-in folder.
set(CPACK_PACKAGE_NAME ddsimage)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "DDS texture importer plug-in")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_SOURCE_GENERATOR TGZ)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_SYSTEM_NAME win32)
  else()
    set(CPACK_SYSTEM_NAME win64)
  endif()
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(CPACK_GENERATOR TGZ)
  set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR})
endif()
include(CPack)
