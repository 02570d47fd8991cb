# Fails when a folder includes a header of a folder above it. The folders,
# top to bottom, as docs/architecture.md draws them: a folder may include its
# own headers and those of any folder below it, never one above.
#
#   cmake -DSOURCE_DIR=<tree> -P CheckLayers.cmake
set(layers gui commands cli viewer xlsx console import update backup errors widgets host db platform engine mdbreader)
# The program's entry point wires the front ends together: main() hands the
# command line the command words of commands/. It is the one file allowed
# to include a folder above its own.
set(wiring cli/main.cpp)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "CheckLayers.cmake: give -DSOURCE_DIR=<the source tree>")
endif()

set(violations "")
set(checked 0)
list(LENGTH layers layerCount)
foreach(folder IN LISTS layers)
  list(FIND layers ${folder} level)
  file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
       ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  list(REMOVE_ITEM sources ${wiring})
  foreach(source IN LISTS sources)
    math(EXPR checked "${checked} + 1")
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[\"<]([a-z_]+)/.*" "\\1" target "${line}")
      list(FIND layers ${target} targetLevel)
      if(targetLevel GREATER_EQUAL 0 AND targetLevel LESS level)
        string(STRIP "${line}" line)
        list(APPEND violations "${source}: ${line}: ${target}/ is above ${folder}/")
      endif()
    endforeach()
  endforeach()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "CheckLayers.cmake: no source files under ${SOURCE_DIR}; is it the source tree?")
endif()
if(violations)
  list(JOIN violations "\n  " text)
  list(JOIN layers " > " order)
  message(FATAL_ERROR "A folder includes a folder above it (top to bottom: ${order}):\n  ${text}")
endif()
message(STATUS "${checked} files, every include points down or sideways into the same folder")
