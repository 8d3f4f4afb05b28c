# embed_assets_library(TARGET ROOT dir FUNCTION name [INCLUDE header] FILES file...)
# A static library whose one function registers every file with the embedded-resource table under
# its path relative to ROOT, with backslashes. The source is regenerated when a file or the tool
# changes; an empty file list gives a function that registers nothing.
function(embed_assets_library target)
  cmake_parse_arguments(E "" "ROOT;FUNCTION;INCLUDE" "FILES" ${ARGN})
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/${target}_embedded.cpp)
  set(args --out ${generated} --root ${E_ROOT} --function ${E_FUNCTION})
  if(E_INCLUDE)
    list(APPEND args --include ${E_INCLUDE})
  endif()
  add_custom_command(
    OUTPUT ${generated}
    COMMAND embed_assets ${args} ${E_FILES}
    DEPENDS embed_assets ${E_FILES}
    COMMENT "Embedding ${target} (files under ${E_ROOT})"
    VERBATIM)
  add_library(${target} STATIC ${generated})
  target_link_libraries(${target} PUBLIC platform_stream)
endfunction()
