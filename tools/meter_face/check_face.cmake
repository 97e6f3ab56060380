# Draws the face and the README pictures afresh and fails unless every file
# is byte for byte the committed one: the committed face must be what the
# generator makes now. It holds only for the Cairo and FreeType the files
# were drawn with (see CMakeLists.txt here), and is run only with them.
#   cmake -DGENERATOR=... -DSOURCE_DIR=... -DWORK_DIR=... -P check_face.cmake
set(files assets/vl-vu.bmp docs/images/vl-vu.png docs/images/vl-vu-frame.png)
file(MAKE_DIRECTORY ${WORK_DIR})
set(fresh)
foreach(path IN LISTS files)
  get_filename_component(name ${path} NAME)
  list(APPEND fresh ${WORK_DIR}/${name})
endforeach()
execute_process(COMMAND ${GENERATOR} ${fresh} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the generator failed: ${status}")
endif()

set(stale)
foreach(path IN LISTS files)
  get_filename_component(name ${path} NAME)
  file(SHA256 ${SOURCE_DIR}/${path} committed)
  file(SHA256 ${WORK_DIR}/${name} made)
  if(NOT committed STREQUAL made)
    message(SEND_ERROR "${path}: committed ${committed}, generator makes ${made}")
    set(stale yes)
  endif()
endforeach()
if(stale)
  message(FATAL_ERROR "regenerate with: cmake --build --preset native --target meter_face_assets")
endif()
