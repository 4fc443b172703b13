# bin/gameobj.dll: the game-object module, built from compiler/*.ls by the same script the
# running program uses for its rebuilds (compiler/rebuild_dll.bat), against the headers
# of this tree. It is loaded at run time and links against the executable's exports.
file(GLOB_RECURSE GAMEOBJ_MODULE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/compiler/*.ls)
set(GAMEOBJ_MODULE_HEADERS)
foreach(dir core app gameobj world script render ui)
  file(GLOB_RECURSE hdrs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.h)
  list(APPEND GAMEOBJ_MODULE_HEADERS ${hdrs})
endforeach()
set(GAMEOBJ_MODULE ${ZARNITH_BIN_DIR}/gameobj.dll)
# The sanitizer build instruments the module too.
set(GAMEOBJ_MODULE_FLAGS -O2)
if(ZARNITH_SANITIZE)
  set(GAMEOBJ_MODULE_FLAGS "-O2 -g -fsanitize=address,undefined -fno-omit-frame-pointer")
endif()
add_custom_command(OUTPUT ${GAMEOBJ_MODULE}
  COMMAND ${CMAKE_COMMAND} -E env CXX=${CMAKE_CXX_COMPILER} ZARNITH_SOURCE_ROOT=${CMAKE_SOURCE_DIR}
          "GAMEOBJ_CXXFLAGS=${GAMEOBJ_MODULE_FLAGS}"
          /bin/sh ${CMAKE_SOURCE_DIR}/compiler/rebuild_dll.bat ${GAMEOBJ_MODULE}
  DEPENDS ${CMAKE_SOURCE_DIR}/compiler/rebuild_dll.bat ${GAMEOBJ_MODULE_SOURCES} ${GAMEOBJ_MODULE_HEADERS}
  COMMENT "Building the game-object module bin/gameobj.dll"
  VERBATIM)
add_custom_target(gameobj_module ALL DEPENDS ${GAMEOBJ_MODULE})
