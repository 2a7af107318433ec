# kq_add_resource_table(<target> <resource script> [OMIT <name>...])
# Turns a resource script into a static library with the resource bytes and the table
# that the window layer's resource functions search. OMIT leaves named resources out,
# so that tests can build variants of the program that lack one. The script goes through
# the C compiler's preprocessor. The resource files and headers the script reads are
# tracked through a depfile, so editing one rebuilds the table.
function(kq_add_resource_table target script)
  cmake_parse_arguments(R "" "" "OMIT" ${ARGN})
  get_filename_component(script_path ${script} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/${target}.rescomp)
  set(asm_file ${out_dir}/resource_data.s)
  set(table_file ${out_dir}/resource_table.cpp)
  set(dep_file ${out_dir}/resources.d)
  set(omit_args)
  foreach(name IN LISTS R_OMIT)
    list(APPEND omit_args --omit ${name})
  endforeach()
  file(MAKE_DIRECTORY ${out_dir})
  add_custom_command(
    OUTPUT ${asm_file} ${table_file}
    COMMAND rescomp --asm ${asm_file} --table ${table_file} --depfile ${dep_file}
            --symbol-prefix ${target} --preprocessor ${CMAKE_C_COMPILER} ${omit_args} ${script_path}
    DEPENDS rescomp ${script_path}
    DEPFILE ${dep_file}
    COMMENT "Compiling resources ${script} for ${target}"
    VERBATIM)
  add_library(${target} STATIC ${asm_file} ${table_file})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/platform/win32/include)
  # The window layer's archive, which refers to the table, comes after this one on a link
  # line; asking for the table up front makes the linker take it from this archive.
  target_link_options(${target} INTERFACE "LINKER:--undefined=kEmbeddedResources")
  # Clang warns about compile flags that an assembler run does not use.
  if(CMAKE_ASM_COMPILER_ID MATCHES "Clang")
    set_source_files_properties(${asm_file} TARGET_DIRECTORY ${target}
                                PROPERTIES COMPILE_OPTIONS -Wno-unused-command-line-argument)
  endif()
endfunction()
