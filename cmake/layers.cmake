# Each top folder is one layer, and a target's includes name the folder they come from
# ("engine/driver.h"). A target sees its own folder and the folders of the libraries it links,
# each through an include folder that links to that one folder alone: an include that skips a
# layer does not compile. scripts/check-layers.py also reads the sources themselves.
function(elemtrix_include_root target)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  string(REGEX REPLACE "/.*" "" layer "${folder}")
  set(root ${PROJECT_BINARY_DIR}/include/${layer})
  if(NOT EXISTS ${root}/${layer})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${layer} ${root}/${layer} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
