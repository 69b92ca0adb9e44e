# Tovik.exe itself: the logic plus the Windows side, statically linked, importing only
# system DLLs, small.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

# The resource compiler reads the pictures and icons the .rc names; a new drawing of one of
# them builds the program again.
file(GLOB tovik_pictures CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/res/*.ico
     ${PROJECT_SOURCE_DIR}/res/*.gif ${PROJECT_SOURCE_DIR}/res/*.jpg)
set_source_files_properties(res/Tovik.rc PROPERTIES OBJECT_DEPENDS
                            "${tovik_pictures};${TOVIK_GENERATED}/Tovik.manifest")

# The manifest carries the version too; the resource compiler finds it in the generated folder.
# The program carries it without its comments and the room between its elements, which the
# system reads no differently.
configure_file(res/Tovik.manifest.in ${TOVIK_GENERATED}/Tovik.manifest.full @ONLY)
file(READ ${TOVIK_GENERATED}/Tovik.manifest.full tovik_manifest)
string(REGEX REPLACE "<!--[^>]*-->" "" tovik_manifest "${tovik_manifest}")
string(REGEX REPLACE ">[ \t\r\n]+<" "><" tovik_manifest "${tovik_manifest}")
string(REGEX REPLACE "[ \t\r\n]+" " " tovik_manifest "${tovik_manifest}")
string(STRIP "${tovik_manifest}" tovik_manifest)
file(CONFIGURE OUTPUT ${TOVIK_GENERATED}/Tovik.manifest CONTENT "${tovik_manifest}")

set(tovik_win_sources
  src/main_win.cpp
  src/platform/win32/LibraryErrors.cpp
  src/platform/win32/WinText.cpp
  src/platform/win32/Win32Platform.cpp
  src/platform/win32/ThreadWait.cpp
  src/platform/win32/Window.cpp
  src/platform/win32/Dialog.cpp
  src/platform/win32/Picture.cpp
  src/platform/win32/ComApartment.cpp
  src/app/CommandPanel_win.cpp
  src/app/MainWindow_win.cpp
  src/password/PasswordDialogs_win.cpp
  src/about/AboutWindow_win.cpp
  src/tray/TrayIcon_win.cpp
  src/platform/win32/UserSession.cpp
  src/platform/win32/MessageFilter.cpp
  res/Tovik.rc
)
add_executable(Tovik WIN32 ${tovik_win_sources})
target_include_directories(Tovik PRIVATE src res ${TOVIK_GENERATED})
target_compile_definitions(Tovik PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN
                                         _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0800)
target_link_libraries(Tovik PRIVATE tovik_app comctl32 shell32 gdi32 user32 advapi32
                                            kernel32)

# Two builds of the same sources give the same bytes, wherever they are built: no build folder
# in the file's text, no time stamp in its header. The program asks no object its type
# (no dynamic_cast, no typeid; exceptions are caught whole), so no type records are kept.
# A local static is first reached on the window's thread: the only other thread, the one that
# counts a vault's files, reaches none, so their start needs no lock.
set(size_flags -Os -fno-rtti -fno-threadsafe-statics -ffunction-sections -fdata-sections
               -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.)
# 32-bit Windows promises a callback no more than a 4-byte aligned stack, so the code keeps no
# larger alignment of its own (and is the smaller for it).
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  list(APPEND size_flags -mpreferred-stack-boundary=2)
endif()
foreach(layer ${TOVIK_LAYERS})
  target_compile_options(${layer} PRIVATE ${size_flags})
endforeach()
target_compile_options(Tovik PRIVATE ${size_flags})
# Terminal-server aware: on a Remote Desktop host Windows would otherwise give the program a
# Windows folder of the user's own.
set(size_link_flags -municode -static -s -Wl,--gc-sections -Wl,--no-insert-timestamp
                    -Wl,--tsaware)
target_link_options(Tovik PRIVATE ${size_link_flags})
set_target_properties(Tovik PROPERTIES OUTPUT_NAME Tovik)

# Tools the end-to-end tests put beside the program under Wine, and the benchmark's programs.
add_subdirectory(tests/e2e/tools)
add_subdirectory(bench)
