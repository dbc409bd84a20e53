# Runs the Windows executables of this build under Wine, in a private prefix
# inside the build tree: 32-bit Wine for the x86 build, 64-bit Wine for the
# x86-64 one.
set(KESTRANE_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(KESTRANE_WINEARCH win64)
    set(KESTRANE_WINELOADER /usr/lib/wine/wine64)
    set(KESTRANE_WINESERVER /usr/lib/wine/wineserver64)
else()
    set(KESTRANE_WINEARCH win32)
    set(KESTRANE_WINELOADER wine)
    set(KESTRANE_WINESERVER wineserver)
endif()
configure_file(${CMAKE_SOURCE_DIR}/tools/wine-env.in ${CMAKE_BINARY_DIR}/wine-env @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/tools/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
    @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
