# Checks the export names of a plug-in library the way a plug-in author's
# tools show them: objdump -p of the toolchain, its table of export names.
# Run as
#   cmake -DOBJDUMP=<objdump> -DLIBRARY=<dll> -DEXPECTED=<name,name,...> -P check_exports.cmake
foreach(variable OBJDUMP LIBRARY EXPECTED)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "${variable} is not set")
    endif()
endforeach()

execute_process(COMMAND "${OBJDUMP}" -p "${LIBRARY}"
                OUTPUT_VARIABLE dump ERROR_VARIABLE errors RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${OBJDUMP} -p ${LIBRARY} failed: ${errors}")
endif()

# The names follow the heading "[Ordinal/Name Pointer] Table", one
# "\t[   n] name" line each, up to the next empty line.
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" heading)
if(heading EQUAL -1)
    message(FATAL_ERROR "${LIBRARY} has no export name table")
endif()
string(SUBSTRING "${dump}" ${heading} -1 table)
string(FIND "${table}" "\n\n" table_end)
if(NOT table_end EQUAL -1)
    string(SUBSTRING "${table}" 0 ${table_end} table)
endif()
string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [^\n]+" lines "${table}")
set(exported "")
foreach(line IN LISTS lines)
    string(REGEX REPLACE "^\n\t\\[ *[0-9]+\\] " "" name "${line}")
    list(APPEND exported "${name}")
endforeach()

string(REPLACE "," ";" expected "${EXPECTED}")
list(SORT exported)
list(SORT expected)
if(NOT exported STREQUAL expected)
    message(FATAL_ERROR "${LIBRARY} exports\n  ${exported}\ninstead of\n  ${expected}")
endif()
message(STATUS "${LIBRARY}: ${exported}")
