# CLI11 and nlohmann-json are header-only: the Windows build uses Debian's headers as they are. The
# include folder is one of links to just these two libraries, so that no other Linux header can
# reach the cross compiler.
set(GDR_HEADER_ONLY_INCLUDE ${CMAKE_BINARY_DIR}/header-only)
file(MAKE_DIRECTORY ${GDR_HEADER_ONLY_INCLUDE})
foreach(folder CLI nlohmann)
  file(CREATE_LINK /usr/include/${folder} ${GDR_HEADER_ONLY_INCLUDE}/${folder} SYMBOLIC)
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
set_target_properties(CLI11::CLI11 nlohmann_json::nlohmann_json PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${GDR_HEADER_ONLY_INCLUDE})
