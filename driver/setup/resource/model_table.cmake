# The DLL's ModelTable resource: a generator built with the build machine's own compiler writes
# the table's bytes from driver/setup/model_table.h, and windres wraps them as resource type
# "DBI", id 1, language 1033 in an object linked into epl2drv.dll.
find_program(EPL2_BUILD_CXX NAMES c++ g++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
set(_dir ${CMAKE_CURRENT_BINARY_DIR}/model_table)
set(_gen ${_dir}/model_table_gen)
set(EPL2_MODEL_TABLE_BIN ${_dir}/model_table.bin)
set(_rc ${_dir}/model_table.rc)
set(_res ${_dir}/model_table_res.o)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/setup/resource/model_table.rc.in ${_rc} @ONLY)

add_custom_command(OUTPUT ${_gen}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_dir}
  COMMAND ${EPL2_BUILD_CXX} -std=c++20 -O1 -Wall -Wextra -Werror -I${CMAKE_CURRENT_SOURCE_DIR}
          -o ${_gen} ${CMAKE_CURRENT_SOURCE_DIR}/setup/resource/model_table_gen.cpp
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/setup/resource/model_table_gen.cpp
          ${CMAKE_CURRENT_SOURCE_DIR}/setup/model_table.h
  COMMENT "Building the model table generator with the build machine's compiler")
add_custom_command(OUTPUT ${EPL2_MODEL_TABLE_BIN}
  COMMAND ${_gen} ${EPL2_MODEL_TABLE_BIN}
  DEPENDS ${_gen}
  COMMENT "Writing the model table")
add_custom_command(OUTPUT ${_res}
  COMMAND ${CMAKE_RC_COMPILER} --target=pe-i386 -O coff -i ${_rc} -o ${_res}
  DEPENDS ${_rc} ${EPL2_MODEL_TABLE_BIN}
  COMMENT "Compiling the model table resource")
set_source_files_properties(${_res} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
target_sources(epl2drv PRIVATE ${_res})

# The resource as the host finds it, read from the PE file (nothing of the DLL runs here).
add_test(NAME model_table_resource_windows
  COMMAND ${CMAKE_COMMAND} -DMODULE=$<TARGET_FILE:epl2drv> -DTABLE=${EPL2_MODEL_TABLE_BIN}
          -DOBJDUMP=${EPL2_MINGW_OBJDUMP}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/setup/resource/check_model_table_pe.cmake)
