# The text helpers with their temporary string ring, number reading and the raw command line.
# The command line is the one platform call here; CMake picks its file.
set(QZR_RAW_COMMAND_LINE_SRC
    $<IF:$<PLATFORM_ID:Windows>,${CMAKE_CURRENT_LIST_DIR}/src/raw_command_line_win32.cpp,${CMAKE_CURRENT_LIST_DIR}/src/raw_command_line_posix.cpp>)
target_sources(qzr_common PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/src/temp_string.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/text_helpers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/command_line.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/to_integer.cpp
    ${QZR_RAW_COMMAND_LINE_SRC})
