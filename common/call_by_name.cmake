# The call-by-name binding: the library ring and CallByName, over one platform loader file.
set(QZR_DYNLIB_SRC $<IF:$<PLATFORM_ID:Windows>,src/dynlib_win32.cpp,src/dynlib_posix.cpp>)
target_sources(qzr_common PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/src/call_by_name.cpp
    ${CMAKE_CURRENT_LIST_DIR}/src/library_ring.cpp
    ${CMAKE_CURRENT_LIST_DIR}/${QZR_DYNLIB_SRC})
