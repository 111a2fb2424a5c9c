# Outside libraries of the engine, found through pkg-config.
find_package(PkgConfig REQUIRED)
pkg_check_modules(VES_FFMPEG REQUIRED IMPORTED_TARGET libavformat libavcodec libswresample libavutil)
target_link_libraries(vesperon_engine PUBLIC PkgConfig::VES_FFMPEG)
pkg_check_modules(VES_PORTAUDIO IMPORTED_TARGET portaudio-2.0)
if(VES_PORTAUDIO_FOUND)
  target_link_libraries(vesperon_engine PUBLIC PkgConfig::VES_PORTAUDIO)
  target_compile_definitions(vesperon_engine PUBLIC VES_HAVE_PORTAUDIO=1)
endif()
