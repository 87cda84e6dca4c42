# Checks the DLL's ModelTable resource from the PE file, as FindResourceEx(module, "DBI", 1, 1033)
# would find it: one named type "DBI" holding id 1 in language 1033, 5178 bytes long, whose
# bytes are those of the table the build wrote (TABLE) and begin with the header reference.
#   cmake -DMODULE=epl2drv.dll -DTABLE=model_table.bin -DOBJDUMP=objdump -P this file
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump -p failed on ${MODULE}")
endif()
execute_process(COMMAND ${OBJDUMP} -h ${MODULE} OUTPUT_VARIABLE headers RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump -h failed on ${MODULE}")
endif()

# The three levels of the resource directory: type, name (id), language, then the data leaf.
set(tree "Type Table: [^\n]*Num Names: 1, IDs: 0\n[^\n]*Entry: name: \\[[^\n]*\\]: DBI, [^\n]*\n"
         "[^\n]*Name Table: [^\n]*Num Names: 0, IDs: 1\n[^\n]*Entry: ID: 0x0*1, [^\n]*\n"
         "[^\n]*Language Table: [^\n]*Num Names: 0, IDs: 1\n[^\n]*Entry: ID: 0x0*409, [^\n]*\n"
         "[^\n]*Leaf: Addr: 0x([0-9a-fA-F]+), Size: 0x([0-9a-fA-F]+),")
string(CONCAT tree ${tree})
if(NOT dump MATCHES "${tree}")
  string(REGEX MATCH "The \\.rsrc Resource Directory section:\n([^\n]+\n)+" found "${dump}")
  message(FATAL_ERROR "${MODULE} lacks exactly one resource \"DBI\", id 1, language 1033:\n${found}")
endif()
math(EXPR leaf_rva "0x${CMAKE_MATCH_1}")
math(EXPR size "0x${CMAKE_MATCH_2}")
if(NOT size EQUAL 5178)
  message(FATAL_ERROR "the DBI resource holds ${size} bytes, not 5178")
endif()

# File position of the data: the .rsrc section's file offset plus the leaf's distance from the
# section's start.
if(NOT dump MATCHES "Entry 2 ([0-9a-fA-F]+) [0-9a-fA-F]+ Resource Directory")
  message(FATAL_ERROR "${MODULE} has no resource directory entry")
endif()
math(EXPR section_rva "0x${CMAKE_MATCH_1}")
if(NOT headers MATCHES "\\.rsrc +[0-9a-fA-F]+ +[0-9a-fA-F]+ +[0-9a-fA-F]+ +([0-9a-fA-F]+)")
  message(FATAL_ERROR "${MODULE} has no .rsrc section header")
endif()
math(EXPR file_offset "0x${CMAKE_MATCH_1} + ${leaf_rva} - ${section_rva}")

file(READ ${MODULE} carried OFFSET ${file_offset} LIMIT ${size} HEX)
file(READ ${TABLE} expected HEX)
if(NOT carried STREQUAL expected)
  message(FATAL_ERROR "the DBI resource's bytes differ from ${TABLE}")
endif()
# The table starts with the reference to its header block, 5146, and the family name.
string(SUBSTRING "${carried}" 0 22 start)
if(NOT start STREQUAL "1a1400005a414449564900")
  message(FATAL_ERROR "the DBI resource does not start like the model table: ${start}")
endif()
message(STATUS "${MODULE}: DBI/1/1033 resource of ${size} bytes at file offset ${file_offset}: as required")
