# Fails when a source file of a core folder (or of the editor's headless
# model) includes a Qt header.
set(core_folders math scene persist render material ui editor/model)
set(offenders "")
foreach(folder ${core_folders})
  file(GLOB_RECURSE files ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.hpp
                          ${SOURCE_DIR}/${folder}/*.cpp ${SOURCE_DIR}/${folder}/*.cc)
  foreach(f ${files})
    file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]*|Qt[A-Za-z]*/)")
    if(lines)
      list(APPEND offenders "${f}: ${lines}")
    endif()
  endforeach()
endforeach()
if(offenders)
  string(REPLACE ";" "\n" text "${offenders}")
  message(FATAL_ERROR "Core sources include Qt headers:\n${text}")
endif()
message(STATUS "No Qt headers in the core")
