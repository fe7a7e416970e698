# What `cmake --install` puts into the prefix: the library with its public headers, the platform
# library and the component module beside it, gdr, and the package files that find_package and
# pkg-config read. Every path inside the prefix is relative, so the tree can be installed anywhere.
include(CMakePackageConfigHelpers)

set(GDR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/GenericDataReader)
# The module is loaded from beside the library, so both go to the same folder (bin on Windows, with
# the programs that load them).
install(TARGETS gdr_library EXPORT GenericDataReaderTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS TSKGenericDataReader LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(NOT WIN32)  # the Windows build links its platform layer into each module
  install(TARGETS gdr_platform LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/gdr DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(TARGET gdr)
  file(RELATIVE_PATH bin_to_lib /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
  set_target_properties(gdr PROPERTIES INSTALL_RPATH "$ORIGIN/${bin_to_lib}")
  # gdr register finds the installed module there too.
  target_compile_definitions(gdr PRIVATE GDR_LIBRARY_FOLDER="${bin_to_lib}")
  install(TARGETS gdr RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(EXPORT GenericDataReaderTargets NAMESPACE GenericDataReader:: DESTINATION ${GDR_CMAKE_DIR})
# libgdr exports with EDFlib (Debian's libedf1) on Linux: the package is found only where EDFlib is.
set(config "include(\${CMAKE_CURRENT_LIST_DIR}/GenericDataReaderTargets.cmake)\n")
set(GDR_PC_LIBS_PRIVATE "")
if(NOT WIN32)
  string(APPEND config "find_library(GenericDataReader_EDFLIB edf)\n"
                       "if(NOT GenericDataReader_EDFLIB)\n"
                       "  set(GenericDataReader_FOUND FALSE)\n"
                       "  set(GenericDataReader_NOT_FOUND_MESSAGE \"libgdr needs EDFlib (libedf)\")\n"
                       "endif()\n")
  set(GDR_PC_LIBS_PRIVATE "Libs.private: -ledf\n")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/GenericDataReaderConfig.cmake "${config}")
write_basic_package_version_file(${CMAKE_BINARY_DIR}/GenericDataReaderConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/GenericDataReaderConfig.cmake
              ${CMAKE_BINARY_DIR}/GenericDataReaderConfigVersion.cmake DESTINATION ${GDR_CMAKE_DIR})

# gdr.pc finds the prefix from its own place.
file(RELATIVE_PATH GDR_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" GDR_PC_TO_PREFIX ${GDR_PC_TO_PREFIX})
configure_file(${PROJECT_SOURCE_DIR}/cmake/gdr.pc.in ${CMAKE_BINARY_DIR}/gdr.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/gdr.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
