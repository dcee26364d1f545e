# qzr::warnings carries the house warning flags; every target of ours links it privately.
add_library(qzr_warnings INTERFACE)
add_library(qzr::warnings ALIAS qzr_warnings)
target_compile_options(qzr_warnings INTERFACE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wpedantic -Wconversion -Wshadow>)
if(QZR_WERROR)
    target_compile_options(qzr_warnings INTERFACE $<$<COMPILE_LANGUAGE:CXX>:-Werror>)
endif()
