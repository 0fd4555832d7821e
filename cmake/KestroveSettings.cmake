# Compile settings shared by every Kestrove target: link against kestrove_settings.
add_library(kestrove_settings INTERFACE)
target_compile_features(kestrove_settings INTERFACE cxx_std_20)
target_compile_definitions(kestrove_settings INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_CONTEXTLESS_CONNECT
    QT_NO_KEYWORDS
    QT_USE_QSTRINGBUILDER
    KESTROVE_VERSION="${PROJECT_VERSION}")
target_compile_options(kestrove_settings INTERFACE
    -Wall -Wextra -Wnon-virtual-dtor -Woverloaded-virtual -Wimplicit-fallthrough
    $<$<BOOL:${KESTROVE_WERROR}>:-Werror>)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    # UBSan's function check trips over coroutine frames.
    target_compile_options(kestrove_settings INTERFACE $<$<BOOL:${KESTROVE_FUZZ}>:-fno-sanitize=function>)
endif()
if(KESTROVE_SANITIZE)
    # Recoverable, so that UBSan consults its suppressions file; UBSAN_OPTIONS=halt_on_error=1
    # (make sanitize) still stops at every report that is not suppressed.
    set(KESTROVE_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        list(APPEND KESTROVE_SANITIZER_FLAGS -fno-sanitize=function)
    endif()
    # GCC's flow analysis sees the sanitizers' instrumentation and warns of "maybe uninitialized"
    # values that the normal build, warning-free, shows are not.
    target_compile_options(kestrove_settings INTERFACE ${KESTROVE_SANITIZER_FLAGS}
                                                       $<$<CXX_COMPILER_ID:GNU>:-Wno-maybe-uninitialized>)
    target_link_options(kestrove_settings INTERFACE ${KESTROVE_SANITIZER_FLAGS})
endif()
