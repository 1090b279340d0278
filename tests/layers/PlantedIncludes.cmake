cmake_minimum_required(VERSION 3.25)
# Plants one include in a scratch tree and runs the layer check on it; each row says whether the check must fail.
# Run with -DSOURCE_DIR=<project root> -DSCRATCH=<empty folder>.
set(rows
    "common|#include \"controller/Settings.h\"|fails"
    "sensing|#include <controller/TapPipeline.h>|fails"
    "platform|#include \"sensing/Firmness.h\"|fails"
    "modes|#include \"viewmodels/Palette.h\"|fails"
    "controller|#include \"../platform/linux/x11/X11HotKeyService.h\"|fails"
    "viewmodels|#include <QColor>|fails"
    "platform/linux/x11|#include \"widgets/Theme.h\"|fails"
    "widgets|#include \"platform/linux/runtime/QtMainLoop.h\"|fails"
    "controller|#include \"app/TrayApp.h\"|fails"
    "platform/linux/sensors|#include \"sensing/MotionSensor.h\"|fails"
    "platform/linux/desktop|#include <controller/Settings.h>|fails"
    "controller|#include \"viewmodels/StatusMenu.h\"|passes"
    "widgets|#include \"controller/Hotkey.h\"|passes"
    "app|#include \"platform/linux/x11/X11HotKeyService.h\"|passes"
    "sensing|#include <vector>|passes"
    "platform/linux/audio|#include \"platform/AudioCapture.h\"|passes")
set(failures "")
foreach(row IN LISTS rows)
    string(REPLACE "|" ";" parts "${row}")
    list(GET parts 0 folder)
    list(GET parts 1 line)
    list(GET parts 2 expected)
    file(REMOVE_RECURSE "${SCRATCH}")
    file(WRITE "${SCRATCH}/src/${folder}/Planted.h" "#pragma once\n${line}\n")
    execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${SCRATCH} -P ${SOURCE_DIR}/cmake/CheckLayers.cmake
                    RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
    if(status EQUAL 0)
        set(got passes)
    else()
        set(got fails)
    endif()
    if(NOT got STREQUAL expected)
        list(APPEND failures "src/${folder}: ${line}: the check ${got}, expected it ${expected}")
    endif()
endforeach()
file(REMOVE_RECURSE "${SCRATCH}")
if(failures)
    list(JOIN failures "\n  " text)
    message(FATAL_ERROR "${text}")
endif()
