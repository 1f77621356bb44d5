# Helpers that give every deliverable the same two flavours, warnings,
# sanitizer flags and a RUNPATH of exactly $ORIGIN.

set(VANTREL_FLAVOURS "")
if(VANTREL_RELEASE_FLAVOUR)
    list(APPEND VANTREL_FLAVOURS release)
endif()
list(APPEND VANTREL_FLAVOURS debug)

# Suffix of a flavour's file and target names: "" or "D".
function(vantrel_flavour_suffix flavour out)
    if(flavour STREQUAL "debug")
        set(${out} "D" PARENT_SCOPE)
    else()
        set(${out} "" PARENT_SCOPE)
    endif()
endfunction()

# Flags every target of ours gets: warnings, the flavour's optimisation level
# and, in the sanitizer build, ASan + UBSan.
function(vantrel_target_defaults target flavour)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(flavour STREQUAL "debug")
        target_compile_options(${target} PRIVATE -O0 -g)
        target_compile_definitions(${target} PRIVATE VANTREL_DEBUG_FLAVOUR=1)
    else()
        target_compile_options(${target} PRIVATE -O2 -g)
        target_compile_definitions(${target} PRIVATE NDEBUG)
    endif()
    if(VANTREL_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=undefined)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()

# Clean RUNPATH of exactly $ORIGIN: the build RPATH CMake makes by default
# carries empty entries, which mean the current directory.
function(vantrel_runpath target)
    set_target_properties(${target} PROPERTIES
        BUILD_WITH_INSTALL_RPATH ON
        INSTALL_RPATH "$ORIGIN"
        SKIP_BUILD_RPATH OFF)
    target_link_options(${target} PRIVATE "LINKER:--enable-new-dtags")
endfunction()

# vantrel_library(<Name> [MODULE] SOURCES ... [DEPENDS <our libs>] [LINK <system libs>]
#                 [PUBLIC_INCLUDE ...] [PRIVATE_INCLUDE ...])
# Makes <Name> and <Name>D; DEPENDS names our own libraries without suffix and
# links each flavour to the same flavour of them.
function(vantrel_library name)
    cmake_parse_arguments(ARG "MODULE" "" "SOURCES;DEPENDS;LINK;PUBLIC_INCLUDE;PRIVATE_INCLUDE" ${ARGN})
    set(kind SHARED)
    if(ARG_MODULE)
        set(kind MODULE)
    endif()
    foreach(flavour IN LISTS VANTREL_FLAVOURS)
        vantrel_flavour_suffix(${flavour} sfx)
        set(t ${name}${sfx})
        add_library(${t} ${kind} ${ARG_SOURCES})
        vantrel_target_defaults(${t} ${flavour})
        vantrel_runpath(${t})
        target_include_directories(${t} PUBLIC ${ARG_PUBLIC_INCLUDE} PRIVATE ${ARG_PRIVATE_INCLUDE})
        foreach(dep IN LISTS ARG_DEPENDS)
            target_link_libraries(${t} PUBLIC ${dep}${sfx})
        endforeach()
        target_link_libraries(${t} PRIVATE ${ARG_LINK})
        # A library that links with undefined symbols would only fail at load time.
        target_link_options(${t} PRIVATE "LINKER:--no-undefined")
    endforeach()
endfunction()

# vantrel_test(<name> SOURCES ... DEPENDS <our libs> [LINK ...] [LABELS ...] [SERIAL])
# A GoogleTest executable against the debug flavour (the only one in every build).
# SERIAL: its tests run while no other test does (they read the screen back,
# where another test's window would lie over theirs).
function(vantrel_test name)
    cmake_parse_arguments(ARG "SERIAL" "" "SOURCES;DEPENDS;LINK;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    vantrel_target_defaults(${name} debug)
    vantrel_runpath(${name})
    foreach(dep IN LISTS ARG_DEPENDS)
        target_link_libraries(${name} PRIVATE ${dep}D)
    endforeach()
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock ${ARG_LINK})
    set(serial FALSE)
    if(ARG_SERIAL)
        set(serial TRUE)
    endif()
    gtest_discover_tests(${name} WORKING_DIRECTORY ${VANTREL_BIN_DIR}
                         PROPERTIES LABELS "${ARG_LABELS}" RUN_SERIAL ${serial} DISCOVERY_TIMEOUT 60)
endfunction()
